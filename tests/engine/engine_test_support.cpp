#include "engine_test_support.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include <gtest/gtest.h>
#include <zlib.h>

#include "run/extraction_worker.h"
#include "layouts/master/master_extractors.h"
#include "run/run_setup.h"
#include "input/zone_line_reader.h"

namespace plexor::test
{
    RunFilters OpenFilters()
    {
        RunFilters filters;
        filters.minChars = 0;
        filters.maxChars = 1 << 30;
        filters.excludedChars.clear();
        return filters;
    }

    std::vector<std::string> ExtractAll(Extractor extract, std::string_view zone, const RunFilters& filters)
    {
        PrepareRun(filters);
        ZoneLineReader reader;
        reader.OpenMemory(std::string(zone));
        std::vector<std::string> all;
        for (int guard = 0; guard < 100000; ++guard)
        {
            Batch batch;
            const std::uint32_t count = extract(reader, batch, kBatchLimit);
            EXPECT_EQ(count, batch.size());
            for (std::string& entry : batch.Entries())
                all.push_back(std::move(entry));
            if (count == 0)
                break;
        }
        return all;
    }

    std::vector<std::string> ExtractAll(MasterExtractor extract, std::string_view zone, const RunFilters& filters,
                                        std::uint32_t limit)
    {
        PrepareRun(filters);
        ZoneLineReader reader;
        reader.OpenMemory(std::string(zone));
        MasterRunState run;
        std::vector<std::string> all;
        for (int guard = 0; guard < 1000000; ++guard)
        {
            Batch batch;
            const std::uint32_t count = extract(run, reader, batch, limit);
            EXPECT_EQ(count, batch.size());
            EXPECT_LE(count, limit);
            for (std::string& entry : batch.Entries())
                all.push_back(std::move(entry));
            if (count == 0)
                break;
        }
        return all;
    }

        WorkerResult RunWorker(std::string_view zone, ExtractMode mode, std::int32_t zoneType, const RunFilters& filters,
                           Inflater inflater)
    {
        WorkerResult result;
        HeadlessRunContext context(mode, zoneType, LineEnd::CrLf, inflater);
        context.ShareRun(CurrentRun());
        context.zoneFile.OpenMemory(std::string(zone), "zone");
        context.outputFile.CreateInMemory(result.output, "output");
        PrepareRun(filters);
        context.SetWorkerReference();
        std::thread worker(ExtractionWorker, &context);
        worker.join();
        result.statusText = context.FinalStatusText();
        result.failure = context.Failure();
        result.referenceCleared = !context.IsRunActive();
        result.filesClosed = !context.zoneFile.IsOpen() && !context.outputFile.IsOpen();
        return result;
    }

    std::uint64_t LinesRead()
    {
        std::uint64_t lines = 0;
        std::uint64_t names = 0;
        GetRunCounters(lines, names);
        return lines;
    }

    std::uint64_t NamesExtracted()
    {
        std::uint64_t lines = 0;
        std::uint64_t names = 0;
        GetRunCounters(lines, names);
        return names;
    }

    std::vector<std::string> LfLines(const std::string& text)
    {
        std::vector<std::string> lines;
        for (std::size_t start = 0; start < text.size();)
        {
            const std::size_t end = text.find('\n', start);
            lines.push_back(text.substr(start, end - start));
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
        return lines;
    }

    std::string RandomLabel(std::mt19937& random)
    {
        static constexpr char kLetters[] = "abcdexyz019-";
        std::string label(1 + random() % 10, 'a');
        for (char& c : label)
            c = kLetters[random() % (sizeof kLetters - 1)];
        return label;
    }

    std::vector<std::string> OutputLines(const std::string& output)
    {
        std::vector<std::string> lines;
        std::size_t start = 0;
        while (start < output.size())
        {
            const std::size_t end = output.find("\r\n", start);
            if (end == std::string::npos)
            {
                ADD_FAILURE() << "output ends without CR LF: " << output.substr(start);
                break;
            }
            lines.push_back(output.substr(start, end - start));
            start = end + 2;
        }
        return lines;
    }

    std::string Gzip(std::string_view data)
    {
        z_stream stream {};
        EXPECT_EQ(deflateInit2(&stream, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
        std::string out(deflateBound(&stream, static_cast<uLong>(data.size())) + 64, '\0');
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
        stream.avail_in = static_cast<uInt>(data.size());
        stream.next_out = reinterpret_cast<Bytef*>(out.data());
        stream.avail_out = static_cast<uInt>(out.size());
        EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
        out.resize(stream.total_out);
        deflateEnd(&stream);
        return out;
    }

    namespace
    {
        long ProcessId()
        {
#ifdef _WIN32
            return static_cast<long>(_getpid());
#else
            return static_cast<long>(getpid());
#endif
        }
    }

    std::string TempPath(std::string_view name)
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        // One folder per process, so that test runs of several builds at the
        // same time never share a file.
        struct Folder
        {
            std::filesystem::path path =
                std::filesystem::temp_directory_path() / ("plexor-engine-tests-" + std::to_string(ProcessId()));
            ~Folder()
            {
                std::error_code error;
                std::filesystem::remove_all(path, error);
            }
        };
        static const Folder folder;
        const std::filesystem::path& dir = folder.path;
        std::filesystem::create_directories(dir);
        std::string stem = info ? std::string(info->test_suite_name()) + "." + info->name() : "test";
        for (char& c : stem)
        {
            if (c == '/')
                c = '_';
        }
        return (dir / (stem + "." + std::string(name))).string();
    }

    void WriteFile(const std::string& path, std::string_view bytes)
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        ASSERT_TRUE(file.good()) << path;
    }

    std::string ReadFile(const std::string& path)
    {
        std::ifstream file(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
}
