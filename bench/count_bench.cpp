// The count of domains per server and provider (engine/count): the tally fed
// with append-mode entries as a domain run writes them, and its finish into
// a sorted table. The zone: domains with two or three servers (2.5 on
// average), 70 % of them on shared servers of a few thousand providers, the
// others on servers of their own (ns1.<domain>, ns2.<domain>, ...). At the
// full size, 6 million domains, that is about 4.7 million distinct servers.
//
// Counters: entries per second, and the tally's bytes per distinct server
// (its own accounting of tables and names, before the finish).

#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <benchmark/benchmark.h>

#include "count/count_table.h"
#include "count/provider_map.h"
#include "count/public_suffix.h"
#include "count/server_tally.h"
#include "count/suffix_rules.h"

namespace
{
    struct Entries
    {
        std::string bytes;
        std::vector<std::uint32_t> ends;

        std::string_view operator[](std::size_t i) const
        {
            const std::size_t begin = i == 0 ? 0 : ends[i - 1];
            return std::string_view(bytes).substr(begin, ends[i] - begin);
        }
    };

    const char* const kTlds[] = {"com", "net", "org", "co.uk", "de"};

    Entries MakeEntries(std::size_t domains)
    {
        Entries entries;
        entries.bytes.reserve(domains * 72);
        entries.ends.reserve(domains);
        std::uint64_t state = 0x2545F4914F6CDD1Dull;
        auto next = [&state] {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            return state;
        };
        for (std::size_t d = 0; d < domains; ++d)
        {
            const std::string name = "domain" + std::to_string(d) + ".com";
            const unsigned servers = (d % 2 == 0) ? 2 : 3;
            entries.bytes += name;
            entries.bytes += ": ";
            const bool own = next() % 10 < 3;
            // Shared providers: a skewed choice among 20000, so that a few
            // are large and most small; each has four servers.
            const std::uint64_t provider = (next() % 20000) * (next() % 20000) / 20000;
            for (unsigned s = 1; s <= servers; ++s)
            {
                if (s > 1)
                    entries.bytes += ',';
                if (own)
                    entries.bytes += "NS" + std::to_string(s) + "." + name;
                else
                    entries.bytes += "ns" + std::to_string(s) + ".dnshost" + std::to_string(provider) + "."
                        + kTlds[provider % 5];
            }
            entries.ends.push_back(static_cast<std::uint32_t>(entries.bytes.size()));
        }
        return entries;
    }

    const Entries& EntriesOf(std::size_t domains)
    {
        static std::size_t made = 0;
        static Entries entries;
        if (made != domains)
        {
            entries = MakeEntries(domains);
            made = domains;
        }
        return entries;
    }

    void Tally(benchmark::State& state, bool finish, const plexor::ProviderMap* map = nullptr)
    {
        const auto domains = static_cast<std::size_t>(state.range(0));
        const Entries& entries = EntriesOf(domains);
        static_cast<void>(plexor::PublicSuffixList::Default()); // loaded before timing
        std::size_t servers = 0, bytes = 0;
        for (auto _ : state)
        {
            std::optional<plexor::ServerTally> tally;
            tally.emplace(map);
            // In batches of a run's size, as the count run hands them over.
            std::vector<std::string_view> batch;
            for (std::size_t first = 0; first < domains; first += 1000)
            {
                batch.clear();
                for (std::size_t i = first; i < domains && i < first + 1000; ++i)
                    batch.push_back(entries[i]);
                tally->AddEntries(batch);
            }
            servers = tally->DistinctServers();
            bytes = tally->BytesHeld();
            std::optional<plexor::CountTable> table;
            if (finish)
                table.emplace(tally->Finish(plexor::CountBy::Provider));
            state.PauseTiming(); // memory is given back outside the timing
            table.reset();
            tally.reset();
            state.ResumeTiming();
        }
        state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * domains));
        state.counters["servers"] = static_cast<double>(servers);
        state.counters["bytes_per_server"] = static_cast<double>(bytes) / static_cast<double>(servers);
    }

    void BM_TallyEntries(benchmark::State& state)
    {
        Tally(state, false);
    }

    void BM_TallyEntriesAndFinish(benchmark::State& state)
    {
        Tally(state, true);
    }

    // The tally without the Public Suffix List: a map that gives every
    // server one provider, so the time is the tables' alone.
    void BM_TallyEntriesNoSuffixList(benchmark::State& state)
    {
        static plexor::ProviderMap map;
        static_cast<void>(map.Parse("* everyone\n"));
        Tally(state, false, &map);
    }

    // The provider lookup alone, for hosts of their own (each one new):
    // the build's lookup (libpsl where it has it), and the built-in rules.
    template <typename List>
    void RegistrableDomain(benchmark::State& state, const List& list, const char* label)
    {
        std::vector<std::string> hosts;
        for (int i = 0; i < 100000; ++i)
            hosts.push_back("ns1.domain" + std::to_string(i) + "." + kTlds[i % 5]);
        for (auto _ : state)
        {
            for (const std::string& host : hosts)
                benchmark::DoNotOptimize(list.RegistrableStart(host));
        }
        state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * hosts.size()));
        state.SetLabel(label);
    }

    void BM_RegistrableDomain(benchmark::State& state)
    {
        const plexor::PublicSuffixList& list = plexor::PublicSuffixList::Default();
        RegistrableDomain(state, list, list.Source());
    }

    void BM_RegistrableDomainBuiltin(benchmark::State& state)
    {
        RegistrableDomain(state, plexor::SuffixRules::Builtin(), "built-in");
    }

    // The rules made from the system's list file, as a count run's start
    // does.
    void BM_SuffixRulesFromListText(benchmark::State& state)
    {
        std::ifstream in("/usr/share/publicsuffix/public_suffix_list.dat", std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (text.empty())
        {
            state.SkipWithError("no /usr/share/publicsuffix/public_suffix_list.dat");
            return;
        }
        for (auto _ : state)
            benchmark::DoNotOptimize(plexor::SuffixRules::FromListText(text).size());
    }
}

BENCHMARK(BM_TallyEntries)->Arg(600000)->Arg(6000000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_TallyEntriesNoSuffixList)->Arg(6000000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_TallyEntriesAndFinish)->Arg(6000000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_RegistrableDomain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RegistrableDomainBuiltin)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SuffixRulesFromListText)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
