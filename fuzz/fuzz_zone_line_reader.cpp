// Fuzz target: the zone line reader on arbitrary bytes, read as they are and
// wrapped in gzip: whole, and in one further form chosen by the input (split
// into two members, truncated, followed by stray bytes, or with a bit
// flipped), each compressed form inflated by every inflater of the build. The
// lines it delivers are checked against the line rules written out the simple
// way (fuzz_support.cpp).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "fuzz_support.h"
#include "input/zone_line_reader.h"

using plexor::Inflater;
using plexor::ZoneLineReader;

namespace
{
    struct ReadResult
    {
        std::vector<std::string> lines;
        bool failed = false;
    };

    // Reads every line, alternating the two forms of ReadLine, and checks
    // that the end stays the end. Before every third line it asks whether
    // input goes on, which must agree with what the next read finds.
    ReadResult ReadAll(std::string bytes, Inflater inflater)
    {
        ZoneLineReader reader(inflater);
        reader.OpenMemory(std::move(bytes), "fuzz");
        PLEXOR_FUZZ_CHECK(reader.IsOpen());
        ReadResult result;
        for (;;)
        {
            const bool ask = result.lines.size() % 3 == 1;
            const bool more = ask && reader.HasMoreInput();
            bool got = false;
            if (result.lines.size() % 2 == 0)
            {
                std::string_view line;
                got = reader.ReadLine(line);
                if (got)
                    result.lines.emplace_back(line);
            }
            else
            {
                std::string line = "stale";
                got = reader.ReadLine(line);
                if (got)
                    result.lines.push_back(std::move(line));
            }
            if (ask)
                PLEXOR_FUZZ_CHECK(got ? more : more == reader.Failed());
            if (!got)
                break;
        }
        result.failed = reader.Failed();
        std::string_view after;
        PLEXOR_FUZZ_CHECK(!reader.ReadLine(after));
        PLEXOR_FUZZ_CHECK(reader.Failed() == result.failed);
        reader.Close();
        PLEXOR_FUZZ_CHECK(!reader.IsOpen());
        PLEXOR_FUZZ_CHECK(!reader.ReadLine(after));
        return result;
    }

    bool IsPrefix(const std::vector<std::string>& prefix, const std::vector<std::string>& whole)
    {
        return prefix.size() <= whole.size() && std::equal(prefix.begin(), prefix.end(), whole.begin());
    }

    bool StartsWithGzipMagic(std::string_view bytes)
    {
        return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0x1F
            && static_cast<unsigned char>(bytes[1]) == 0x8B;
    }

    // Every check of one input with one inflater.
    void CheckWith(Inflater inflater, const std::string& bytes, const std::vector<std::string>& expected,
                   std::size_t terminated, std::size_t seed)
    {
        const std::size_t size = bytes.size();
        // As it is. Bytes that begin with the gzip magic are decompressed;
        // for anything else the lines follow the rules exactly.
        const ReadResult plain = ReadAll(bytes, inflater);

        if (!StartsWithGzipMagic(bytes))
        {
            PLEXOR_FUZZ_CHECK(!plain.failed);
            PLEXOR_FUZZ_CHECK(plain.lines == expected);
            // Every LF ends one line; only a non-empty rest after the last LF
            // adds one more (a byte-order mark alone is no line).
            const std::string_view text = plexor::fuzz::WithoutByteOrderMark(bytes);
            const bool unterminatedRest = !text.empty() && text.back() != '\n';
            PLEXOR_FUZZ_CHECK(plain.lines.size() == terminated + (unterminatedRest ? 1 : 0));
        }

        // One gzip member: the same lines, no failure.
        const std::string gz = plexor::fuzz::Gzip(bytes, static_cast<int>(seed % 10));
        const ReadResult whole = ReadAll(gz, inflater);
        PLEXOR_FUZZ_CHECK(!whole.failed);
        PLEXOR_FUZZ_CHECK(whole.lines == expected);

        // One damaged or reshaped form of the same data, chosen by the
        // input.
        switch (seed % 4)
        {
        case 0:
        {
            // Two members whose data join at an arbitrary byte: still the same
            // lines.
            const std::size_t split = seed % (size + 1);
            const std::string twoMembers = plexor::fuzz::Gzip(std::string_view(bytes).substr(0, split), 1)
                                         + plexor::fuzz::Gzip(std::string_view(bytes).substr(split), 9);
            const ReadResult joined = ReadAll(twoMembers, inflater);
            PLEXOR_FUZZ_CHECK(!joined.failed);
            PLEXOR_FUZZ_CHECK(joined.lines == expected);
            break;
        }
        case 1:
        {
            // Cut short anywhere after the magic: a failure, and only whole
            // lines of the data before it.
            const std::size_t cut = 2 + (seed / 4) % (gz.size() - 2);
            const ReadResult truncated = ReadAll(gz.substr(0, cut), inflater);
            PLEXOR_FUZZ_CHECK(truncated.failed);
            PLEXOR_FUZZ_CHECK(IsPrefix(truncated.lines, expected));
            break;
        }
        case 2:
        {
            // Stray bytes after the member: every complete line arrives, then
            // the failure; an unterminated last line is held back, since it may
            // be cut.
            const char stray = static_cast<char>((seed % 255) == 0x1F ? 0x20 : seed % 255);
            const ReadResult trailing = ReadAll(gz + stray, inflater);
            PLEXOR_FUZZ_CHECK(trailing.failed);
            PLEXOR_FUZZ_CHECK(IsPrefix(trailing.lines, expected));
            PLEXOR_FUZZ_CHECK(trailing.lines.size() >= terminated);
            break;
        }
        default:
        {
            // One bit of the compressed data or trailer flipped (the header's
            // time and flag bytes are left alone): either the damage is found,
            // or the data came through intact.
            constexpr std::size_t kHeaderSize = 10;
            std::string damaged = gz;
            const std::size_t at = kHeaderSize + (seed / 4) % (gz.size() - kHeaderSize);
            damaged[at] = static_cast<char>(damaged[at] ^ static_cast<char>(1u << (seed % 8)));
            const ReadResult corrupt = ReadAll(std::move(damaged), inflater);
            PLEXOR_FUZZ_CHECK(corrupt.failed || corrupt.lines == expected);
            break;
        }
        }
    }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> expected = plexor::fuzz::ExpectedLines(bytes);
    const auto terminated = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
    // Steering values taken from the input without consuming it.
    const std::size_t seed = size == 0 ? 0 : data[size / 2] + 256u * data[0];

    for (const Inflater inflater : plexor::AvailableInflaters())
        CheckWith(inflater, bytes, expected, terminated, seed);
    return 0;
}
