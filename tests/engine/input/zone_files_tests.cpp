// Zone files as they come from elsewhere: saved by a Windows editor with a
// byte-order mark, named outside the ANSI code page, larger than 4 GiB.

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winioctl.h>
#endif

#include <gtest/gtest.h>

#include "engine_test_support.h"
#include "input/zone_line_reader.h"
#include "extraction/run_messages.h"

using namespace plexor;

namespace
{
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

    std::string ReadSample(const std::string& name)
    {
        std::ifstream file(std::filesystem::path(PLEXOR_SAMPLES_DIR) / name, std::ios::binary);
        std::ostringstream bytes;
        bytes << file.rdbuf();
        return bytes.str();
    }

    TEST(ZoneFiles, AByteOrderMarkInFrontReadsAsIfItWereNotThere)
    {
        // Each zone's first line yields a name or sets the origin of the
        // next ones, so a mark taken for text changes the output. (A .COM
        // zone's origin outlives its run: each run starts without one.)
        struct Case
        {
            const char* firstLines;
            const char* sample;
            std::int32_t layout;
        };
        const Case cases[] = {
            {"", "com-sample.zone", test::kGtld}, // begins with $ORIGIN COM.
            {"- Name=first.se\n    Created=2024-09-11\n    Name Server=ns1.first.se\n", "se-sample.zone", test::kSe},
            {"", "czds-sample.zone", test::kMaster}, // begins with the SOA record
            {"$ORIGIN example.\nfoo NS ns1.foo\nbar NS ns1.foo\n", "axfr-sample.zone", test::kMaster},
        };
        for (const Case& c : cases)
        {
            for (const ExtractMode mode : {ExtractMode::Domains, ExtractMode::NameServers})
            {
                const std::string zone = c.firstLines + ReadSample(c.sample);
                const std::string marked = std::string(kByteOrderMark) + zone;
                SCOPED_TRACE(std::string(c.sample) + (mode == ExtractMode::Domains ? " domains" : " nameservers"));
                const auto run = [&](const std::string& bytes, Inflater inflater = DefaultInflater()) {
                    SetGtldOriginSuffix("");
                    return test::RunWorker(bytes, mode, c.layout, test::OpenFilters(), inflater).output;
                };
                const std::string expected = run(zone);
                ASSERT_FALSE(expected.empty());
                EXPECT_EQ(run(marked), expected);
                for (const Inflater inflater : AvailableInflaters())
                    EXPECT_EQ(run(test::Gzip(marked), inflater), expected) << InflaterName(inflater);
            }
        }
    }

    TEST(ZoneFiles, OnlyAWholeMarkIsDropped)
    {
        // The mark's first bytes alone, and the mark further on, are text.
        const std::string cases[] = {"\xEF\xBB" "A\n", "\xEF" "A\n", "A\n\xEF\xBB\xBF" "B\n", "\xEF\xBB", ""};
        for (const std::string& bytes : cases)
        {
            ZoneLineReader reader;
            reader.OpenMemory(bytes);
            std::string all;
            std::string line;
            while (reader.ReadLine(line))
                all += line + "\n";
            const std::string expected =
                bytes.empty() || bytes.back() == '\n' ? bytes : bytes + "\n";
            EXPECT_EQ(all, expected);
        }
    }

    TEST(ZoneFiles, ANameOutsideTheAnsiCodePageOpens)
    {
        // u8"": the path's own conversion, never the ANSI code page, makes
        // the native name.
        const std::filesystem::path folder = std::filesystem::path(test::TempPath("d")) / u8"dåta";
        std::filesystem::create_directories(folder);
        const std::filesystem::path path = folder / u8"зона-ä.zone";
        std::ofstream(path, std::ios::binary) << kByteOrderMark << "$ORIGIN example.\nfoo NS ns1.foo\n";

        ZoneLineReader reader;
        ASSERT_TRUE(reader.Open(path)) << reader.Error().message();
        std::string line;
        ASSERT_TRUE(reader.ReadLine(line));
        EXPECT_EQ(line, "$ORIGIN example.");
        EXPECT_EQ(reader.DisplayPath(), PathText(path));
        EXPECT_NE(reader.DisplayPath().find("зона-ä"), std::string::npos);
    }

    // A file of `size` bytes that begins with `head`; the rest is a hole
    // where the file system allows one, so no disk space is taken.
    void MakeSparseFile(const std::filesystem::path& path, std::string_view head, std::uint64_t size)
    {
        std::ofstream(path, std::ios::binary) << head;
#ifdef _WIN32
        const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD returned = 0;
        DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
        CloseHandle(file);
#endif
        std::filesystem::resize_file(path, size);
    }

    TEST(ZoneFiles, SizesAndCountsPast4GiBAreWhole)
    {
        constexpr std::uint64_t kSize = (std::uint64_t {5} << 30) + 123;
        const std::filesystem::path path = test::TempPath("large.zone");
        MakeSparseFile(path, "A NS B\nC NS D\n", kSize);
        std::error_code error;
        if (std::filesystem::file_size(path, error) != kSize)
            GTEST_SKIP() << "no file of 5 GiB here";

        ZoneLineReader reader;
        ASSERT_TRUE(reader.Open(path));
        EXPECT_EQ(reader.RawSize(), kSize);
        std::string line;
        ASSERT_TRUE(reader.ReadLine(line));
        EXPECT_EQ(line, "A NS B");
        reader.Close();
        std::filesystem::remove(path);
    }
}
