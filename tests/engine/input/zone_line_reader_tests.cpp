#include <atomic>
#include <filesystem>
#include <thread>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <gtest/gtest.h>
#include <zlib.h>

#include "input/byte_sources.h"
#include "engine_test_support.h"
#include "input/read_ahead.h"
#include "input/zone_line_reader.h"

using namespace plexor;
using plexor::test::Gzip;
using plexor::AvailableInflaters;
using plexor::ByteSource;
using plexor::DefaultInflater;
using plexor::MakeDecodingSource;
using plexor::Inflater;
using plexor::InflaterName;

namespace
{
    std::vector<std::string> AllLines(ZoneLineReader& reader)
    {
        std::vector<std::string> lines;
        std::string line;
        while (reader.ReadLine(line))
            lines.push_back(line);
        return lines;
    }

    std::vector<std::string> LinesOf(const std::string& bytes, Inflater inflater = DefaultInflater())
    {
        ZoneLineReader reader(inflater);
        reader.OpenMemory(bytes);
        auto lines = AllLines(reader);
        EXPECT_FALSE(reader.Failed());
        return lines;
    }

    struct LineCase
    {
        std::string bytes;
        std::vector<std::string> lines;
    };

    void PrintTo(const LineCase& c, std::ostream* os)
    {
        *os << ::testing::PrintToString(c.bytes);
    }

    class LineRules : public ::testing::TestWithParam<LineCase>
    {
    };

    TEST_P(LineRules, PlainAndGzipGiveTheSameLines)
    {
        const LineCase& c = GetParam();
        EXPECT_EQ(LinesOf(c.bytes), c.lines);
        for (const Inflater inflater : AvailableInflaters())
            EXPECT_EQ(LinesOf(Gzip(c.bytes), inflater), c.lines) << "gzip-compressed, " << InflaterName(inflater);
    }

    INSTANTIATE_TEST_SUITE_P(
        Cases, LineRules,
        ::testing::Values(LineCase {"", {}}, LineCase {"a\nb\n", {"a", "b"}}, LineCase {"a\r\nb\r\n", {"a", "b"}},
                          LineCase {"a\nb", {"a", "b"}}, LineCase {"\n\n", {"", ""}},
                          LineCase {"a\r\n\r\nb", {"a", "", "b"}},
                          // Only one CR directly before LF goes; others stay.
                          LineCase {"a\r\r\n", {"a\r"}}, LineCase {"a\rb\n", {"a\rb"}}, LineCase {"a\r", {"a\r"}},
                          LineCase {std::string("n\0l\n", 4), {std::string("n\0l", 3)}},
                          LineCase {"\xff\xfe\x80\n", {"\xff\xfe\x80"}}));

    TEST(ZoneLineReader, LinesLongerThanTheBufferComeWhole)
    {
        const std::size_t big = ZoneLineReader::kInitialBufferSize * 3 + 17;
        std::string bytes = "first\n" + std::string(big, 'x') + "\r\nlast";
        auto lines = LinesOf(bytes);
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_EQ(lines[0], "first");
        EXPECT_EQ(lines[1].size(), big);
        EXPECT_EQ(lines[2], "last");
    }

    TEST(ZoneLineReader, LineEndsAcrossBufferBoundaries)
    {
        // Lines of every length around the buffer size, so that LF and CR LF
        // fall on both sides of each refill.
        std::string bytes;
        std::vector<std::string> expected;
        for (std::size_t n = 0; bytes.size() < ZoneLineReader::kInitialBufferSize * 2 + 100; ++n)
        {
            std::string line(n % 97, static_cast<char>('a' + n % 26));
            bytes += line + (n % 2 ? "\r\n" : "\n");
            expected.push_back(line);
        }
        EXPECT_EQ(LinesOf(bytes), expected);
        for (const Inflater inflater : AvailableInflaters())
            EXPECT_EQ(LinesOf(Gzip(bytes), inflater), expected) << InflaterName(inflater);
    }

    // Bytes in memory, handed out one per read.
    class OneByteAtATime final : public ByteSource
    {
    public:
        explicit OneByteAtATime(std::string bytes)
            : m_bytes(std::move(bytes))
        {
        }

        std::ptrdiff_t Read(char* buffer, std::size_t size) override
        {
            if (size == 0 || m_position == m_bytes.size())
                return 0;
            buffer[0] = m_bytes[m_position++];
            return 1;
        }

    private:
        std::string m_bytes;
        std::size_t m_position = 0;
    };

    // The gzip cases, run with each inflater of the build.
    class GzipInflaters : public ::testing::TestWithParam<Inflater>
    {
    };

    INSTANTIATE_TEST_SUITE_P(Each, GzipInflaters, test::EachInflater(), test::InflaterParamName);

    TEST_P(GzipInflaters, MultiMemberGzipYieldsAllMembers)
    {
        const std::string bytes = Gzip("a\nb") + Gzip("c\n") + Gzip("") + Gzip("d\n");
        EXPECT_EQ(LinesOf(bytes, GetParam()), (std::vector<std::string> {"a", "bc", "d"}));

        // Members that barely compress, each larger than the inflater's input
        // buffer, so that members start and end anywhere in it.
        std::string data;
        std::string members;
        std::uint32_t x = 12345;
        for (const std::size_t size : {700000u, 1u, 300000u, 0u, 450000u})
        {
            std::string member;
            while (member.size() < size)
            {
                x = x * 1103515245u + 12345u;
                member += (x >> 24) % 41 == 0 ? '\n' : static_cast<char>('!' + (x >> 16) % 90);
            }
            data += member;
            members += Gzip(member);
        }
        ZoneLineReader reader(GetParam());
        reader.OpenMemory(members);
        std::string joined;
        std::string line;
        while (reader.ReadLine(line))
            joined += line + "\n";
        EXPECT_FALSE(reader.Failed());
        EXPECT_EQ(joined, data + (data.ends_with('\n') ? "" : "\n"));
    }

    // gzip as gzip(1) writes it stores the file's name; other tools add an
    // extra field, a comment and a header checksum. Each is passed over.
    TEST_P(GzipInflaters, OptionalHeaderFieldsArePassedOver)
    {
        const std::string data = "a NS b\nlast";
        char extra[] = "XY\x02\x00"
                       "ab"; // one subfield "XY" of two bytes
        char name[] = "zone.txt";
        char comment[] = "made for a test";
        gz_header header {};
        header.extra = reinterpret_cast<Bytef*>(extra);
        header.extra_len = sizeof extra - 1;
        header.name = reinterpret_cast<Bytef*>(name);
        header.comment = reinterpret_cast<Bytef*>(comment);
        header.hcrc = 1;
        z_stream stream {};
        ASSERT_EQ(deflateInit2(&stream, 9, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
        ASSERT_EQ(deflateSetHeader(&stream, &header), Z_OK);
        std::string gz(1024, '\0');
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
        stream.avail_in = static_cast<uInt>(data.size());
        stream.next_out = reinterpret_cast<Bytef*>(gz.data());
        stream.avail_out = static_cast<uInt>(gz.size());
        ASSERT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
        gz.resize(stream.total_out);
        deflateEnd(&stream);
        ASSERT_EQ(static_cast<unsigned char>(gz[3]), 0x1Eu) << "FHCRC, FEXTRA, FNAME and FCOMMENT set";

        EXPECT_EQ(LinesOf(gz, GetParam()), (std::vector<std::string> {"a NS b", "last"}));
        EXPECT_EQ(LinesOf(gz + gz, GetParam()), (std::vector<std::string> {"a NS b", "lasta NS b", "last"}));
        // Arriving a byte at a time, every field is split at every byte.
        const auto source = MakeDecodingSource(std::make_unique<OneByteAtATime>(gz + gz), GetParam());
        std::string inflated;
        char buffer[64];
        std::ptrdiff_t got = 0;
        while ((got = source->Read(buffer, sizeof buffer)) > 0)
            inflated.append(buffer, static_cast<std::size_t>(got));
        EXPECT_EQ(got, 0);
        EXPECT_EQ(inflated, data + data);
        // The header checksum is checked too.
        std::string wrongHeader = gz;
        wrongHeader[14] = 'Z'; // in the extra field
        ZoneLineReader reader(GetParam());
        reader.OpenMemory(wrongHeader);
        std::string line;
        EXPECT_FALSE(reader.ReadLine(line));
        EXPECT_TRUE(reader.Failed());
    }

    TEST_P(GzipInflaters, CorruptGzipFailsAfterTheIntactLines)
    {
        std::string body;
        for (int i = 0; i < 20000; ++i)
            body += "LINE" + std::to_string(i) + " NS NS1.EXAMPLE\n";
        const std::string gz = Gzip(body);

        struct Corruption
        {
            const char* what;
            std::string bytes;
        };
        std::string flipped = gz;
        flipped[gz.size() / 2] = static_cast<char>(flipped[gz.size() / 2] ^ 0x55);
        // The trailer: CRC-32, then the data's length, little-endian.
        std::string wrongCrc = gz;
        wrongCrc[gz.size() - 8] = static_cast<char>(wrongCrc[gz.size() - 8] ^ 0x01);
        std::string wrongLength = gz;
        wrongLength[gz.size() - 4] = static_cast<char>(wrongLength[gz.size() - 4] ^ 0x01);
        std::string secondWrongCrc = gz + Gzip("x\n");
        secondWrongCrc[secondWrongCrc.size() - 5] = static_cast<char>(secondWrongCrc[secondWrongCrc.size() - 5] ^ 0x80);
        const Corruption corruptions[] = {
            {"truncated in the middle", gz.substr(0, gz.size() / 2)},
            {"truncated before the trailer", gz.substr(0, gz.size() - 3)},
            {"only the magic", gz.substr(0, 2)},
            {"a flipped byte", flipped},
            {"garbage after the member", gz + "garbage"},
            {"a lone magic byte after the member", gz + "\x1f"},
            {"a truncated second member", gz + Gzip("x\n").substr(0, 12)},
            {"a wrong CRC-32", wrongCrc},
            {"a wrong length", wrongLength},
            {"a second member with a wrong CRC-32", secondWrongCrc},
            {"a method other than deflate", gz.substr(0, 2) + '\x07' + gz.substr(3)},
            {"a reserved header flag", gz.substr(0, 3) + '\x20' + gz.substr(4)},
        };
        for (const Corruption& c : corruptions)
        {
            ZoneLineReader reader(GetParam());
            reader.OpenMemory(c.bytes);
            const auto lines = AllLines(reader);
            EXPECT_TRUE(reader.Failed()) << c.what;
            ASSERT_LE(lines.size(), 20000u) << c.what;
            for (std::size_t i = 0; i < lines.size(); ++i)
                ASSERT_EQ(lines[i], "LINE" + std::to_string(i) + " NS NS1.EXAMPLE") << c.what;
            std::string more;
            EXPECT_FALSE(reader.ReadLine(more)) << "a failed reader stays at its end: " << c.what;
        }
    }

    TEST(ZoneLineReader, OneMagicByteAloneIsPlainText)
    {
        EXPECT_EQ(LinesOf("\x1f"), std::vector<std::string> {"\x1f"});
        EXPECT_EQ(LinesOf("\x1f\n\x8b"), (std::vector<std::string> {"\x1f", "\x8b"}));
    }

    // Files are read ahead in chunks; lines of every kind of length must come
    // whole across chunk boundaries, plain and compressed.
    TEST(ZoneLineReader, FileChunksJoinLinesOfAnyLength)
    {
        std::string bytes;
        std::vector<std::string> expected;
        const std::size_t lengths[] = {0, 1, 30, ReadAhead::kHeadroom - 1, ReadAhead::kHeadroom,
                                       ReadAhead::kHeadroom + 1, ReadAhead::kChunkSize - 3, ReadAhead::kChunkSize + 5,
                                       3 * ReadAhead::kChunkSize};
        for (std::size_t round = 0; bytes.size() < 8 * ReadAhead::kChunkSize; ++round)
        {
            const std::size_t length = lengths[round % std::size(lengths)] + round % 7;
            std::string line(length, static_cast<char>('a' + round % 26));
            bytes += line + (round % 3 ? "\n" : "\r\n");
            expected.push_back(line);
            for (int shortLines = 0; shortLines < 40; ++shortLines)
            {
                bytes += "X NS Y\n";
                expected.emplace_back("X NS Y");
            }
        }
        bytes += "no final LF";
        expected.emplace_back("no final LF");

        const std::string path = test::TempPath("zone");
        test::WriteFile(path, bytes);
        const std::string gzPath = test::TempPath("zone.gz");
        const std::string gz = Gzip(bytes);
        test::WriteFile(gzPath, gz);
        struct Form
        {
            std::string what;
            const std::string& path;
            const std::string& stored;
            Inflater inflater;
        };
        std::vector<Form> forms {{"plain", path, bytes, DefaultInflater()}};
        for (const Inflater inflater : AvailableInflaters())
            forms.push_back({std::string("gzip, ") + InflaterName(inflater), gzPath, gz, inflater});
        for (const Form& form : forms)
        {
            ZoneLineReader reader(form.inflater);
            ASSERT_TRUE(reader.Open(form.path));
            EXPECT_EQ(reader.RawSize(), form.stored.size());
            const auto lines = AllLines(reader);
            EXPECT_FALSE(reader.Failed());
            // The progress display's count: every stored byte once, the
            // compressed ones for gzip.
            EXPECT_EQ(reader.RawBytesRead(), form.stored.size()) << form.what;
            ASSERT_EQ(lines.size(), expected.size()) << form.what;
            for (std::size_t i = 0; i < lines.size(); ++i)
                ASSERT_EQ(lines[i], expected[i]) << "line " << i << ", " << form.what;
        }
    }

    // Whether input goes on, asked before every line, in memory and from a
    // file (chunks read ahead), plain and compressed: never a byte lost.
    TEST(ZoneLineReader, HasMoreInputLooksAheadWithoutLosingAByte)
    {
        // 16-byte lines: buffers and chunks end exactly between two lines.
        std::vector<std::string> expected;
        std::string bytes;
        for (std::size_t i = 0; bytes.size() < 2 * ZoneLineReader::kInitialBufferSize + 40; ++i)
        {
            char line[17];
            std::snprintf(line, sizeof line, "L%013zu\r\n", i);
            bytes += line;
            expected.emplace_back(line, 14);
        }
        for (const std::string& tail : {std::string(), std::string("last")})
        {
            const std::string all = bytes + tail;
            std::vector<std::string> lines = expected;
            if (!tail.empty())
                lines.push_back(tail);
            const std::string path = test::TempPath("zone");
            test::WriteFile(path, all);
            const std::string gzPath = test::TempPath("zone.gz");
            const std::string gz = Gzip(all);
            test::WriteFile(gzPath, gz);
            // Plain once, compressed with each inflater; in memory and from a
            // file.
            std::vector<std::pair<bool, Inflater>> forms {{false, DefaultInflater()}};
            for (const Inflater inflater : AvailableInflaters())
                forms.emplace_back(true, inflater);
            for (const auto& [compressed, inflater] : forms)
            {
                for (const bool file : {false, true})
                {
                    const std::string what = std::string(file ? "file, " : "memory, ")
                                           + (compressed ? InflaterName(inflater) : "plain")
                                           + (tail.empty() ? "" : ", last line without LF");
                    ZoneLineReader reader(inflater);
                    if (file)
                        ASSERT_TRUE(reader.Open(compressed ? gzPath : path));
                    else
                        reader.OpenMemory(compressed ? gz : all);
                    std::string_view line;
                    for (std::size_t i = 0; i < lines.size(); ++i)
                    {
                        ASSERT_TRUE(reader.HasMoreInput()) << what << ", line " << i;
                        ASSERT_TRUE(reader.ReadLine(line)) << what << ", line " << i;
                        ASSERT_EQ(line, lines[i]) << what;
                    }
                    EXPECT_FALSE(reader.HasMoreInput()) << what;
                    EXPECT_FALSE(reader.ReadLine(line)) << what;
                    EXPECT_FALSE(reader.Failed()) << what;
                }
            }
        }

        // Bytes that cannot be read on count as more input; the reader has
        // failed then.
        ZoneLineReader reader;
        reader.OpenMemory(Gzip("a\n") + "garbage");
        std::string line;
        ASSERT_TRUE(reader.ReadLine(line));
        EXPECT_TRUE(reader.HasMoreInput());
        EXPECT_TRUE(reader.Failed());
        EXPECT_FALSE(reader.ReadLine(line));
    }

    TEST(ZoneLineReader, ClosingInTheMiddleStopsTheReadingThread)
    {
        const std::string path = test::TempPath("zone");
        test::WriteFile(path, std::string(10 * ReadAhead::kChunkSize, '\n'));
        for (int i = 0; i < 20; ++i)
        {
            ZoneLineReader reader;
            ASSERT_TRUE(reader.Open(path));
            std::string line;
            for (int k = 0; k < i * 1000; ++k)
                ASSERT_TRUE(reader.ReadLine(line));
        }
    }

#ifndef _WIN32
    // A pipe delivers its lines as they arrive, and closing the reader does
    // not wait for the writer.
    TEST(ZoneLineReader, PipeDeliversLinesAsTheyArrive)
    {
        const std::string path = test::TempPath("fifo");
        std::filesystem::remove(path);
        ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
        std::atomic<bool> readerClosed {false};
        std::thread writer([&] {
            std::FILE* fifo = std::fopen(path.c_str(), "wb");
            ASSERT_NE(fifo, nullptr);
            std::fputs("first\r\nsecond\n", fifo);
            std::fflush(fifo);
            // The pipe stays open until the reader has closed.
            while (!readerClosed.load())
                std::this_thread::yield();
            std::fclose(fifo);
        });
        ZoneLineReader reader;
        ASSERT_TRUE(reader.Open(path));
        std::string line;
        ASSERT_TRUE(reader.ReadLine(line));
        EXPECT_EQ(line, "first");
        ASSERT_TRUE(reader.ReadLine(line));
        EXPECT_EQ(line, "second");
        EXPECT_TRUE(reader.HasMoreInput()) << "a pipe still open may go on; it is not waited for";
        reader.Close();
        readerClosed.store(true);
        writer.join();
        std::filesystem::remove(path);
    }
#endif

    TEST(ZoneLineReader, OpensFilesAndRefusesDirectoriesAndMissingFiles)
    {
        const std::string path = test::TempPath("zone");
        test::WriteFile(path, "x NS y\r\nlast");
        ZoneLineReader reader;
        ASSERT_TRUE(reader.Open(path));
        EXPECT_EQ(reader.DisplayPath(), path);
        EXPECT_EQ(AllLines(reader), (std::vector<std::string> {"x NS y", "last"}));
        reader.Close();
        EXPECT_FALSE(reader.IsOpen());
        std::string line;
        EXPECT_FALSE(reader.ReadLine(line));

        const std::string gzPath = test::TempPath("zone.gz");
        test::WriteFile(gzPath, Gzip("x NS y\r\nlast"));
        ASSERT_TRUE(reader.Open(gzPath));
        EXPECT_EQ(AllLines(reader), (std::vector<std::string> {"x NS y", "last"}));

        EXPECT_FALSE(reader.Open(std::filesystem::path(path).parent_path()));
        EXPECT_FALSE(reader.Open(path + ".missing"));
    }
}
