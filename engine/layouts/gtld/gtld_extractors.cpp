// Extractors for the zone layout of .COM, .NET and .EDU: line based, upper
// case, fields separated by single blanks, for example
//
//   $ORIGIN COM.
//   EXAMPLE NS NS1.EXAMPLE
//   EXAMPLE NS NS2.EXAMPLE.NET.
//   NS1.EXAMPLE A 192.0.2.1

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstring>
#include <string_view>

#include "scan/byte_scan.h"
#include "extraction/extractor_support.h"
#include "extraction/extractors.h"
#include "extraction/name_filter.h"
#include "layouts/gtld/gtld_chunk_scan.h"
#include "scan/record_lines.h"
#include "input/zone_line_reader.h"

namespace plexor
{
    namespace
    {
        constexpr std::string_view kOriginKey = "$ORIGIN ";
        constexpr std::string_view kNsKey = " NS ";
        constexpr std::string_view kAddressKey = " A ";

        static_assert(std::tuple_size_v<decltype(GtldOrigin::block)> == Batch::kBlockBytes);

        void SetOriginSuffix(GtldOrigin& origin, std::string suffix)
        {
            origin.suffix = std::move(suffix);
            origin.block.fill('\0');
            std::memcpy(origin.block.data(), origin.suffix.data(), std::min(origin.suffix.size(), origin.block.size()));
        }

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

        // The label of a line that IsZoneApexLine.
        bool IsZoneApexLabel(std::string_view label)
        {
            return label.size() == 4 && label[3] == '.'
                && (label == "COM." || label == "NET." || label == "ORG." || label == "EDU.");
        }

        bool IsZoneApexLine(std::string_view line)
        {
            return line.size() >= 5 && line[4] == ' ' && IsZoneApexLabel(line.substr(0, 4));
        }

        // First " NS " in the line. kLineProbeBytes bytes must be readable
        // from the line's start, as they are for every line from the reader.
        std::size_t FindNsKey(std::string_view line)
        {
#ifdef PLEXOR_HAVE_SSE2
            static_assert(kRecordProbeBytes == 32 && kLineProbeBytes >= 32);
            if (line.size() <= kRecordProbeBytes)
            {
                // A short line (most that are not "LABEL NS ..." records) in
                // one step: bit i is set where the four bytes from i are " NS ".
                const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line.data()));
                const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line.data() + 16));
                const std::uint32_t blanks = ByteMask32(lo, hi, ' ');
                std::uint32_t keys =
                    blanks & (ByteMask32(lo, hi, 'N') >> 1) & (ByteMask32(lo, hi, 'S') >> 2) & (blanks >> 3);
                // Keys that start at 0 ... size - 4 lie within the line.
                keys &= line.size() < 4 ? 0 : static_cast<std::uint32_t>((std::uint64_t {1} << (line.size() - 3)) - 1);
                return keys == 0 ? std::string_view::npos : static_cast<std::size_t>(std::countr_zero(keys));
            }
#endif
            const std::size_t at = scan::FindKey4(line.data(), line.size(), " NS ");
            return at == line.size() ? std::string_view::npos : at;
        }

        // A further line of the domain accepted last: its server joins that
        // domain's entry, the batch's last (held back by the worker across
        // calls). An absolute server goes in without its final dot, a
        // relative one with the origin suffix.
        void MergeServer(Batch& batch, std::string_view server, std::string_view suffix)
        {
            if (batch.empty())
                return;
            if (!server.empty() && server.back() == '.')
                batch.AppendToBack(",", server.substr(0, server.size() - 1));
            else
                batch.AppendToBack(",", server, suffix);
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
        bool IsPreviousName(std::string_view previousName, std::string_view label, std::string_view suffix)
        {
            return previousName.size() == label.size() + suffix.size()
                && scan::BytesEqual(previousName.data(), label.data(), label.size())
                && scan::BytesEqual(previousName.data() + label.size(), suffix.data(), suffix.size());
        }
    }

    const std::string& GtldOriginSuffix()
    {
        return CurrentRun().gtldOrigin.suffix;
    }

    void SetGtldOriginSuffix(std::string suffix)
    {
        SetOriginSuffix(CurrentRun().gtldOrigin, std::move(suffix));
    }

    namespace
    {
        enum class LineOutcome
        {
            Skipped, // no domain of its own, or one the filter rejects
            Merged,  // a further line of the domain accepted last
            Added    // a new entry in the batch
        };

        // The domain extractor's rules for one line, with what they remember
        // from line to line within one call. Finish() must end every call.
        class DomainLineRules final
        {
        public:
            explicit DomainLineRules(Batch& batch)
                : m_batch(batch)
            {
                for (const std::string& server : m_settings.nameServers)
                {
                    if (!server.empty())
                        m_patterns.push_back(std::string(kNsKey) + server);
                }
            }

            // Whether a line that begins like the line before has its outcome:
            // not with a name-server list, whose patterns take in the server
            // part of every line.
            bool Shortcuts() const { return m_patterns.empty(); }
            bool Append() const { return m_append; }
            RunState& State() { return m_state; }

            // Any line.
            LineOutcome Apply(std::string_view line)
            {
                if (line.empty())
                    return LineOutcome::Skipped;
                if (!line.starts_with(kOriginKey))
                    return ApplyRecord(line, FindNsKey(line));

                SetOriginSuffix(m_origin, OriginSuffixOf(line));
                m_suffix = m_origin.suffix;
                // The $ORIGIN line itself is a candidate when it holds " NS ".
                const std::size_t p = FindNsKey(line);
                if (p == std::string_view::npos || (!m_patterns.empty() && !HoldsAnyPattern(line, m_patterns)))
                    return LineOutcome::Skipped;
                return ApplyCandidate(line, p);
            }

            // A line that is not empty and does not begin with "$ORIGIN ",
            // whose first " NS " is at p (npos if it has none).
            LineOutcome ApplyRecord(std::string_view line, std::size_t p)
            {
                const char first = line.front();
                if (p == std::string_view::npos || first == ';' || first == ' ' || IsZoneApexLine(line))
                    return LineOutcome::Skipped;
                if (!m_patterns.empty() && !HoldsAnyPattern(line, m_patterns))
                    return LineOutcome::Skipped;
                return ApplyCandidate(line, p);
            }

            // A line that begins with "LABEL NS " (RecordPrefix), label
            // `labelLength` bytes long, outside append mode, where the rest of
            // the line plays no part: ApplyRecord without the line's length.
            LineOutcome ApplyLabel(const char* line, std::size_t labelLength)
            {
                const std::string_view label(line, labelLength);
                if (label.empty() || label.front() == ';' || IsZoneApexLabel(label))
                    return LineOutcome::Skipped;
                return ApplyName(label, {});
            }

            // A line that begins with the same label and " NS " as the line
            // before it (prefixLength bytes), whose outcome was `before`: it
            // has the same outcome, and in append mode its server joins the
            // entry.
            void ApplyRepeat(std::string_view line, std::size_t prefixLength, LineOutcome before)
            {
                if (m_append && before != LineOutcome::Skipped)
                    MergeServer(m_batch, line.substr(prefixLength), m_suffix);
            }

            // Keeps the name accepted last in the run state for the calls
            // after this one.
            void Finish()
            {
                if (m_previousInBatch)
                    m_state.previousName.assign(PreviousName());
                m_previousInBatch = false;
            }

        private:
            // The domain accepted last in this run: while it was accepted in
            // this call, the start of its entry (no copy per accepted name).
            std::string_view PreviousName() const
            {
                if (m_previousInBatch)
                    return {m_batch.Bytes() + m_previousOffset, m_previousLength};
                return m_state.previousName;
            }

            // A line whose label (before its first " NS ", at p) is not empty
            // and passed the line tests.
            LineOutcome ApplyCandidate(std::string_view line, std::size_t p)
            {
                if (p == 0)
                    return LineOutcome::Skipped;
                return ApplyName(line.substr(0, p), line.substr(p + kNsKey.size()));
            }

            // The label and server of a candidate line, the label not empty.
            LineOutcome ApplyName(std::string_view label, std::string_view server)
            {
                if (IsPreviousName(PreviousName(), label, m_suffix))
                {
                    if (m_append)
                        MergeServer(m_batch, server, m_suffix);
                    return LineOutcome::Merged;
                }

                // The candidate: label + origin suffix, through the name
                // filter (PassesNameFilter). The length test needs no copy of
                // the name; the other tests look at it in the batch.
                const std::string_view suffix = m_suffix;
                const std::size_t nameLength = label.size() + suffix.size();
                if (!detail::PassesNameLength(m_settings, nameLength))
                    return LineOutcome::Skipped;
                const std::size_t offset = m_batch.ByteSize();
                // Lines from the reader are followed by enough readable bytes
                // for a block copy of a short label.
                static_assert(Batch::kBlockBytes <= kLineProbeBytes);
                if (label.size() <= Batch::kBlockBytes && suffix.size() <= Batch::kBlockBytes)
                    m_batch.PushBackBlocks(label.data(), label.size(), m_block, suffix.size());
                else
                    m_batch.push_back(label, suffix);
                if (detail::HasWordOrCharacterTests(m_settings)
                    && !detail::PassesWordAndCharacterTests(m_settings, std::string_view(m_batch.Bytes() + offset, nameLength)))
                {
                    m_batch.pop_back();
                    return LineOutcome::Skipped;
                }
                m_previousInBatch = true;
                m_previousOffset = offset;
                m_previousLength = nameLength;
                if (m_append)
                {
                    if (!server.empty() && server.back() == '.')
                        m_batch.AppendToBack(": ", server.substr(0, server.size() - 1));
                    else
                        m_batch.AppendToBack(": ", server, m_suffix);
                }
                CountNameExtracted(m_state);
                return LineOutcome::Added;
            }

            EngineRun& m_run = CurrentRun();
            const ExtractionSettings& m_settings = m_run.settings;
            RunState& m_state = m_run.state;
            GtldOrigin& m_origin = m_run.gtldOrigin;
            // The suffix and its block, looked up once per call (the
            // $ORIGIN rule renews the view).
            std::string_view m_suffix = m_origin.suffix;
            const char* const m_block = m_origin.block.data();
            Batch& m_batch;
            const bool m_append = m_settings.appendNameServers != 0;
            std::vector<std::string> m_patterns;
            bool m_previousInBatch = false;
            std::size_t m_previousOffset = 0;
            std::size_t m_previousLength = 0;
        };

        // Steps through the lines in memory in groups of up to 64. Most lines
        // of a zone begin with the same label and " NS " as the line before
        // them (a domain's second, third... server): such a line has the same
        // outcome as the one before, so only the others go through the full
        // rules. Finding them (ClassifyRecordLines) takes no branch per
        // line, and the reading thread has often done it already.
        class LineGroups final
        {
        public:
            LineGroups(ZoneLineReader& zoneFile, DomainLineRules& rules)
                : m_zoneFile(zoneFile)
                , m_rules(rules)
                , m_state(rules.State())
            {
            }

            // The mask of the run's first n lines that repeat the beginning of
            // the line before, and their record prefixes in m_prefixLengths:
            // found here, or taken from what the reading thread found.
            std::uint64_t Classify(const ZoneLineReader::LineRun& run, std::size_t n)
            {
                if (const RecordLineClasses* classes = FoundRecordClasses(run))
                {
                    // The reading thread saw these lines, not the ones
                    // before: whatever comes after them is looked at afresh.
                    m_scan.Forget();
                    std::memcpy(m_prefixLengths, classes->prefixes.data() + run.firstLine, n);
                    const std::uint64_t bits = RecordLineClasses::RepeatBits(classes->repeatWords.data(), run.firstLine);
                    return n == 64 ? bits : bits & ((std::uint64_t {1} << n) - 1);
                }
                return ClassifyRecordLines(run.data, run.begin, run.ends, n, m_scan, m_prefixLengths);
            }

            // Takes lines until `limit` entries were added, the lines in
            // memory are used up (false), or a group ends with `count` entries
            // added; returns the new count.
            std::uint32_t TakeGroup(const ZoneLineReader::LineRun& run, std::uint32_t count, std::uint32_t limit)
            {
                const std::size_t n = std::min<std::size_t>(run.count, 64);
                std::uint64_t repeats = Classify(run, n);
                if (m_firstGroup)
                {
                    // The line before this call's first line was seen by the
                    // call before, whose outcome for it is not known here.
                    repeats &= ~std::uint64_t {1};
                    m_firstGroup = false;
                }

                const std::uint64_t all = n == 64 ? ~std::uint64_t {0} : (std::uint64_t {1} << n) - 1;
                const bool append = m_rules.Append();
                std::uint64_t todo = append ? all : all & ~repeats;
                // Pause and abort are tested before each line looked at; the
                // lines passed over before it count as read only once that
                // test finds neither, so a pause or abort stops the run right
                // after the last line looked at, as a test before every line
                // would. linesRead counts each line before its rules run.
                std::atomic<std::uint64_t>& linesRead = m_state.linesRead;
                const std::uint64_t linesBefore = linesRead.load(std::memory_order_relaxed);
                std::size_t taken = n;
                std::size_t lastTaken = 0; // lines up to the last one looked at
                while (todo != 0)
                {
                    const auto k = static_cast<std::size_t>(std::countr_zero(todo));
                    todo &= todo - 1;
                    if (StopRequested())
                    {
                        taken = lastTaken;
                        // Classify ran past this line: what follows is
                        // looked at afresh.
                        m_scan.Forget();
                        break;
                    }
                    linesRead.store(linesBefore + k + 1, std::memory_order_relaxed);
                    lastTaken = k + 1;
                    const std::size_t start = k == 0 ? run.begin : run.ends[k - 1] + std::size_t {1};
                    const std::size_t prefix = m_prefixLengths[k];
                    if (prefix != 0 && !append)
                    {
                        // Only the label matters, not where the line ends.
                        m_outcome = m_rules.ApplyLabel(run.data + start, prefix - kNsKey.size());
                    }
                    else
                    {
                        const std::string_view line(run.data + start, LineLength(run, start, run.ends[k]));
                        if ((repeats >> k) & 1)
                        {
                            m_rules.ApplyRepeat(line, prefix, m_outcome);
                            continue;
                        }
                        if (prefix != 0)
                            m_outcome = m_rules.ApplyRecord(line, prefix - kNsKey.size());
                        else if (!line.empty() && line.front() != '$')
                            m_outcome = m_rules.ApplyRecord(line, FindNsKey(line));
                        else
                            m_outcome = m_rules.Apply(line);
                    }
                    if (m_outcome == LineOutcome::Added && ++count >= limit)
                    {
                        taken = k + 1;
                        break;
                    }
                }
                linesRead.store(linesBefore + taken, std::memory_order_relaxed);
                m_zoneFile.SkipBufferedLines(taken);
                return count;
            }

            // The next line does not follow the last one seen here.
            void Interrupt() { m_scan.Forget(); }

        private:
            // The line from start to its LF at end, without one CR before it.
            static std::size_t LineLength(const ZoneLineReader::LineRun& run, std::size_t start, std::size_t end)
            {
                std::size_t length = end - start;
                if (length > 0 && run.data[end - 1] == '\r')
                    --length;
                return length;
            }

            ZoneLineReader& m_zoneFile;
            DomainLineRules& m_rules;
            RecordScanState m_scan; // the last line classified here
            RunState& m_state;
            bool StopRequested() const
            {
                return m_state.abortRequested.load(std::memory_order_relaxed)
                    || m_state.paused.load(std::memory_order_relaxed);
            }

            // The outcome of the last line not passed over.
            LineOutcome m_outcome = LineOutcome::Skipped;
            bool m_firstGroup = true;
            std::uint8_t m_prefixLengths[64];
        };
    }

    std::uint32_t ExtractGtldDomains(ZoneLineReader& zoneFile, Batch& batch, std::uint32_t limit)
    {
        std::uint32_t count = 0;
        if (limit == 0)
            return 0;

        DomainLineRules rules(batch);
        RunState& state = rules.State();
        std::string_view line;
        if (rules.Shortcuts())
        {
            // The reading thread can tell a domain's further lines ahead.
            zoneFile.FindChunkFindings(RecordClassChunkScan());
            LineGroups groups(zoneFile, rules);
            while (count < limit && detail::ContinueBeforeLine(state))
            {
                const ZoneLineReader::LineRun run = zoneFile.BufferedLines();
                if (run.count > 0)
                {
                    count = groups.TakeGroup(run, count, limit);
                    continue;
                }
                // The next line needs a refill, or is the last one and has no
                // LF.
                if (!zoneFile.ReadLine(line))
                    break;
                CountLineRead(state);
                groups.Interrupt();
                if (rules.Apply(line) == LineOutcome::Added)
                    ++count;
            }
            rules.Finish();
            return count;
        }
        while (detail::ContinueBeforeLine(state) && zoneFile.ReadLine(line))
        {
            CountLineRead(state);
            if (rules.Apply(line) == LineOutcome::Added && ++count >= limit)
                break;
        }
        rules.Finish();
        return count;
    }

    std::uint32_t ExtractGtldNameServers(ZoneLineReader& zoneFile, Batch& batch, std::uint32_t limit)
    {
        std::uint32_t count = 0;
        if (limit == 0)
            return 0;

        RunState& state = CurrentRunState();
        std::string_view line;
        while (detail::ContinueBeforeLine(state) && zoneFile.ReadLine(line))
        {
            CountLineRead(state);
            if (line.empty() || line.front() == ';' || line.front() == ' ')
                continue;
            const std::size_t p = line.find(kAddressKey);
            if (p == std::string_view::npos || p == 0)
                continue;
            batch.push_back(line.substr(0, p));
            CountNameExtracted(state);
            if (++count >= limit)
                break;
        }
        return count;
    }
}
