#include "count/server_tally.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "count/provider_map.h"
#include "count/public_suffix.h"
#include "count/row_order.h"
#include "scan/byte_scan.h"
#include "scan/large_pages.h"
#include "scan/left_uninitialized.h"
#include "scan/prefetch.h"

namespace plexor
{
    namespace
    {
        char LowerAscii(char c)
        {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
        }

        // A 32-bit hash of a name: eight bytes at a time, multiplied and
        // folded. The table compares whole names, so it need only spread.
        std::uint64_t HashStart(std::size_t size)
        {
            return 0x9E3779B97F4A7C15ull ^ size;
        }

        std::uint64_t HashWord(std::uint64_t h, std::uint64_t word)
        {
            h = (h ^ word) * 0xBF58476D1CE4E5B9ull;
            return h ^ (h >> 31);
        }

        std::uint32_t HashEnd(std::uint64_t h)
        {
            h *= 0x94D049BB133111EBull;
            return static_cast<std::uint32_t>(h >> 32);
        }

        std::uint32_t HashName(std::string_view name)
        {
            std::uint64_t h = HashStart(name.size());
            std::size_t i = 0;
            for (; i + 8 <= name.size(); i += 8)
            {
                std::uint64_t word;
                std::memcpy(&word, name.data() + i, 8);
                h = HashWord(h, word);
            }
            if (i < name.size())
                h = HashWord(h, scan::LoadTail(name.data() + i, name.size() - i));
            return HashEnd(h);
        }

        // Eight bytes with 'A' to 'Z' made lower case, the others as they
        // are.
        std::uint64_t LowerWord(std::uint64_t word)
        {
            constexpr std::uint64_t kOnes = 0x0101010101010101ull;
            const std::uint64_t low7 = word & (0x7F * kOnes);
            const std::uint64_t fromA = low7 + (0x80 - 'A') * kOnes;     // top bit: at least 'A'
            const std::uint64_t pastZ = low7 + (0x80 - 'Z' - 1) * kOnes; // top bit: past 'Z'
            const std::uint64_t upper = fromA & ~pastZ & ~word & (0x80 * kOnes);
            return word | (upper >> 2);
        }

        // The name lowered into `out` (room for its size), and its
        // HashName, in one pass.
        std::uint32_t LowerAndHash(std::string_view name, char* out)
        {
            std::uint64_t h = HashStart(name.size());
            std::size_t i = 0;
            for (; i + 8 <= name.size(); i += 8)
            {
                std::uint64_t word;
                std::memcpy(&word, name.data() + i, 8);
                word = LowerWord(word);
                std::memcpy(out + i, &word, 8);
                h = HashWord(h, word);
            }
            if (i < name.size())
            {
                const std::uint64_t word = LowerWord(scan::LoadTail(name.data() + i, name.size() - i));
                scan::StoreTail(out + i, word, name.size() - i);
                h = HashWord(h, word);
            }
            return HashEnd(h);
        }

        using scan::Prefetch;

        // Gives the pages of freed tables back to the system before the
        // finish takes memory of its own: the C library keeps freed blocks
        // of a thread's heap for later, and the peak would hold both.
        void ReturnFreedMemory()
        {
#ifdef __GLIBC__
            malloc_trim(0);
#endif
        }
    }

    // Open addressing with linear probing. Each slot has a tag byte (0:
    // empty, else seven bits of the hash with the top bit set) beside the
    // record's index, so that a probe past other names reads the tags alone,
    // one cache line for many slots, and not their records. Records (a
    // server's or a provider's) lie in blocks, so that growing moves none of
    // them.
    static_assert(sizeof(ServerTally::ProviderRecord) == 12 && sizeof(ServerTally::Record) == 16);

    template <typename Rec>
    class ServerTally::Table final
    {
    public:
        static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
        // Records lie in blocks of 2^kBlockShift.
        static constexpr std::uint32_t kBlockShift = 17;
        static constexpr std::uint32_t kRecordsPerBlock = 1u << kBlockShift;

        std::size_t size() const { return m_count; }
        Rec& operator[](std::uint32_t i) { return m_blocks[i >> kBlockShift][i & kBlockMask]; }
        const Rec& operator[](std::uint32_t i) const { return m_blocks[i >> kBlockShift][i & kBlockMask]; }

        std::uint32_t Find(std::string_view name, std::uint32_t hash, const NameArena& names) const
        {
            if (m_tags.empty())
                return kNone;
            const std::size_t mask = m_slots.size() - 1;
            const std::uint8_t tag = TagOf(hash);
            for (std::size_t s = hash & mask;; s = (s + 1) & mask)
            {
                const std::uint8_t seen = m_tags[s];
                if (seen == 0)
                    return kNone;
                if (seen != tag)
                    continue;
                const std::uint32_t index = m_slots[s];
                const Rec& record = (*this)[index];
                const std::string_view stored = names.Get(record.Name());
                if (stored.size() == name.size() && scan::BytesEqual(stored.data(), name.data(), name.size()))
                    return index;
            }
        }

        // Asks for the slots where a name of this hash is looked for.
        void PrefetchSlots(std::uint32_t hash) const
        {
            if (m_tags.empty())
                return;
            const std::size_t s = hash & (m_slots.size() - 1);
            Prefetch(&m_tags[s]);
            Prefetch(&m_slots[s]);
        }

        // Asks for the record of the first slot whose tag matches the hash,
        // and, once the record is there, for its name: a later Find of the
        // same name then finds both in the cache. Looks at the slots within
        // one probe's reach only, and changes nothing.
        void PrefetchRecord(std::uint32_t hash) const
        {
            if (const std::uint32_t index = Candidate(hash); index != kNone)
                Prefetch(&(*this)[index]);
        }

        void PrefetchName(std::uint32_t hash, const NameArena& names) const
        {
            if (const std::uint32_t index = Candidate(hash); index != kNone)
                Prefetch(names.Get((*this)[index].Name()).data());
        }

        // Adds a record known to be absent.
        std::uint32_t Insert(NameArena::Ref name, std::uint32_t hash, const NameArena& names)
        {
            if (m_count == kNone - 1)
                throw std::length_error("more than 4 294 967 294 distinct names to count");
            if ((m_count + 1) * 4 > m_tags.size() * 3)
                Grow(names);
            const auto index = static_cast<std::uint32_t>(m_count);
            if ((index & kBlockMask) == 0)
                m_blocks.push_back(RecordBlock(static_cast<Rec*>(
                    large_pages::Allocate(kRecordsPerBlock * sizeof(Rec), m_blocks.size() >= kLargePagesFrom))));
            if (const std::uint32_t inBlock = index & kBlockMask; inBlock % kPrefaultRecords == 0)
                large_pages::Prefault(&(*this)[index], std::min(kPrefaultRecords, kRecordsPerBlock - inBlock) * sizeof(Rec));
            Rec& record = (*this)[index];
            record = Rec {};
            record.nameLow = static_cast<std::uint32_t>(name);
            record.nameHigh = static_cast<std::uint32_t>(name >> 32);
            Place(index, hash);
            ++m_count;
            return index;
        }

        // Frees the slots: the records alone stay, for reading in order.
        void DropIndex()
        {
            decltype(m_slots)().swap(m_slots);
            decltype(m_tags)().swap(m_tags);
        }

        // After DropIndex, for reading the records once: frees the block
        // of records that holds record `i`, so that what is made of the
        // records need not be held beside all of them. Its records are gone
        // afterwards. Blocks of their own may be freed from threads of
        // their own.
        void FreeBlockOf(std::uint32_t i) { m_blocks[i >> kBlockShift].reset(); }
        // Whether record `i` is the last of its block.
        static bool EndsBlock(std::uint32_t i) { return ((i + 1) & kBlockMask) == 0; }

        std::size_t BytesHeld() const
        {
            return m_slots.capacity() * sizeof(std::uint32_t) + m_tags.capacity() + m_blocks.size() * kRecordsPerBlock * sizeof(Rec)
                + m_blocks.capacity() * sizeof(m_blocks[0]);
        }

    private:
        // Blocks of kRecordsPerBlock (2 MiB of a server's), on huge pages
        // from the fifth on where they fill whole ones (records are read at
        // random); not zeroed, so the unused end of the last one takes no
        // memory while it is on small pages.
        static constexpr std::uint32_t kBlockMask = kRecordsPerBlock - 1;
        static constexpr std::size_t kLargePagesFrom = 4;
        // Records whose pages are asked for at once.
        static constexpr std::uint32_t kPrefaultRecords = large_pages::kPrefaultBytes / sizeof(Rec);
        struct Free
        {
            void operator()(Rec* records) const { std::free(records); }
        };
        using RecordBlock = std::unique_ptr<Rec[], Free>;

        std::uint32_t Candidate(std::uint32_t hash) const
        {
            constexpr std::size_t kReach = 8;
            if (m_tags.empty())
                return kNone;
            const std::size_t mask = m_slots.size() - 1;
            const std::uint8_t tag = TagOf(hash);
            std::size_t s = hash & mask;
            for (std::size_t k = 0; k < kReach; ++k, s = (s + 1) & mask)
            {
                if (m_tags[s] == 0)
                    return kNone;
                if (m_tags[s] == tag)
                    return m_slots[s];
            }
            return kNone;
        }

        static std::uint8_t TagOf(std::uint32_t hash)
        {
            return static_cast<std::uint8_t>((hash >> 25) | 0x80);
        }

        void Place(std::uint32_t index, std::uint32_t hash)
        {
            const std::size_t mask = m_slots.size() - 1;
            std::size_t s = hash & mask;
            while (m_tags[s] != 0)
                s = (s + 1) & mask;
            m_tags[s] = TagOf(hash);
            m_slots[s] = index;
        }

        // Records keep no hash: growing hashes their names again, which
        // costs about as much as the inserts did once more and saves four
        // bytes a name.
        void Grow(const NameArena& names)
        {
            const std::size_t size = std::max<std::size_t>(m_slots.size() * 2, 1024);
            // The old slots go before the new ones come.
            decltype(m_slots)().swap(m_slots);
            decltype(m_tags)().swap(m_tags);
            m_slots.resize(size);
            m_tags.assign(size, 0);
            // In groups: the group's names are hashed (read in the order
            // they were stored) and their slots asked for before any is
            // placed.
            constexpr std::uint32_t kGroup = 32;
            std::uint32_t hashes[kGroup];
            const std::size_t mask = size - 1;
            for (std::uint32_t first = 0; first < m_count; first += kGroup)
            {
                const std::uint32_t count = std::min<std::uint32_t>(kGroup, static_cast<std::uint32_t>(m_count) - first);
                for (std::uint32_t k = 0; k < count; ++k)
                {
                    hashes[k] = HashName(names.Get((*this)[first + k].Name()));
                    Prefetch(&m_tags[hashes[k] & mask]);
                    Prefetch(&m_slots[hashes[k] & mask]);
                }
                for (std::uint32_t k = 0; k < count; ++k)
                    Place(first + k, hashes[k]);
            }
        }

        // A slot's index is read only where its tag is set: not zeroed.
        std::vector<std::uint32_t, LeftUninitialized<LargePageAllocator<std::uint32_t>>> m_slots;
        std::vector<std::uint8_t, LargePageAllocator<std::uint8_t>> m_tags;
        std::vector<RecordBlock> m_blocks;
        std::size_t m_count = 0;
    };

    namespace
    {
        // The sort key of each record, into keys[i] for record i, each block
        // of records freed once read. A large table's first blocks and its
        // others are read side by side on two threads: the zone's reading is
        // over, and the keys' new pages take a fault each, on either core.
        template <typename Rec>
        void MakeKeys(ServerTally::Table<Rec>& records, SortKey* keys, const NameArena& names)
        {
            const auto make = [&records, keys, &names](std::uint32_t first, std::uint32_t last) {
                for (std::uint32_t i = first; i < last; ++i)
                {
                    const Rec& record = records[i];
                    keys[i] = MakeSortKey(names.Get(record.Name()), record.Name(), record.domains);
                    if (ServerTally::Table<Rec>::EndsBlock(i) || i + 1 == last)
                        records.FreeBlockOf(i);
                }
            };
            const auto count = static_cast<std::uint32_t>(records.size());
            constexpr std::size_t kPerBlock = ServerTally::Table<Rec>::kRecordsPerBlock;
            const std::size_t blocks = (std::size_t {count} + kPerBlock - 1) / kPerBlock;
            if (blocks < 2)
                return make(0, count);
            // Split where a block begins: each side frees blocks of its own.
            const auto middle = static_cast<std::uint32_t>(blocks / 2 * kPerBlock);
            OnBothCores([&] { make(0, middle); }, [&] { make(middle, count); });
        }

        // The table's keys in table order, in memory that takes its rows
        // afterwards; the table is gone. The keys are on huge pages once
        // they fill one (on small pages, filling them took a page fault
        // every 4 KiB, several microseconds each on a virtual machine), each
        // records block is freed once read, and the rows are written over
        // the keys, each over keys already read (a row is smaller than a
        // key), so that the finish needs no second array. Sorted on
        // (domains, first twelve bytes of the name) first, then on the
        // later bytes where these tie (SortKeys).
        template <typename Rec>
        CountTable::Rows SortedKeys(std::unique_ptr<ServerTally::Table<Rec>> table, const NameArena& names,
                                    std::size_t& count)
        {
            table->DropIndex();
            ReturnFreedMemory();
            static_assert(sizeof(CountTable::Row) <= sizeof(SortKey));
            count = table->size();
            const std::size_t bytes = large_pages::WholePages(std::max<std::size_t>(count, 1) * sizeof(SortKey));
            CountTable::Rows memory(static_cast<CountTable::Row*>(large_pages::Allocate(bytes)));
            auto* const keys = reinterpret_cast<SortKey*>(memory.get());
            MakeKeys(*table, keys, names);
            table.reset();
            ReturnFreedMemory();
            SortKeys(keys, keys + count, names);
            return memory;
        }
    }

    ServerTally::ServerTally(const ProviderMap* map, const PublicSuffixList* list)
        : m_map(map)
        , m_list(list != nullptr ? list : &PublicSuffixList::Default())
        , m_servers(std::make_unique<Table<Record>>())
        , m_providers(std::make_unique<Table<ProviderRecord>>())
    {
    }

    ServerTally::~ServerTally() = default;

    std::size_t ServerTally::DistinctServers() const
    {
        return m_servers->size();
    }

    std::size_t ServerTally::DistinctProviders() const
    {
        return m_providers->size();
    }

    std::size_t ServerTally::BytesHeld() const
    {
        return m_names.BytesHeld() + m_servers->BytesHeld() + m_providers->BytesHeld();
    }

    void ServerTally::AddEntry(std::string_view entry)
    {
        m_stager.StageEntry(entry, m_staged);
        CountStaged(m_staged);
    }

    void ServerTally::AddDomain(std::string_view name, std::span<const std::string_view> servers)
    {
        m_stager.StageDomain(name, m_staged);
        for (const std::string_view server : servers)
            m_stager.StageServer(server, m_staged);
        CountStaged(m_staged);
    }

    void ServerTally::AddEntries(std::span<const std::string_view> entries)
    {
        for (const std::string_view entry : entries)
            m_stager.StageEntry(entry, m_staged);
        CountStaged(m_staged);
    }

    void ServerTally::AddStaged(StagedEntries& staged)
    {
        CountStaged(staged);
    }

    void EntryStager::StageEntry(std::string_view entry, StagedEntries& into)
    {
        StageHeldEntry(entry, into);
        Release();
    }

    void EntryStager::StageDomain(std::string_view name, StagedEntries& into)
    {
        HoldDomain(name, into);
        Release();
    }

    void EntryStager::StageHeldEntry(std::string_view entry, StagedEntries& into)
    {
        ++into.entries;
        const std::size_t colon = entry.find(": ");
        HoldDomain(entry.substr(0, colon), into);
        if (colon == std::string_view::npos)
            return;
        std::string_view servers = entry.substr(colon + 2);
        for (;;)
        {
            const std::size_t comma = servers.find(',');
            StageServer(servers.substr(0, comma), into);
            if (comma == std::string_view::npos)
                break;
            servers.remove_prefix(comma + 1);
        }
    }

    void EntryStager::Release()
    {
        if (!m_previousHeld)
            return;
        m_previousDomain.assign(m_previous);
        m_previous = m_previousDomain;
        m_previousHeld = false;
    }

    // A new domain unless the name is the one before, in any case; the name
    // is held where it stands.
    void EntryStager::HoldDomain(std::string_view name, StagedEntries& into)
    {
        if (!SameAsBefore(name))
            into.steps.push_back({0, StagedEntries::kDomainStep, 0});
        m_haveDomain = true;
        m_previous = name;
        m_previousHeld = true;
    }

    // Neighbouring names mostly differ in length; those of one length are
    // compared eight bytes at a time, lowered.
    bool EntryStager::SameAsBefore(std::string_view name) const
    {
        if (!m_haveDomain || name.size() != m_previous.size())
            return false;
        std::size_t i = 0;
        for (; i + 8 <= name.size(); i += 8)
        {
            std::uint64_t a;
            std::uint64_t b;
            std::memcpy(&a, name.data() + i, 8);
            std::memcpy(&b, m_previous.data() + i, 8);
            if (LowerWord(a) != LowerWord(b))
                return false;
        }
        for (; i < name.size(); ++i)
        {
            if (LowerAscii(name[i]) != LowerAscii(m_previous[i]))
                return false;
        }
        return true;
    }

    void EntryStager::StageServer(std::string_view server, StagedEntries& into)
    {
        if (!server.empty() && server.back() == '.')
            server.remove_suffix(1);
        const std::size_t offset = into.servers.size();
        into.servers.resize(offset + server.size());
        const std::uint32_t hash = LowerAndHash(server, into.servers.data() + offset);
        into.steps.push_back({static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(server.size()), hash});
    }

    // The steps in order. A server's lookup reads its slot, then the
    // record the slot names, then the record's name, each where the one
    // before says: so the slots of the server sixteen steps on are asked for
    // before each step, the record of the one eight steps on, the name of
    // the one four steps on, and each is in the cache when its step comes.
    void ServerTally::CountStaged(StagedEntries& staged)
    {
        constexpr std::size_t kSlotsAhead = 16;
        constexpr std::size_t kRecordAhead = 8;
        constexpr std::size_t kNameAhead = 4;
        const std::vector<StagedEntries::Step>& steps = staged.steps;
        const std::size_t count = steps.size();
        const auto server = [&](std::size_t k) { return k < count && steps[k].length != StagedEntries::kDomainStep; };
        for (std::size_t i = 0; i < count; ++i)
        {
            if (server(i + kSlotsAhead))
                m_servers->PrefetchSlots(steps[i + kSlotsAhead].hash);
            if (server(i + kRecordAhead))
                m_servers->PrefetchRecord(steps[i + kRecordAhead].hash);
            if (server(i + kNameAhead))
                m_servers->PrefetchName(steps[i + kNameAhead].hash, m_names);
            const StagedEntries::Step& step = steps[i];
            if (step.length == StagedEntries::kDomainStep)
                StartDomain();
            else
                AddServer(std::string_view(staged.servers.data() + step.offset, step.length), step.hash);
        }
        staged.clear();
    }

    void ServerTally::StartDomain()
    {
        EndDomain();
        // A record counts at most one domain a domain: its count stays below
        // the number of domains.
        if (m_domains == 0xFFFFFFFFu)
            throw std::length_error("more than 4 294 967 295 domains to count");
        ++m_domains;
    }

    // Counts the domain once for each of its servers and providers.
    void ServerTally::EndDomain()
    {
        if (m_domainServers.empty())
            return;
        KeepDistinct(m_domainServers);
        m_domainProviders.clear();
        for (const std::uint32_t server : m_domainServers)
        {
            Record& record = (*m_servers)[server];
            ++record.domains;
            m_domainProviders.push_back(record.provider);
        }
        KeepDistinct(m_domainProviders);
        for (const std::uint32_t provider : m_domainProviders)
            ++(*m_providers)[provider].domains;
        if (m_domainProviders.size() == 1)
            ++m_singleProvider;
        m_domainServers.clear();
    }

    // Each index once. A domain has a few servers: sorting them costs less
    // than a stamp in every record would in memory.
    void ServerTally::KeepDistinct(std::vector<std::uint32_t>& indices)
    {
        constexpr std::size_t kFew = 16;
        if (indices.size() <= kFew)
        {
            // Each one compared with those kept before it.
            std::size_t kept = 0;
            for (std::size_t i = 0; i < indices.size(); ++i)
            {
                std::size_t k = 0;
                while (k < kept && indices[k] != indices[i])
                    ++k;
                if (k == kept)
                    indices[kept++] = indices[i];
            }
            indices.resize(kept);
            return;
        }
        std::sort(indices.begin(), indices.end());
        indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    }

    void ServerTally::AddServer(std::string_view server, std::uint32_t hash)
    {
        std::uint32_t index = m_servers->Find(server, hash, m_names);
        if (index == Table<Record>::kNone)
        {
            const NameArena::Ref name = m_names.Add(server);
            const std::uint32_t provider = ProviderFor(server, name);
            index = m_servers->Insert(name, hash, m_names);
            (*m_servers)[index].provider = provider;
        }
        m_domainServers.push_back(index);
    }

    // The provider of a new server, its lowered name `lower`, in the arena
    // at `server`.
    std::uint32_t ServerTally::ProviderFor(std::string_view lower, NameArena::Ref server)
    {
        const std::string* mapped = m_map != nullptr ? m_map->ProviderOf(lower) : nullptr;
        if (mapped != nullptr)
            return ProviderNamed(*mapped, std::nullopt);
        // The servers of one domain mostly share their parent
        // (ns1.example.net, ns2.example.net), and a host below a parent with
        // a registrable domain R has R too, unless the host is a public
        // suffix itself (a rule for it, or "*." before its parent).
        // (A name that begins with a dot has none: it is no host name.)
        // The first label is a few bytes long: a loop finds its end sooner
        // than a call of find.
        std::size_t dot = 0;
        while (dot < lower.size() && lower[dot] != '.')
            ++dot;
        if (dot == lower.size())
            dot = std::string_view::npos;
        const bool hasParent = dot != std::string_view::npos && dot != 0;
        const std::string_view parent = hasParent ? lower.substr(dot + 1) : std::string_view();
        if (m_lastParentKept && hasParent && parent == m_lastParent
            && (!m_lastParentReached || !m_list->IsPublicSuffix(lower)))
            return m_lastParentProvider;
        // The registrable domain is the end of the server's own name.
        const std::size_t start = m_list->RegistrableStart(lower);
        const std::uint32_t provider = start == std::string_view::npos
                                           ? ProviderNamed(lower, server)
                                           : ProviderNamed(lower.substr(start), m_names.Suffix(server, start));
        m_lastParentKept = hasParent && start != std::string_view::npos && start > dot;
        if (m_lastParentKept)
        {
            m_lastParent.assign(parent);
            m_lastParentProvider = provider;
            m_lastParentReached = m_list->Reaches(m_lastParent);
        }
        return provider;
    }

    // The provider of that name, added when new: pointing into the arena at
    // `stored` when given, else with a name of its own.
    std::uint32_t ServerTally::ProviderNamed(std::string_view name, std::optional<NameArena::Ref> stored)
    {
        const std::uint32_t hash = HashName(name);
        const std::uint32_t found = m_providers->Find(name, hash, m_names);
        if (found != Table<ProviderRecord>::kNone)
            return found;
        const NameArena::Ref ref = stored ? *stored : m_names.Add(name);
        return m_providers->Insert(ref, hash, m_names);
    }

    CountTable ServerTally::Finish(CountBy by)
    {
        EndDomain();
        // Only the counted table's records are needed from here on.
        std::unique_ptr<Table<Record>> servers = std::exchange(m_servers, std::make_unique<Table<Record>>());
        std::unique_ptr<Table<ProviderRecord>> providers
            = std::exchange(m_providers, std::make_unique<Table<ProviderRecord>>());
        std::size_t count = 0;
        CountTable::Rows memory;
        if (by == CountBy::Provider)
        {
            servers.reset();
            memory = SortedKeys(std::move(providers), m_names, count);
        }
        else
        {
            providers.reset();
            memory = SortedKeys(std::move(servers), m_names, count);
        }
        auto* const keys = reinterpret_cast<SortKey*>(memory.get());
        CountFigures figures;
        figures.domainsCounted = m_domains;
        figures.singleProviderDomains = m_singleProvider;
        std::uint64_t sum = 0;
        for (std::size_t i = 0; i < count; ++i)
        {
            const SortKey key = keys[i];
            const CountTable::Row row {key.name, key.Domains()};
            std::memcpy(reinterpret_cast<char*>(memory.get()) + i * sizeof row, &row, sizeof row);
            sum += key.Domains();
            if (m_domains != 0 && !figures.rowsFor50Percent && sum * 2 >= m_domains)
                figures.rowsFor50Percent = i + 1;
            if (m_domains != 0 && !figures.rowsFor90Percent && sum * 10 >= m_domains * 9)
                figures.rowsFor90Percent = i + 1;
        }

        CountTable result(by, std::move(m_names), std::move(memory), count, figures);
        m_names = NameArena();
        m_stager.Reset();
        m_lastParentKept = false;
        m_domains = 0;
        m_singleProvider = 0;
        return result;
    }
}
