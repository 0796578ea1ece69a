// Throughput of the zone line reader and of whole runs through the worker on
// synthetic zones in memory, without file I/O. The end-to-end comparison with
// grep and mawk on real files is bench/compare_tools.sh.

#include <cstdint>
#include <string>

#include <benchmark/benchmark.h>

#include "run/extraction_worker.h"
#include "run/headless_run.h"
#include "scan/line_index.h"
#include "layouts/master/master_file_reader.h"
#include "run/run_setup.h"
#include "scan/kernel.h"

namespace
{
#ifdef _WIN32
    constexpr const char* kNullDevice = "NUL";
#else
    constexpr const char* kNullDevice = "/dev/null";
#endif

    // A gTLD zone: domains with two to four delegation lines, some with their
    // own name servers and address lines.
    std::string MakeGtldZone(std::size_t lines)
    {
        std::string zone = "; synthetic\n$ORIGIN COM.\nCOM. NS A.GTLD-SERVERS.NET.\n";
        std::size_t n = 3;
        for (std::uint64_t d = 0; n < lines; ++d)
        {
            const std::string label = "DOMAIN" + std::to_string(d * 7919 % 1000003);
            const unsigned servers = 2 + d % 3;
            for (unsigned s = 1; s <= servers && n < lines; ++s, ++n)
                zone += label + " NS NS" + std::to_string(s) + ".HOSTMASTER.NET.\n";
            if (d % 6 == 0 && n < lines)
            {
                zone += "NS1." + label + " A 192.0.2." + std::to_string(d % 250) + "\n";
                ++n;
            }
        }
        return zone;
    }

    std::string MakeSeZone(std::size_t lines)
    {
        std::string zone;
        for (std::uint64_t d = 0; zone.size() == 0 || lines >= 3; ++d, lines -= 3)
        {
            const std::string name = "domain" + std::to_string(d / 2) + ".se";
            zone += "- Name=" + name + "\n    Created=2020-01-01\n    Name Server=ns" + std::to_string(d % 2) +
                    ".host.se\n";
            if (lines < 6)
                break;
        }
        return zone;
    }

    // A master file in the form of ICANN's CZDS files: one record per line,
    // tab-separated, lower case, two to four NS records per domain, some DS
    // and NSEC3 records.
    std::string MakeMasterZone(std::size_t lines)
    {
        std::string zone = "com.\t900\tin\tsoa\ta.gtld-servers.net. nstld.verisign-grs.com. 1 1800 900 604800 86400\n"
                           "com.\t172800\tin\tns\ta.gtld-servers.net.\n";
        std::size_t n = 2;
        for (std::uint64_t d = 0; n < lines; ++d)
        {
            const std::string name = "domain" + std::to_string(d * 7919 % 1000003) + ".com.";
            const std::string host = "host" + std::to_string(d * 31 % 5000) + ".net.\n";
            const unsigned servers = 2 + d % 3;
            for (unsigned s = 1; s <= servers && n < lines; ++s, ++n)
                zone += name + "\t172800\tin\tns\tns" + std::to_string(s) + "." + host;
            if (d % 10 == 0 && n < lines)
            {
                zone += name + "\t86400\tin\tds\t" + std::to_string(d % 65535) +
                        " 8 2 4D8E1CDA3C53B24FA89AF71D6C2A4E7A2BD2F3B9AA8F2F1E1A4E8E1D4C2B3A19\n";
                ++n;
            }
            if (d % 20 == 0 && n < lines)
            {
                zone += "abc" + std::to_string(d) + ".com.\t86400\tin\tnsec3\t1 1 0 - XYZ" + std::to_string(d) +
                        " NS DS RRSIG\n";
                ++n;
            }
        }
        return zone;
    }

    void RunInMemory(benchmark::State& state, const std::string& zone, plexor::ExtractMode mode,
                     plexor::ZoneType type, bool append)
    {
        plexor::RunFilters filters;
        filters.minChars = 0;
        filters.maxChars = 1000;
        filters.excludedChars.clear();
        filters.appendNameServers = append ? 1 : 0;
        std::uint64_t lines = 0;
        for (auto _ : state)
        {
            // Copying the zone in is set-up, not part of the run. The output
            // goes through the file writer to the null device, so the run
            // pays for writing but not for a disk.
            state.PauseTiming();
            plexor::HeadlessRunContext context(mode, static_cast<std::int32_t>(type));
            context.ShareRun(plexor::CurrentRun());
            context.zoneFile.OpenMemory(zone);
            if (!context.outputFile.Create(kNullDevice))
            {
                state.SkipWithError("cannot open the null device");
                return;
            }
            state.ResumeTiming();
            plexor::PrepareRun(filters);
            context.SetWorkerReference();
            plexor::ExtractionWorker(&context);
            std::uint64_t names = 0;
            plexor::GetRunCounters(lines, names);
        }
        state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * zone.size()));
        state.counters["lines/s"] = benchmark::Counter(static_cast<double>(lines) * state.iterations(),
                                                       benchmark::Counter::kIsRate);
    }

    const std::string& GtldZone()
    {
        static const std::string zone = MakeGtldZone(2000000);
        return zone;
    }

    const std::string& SeZone()
    {
        static const std::string zone = MakeSeZone(2000000);
        return zone;
    }

    const std::string& MasterZone()
    {
        static const std::string zone = MakeMasterZone(2000000);
        return zone;
    }

    void BM_ReadLines(benchmark::State& state)
    {
        const std::string& zone = GtldZone();
        std::size_t count = 0;
        for (auto _ : state)
        {
            state.PauseTiming();
            plexor::ZoneLineReader reader;
            reader.OpenMemory(zone);
            state.ResumeTiming();
            std::string_view line;
            count = 0;
            while (reader.ReadLine(line))
                ++count;
            benchmark::DoNotOptimize(count);
        }
        state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * zone.size()));
        state.counters["lines/s"] =
            benchmark::Counter(static_cast<double>(count) * state.iterations(), benchmark::Counter::kIsRate);
    }

    void BM_GtldDomains(benchmark::State& state)
    {
        RunInMemory(state, GtldZone(), plexor::ExtractMode::Domains, plexor::ZoneType::Gtld, false);
    }

    void BM_GtldDomainsAppend(benchmark::State& state)
    {
        RunInMemory(state, GtldZone(), plexor::ExtractMode::Domains, plexor::ZoneType::Gtld, true);
    }

    void BM_GtldNameServers(benchmark::State& state)
    {
        RunInMemory(state, GtldZone(), plexor::ExtractMode::NameServers, plexor::ZoneType::Gtld, false);
    }

    void BM_MasterDomains(benchmark::State& state)
    {
        RunInMemory(state, MasterZone(), plexor::ExtractMode::Domains, plexor::ZoneType::Master, false);
    }

    void BM_MasterDomainsAppend(benchmark::State& state)
    {
        RunInMemory(state, MasterZone(), plexor::ExtractMode::Domains, plexor::ZoneType::Master, true);
    }

    void BM_MasterNameServers(benchmark::State& state)
    {
        RunInMemory(state, MasterZone(), plexor::ExtractMode::NameServers, plexor::ZoneType::Master, false);
    }

    // The reading thread's look at one chunk of the master zone: its line
    // ends and whether it is plain text, then its simple NS lines.
    struct MasterChunk
    {
        std::string bytes; // the first 256 KiB, cut after a line end, and probe room
        std::size_t size = 0;
        plexor::LineEndIndex lineEnds;
    };

    const MasterChunk& FirstMasterChunk()
    {
        static const MasterChunk chunk = [] {
            MasterChunk c;
            const std::string& zone = MasterZone();
            c.size = zone.rfind('\n', 256 * 1024) + 1;
            c.bytes = zone.substr(0, c.size) + std::string(plexor::kLineProbeBytes, '\0');
            c.lineEnds.Add(c.bytes.data(), 0, c.size);
            return c;
        }();
        return chunk;
    }

    void BM_MasterChunkIndexAndPlain(benchmark::State& state)
    {
        const MasterChunk& chunk = FirstMasterChunk();
        plexor::LineEndIndex lineEnds;
        for (auto _ : state)
        {
            lineEnds.clear();
            benchmark::DoNotOptimize(plexor::IndexPlainMasterText(chunk.bytes.data(), 0, chunk.size, false, lineEnds));
        }
        state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * chunk.size));
    }

    void BM_MasterChunkSimpleNsLines(benchmark::State& state)
    {
        const MasterChunk& chunk = FirstMasterChunk();
        plexor::SimpleNsLines lines;
        for (auto _ : state)
        {
            lines.Find(chunk.bytes.data(), chunk.lineEnds);
            benchmark::DoNotOptimize(lines.entries.data());
        }
        if (!lines.found)
            state.SkipWithError("the chunk's lines are not all simple");
        state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * chunk.size));
        state.counters["lines/s"] = benchmark::Counter(static_cast<double>(chunk.lineEnds.size()) * state.iterations(),
                                                       benchmark::Counter::kIsRate);
    }

    void BM_SeDomains(benchmark::State& state)
    {
        RunInMemory(state, SeZone(), plexor::ExtractMode::Domains, plexor::ZoneType::Se, false);
    }

    void BM_SeNameServers(benchmark::State& state)
    {
        RunInMemory(state, SeZone(), plexor::ExtractMode::NameServers, plexor::ZoneType::Se, false);
    }
}

BENCHMARK(BM_ReadLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GtldDomains)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GtldDomainsAppend)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GtldNameServers)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MasterDomains)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MasterDomainsAppend)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MasterNameServers)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MasterChunkIndexAndPlain)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MasterChunkSimpleNsLines)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SeDomains)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SeNameServers)->Unit(benchmark::kMillisecond);

// The scanning kernel in use heads the report (PLEXOR_KERNEL chooses another).
int main(int argc, char** argv)
{
    benchmark::AddCustomContext("kernel", plexor::scan::ActiveKernel().name);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
