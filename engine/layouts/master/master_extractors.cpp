// Extractors for the standard master-file layout (RFC 1035), the layout of
// ICANN's CZDS files and of zone transfers, for example
//
//   example.com.	172800	in	ns	ns1.example.net.
//
//   $ORIGIN se.
//   alpha           86400 IN NS  ns1.host.se.
//                   86400 IN NS  ns2.host.se.
//
// The reader (master_file_reader.h) turns lines into NS records; these rules
// turn the NS records of the delegations (owner neither the apex nor the
// root) into entries, following the gTLD layout's rules: a record of the
// domain accepted last adds no entry, the filters compare upper-cased names,
// and a record passes the name-server list when its server begins with an
// entry.

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "scan/byte_scan.h"
#include "extraction/extractor_support.h"
#include "extraction/extractors.h"
#include "layouts/master/master_chunk_scan.h"
#include "layouts/master/master_extractors.h"
#include "extraction/name_filter.h"
#include "input/zone_line_reader.h"

namespace plexor
{
    namespace
    {
        // A 64-bit hash of a name, eight bytes at a time (a byte at a time
        // would make a server's hash a chain of one multiplication per
        // byte): each word mixed in and multiplied, the whole folded at the
        // end so that the low bits (the slot) and the high bits (the tag)
        // both depend on every byte.
        std::uint64_t HashName(std::string_view name)
        {
            std::uint64_t hash = 0x9E3779B97F4A7C15ull ^ name.size();
            std::size_t i = 0;
            for (; i + 8 <= name.size(); i += 8)
            {
                std::uint64_t word;
                std::memcpy(&word, name.data() + i, 8);
                hash = (hash ^ word) * 0xBF58476D1CE4E5B9ull;
                hash ^= hash >> 31;
            }
            if (i < name.size())
            {
                hash = (hash ^ scan::LoadTail(name.data() + i, name.size() - i)) * 0xBF58476D1CE4E5B9ull;
                hash ^= hash >> 31;
            }
            hash *= 0x94D049BB133111EBull;
            return hash ^ (hash >> 29);
        }

        char UpperAscii(char c)
        {
            return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        }

        // Whether the server (lower case) begins with one of the entries
        // (upper case).
        bool ServerListed(std::string_view server, const std::vector<std::string>& entries)
        {
            for (const std::string& entry : entries)
            {
                if (entry.size() > server.size())
                    continue;
                bool same = true;
                for (std::size_t i = 0; i < entry.size() && same; ++i)
                    same = UpperAscii(server[i]) == entry[i];
                if (same)
                    return true;
            }
            return false;
        }

        // Whether the servers of an append-mode entry ("name: a,b,c")
        // include this one.
        bool EntryHasServer(std::string_view entry, std::string_view server)
        {
            const std::size_t colon = entry.find(": ");
            if (colon == std::string_view::npos)
                return false;
            std::string_view servers = entry.substr(colon + 2);
            for (;;)
            {
                const std::size_t comma = servers.find(',');
                if (servers.substr(0, comma) == server)
                    return true;
                if (comma == std::string_view::npos)
                    return false;
                servers.remove_prefix(comma + 1);
            }
        }

        // The lines of one run of whole lines already in memory, from its
        // first, each read in full or passed over as ReadLines says (Take);
        // `count` goes up with each entry added. A line passed over is not
        // polled for pause and abort: it counts as read once the next line
        // looked at has been polled, so that a pause or abort stops the run
        // right after the last line looked at.
        template <typename Apply, typename TakeRecord>
        class BufferedRun final
        {
        public:
            BufferedRun(RunState& state, const ZoneLineReader::LineRun& run, MasterFileReader& reader,
                        std::uint32_t limit, Apply& apply, TakeRecord& takeRecord, std::uint32_t& count)
                : m_state(state)
                , m_run(run)
                , m_reader(reader)
                , m_limit(limit)
                , m_apply(apply)
                , m_takeRecord(takeRecord)
                , m_count(count)
                , m_linesBefore(state.linesRead.load(std::memory_order_relaxed))
                , m_plain(FoundPlain(run))
            {
            }

            // True when the batch is full (count reached limit); false when
            // the run is used up or the run halted before a line (pause or
            // abort). The lines taken are skipped in `zoneFile`.
            bool Take(ZoneLineReader& zoneFile, bool passOver, bool servers)
            {
                const SimpleNsLines* const nsLines = FoundNsLines(m_run);
                const bool withServers = servers && nsLines != nullptr && nsLines->withServers;
                if (withServers || (passOver && nsLines != nullptr))
                {
                    // The buffer's line 0 may have begun in the chunk before
                    // and is read in full; the simple lines after it need a
                    // reader that has no parenthesis open.
                    if (m_run.firstLine == 0)
                        ReadInFull(1, passOver);
                    if (!m_full && !m_halted && m_next < m_run.count && m_reader.BetweenRecords())
                    {
                        if (withServers)
                            TakeSimpleServers(*nsLines);
                        else
                            TakeSimpleLines(*nsLines);
                    }
                }
                if (!m_full && !m_halted)
                    ReadInFull(m_run.count, passOver);
                if (m_next == m_run.count && !m_halted)
                    m_taken = m_run.count; // lines passed over at the end
                StoreLinesRead();
                zoneFile.SkipBufferedLines(m_taken);
                return m_full;
            }

        private:
            using LineCount = decltype(std::declval<RunState&>().linesRead.load()); // whatever width it has

            std::size_t LineStart(std::size_t i) const
            {
                return i == 0 ? m_run.begin : static_cast<std::size_t>(m_run.ends[i - 1]) + 1;
            }
            void StoreLinesRead()
            {
                m_state.linesRead.store(m_linesBefore + static_cast<LineCount>(m_taken), std::memory_order_relaxed);
            }
            // Before the line with index `at`: polls for pause and abort
            // (not before the run's first line) and counts the lines up to
            // it as read. False when the run halted.
            bool Reach(std::size_t at)
            {
                if (at > 0 && !detail::ContinueBeforeLine(m_state))
                {
                    m_halted = true;
                    return false;
                }
                m_taken = at + 1;
                m_next = at + 1;
                StoreLinesRead();
                return true;
            }
            // An entry added: true when the batch is full.
            bool Added() { return ++m_count >= m_limit; }

            // Lines from the next one up to `to`, each read (or passed over).
            void ReadInFull(std::size_t to, bool passOver)
            {
                for (std::size_t start = LineStart(m_next); m_next < to;)
                {
                    const std::size_t end = m_run.ends[m_next];
                    std::size_t length = end - start;
                    if (length > 0 && m_run.data[end - 1] == '\r')
                        --length;
                    const std::string_view line(m_run.data + start, length);
                    start = end + 1;
                    if (passOver && m_reader.RepeatsLastNsRecord(line, m_plain))
                    {
                        ++m_next;
                        continue;
                    }
                    if (!Reach(m_next))
                        return;
                    if (m_apply(line, m_plain) && Added())
                    {
                        m_full = true;
                        return;
                    }
                }
            }

            // Lines from the next one to the end of the run, all simple
            // records: only the entries' lines are looked at.
            void TakeSimpleLines(const SimpleNsLines& simple)
            {
                const std::size_t first = m_run.firstLine; // the buffer's index of line 0 here
                auto entry = std::lower_bound(
                    simple.entries.begin(), simple.entries.end(), first + m_next,
                    [](const SimpleNsLines::Entry& e, std::size_t line) { return e.line < line; });
                for (; entry != simple.entries.end(); ++entry)
                {
                    if (!Reach(entry->line - first))
                        return;
                    const char* line = m_run.data + entry->ownerOffset;
                    const std::string_view owner(line, entry->ownerLength);
                    if (m_takeRecord(MasterNsRecord {owner, {}, m_reader.IsApex(owner), true}) && Added())
                    {
                        m_full = true;
                        m_reader.PassedSimpleLines(line, entry->ownerLength + 1); // and its final dot
                        return;
                    }
                }
                PassedToTheEnd(simple);
            }

            // The same with every NS line's record, its server included.
            void TakeSimpleServers(const SimpleNsLines& simple)
            {
                const std::size_t first = m_run.firstLine;
                auto server = std::lower_bound(
                    simple.servers.begin(), simple.servers.end(), first + m_next,
                    [](const SimpleNsLines::Server& e, std::size_t line) { return e.line < line; });
                // A server's owner is that of the last entry at or before
                // its line (there is one: the first NS line is an entry).
                auto owner = simple.entries.begin();
                if (server != simple.servers.end())
                {
                    owner = std::upper_bound(
                                simple.entries.begin(), simple.entries.end(), std::size_t {server->line},
                                [](std::size_t line, const SimpleNsLines::Entry& e) { return line < e.line; })
                        - 1;
                }
                for (; server != simple.servers.end(); ++server)
                {
                    while (owner + 1 != simple.entries.end() && owner[1].line <= server->line)
                        ++owner;
                    if (!Reach(server->line - first))
                        return;
                    const char* ownerText = m_run.data + owner->ownerOffset;
                    const std::string_view ownerName(ownerText, owner->ownerLength);
                    const std::string_view serverName =
                        m_reader.SimpleServer(std::string_view(m_run.data + server->offset, server->length));
                    if (m_takeRecord(MasterNsRecord {ownerName, serverName, m_reader.IsApex(ownerName), true})
                        && Added())
                    {
                        m_full = true;
                        m_reader.PassedSimpleLines(ownerText, owner->ownerLength + 1); // and its final dot
                        return;
                    }
                }
                PassedToTheEnd(simple);
            }

            // Every simple line of the run taken: the reader is left with
            // the owner of its last line.
            void PassedToTheEnd(const SimpleNsLines& simple)
            {
                m_next = m_run.count;
                m_reader.PassedSimpleLines(m_run.data + LineStart(m_run.count - 1), simple.lastOwnerSize);
            }

            RunState& m_state;
            const ZoneLineReader::LineRun& m_run;
            MasterFileReader& m_reader;
            const std::uint32_t m_limit;
            Apply& m_apply;
            TakeRecord& m_takeRecord;
            std::uint32_t& m_count;
            const LineCount m_linesBefore;
            const bool m_plain;
            std::size_t m_taken = 0; // lines counted as read
            std::size_t m_next = 0;  // the next line to look at
            bool m_full = false;
            bool m_halted = false;
        };

        // The lines of the zone file for one extractor call, through the
        // reader: from the runs of whole lines already in memory where there
        // are some (BufferedRun), line by line otherwise. Pause and
        // abort are tested before every line, and every line counts in
        // linesRead. `passOver` lets a caller skip the further NS lines of
        // one owner (MasterFileReader::RepeatsLastNsRecord) without reading
        // them, and take the NS lines of simple records the reading thread
        // found (SimpleNsLines) without reading any of those lines:
        // `takeRecord` gets the NS record of each such entry, without its
        // server, and returns whether it added an entry. `servers` (without
        // `passOver`) takes every NS line of the simple records that way,
        // with its server. `apply` gets each line read and returns whether
        // it added an entry.
        template <typename Apply, typename TakeRecord>
        std::uint32_t ReadLines(MasterFileReader& reader, ZoneLineReader& zoneFile, std::uint32_t limit,
                                bool passOver, bool servers, Apply&& apply, TakeRecord&& takeRecord)
        {
            std::uint32_t count = 0;
            if (limit == 0)
                return 0;
            RunState& state = CurrentRunState();
            // The reading thread can tell plain stretches of the file ahead.
            FindPlainLines(zoneFile, passOver || servers, servers);
            while (detail::ContinueBeforeLine(state))
            {
                const ZoneLineReader::LineRun run = zoneFile.BufferedLines();
                if (run.count != 0)
                {
                    if (BufferedRun<std::remove_reference_t<Apply>, std::remove_reference_t<TakeRecord>>(
                            state, run, reader, limit, apply, takeRecord, count)
                            .Take(zoneFile, passOver, servers))
                        break;
                    continue;
                }
                // The next line needs a refill, or is the last one and has no
                // LF.
                std::string_view line;
                if (!zoneFile.ReadLine(line))
                {
                    reader.EndOfFile();
                    break;
                }
                CountLineRead(state);
                if (apply(line, false) && ++count >= limit)
                    break;
            }
            return count;
        }
    }

    std::string_view DistinctNames::NameAt(std::uint64_t location) const
    {
        const char* at = m_blocks[location >> kPositionBits].get() + (location & ((1u << kPositionBits) - 1));
        std::size_t size;
        std::memcpy(&size, at, sizeof size);
        return {at + sizeof size, size};
    }

    std::uint64_t DistinctNames::Store(std::string_view name)
    {
        const std::size_t needed = sizeof(std::size_t) + name.size();
        if (needed > kBlockSize / 4)
        {
            // A long name gets a block of its own, which the next name does
            // not share.
            m_blocks.push_back(Block(static_cast<char*>(large_pages::Allocate(needed, false)))); // not zeroed: written before read
            m_blockFill.push_back(0);
            m_blockUsed = kBlockSize;
        }
        else if (needed > kBlockSize - m_blockUsed)
        {
            m_blocks.push_back(Block(static_cast<char*>(large_pages::Allocate(kBlockSize, m_blocks.size() >= kLargePagesFrom))));
            m_blockFill.push_back(0);
            m_blockUsed = 0;
        }
        const std::size_t position = needed > kBlockSize / 4 ? 0 : m_blockUsed;
        char* at = m_blocks.back().get() + position;
        const std::size_t size = name.size();
        std::memcpy(at, &size, sizeof size);
        if (size > 0)
            std::memcpy(at + sizeof size, name.data(), size);
        if (needed <= kBlockSize / 4)
            m_blockUsed += needed;
        m_blockFill.back() += needed;
        return (static_cast<std::uint64_t>(m_blocks.size() - 1) << kPositionBits) | position;
    }

    // The names are placed again in the order they were stored, read
    // straight through their blocks rather than in the old slots' order
    // (which would visit them at random), in groups whose new slots are
    // asked for before any is placed.
    void DistinctNames::Grow()
    {
        const std::size_t size = m_slots.empty() ? 1024 : m_slots.size() * 2;
        decltype(m_slots)().swap(m_slots);
        m_slots.assign(size, 0);
        const std::size_t mask = size - 1;
        constexpr std::size_t kGroup = 32;
        std::uint64_t locations[kGroup];
        std::uint64_t hashes[kGroup];
        std::size_t grouped = 0;
        const auto place = [&] {
            for (std::size_t k = 0; k < grouped; ++k)
            {
                std::size_t i = hashes[k] & mask;
                while (m_slots[i] != 0)
                    i = (i + 1) & mask;
                m_slots[i] = ((locations[k] + 1) << 16) | (hashes[k] >> 48);
            }
            grouped = 0;
        };
        for (std::size_t block = 0; block < m_blocks.size(); ++block)
        {
            for (std::size_t position = 0; position < m_blockFill[block];)
            {
                const std::uint64_t location = (static_cast<std::uint64_t>(block) << kPositionBits) | position;
                const std::string_view name = NameAt(location);
                locations[grouped] = location;
                hashes[grouped] = HashName(name);
#if defined(__GNUC__) || defined(__clang__)
                __builtin_prefetch(&m_slots[hashes[grouped] & mask]);
#endif
                if (++grouped == kGroup)
                    place();
                position += sizeof(std::size_t) + name.size();
            }
        }
        place();
    }

    std::uint64_t DistinctNames::Hash(std::string_view name) const
    {
        const std::uint64_t hash = HashName(name);
#if defined(__GNUC__) || defined(__clang__)
        if (!m_slots.empty())
            __builtin_prefetch(&m_slots[hash & (m_slots.size() - 1)]);
#endif
        return hash;
    }

    bool DistinctNames::Insert(std::string_view name)
    {
        return InsertHashed(name, HashName(name));
    }

    bool DistinctNames::InsertHashed(std::string_view name, std::uint64_t hash)
    {
        if ((m_count + 1) * 2 > m_slots.size())
            Grow();
        const auto tag = static_cast<std::uint64_t>(hash >> 48);
        const std::size_t mask = m_slots.size() - 1;
        std::size_t i = hash & mask;
        for (; m_slots[i] != 0; i = (i + 1) & mask)
        {
            const std::uint64_t slot = m_slots[i];
            if ((slot & 0xFFFF) != tag)
                continue;
            const std::string_view stored = NameAt((slot >> 16) - 1);
            if (stored.size() == name.size() && scan::BytesEqual(stored.data(), name.data(), name.size()))
                return false;
        }
        m_slots[i] = ((Store(name) + 1) << 16) | tag;
        ++m_count;
        return true;
    }

    std::uint32_t ExtractMasterDomains(MasterRunState& run, ZoneLineReader& zoneFile, Batch& batch,
                                       std::uint32_t limit)
    {
        EngineRun& engineRun = CurrentRun();
        const ExtractionSettings& settings = engineRun.settings;
        RunState& state = engineRun.state;
        const bool append = settings.appendNameServers != 0;
        const std::vector<std::string>& listed = settings.nameServers;
        const bool wordOrCharacterTests = detail::HasWordOrCharacterTests(settings);
        MasterFileReader& reader = run.reader;
        std::string upper;

        // Without append mode and without a name-server list, a further NS
        // line of the owner read last has that line's outcome, which added
        // nothing new: no need to read it.
        const bool passOver = !append && listed.empty();
        reader.WantServers(!passOver);
        // The domain accepted last: while it was accepted in this call, the
        // start of its entry in the batch (no copy per accepted name); kept
        // in the run state for the calls after this one.
        bool previousInBatch = false;
        std::size_t previousOffset = 0;
        std::size_t previousLength = 0;
        const auto take = [&](const MasterNsRecord& record) {
            if (record.owner.empty() || record.ownerIsApex)
                return false;
            if (!listed.empty() && !ServerListed(record.server, listed))
                return false;
            const std::string_view previous = previousInBatch
                ? std::string_view(batch.Bytes() + previousOffset, previousLength)
                : std::string_view(state.previousName);
            if (record.owner.size() == previous.size()
                && scan::BytesEqual(record.owner.data(), previous.data(), previous.size()))
            {
                // A further record of the domain accepted last: its server
                // joins that domain's entry, the batch's last (held back by
                // the worker across calls), unless the entry has it already
                // (a record set holds each record once, however often the
                // file repeats it).
                if (append && !batch.empty() && !EntryHasServer(batch.back(), record.server))
                    batch.AppendToBack(",", record.server);
                return false;
            }
            if (!detail::PassesNameLength(settings, record.owner.size()))
                return false;
            if (wordOrCharacterTests)
            {
                upper.assign(record.owner);
                for (char& c : upper)
                    c = UpperAscii(c);
                if (!detail::PassesWordAndCharacterTests(settings, upper))
                    return false;
            }
            previousOffset = batch.ByteSize();
            previousLength = record.owner.size();
            previousInBatch = true;
            if (append)
                batch.push_back(record.owner, ": ", record.server);
            else if (record.ownerInLine && record.owner.size() <= Batch::kLongBlockBytes)
                batch.PushBackBlock(record.owner.data(), record.owner.size()); // 64 bytes readable
            else
                batch.push_back(record.owner);
            CountNameExtracted(state);
            return true;
        };
        const std::uint32_t count = ReadLines(
            reader, zoneFile, limit, passOver, !passOver,
            [&](std::string_view line, bool plain) { return reader.ReadLine(line, plain) && take(reader.Record()); },
            take);
        if (previousInBatch)
            state.previousName.assign(batch.Bytes() + previousOffset, previousLength);
        return count;
    }

    std::uint32_t ExtractMasterNameServers(MasterRunState& run, ZoneLineReader& zoneFile, Batch& batch,
                                           std::uint32_t limit)
    {
        MasterFileReader& reader = run.reader;
        RunState& state = CurrentRunState();
        PendingServers& pending = run.pending;
        // The oldest pending server: an entry when it is new.
        const auto settle = [&] {
            const std::string_view server = pending.FrontName();
            const bool added = run.servers.InsertHashed(server, pending.FrontHash());
            if (added)
            {
                batch.push_back(server);
                CountNameExtracted(state);
            }
            pending.Pop();
            return added;
        };
        // A call ends on the very line whose server is the limit-th new one,
        // as if each were settled on its line: while all pending servers
        // could still be new and reach the limit, they are settled at once.
        // ReadLines ends on the first line for which the read returns true.
        std::uint32_t count = 0;
        if (limit == 0)
            return 0;
        const auto take = [&](const MasterNsRecord& record) {
            if (record.owner.empty() || record.ownerIsApex)
                return false;
            if (pending.Full())
                count += settle() ? 1 : 0;
            pending.Push(record.server, run.servers.Hash(record.server));
            if (count + pending.Size() < limit)
                return false;
            while (!pending.Empty())
                count += settle() ? 1 : 0;
            return count >= limit;
        };
        ReadLines(reader, zoneFile, 1, false, true,
                  [&](std::string_view line, bool plain) { return reader.ReadLine(line, plain) && take(reader.Record()); },
                  take);
        while (!pending.Empty())
            count += settle() ? 1 : 0;
        return count;
    }
}
