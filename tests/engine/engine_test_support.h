#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "input/byte_sources.h"
#include "extraction/extraction_state.h"
#include "extraction/extractors.h"
#include "run/headless_run.h"
#include "scan/kernel.h"

namespace plexor::test
{
    // The zone types as the run context passes them.
    inline constexpr auto kGtld = static_cast<std::int32_t>(ZoneType::Gtld);
    inline constexpr auto kSe = static_cast<std::int32_t>(ZoneType::Se);
    inline constexpr auto kMaster = static_cast<std::int32_t>(ZoneType::Master);

    // Filters that let every name through.
    RunFilters OpenFilters();

    // Prepares the engine with the filters and calls the extractor on the
    // zone text until it returns 0, each time with a fresh batch; returns
    // every entry in order.
    std::vector<std::string> ExtractAll(Extractor extract, std::string_view zone, const RunFilters& filters);
    // The same for a master-file extractor, with a fresh MasterRunState, and
    // with calls of at most `limit` entries.
    std::vector<std::string> ExtractAll(MasterExtractor extract, std::string_view zone, const RunFilters& filters,
                                        std::uint32_t limit = 1000);

    struct WorkerResult
    {
        std::string output;
        std::string statusText;
        std::optional<std::string> failure;
        bool referenceCleared = false;
        bool filesClosed = false;
    };

    // A whole run through ExtractionWorker on its own thread, zone and output
    // in memory; a gzip zone is inflated with `inflater`.
    WorkerResult RunWorker(std::string_view zone, ExtractMode mode, std::int32_t zoneType, const RunFilters& filters,
                           Inflater inflater = DefaultInflater());

    // The run's counters as GetRunCounters reads them.
    std::uint64_t LinesRead();
    std::uint64_t NamesExtracted();

    // Splits output at CR LF; fails the test if any line lacks it.
    std::vector<std::string> OutputLines(const std::string& output);

    std::string Gzip(std::string_view data);

    // Splits text at LF, the LFs dropped (a last line without one kept).
    std::vector<std::string> LfLines(const std::string& text);

    // A label of 1 to 10 characters from a small alphabet with digits and
    // hyphens, so that random zones hold both repeats and odd names.
    std::string RandomLabel(std::mt19937& random);

    // Test parameters over the inflaters this build has, named by them.
    inline auto EachInflater()
    {
        return ::testing::ValuesIn(AvailableInflaters().begin(), AvailableInflaters().end());
    }
    inline std::string InflaterParamName(const ::testing::TestParamInfo<Inflater>& info)
    {
        return InflaterName(info.param);
    }

    // A test run once per scanning kernel, named by it; a kernel that this
    // build or processor lacks is reported as skipped.
    class EachKernel : public ::testing::TestWithParam<scan::Kernel>
    {
    protected:
        void SetUp() override
        {
            m_kernel = scan::KernelFor(GetParam());
            if (m_kernel == nullptr)
                GTEST_SKIP() << "no " << scan::KernelName(GetParam()) << " kernel on this machine";
        }
        const scan::KernelTable& Kernel() const { return *m_kernel; }

    private:
        const scan::KernelTable* m_kernel = nullptr;
    };
    inline std::string KernelParamName(const ::testing::TestParamInfo<scan::Kernel>& info)
    {
        return scan::KernelName(info.param);
    }
#define PLEXOR_INSTANTIATE_FOR_EACH_KERNEL(Suite)                                                                     \
    INSTANTIATE_TEST_SUITE_P(Kernels, Suite, ::testing::ValuesIn(::plexor::scan::kAllKernels),                       \
                             ::plexor::test::KernelParamName)

    // A unique path in the test's temporary folder.
    std::string TempPath(std::string_view name);
    void WriteFile(const std::string& path, std::string_view bytes);
    std::string ReadFile(const std::string& path);
}
