#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "extraction/batch.h"

using namespace plexor;

namespace
{
    using Entries = std::vector<std::string>;

    TEST(Batch, EntriesAreBuiltGrownAndDroppedInOrder)
    {
        Batch batch;
        EXPECT_TRUE(batch.empty());
        EXPECT_EQ(batch.Lines(5), "");

        batch.push_back("EXAMPLE", ".COM");
        batch.push_back("OTHER.NET");
        batch.AppendToBack(": ", "NS1", ".NET");
        EXPECT_EQ(batch.Entries(), (Entries {"EXAMPLE.COM", "OTHER.NET: NS1.NET"}));
        EXPECT_EQ(batch.back(), "OTHER.NET: NS1.NET");
        EXPECT_EQ(batch.Lines(1), "EXAMPLE.COM\r\n");
        EXPECT_EQ(batch.Lines(2), "EXAMPLE.COM\r\nOTHER.NET: NS1.NET\r\n");

        batch.push_back("REJECTED");
        batch.pop_back();
        batch.AppendToBack(",NS2.NET");
        EXPECT_EQ(batch.Entries(), (Entries {"EXAMPLE.COM", "OTHER.NET: NS1.NET,NS2.NET"}));

        // The worker writes all but the last and keeps that one to grow.
        batch.DropFront(1);
        EXPECT_EQ(batch.Entries(), (Entries {"OTHER.NET: NS1.NET,NS2.NET"}));
        batch.AppendToBack(",NS3.NET");
        batch.push_back("NEXT.COM");
        EXPECT_EQ(batch.Lines(2), "OTHER.NET: NS1.NET,NS2.NET,NS3.NET\r\nNEXT.COM\r\n");
        batch.DropFront(5);
        EXPECT_TRUE(batch.empty());

        batch.push_back("");
        EXPECT_EQ(batch.Entries(), (Entries {""})) << "an empty entry is still a line";
        batch.clear();
        EXPECT_EQ(batch, Batch {});
    }

    TEST(Batch, BlockCopiesGiveExactEntries)
    {
        // Both pieces readable for a whole block; the excess is not kept.
        const std::string label = std::string("LABEL") + std::string(64, '#');
        const std::string suffix = std::string(".COM") + std::string(64, '#');
        Batch batch;
        for (std::size_t length = 0; length <= Batch::kBlockBytes; ++length)
            batch.PushBackBlocks(label.data(), std::min<std::size_t>(length, 5), suffix.data(), length % 5);
        ASSERT_EQ(batch.size(), Batch::kBlockBytes + 1);
        for (std::size_t length = 0; length <= Batch::kBlockBytes; ++length)
            EXPECT_EQ(batch[length], label.substr(0, std::min<std::size_t>(length, 5)) + suffix.substr(0, length % 5));
    }

    TEST(Batch, GrowsForEntriesOfAnySize)
    {
        const std::string big(3 << 20, 'B');
        Batch batch;
        batch.push_back("small");
        batch.push_back(big, ".COM");
        batch.AppendToBack(": ", big);
        batch.push_back("after");
        ASSERT_EQ(batch.size(), 3u);
        EXPECT_EQ(batch[0], "small");
        EXPECT_EQ(batch[1], big + ".COM: " + big);
        EXPECT_EQ(batch[2], "after");
        EXPECT_EQ(batch.Lines(3).size(), 5 + 2 * big.size() + 6 + 5 + 3 * 2);
    }

    // With LF line ends every way of building an entry ends it with the one
    // byte, and the entries themselves stay as they are.
    TEST(Batch, LfLineEndsEveryEntryWithOneByte)
    {
        const std::string label = std::string("LABEL") + std::string(64, '#');
        const std::string suffix = std::string(".COM") + std::string(64, '#');
        Batch batch(LineEnd::Lf);
        EXPECT_EQ(batch.EndOfLine(), LineEnd::Lf);
        batch.push_back("EXAMPLE", ".COM");
        batch.PushBackBlocks(label.data(), 5, suffix.data(), 4);
        batch.AppendToBack(": ", "NS1.NET");
        batch.push_back("");
        batch.push_back("DROPPED");
        batch.pop_back();
        EXPECT_EQ(batch.Entries(), (Entries {"EXAMPLE.COM", "LABEL.COM: NS1.NET", ""}));
        EXPECT_EQ(batch.Lines(3), "EXAMPLE.COM\nLABEL.COM: NS1.NET\n\n");
        batch.DropFront(1);
        EXPECT_EQ(batch.Lines(2), "LABEL.COM: NS1.NET\n\n");
        EXPECT_EQ(Batch().EndOfLine(), LineEnd::CrLf) << "CR LF unless asked";
    }
}
