#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine_test_support.h"
#include "scan/line_index.h"
#include "scan/master_lines.h"
#include "scan/kernel.h"
#include "scan/line_masks.h"
#include "scan/reference/masks.h"

using namespace plexor;

namespace
{
    const char* BestName()
    {
        return scan::ChooseKernel(nullptr).table->name;
    }

    // PLEXOR_KERNEL picks a kernel by name; anything else leaves the best
    // one in use, with a note that says so.
    TEST(KernelChoice, FollowsThePlexorKernelName)
    {
        struct Case
        {
            const char* requested;
            const char* expected; // nullptr: the best kernel
            bool note;
        };
        const bool haveAvx2 = scan::KernelFor(scan::Kernel::Avx2) != nullptr;
        const bool haveSse2 = scan::KernelFor(scan::Kernel::Sse2) != nullptr;
        const Case cases[] = {
            {nullptr, nullptr, false},
            {"", nullptr, false},
            {"reference", "reference", false},
            {"sse2", haveSse2 ? "sse2" : nullptr, !haveSse2},
            {"avx2", haveAvx2 ? "avx2" : nullptr, !haveAvx2},
            {"AVX2", nullptr, true}, // names are lower case
            {"fallback", nullptr, true},
            {"avx2 ", nullptr, true},
        };
        for (const Case& c : cases)
        {
            SCOPED_TRACE(c.requested == nullptr ? "(not set)" : c.requested);
            const scan::KernelChoice choice = scan::ChooseKernel(c.requested);
            ASSERT_NE(choice.table, nullptr);
            EXPECT_STREQ(choice.table->name, c.expected != nullptr ? c.expected : BestName());
            EXPECT_EQ(!choice.note.empty(), c.note) << choice.note;
            if (c.note)
            {
                EXPECT_NE(choice.note.find(std::string("using ") + BestName()), std::string::npos) << choice.note;
            }
        }
    }

    // A run with PLEXOR_KERNEL set to a kernel this machine has uses that
    // kernel: the second pass of the suite with the reference kernel forced
    // must not run another one unnoticed.
    TEST(KernelChoice, TheRunUsesTheKernelAskedFor)
    {
        const char* requested = std::getenv("PLEXOR_KERNEL");
        const scan::KernelChoice choice = scan::ChooseKernel(requested);
        EXPECT_EQ(&scan::ActiveKernel(), choice.table);
        EXPECT_EQ(scan::KernelNote(), choice.note);
        if (requested != nullptr && choice.note.empty() && *requested != '\0')
        {
            EXPECT_STREQ(scan::ActiveKernel().name, requested);
        }
    }

    // The per-line masks this build compiles in give the reference masks'
    // answers on random bytes rich in the bytes they look for.
    TEST(LineMasks, SameAsReferenceMasks)
    {
        using Fast = scan::LineMasks;
        using Plain = scan::reference::Masks;
        std::mt19937 random(3);
        const char alphabet[] = "aaaaAZ@[`{..\n\n\t\r  ()\"\\;$0\x80\xff";
        std::string bytes(256, 'a');
        std::string other(256, 'a');
        for (int round = 0; round < 2000; ++round)
        {
            for (std::size_t i = 0; i < bytes.size(); ++i)
            {
                bytes[i] = alphabet[random() % (sizeof alphabet - 1)];
                other[i] = random() % 4 == 0 ? alphabet[random() % (sizeof alphabet - 1)] : bytes[i];
            }
            const char* p = bytes.data() + random() % 64;
            const char* q = other.data() + random() % 64;
            const std::size_t size = random() % 65;
            SCOPED_TRACE(::testing::Message() << "round " << round);
            ASSERT_EQ(Fast::LineFeedMask64(p), Plain::LineFeedMask64(p));
            ASSERT_EQ(Fast::SeparatorMask64(p), Plain::SeparatorMask64(p));
            ASSERT_EQ(Fast::SpecialMask32(p), Plain::SpecialMask32(p));
            ASSERT_EQ(Fast::DotMask32(p), Plain::DotMask32(p));
            ASSERT_EQ(Fast::EqualMask64(p, q), Plain::EqualMask64(p, q));
            ASSERT_EQ(Fast::HasUpperAscii(p, size), Plain::HasUpperAscii(p, size));
            ASSERT_EQ(Fast::FindSeparator(p, size), Plain::FindSeparator(p, size));
            ASSERT_EQ(Fast::FindSpecial(p, size), Plain::FindSpecial(p, size));
            char fastCopy[80] = {};
            char plainCopy[80] = {};
            Fast::CopyLower(p, size, fastCopy);
            Plain::CopyLower(p, size, plainCopy);
            ASSERT_EQ(std::string(fastCopy, size), std::string(plainCopy, size));
        }
    }

    // Random chunks of master-file lines, most of them simple, near misses
    // of every rule among them: each kernel's simple-NS-line search gives
    // the reference kernel's entries, and its servers when asked.
    using SimpleNsLineSearch = test::EachKernel;
    TEST_P(SimpleNsLineSearch, SameAsReferenceOnRandomChunks)
    {
        std::mt19937 random(17);
        const char* const owners[] = {"a.example.", "a.example.", "b.example.", "B.example.", "rel", ".x.", "$ORIGIN"};
        const std::string longOwner = std::string(70, 'l') + ".example.";
        const char* const heads[] = {"\t3600\tin\t", "\t3600\tIN\t", " 86400 in ", "\t1h\tin\t", "\tin\t3600\t",
                                     "\t3600\tch\t"};
        const char* const types[] = {"ns\t", "NS\t", "ds\t", "soa\t", "a\t", "ns  "};
        const char* const data[] = {"ns1.host.net.", "NS2.Host.net extra", "@", ".", "", "1 8 2 AB"};
        const char* const ends[] = {"\n", "\n", "\r\n"};
        for (int round = 0; round < 300; ++round)
        {
            std::string text;
            const int lines = 1 + static_cast<int>(random() % 80);
            const bool clean = random() % 2 == 0; // all simple: the search goes to the end
            for (int i = 0; i < lines; ++i)
            {
                const std::size_t pick = clean ? random() % 3 : random() % 8;
                const std::string owner = pick == 7 ? longOwner : owners[pick];
                text += owner + heads[clean ? random() % 3 : random() % 6] + types[clean ? random() % 3 : random() % 6]
                    + data[clean ? random() % 2 : random() % 6] + ends[random() % 3];
            }
            const std::string bytes = text + std::string(kLineProbeBytes, '\0');
            LineEndIndex lineEnds;
            lineEnds.Add(bytes.data(), 0, text.size());
            SimpleNsLines expected;
            expected.withServers = round % 2 == 0;
            scan::KernelFor(scan::Kernel::Reference)->findSimpleNsLines(bytes.data(), lineEnds, expected);
            SimpleNsLines found;
            found.withServers = expected.withServers;
            Kernel().findSimpleNsLines(bytes.data(), lineEnds, found);
            SCOPED_TRACE(text);
            ASSERT_EQ(found.found, expected.found);
            ASSERT_EQ(found.lastOwnerSize, expected.lastOwnerSize);
            ASSERT_EQ(found.entries.size(), expected.entries.size());
            for (std::size_t i = 0; i < found.entries.size(); ++i)
            {
                EXPECT_EQ(found.entries[i].line, expected.entries[i].line);
                EXPECT_EQ(found.entries[i].ownerOffset, expected.entries[i].ownerOffset);
                EXPECT_EQ(found.entries[i].ownerLength, expected.entries[i].ownerLength);
            }
            ASSERT_EQ(found.servers.size(), expected.servers.size());
            for (std::size_t i = 0; i < found.servers.size(); ++i)
            {
                EXPECT_EQ(found.servers[i].line, expected.servers[i].line);
                EXPECT_EQ(found.servers[i].offset, expected.servers[i].offset);
                EXPECT_EQ(found.servers[i].length, expected.servers[i].length);
            }
        }
    }
    PLEXOR_INSTANTIATE_FOR_EACH_KERNEL(SimpleNsLineSearch);
}
