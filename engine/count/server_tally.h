#pragma once

// The count of domains per name server and per provider, fed with the
// entries of a domain run in append mode ("NAME: SERVER1,SERVER2,...") or
// with a name and its servers, and finished into a CountTable
// (count_table.h). It needs nothing of the run: plain strings in, a table
// out.
//
// Rules:
// - Servers are compared and shown in ASCII lower case, without one final
//   dot; a server text that is no valid host name (empty, with blanks, ...)
//   is counted as it stands, never dropped.
// - A server's provider is, with a provider map, the provider of the first
//   line that matches it; otherwise its registrable domain under the Public
//   Suffix List (public_suffix.h); a host that has none is its own provider.
//   It is found once per distinct server, on first sight.
// - Each domain counts once per server and once per provider, however often
//   its entries list them.
// - Domains are told apart without regard to ASCII case, by comparing each
//   name with the one before it only: entries of the same name that follow
//   each other are one domain. That needs no set of all domains, and it is
//   enough because every layout's extractor gives a domain's entries
//   together: an entry grows while further lines of the same owner follow,
//   the worker holds the last entry of a batch back until it can no longer
//   grow, and a zone lists the records of one owner together (the registry
//   layouts by construction; master files as every zone writer and transfer
//   does, since a domain's NS records form one record set). Two entries of
//   one name arise where the owner's spelling changes case between
//   neighbouring lines (the extractors compare byte for byte), which this
//   rule joins; a file that lists a domain's records apart, with other
//   owners between, would have that domain counted twice.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "count/count_table.h"
#include "count/name_arena.h"

namespace plexor
{
    class ProviderMap;
    class PublicSuffixList;

    // Entries made ready for counting: each new domain marked, each server
    // lowered (without a final dot) and hashed. An EntryStager makes them,
    // on whatever thread reads the entries; ServerTally::AddStaged counts
    // them, in their order.
    struct StagedEntries
    {
        struct Step
        {
            std::uint32_t offset;
            std::uint32_t length; // kDomainStep: a new domain
            std::uint32_t hash;
        };
        static constexpr std::uint32_t kDomainStep = 0xFFFFFFFFu;

        std::string servers; // the lowered servers of the steps
        std::vector<Step> steps;
        std::size_t entries = 0;

        void clear()
        {
            servers.clear();
            steps.clear();
            entries = 0;
        }
    };

    // Stages entries in their order. It remembers the domain of the entry
    // before: entries of the same name that follow each other are one
    // domain (see ServerTally).
    class EntryStager final
    {
    public:
        // One entry of a domain run: the name before ": ", the servers after
        // it separated by ","; an entry without ": " is a domain without
        // servers.
        void StageEntry(std::string_view entry, StagedEntries& into);
        void StageDomain(std::string_view name, StagedEntries& into);
        void StageServer(std::string_view server, StagedEntries& into);
        // StageEntry for an entry whose bytes stay where they are until the
        // next entry is staged or Release() is called: its name is compared
        // with the next one where it stands, not copied first. A run's batch
        // gives each of its entries so, and Release() before it changes.
        void StageHeldEntry(std::string_view entry, StagedEntries& into);
        // Copies the held name of the entry before, if any, so that its
        // bytes may change.
        void Release();
        // Forgets the domain before.
        void Reset()
        {
            m_haveDomain = false;
            m_previousHeld = false;
        }

    private:
        void HoldDomain(std::string_view name, StagedEntries& into);
        // Whether the name is the domain before, in any case; if not, it is
        // counted as a new one.
        bool SameAsBefore(std::string_view name) const;

        std::string m_previousDomain; // the domain of the entry before, unless held
        std::string_view m_previous;  // the domain of the entry before, where it is
        bool m_haveDomain = false;    // m_previous is a domain
        bool m_previousHeld = false;  // m_previous points into the caller's bytes
    };

    class ServerTally final
    {
    public:
        // `map`, when not null, must outlive the tally; `list` defaults to
        // PublicSuffixList::Default().
        explicit ServerTally(const ProviderMap* map = nullptr, const PublicSuffixList* list = nullptr);
        ~ServerTally();
        ServerTally(const ServerTally&) = delete;
        ServerTally& operator=(const ServerTally&) = delete;

        // One entry of a domain run: the name before ": ", the servers after
        // it separated by ","; an entry without ": " is a domain without
        // servers.
        void AddEntry(std::string_view entry);
        void AddDomain(std::string_view name, std::span<const std::string_view> servers);
        // Entries in their order, as AddEntry takes them one by one, but
        // faster: the servers of the whole span are lowered and hashed
        // first, then counted, each while the table slots of a server a few
        // steps on are being fetched from memory.
        void AddEntries(std::span<const std::string_view> entries);
        // Entries staged by a stager of their own (that of the tally is
        // left as it is), counted; `staged` is empty afterwards.
        void AddStaged(StagedEntries& staged);

        // The table by server or by provider, with the figures; the tally
        // is empty afterwards, ready for another count.
        CountTable Finish(CountBy by);

        std::uint64_t DomainsCounted() const { return m_domains; }
        std::size_t DistinctServers() const;
        std::size_t DistinctProviders() const;
        // Bytes the tally holds for its tables and names.
        std::size_t BytesHeld() const;

        // A provider's record, 12 bytes: the name's reference in two halves
        // keeps it 4-aligned.
        struct ProviderRecord
        {
            std::uint32_t nameLow;
            std::uint32_t nameHigh;
            std::uint32_t domains;

            NameArena::Ref Name() const { return (NameArena::Ref {nameHigh} << 32) | nameLow; }
        };
        // A server's, 16 bytes: with its provider.
        struct Record : ProviderRecord
        {
            std::uint32_t provider; // index in the provider table
        };
        template <typename R>
        class Table;

    private:
        void CountStaged(StagedEntries& staged);
        void StartDomain();
        void AddServer(std::string_view server, std::uint32_t hash);
        static void KeepDistinct(std::vector<std::uint32_t>& indices);
        std::uint32_t ProviderFor(std::string_view lower, NameArena::Ref server);
        std::uint32_t ProviderNamed(std::string_view name, std::optional<NameArena::Ref> stored);
        void EndDomain();

        const ProviderMap* m_map;
        const PublicSuffixList* m_list;
        NameArena m_names;
        std::unique_ptr<Table<Record>> m_servers;
        std::unique_ptr<Table<ProviderRecord>> m_providers;
        EntryStager m_stager;
        StagedEntries m_staged;
        // The parent (all but the first label) of the last new server whose
        // provider is its registrable domain, and that provider, when the
        // domain lies within the parent: a further server below the same
        // parent has it too, unless it is a public suffix itself.
        std::string m_lastParent;
        std::uint32_t m_lastParentProvider = 0;
        bool m_lastParentKept = false;
        // Whether a suffix rule reaches the parent: only then can a server
        // below it be a public suffix itself.
        bool m_lastParentReached = false;
        std::uint64_t m_domains = 0;
        std::uint64_t m_singleProvider = 0;
        // The current domain's servers (indices in the server table), as
        // often as its entries list them, and, while it is ended, their
        // providers: each is counted once when the domain ends.
        std::vector<std::uint32_t> m_domainServers;
        std::vector<std::uint32_t> m_domainProviders;
    };
}
