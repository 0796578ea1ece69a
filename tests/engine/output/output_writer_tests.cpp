#include <filesystem>

#include <gtest/gtest.h>

#include "engine_test_support.h"
#include "output/output_writer.h"

using namespace plexor;

namespace
{
    TEST(OutputWriter, TruncatesAndWritesBytesUnchanged)
    {
        const std::string path = test::TempPath("out");
        test::WriteFile(path, "old content that must go");
        OutputWriter writer;
        ASSERT_TRUE(writer.Create(path));
        EXPECT_EQ(test::ReadFile(path), "") << "created empty";
        const std::string bytes("a\r\nb\n\0\xff", 7);
        EXPECT_TRUE(writer.Write(bytes));
        EXPECT_TRUE(writer.Flush());
        EXPECT_EQ(test::ReadFile(path), bytes);
        EXPECT_TRUE(writer.Close());
        EXPECT_FALSE(writer.IsOpen());
    }

    TEST(OutputWriter, LargeWritesKeepTheirOrder)
    {
        const std::string path = test::TempPath("out");
        OutputWriter writer;
        ASSERT_TRUE(writer.Create(path));
        std::string expected;
        const std::size_t sizes[] = {10, OutputWriter::kBufferSize - 5, 7, OutputWriter::kBufferSize * 2, 3};
        for (std::size_t size : sizes)
        {
            const std::string piece(size, static_cast<char>('a' + expected.size() % 26));
            ASSERT_TRUE(writer.Write(piece));
            expected += piece;
        }
        ASSERT_TRUE(writer.Close());
        EXPECT_EQ(test::ReadFile(path), expected);
    }

    TEST(OutputWriter, RefusesDirectoriesAndUncreatablePaths)
    {
        OutputWriter writer;
        const std::filesystem::path dir = std::filesystem::path(test::TempPath("x")).parent_path();
        EXPECT_FALSE(writer.Create(dir));
        EXPECT_FALSE(writer.Create(dir / "no-such-folder" / "out.txt"));
        EXPECT_FALSE(writer.IsOpen());
    }

    TEST(OutputWriter, FullDeviceFailsAndTheFailureSticks)
    {
        if (!std::filesystem::exists("/dev/full"))
            GTEST_SKIP() << "no /dev/full here";
        OutputWriter writer;
        ASSERT_TRUE(writer.Create("/dev/full"));
        EXPECT_TRUE(writer.Write("buffered, not yet written"));
        EXPECT_FALSE(writer.Flush());
        EXPECT_TRUE(writer.Failed());
        EXPECT_FALSE(writer.Write("more"));
        EXPECT_FALSE(writer.Close());
    }

    TEST(OutputWriter, CloseReportsAFailedFinalFlush)
    {
        if (!std::filesystem::exists("/dev/full"))
            GTEST_SKIP() << "no /dev/full here";
        OutputWriter writer;
        ASSERT_TRUE(writer.Create("/dev/full"));
        EXPECT_TRUE(writer.Write("x"));
        EXPECT_FALSE(writer.Close());
    }

    TEST(OutputWriter, WritingWithoutAFileFails)
    {
        OutputWriter writer;
        EXPECT_FALSE(writer.Write("x") && writer.Flush());
        EXPECT_TRUE(writer.Failed());
    }
}
