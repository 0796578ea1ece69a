// Extractors for the zone layout of .COM, .NET and .EDU: line based, upper
// case, fields separated by single blanks, for example
//
//   $ORIGIN COM.
//   EXAMPLE NS NS1.EXAMPLE
//   EXAMPLE NS NS2.EXAMPLE.NET.
//   NS1.EXAMPLE A 192.0.2.1

#include <cstring>
#include <string_view>

#include "byte_scan.h"
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

        // First " NS " in the line.
        std::size_t FindNsKey(std::string_view line)
        {
            const std::size_t at = scan::FindKey4(line.data(), line.size(), " NS ");
            return at == line.size() ? std::string_view::npos : at;
        }

        // Every further line of the domain accepted last begins with its
        // label and " NS ", where label + origin suffix is previousName; such a
        // line holds its first " NS " right after the label, so it repeats
        // previousName and needs no other test. Returns the label's length,
        // or 0 when previousName has no such form.
        std::size_t RepeatLabelLength(const std::string& previousName, const std::string& suffix)
        {
            if (previousName.size() <= suffix.size() || !std::string_view(previousName).ends_with(suffix))
                return 0;
            std::string prefix = previousName.substr(0, previousName.size() - suffix.size());
            prefix += kNsKey;
            const char first = prefix.front();
            if (FindNsKey(prefix) != prefix.size() - kNsKey.size() || first == ';' || first == ' ' || first == '$'
                || IsZoneApexLine(prefix))
                return 0;
            return prefix.size() - kNsKey.size();
        }

        bool IsRepeatLine(std::string_view line, const std::string& previousName, std::size_t labelLength)
        {
            return labelLength > 0 && line.size() >= labelLength + kNsKey.size()
                && scan::BytesEqual(line.data(), previousName.data(), labelLength)
                && std::memcmp(line.data() + labelLength, kNsKey.data(), kNsKey.size()) == 0;
        }

        // Appends a name server as it goes into an entry: an absolute one
        // without its final dot, a relative one with the origin suffix.
        void AppendServer(std::string& entry, std::string_view server, const std::string& suffix)
        {
            if (!server.empty() && server.back() == '.')
            {
                entry.append(server.data(), server.size() - 1);
                return;
            }
            entry += server;
            entry += suffix;
        }

        // A further line of the domain accepted last: its server joins that
        // domain's entry, the batch's last (held back by the worker across
        // calls).
        void MergeServer(Batch& batch, std::string_view server, const std::string& suffix)
        {
            if (batch.empty())
                return;
            std::string& entry = batch.back();
            entry += ',';
            AppendServer(entry, server, suffix);
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
        // The shortcuts below are taken only without a name-server list: with
        // one, every line must still be tested for the user's patterns.
        const bool shortcuts = patterns.empty();
        // Length of previousName's label, for recognising its further lines.
        std::size_t repeatLabelLength = shortcuts ? RepeatLabelLength(state.previousName, g_originSuffix) : 0;
        // The label and " NS " of the candidate the filter rejected last: its
        // further lines would be rejected again, so they are passed over.
        std::string rejectedPrefix;

        while (detail::ContinueBeforeLine() && zoneFile.ReadLine(line))
        {
            CountLineRead();
            if (line.empty())
                continue;

            if (IsRepeatLine(line, state.previousName, repeatLabelLength))
            {
                if (append)
                    MergeServer(batch, line.substr(repeatLabelLength + kNsKey.size()), g_originSuffix);
                continue;
            }
            if (!rejectedPrefix.empty() && line.starts_with(rejectedPrefix))
                continue;

            std::size_t p = std::string_view::npos;
            if (line.starts_with(kOriginKey))
            {
                g_originSuffix = OriginSuffixOf(line);
                if (shortcuts)
                    repeatLabelLength = RepeatLabelLength(state.previousName, g_originSuffix);
                rejectedPrefix.clear();
                p = FindNsKey(line);
            }
            else
            {
                p = FindNsKey(line);
                if (p == std::string_view::npos || line.front() == ';' || line.front() == ' ' || IsZoneApexLine(line))
                    continue;
            }
            if (!patterns.empty() && !HoldsAnyPattern(line, patterns))
                continue;
            if (p == std::string_view::npos || p == 0)
                continue;

            const std::string_view label = line.substr(0, p);
            const std::string_view server = line.substr(p + kNsKey.size());
            if (IsPreviousName(state.previousName, label, g_originSuffix))
            {
                if (append)
                    MergeServer(batch, server, g_originSuffix);
                continue;
            }

            std::string& entry = batch.AppendEntry();
            entry.assign(label);
            entry += g_originSuffix;
            if (!PassesNameFilter(entry))
            {
                batch.pop_back();
                if (shortcuts && line.front() != '$')
                    rejectedPrefix.assign(line.substr(0, p + kNsKey.size()));
                continue;
            }
            state.previousName.assign(entry);
            if (append)
            {
                entry += ": ";
                AppendServer(entry, server, g_originSuffix);
            }
            if (shortcuts)
            {
                repeatLabelLength = line.front() != '$' ? label.size()
                                                        : RepeatLabelLength(state.previousName, g_originSuffix);
            }
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
            batch.push_back(line.substr(0, p));
            CountNameExtracted();
            if (++count >= limit)
                break;
        }
        return count;
    }
}
