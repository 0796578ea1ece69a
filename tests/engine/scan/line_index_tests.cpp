#include <algorithm>
#include <cstring>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "scan/byte_scan.h"
#include "scan/line_index.h"
#include "scan/record_lines.h"
#include "engine_test_support.h"

using namespace plexor;

namespace
{
    std::vector<std::uint32_t> NaivePositions(const std::string& bytes, std::size_t from, std::size_t to)
    {
        std::vector<std::uint32_t> positions;
        for (std::size_t i = from; i < to; ++i)
        {
            if (bytes[i] == '\n')
                positions.push_back(static_cast<std::uint32_t>(i));
        }
        return positions;
    }

    std::vector<std::uint32_t> Positions(const LineEndIndex& index)
    {
        return {index.data(), index.data() + index.size()};
    }

    // Every LF found, in order, whatever the density of line ends, the
    // alignment of the range and its length against the 64-byte blocks;
    // several ranges add up in one index.
    TEST(LineEndIndex, FindsEveryLineEndOfAnyRange)
    {
        std::mt19937 random(7);
        for (const int lfPercent : {0, 1, 5, 30, 100})
        {
            std::string bytes(700, 'x');
            for (char& c : bytes)
            {
                if (static_cast<int>(random() % 100) < lfPercent)
                    c = '\n';
            }
            for (std::size_t from = 0; from < 70; from += 3)
            {
                for (const std::size_t to : {from, from + 1, from + 63, from + 64, from + 65, from + 200, std::size_t {700}})
                {
                    LineEndIndex index;
                    index.Add(bytes.data(), from, to);
                    ASSERT_EQ(Positions(index), NaivePositions(bytes, from, to))
                        << lfPercent << "% LF, [" << from << ", " << to << ")";
                }
            }
            LineEndIndex pieces;
            pieces.Add(bytes.data(), 0, 100);
            pieces.Add(bytes.data(), 100, 333);
            pieces.Add(bytes.data(), 333, 700);
            EXPECT_EQ(Positions(pieces), NaivePositions(bytes, 0, 700)) << lfPercent << "% LF in pieces";
            pieces.clear();
            EXPECT_TRUE(pieces.empty());
            EXPECT_TRUE(pieces.HasStorage()) << "storage is kept for reuse";
        }
    }

    // Each kernel's block search finds the positions a byte-by-byte reading
    // finds, whatever the number of LFs in a block.
    using BlockSearch = test::EachKernel;
    TEST_P(BlockSearch, SameAsByteByByteReading)
    {
        std::mt19937 random(11);
        std::string bytes(64 * 40, 'x');
        for (std::size_t block = 0; block < 40; ++block)
        {
            // 0, 1, ... up to 64 LFs in the blocks, at random places.
            const std::size_t lineFeeds = block * 64 / 39;
            for (std::size_t i = 0; i < lineFeeds; ++i)
                bytes[block * 64 + random() % 64] = '\n';
        }
        const auto expected = NaivePositions(bytes, 0, bytes.size());
        std::vector<std::uint32_t> out(bytes.size() + detail::kSpareLineEndWrites);
        const std::size_t found = Kernel().indexBlocks(bytes.data(), 0, bytes.size(), out.data());
        EXPECT_EQ(std::vector<std::uint32_t>(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(found)), expected);
        LineEndIndex index;
        index.Add(bytes.data(), 3, bytes.size() - 5, Kernel().indexBlocks);
        EXPECT_EQ(Positions(index), NaivePositions(bytes, 3, bytes.size() - 5)) << "a range off the blocks";
    }
    PLEXOR_INSTANTIATE_FOR_EACH_KERNEL(BlockSearch);

    TEST(LineEndIndex, GrowsForAnyNumberOfLines)
    {
        const std::string bytes(100000, '\n');
        LineEndIndex index;
        index.Add(bytes.data(), 0, bytes.size());
        ASSERT_EQ(index.size(), bytes.size());
        EXPECT_EQ(index[0], 0u);
        EXPECT_EQ(index[99999], 99999u);

        LineEndIndex moved = std::move(index);
        EXPECT_EQ(moved.size(), bytes.size());
        EXPECT_FALSE(index.HasStorage());
        index.Add(bytes.data(), 0, 3);
        EXPECT_EQ(index.size(), 3u) << "a moved-from index is usable";
    }

    struct PrefixCase
    {
        const char* line;
        std::size_t expected;
    };

    // RecordPrefix gives the length of "LABEL NS " only when the first blank
    // begins " NS " within the probe and the line does not begin with "$";
    // 0 means "look at the whole line".
    TEST(RecordPrefix, RecognisesLabelAndNsWithinTheProbe)
    {
        const std::string label28(28, 'L');
        const std::string label29(29, 'L');
        const std::vector<PrefixCase> cases = {
            {"EXAMPLE NS NS1.EXAMPLE.NET.", 11},
            {"A NS B", 5},
            {"A NS ", 5},
            {"A NS", 0},                 // line ends inside the key
            {"EXAMPLE A 192.0.2.1", 0},  // first blank is not " NS "
            {"EXAMPLE  NS X", 0},        // two blanks: the first is not " NS "
            {"$ORIGIN X NS Y", 0},       // "$" lines are never passed over
            {"$X NS Y", 0},
            {" NS X", 4},                // the line's own rules skip it
            {";C NS X", 6},
            {"", 0},
            {"NOBLANKATALL", 0},
        };
        for (const PrefixCase& c : cases)
        {
            std::string buffer = c.line;
            const std::size_t length = buffer.size();
            buffer.append(kLineProbeBytes, ' '); // what follows a line is not part of it
            EXPECT_EQ(RecordPrefix(buffer.data(), length), c.expected) << '"' << c.line << '"';
        }
        std::string longest = label28 + " NS X";
        std::string tooLong = label29 + " NS X";
        const std::size_t longestLength = longest.size();
        const std::size_t tooLongLength = tooLong.size();
        longest.append(kLineProbeBytes, '\0');
        tooLong.append(kLineProbeBytes, '\0');
        EXPECT_EQ(RecordPrefix(longest.data(), longestLength), 32u) << "label and key fill the probe";
        EXPECT_EQ(RecordPrefix(tooLong.data(), tooLongLength), 0u) << "the key ends past the probe";
    }
}

namespace
{
    // Each kernel against a plain reading of the rules, on random lines
    // built to sit on every edge (labels around the probe's length, CR LF,
    // "$" lines, near misses of " NS "), classified in groups of every size
    // with the state carried from group to group.
    using RecordLineClassification = test::EachKernel;
    TEST_P(RecordLineClassification, SameAsLineByLineRules)
    {
        std::mt19937 random(11);
        const auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
        const std::vector<std::string> labels = {"", "A", "AB", "$X", ";C", std::string(27, 'L'), std::string(28, 'L'),
                                                 std::string(29, 'L'), std::string(31, 'M'), std::string(40, 'N')};
        const std::vector<std::string> keys = {" NS ", " NS ", " NS ", " A ", "  NS ", " NSX", " NS"};
        const std::vector<std::string> ends = {"\n", "\n", "\r\n", "\r\r\n"};
        std::string bytes;
        std::string line;
        for (int i = 0; i < 3000; ++i)
        {
            // Most lines repeat the one before, some with another server.
            if (i == 0 || pick(3) == 0)
                line = labels[pick(labels.size())] + keys[pick(keys.size())];
            bytes += line + (pick(2) == 0 ? "SRV" : "") + ends[pick(ends.size())];
        }
        LineEndIndex lineEnds;
        lineEnds.Add(bytes.data(), 0, bytes.size());
        bytes.append(kLineProbeBytes, ' ');

        // The rules, line by line.
        std::vector<std::size_t> wantedPrefixes;
        std::vector<bool> wantedRepeats;
        std::size_t start = 0;
        std::size_t previousStart = 0;
        std::size_t previousPrefix = 0;
        for (std::size_t i = 0; i < lineEnds.size(); ++i)
        {
            std::size_t length = lineEnds[i] - start;
            if (length > 0 && bytes[start + length - 1] == '\r')
                --length;
            wantedPrefixes.push_back(RecordPrefix(bytes.data() + start, length));
            wantedRepeats.push_back(previousPrefix != 0 && length >= previousPrefix
                                    && bytes.compare(start, previousPrefix, bytes, previousStart, previousPrefix) == 0);
            previousStart = start;
            previousPrefix = wantedPrefixes.back();
            start = lineEnds[i] + 1;
        }

        const auto classify = Kernel().classifyRecordLines;
        for (const std::size_t group : {std::size_t {1}, std::size_t {7}, std::size_t {63}, std::size_t {64}})
        {
            RecordScanState state;
            std::vector<std::uint8_t> prefixes(lineEnds.size());
            for (std::size_t first = 0; first < lineEnds.size(); first += group)
            {
                const std::size_t n = std::min(group, lineEnds.size() - first);
                const std::size_t begin = first == 0 ? 0 : lineEnds[first - 1] + std::size_t {1};
                const std::uint64_t bits =
                    classify(bytes.data(), begin, lineEnds.data() + first, n, state, prefixes.data() + first);
                for (std::size_t k = 0; k < n; ++k)
                {
                    ASSERT_EQ(prefixes[first + k], wantedPrefixes[first + k]) << "line " << first + k;
                    ASSERT_EQ(((bits >> k) & 1) != 0, wantedRepeats[first + k]) << "line " << first + k;
                }
                if (n < 64)
                {
                    ASSERT_EQ(bits >> n, 0u) << "no bits past the lines";
                }
            }
        }
    }
    PLEXOR_INSTANTIATE_FOR_EACH_KERNEL(RecordLineClassification);
}

namespace
{
    // The tail of a word read and written in two overlapping pieces: the
    // same bytes as a copy of that length, at every length and offset, and
    // nothing written past the tail.
    TEST(WordTail, SameAsCopyOfItsLength)
    {
        const std::string bytes = "\x01\x80\xff" "abcdefghijklmnop";
        for (std::size_t start = 0; start < 4; ++start)
        {
            for (std::size_t n = 0; n < 8; ++n)
            {
                std::uint64_t expected = 0;
                std::memcpy(&expected, bytes.data() + start, n);
                const std::uint64_t word = scan::LoadTail(bytes.data() + start, n);
                EXPECT_EQ(word, expected) << start << " " << n;
                std::string out(12, '.');
                scan::StoreTail(out.data() + 2, word, n);
                EXPECT_EQ(out, std::string(2, '.') + bytes.substr(start, n) + std::string(10 - n, '.')) << start << " " << n;
            }
        }
    }
}
