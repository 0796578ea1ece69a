// Extractors for the zone layout of .COM, .NET and .EDU: line based, upper
// case, fields separated by single blanks, for example
//
//   $ORIGIN COM.
//   EXAMPLE NS NS1.EXAMPLE
//   EXAMPLE NS NS2.EXAMPLE.NET.
//   NS1.EXAMPLE A 192.0.2.1

#include <cstring>
#include <string_view>

#include "extractor_support.h"
#include "extractors.h"
#include "name_filter.h"
#include "zone_line_reader.h"

namespace plexor
{
    namespace
    {
        constexpr std::string_view kOriginKey = "$ORIGIN ";
        constexpr std::string_view kNsKey = " NS ";
        constexpr std::string_view kAddressKey = " A ";

        // Lives for the whole process: a later file without an $ORIGIN line
        // keeps the suffix of the last one that had it.
        std::string g_originSuffix;

        bool IsOriginWordEnd(char c)
        {
            return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == ';';
        }

        // "." and the origin word: the text after "$ORIGIN " without leading
        // blanks and tabs, up to the first white space or ";", trailing dots
        // removed. "$ORIGIN COM." gives ".COM", "$ORIGIN INFO." gives ".INFO".
        std::string OriginSuffixOf(std::string_view line)
        {
            std::string_view word = line.substr(kOriginKey.size());
            while (!word.empty() && (word.front() == ' ' || word.front() == '\t'))
                word.remove_prefix(1);
            std::size_t end = 0;
            while (end < word.size() && !IsOriginWordEnd(word[end]))
                ++end;
            word = word.substr(0, end);
            while (!word.empty() && word.back() == '.')
                word.remove_suffix(1);
            std::string suffix;
            if (!word.empty())
            {
                suffix.reserve(word.size() + 1);
                suffix += '.';
                suffix += word;
            }
            return suffix;
        }

        bool IsZoneApexLine(std::string_view line)
        {
            return line.starts_with("COM. ") || line.starts_with("NET. ") || line.starts_with("ORG. ")
                || line.starts_with("EDU. ");
        }

        bool HoldsAnyPattern(std::string_view line, const std::vector<std::string>& patterns)
        {
            for (const std::string& pattern : patterns)
            {
                if (line.find(pattern) != std::string_view::npos)
                    return true;
            }
            return false;
        }

        // True when line[0, p) followed by the suffix spells previousName,
        // checked without building the name.
        bool IsPreviousName(const std::string& previousName, std::string_view label, const std::string& suffix)
        {
            return previousName.size() == label.size() + suffix.size()
                && std::memcmp(previousName.data(), label.data(), label.size()) == 0
                && std::memcmp(previousName.data() + label.size(), suffix.data(), suffix.size()) == 0;
        }
    }

    const std::string& GtldOriginSuffix()
    {
        return g_originSuffix;
    }

    void SetGtldOriginSuffix(std::string suffix)
    {
        g_originSuffix = std::move(suffix);
    }

    std::uint32_t ExtractGtldDomains(ZoneLineReader& zoneFile, Batch& batch, std::uint32_t limit)
    {
        const ExtractionSettings& settings = g_extractionSettings;
        RunState& state = g_runState;
        const bool append = settings.appendNameServers != 0;

        std::vector<std::string> patterns;
        for (const std::string& server : settings.nameServers)
        {
            if (!server.empty())
                patterns.push_back(std::string(kNsKey) + server);
        }

        std::uint32_t count = 0;
        if (limit == 0)
            return 0;

        std::string_view line;
        std::string domain;
        std::string servers;
        while (detail::ContinueBeforeLine() && zoneFile.ReadLine(line))
        {
            CountLineRead();
            if (line.empty())
                continue;

            std::size_t p = std::string_view::npos;
            if (line.starts_with(kOriginKey))
            {
                g_originSuffix = OriginSuffixOf(line);
                p = line.find(kNsKey);
            }
            else
            {
                p = line.find(kNsKey);
                if (p == std::string_view::npos || line.front() == ';' || line.front() == ' ' || IsZoneApexLine(line))
                    continue;
            }
            if (!patterns.empty() && !HoldsAnyPattern(line, patterns))
                continue;
            if (p == std::string_view::npos || p == 0)
                continue;

            const std::string_view label = line.substr(0, p);
            const std::string& suffix = g_originSuffix;
            if (append)
            {
                std::string_view server = line.substr(p + kNsKey.size());
                servers.assign(server);
                if (!server.empty() && server.back() == '.')
                    servers.pop_back();
                else
                    servers += suffix;
            }

            if (IsPreviousName(state.previousName, label, suffix))
            {
                // A further line of the domain accepted last: its server
                // joins that domain's entry, which is the batch's last (held
                // back by the worker across calls).
                if (append && !batch.empty())
                {
                    batch.back() += ',';
                    batch.back() += servers;
                }
                continue;
            }

            domain.assign(label);
            domain += suffix;
            if (!PassesNameFilter(domain))
                continue;

            if (append)
                batch.push_back(domain + ": " + servers);
            else
                batch.push_back(domain);
            state.previousName = domain;
            CountNameExtracted();
            if (++count >= limit)
                break;
        }
        return count;
    }

    std::uint32_t ExtractGtldNameServers(ZoneLineReader& zoneFile, Batch& batch, std::uint32_t limit)
    {
        std::uint32_t count = 0;
        if (limit == 0)
            return 0;

        std::string_view line;
        while (detail::ContinueBeforeLine() && zoneFile.ReadLine(line))
        {
            CountLineRead();
            if (line.empty() || line.front() == ';' || line.front() == ' ')
                continue;
            const std::size_t p = line.find(kAddressKey);
            if (p == std::string_view::npos || p == 0)
                continue;
            batch.emplace_back(line.substr(0, p));
            CountNameExtracted();
            if (++count >= limit)
                break;
        }
        return count;
    }
}
