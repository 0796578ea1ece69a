#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "engine_test_support.h"
#include "layouts/layout_hint.h"
#include "zones/layout_recognition.h"

namespace plexor
{
    namespace
    {
        std::string Sample(const std::string& name) { return std::string(PLEXOR_SAMPLES_DIR) + "/" + name; }

        std::string ReadSample(const std::string& name) { return test::ReadFile(Sample(name)); }

        std::string Repeat(const std::string& line, int times)
        {
            std::string text;
            for (int i = 0; i < times; ++i)
                text += line;
            return text;
        }

        const std::string kNotRecognised = "layout not recognised: ";
    }

    TEST(LayoutRecognition, RecognisesEverySampleWithItsOrigin)
    {
        struct Case
        {
            std::string file;
            ZoneLayout layout;
            std::string origin;
        };
        const Case cases[] = {
            {"com-sample.zone", ZoneLayout::Gtld, "com"},    {"com-sample.zone.gz", ZoneLayout::Gtld, "com"},
            {"se-sample.zone", ZoneLayout::Se, "se"},        {"czds-sample.zone", ZoneLayout::Master, "com"},
            {"czds-sample.zone.gz", ZoneLayout::Master, "com"}, {"axfr-sample.zone", ZoneLayout::Master, "nu"},
        };
        for (const Case& c : cases)
        {
            const LayoutRecognition found = RecogniseLayout(Sample(c.file));
            EXPECT_EQ(found.layout, c.layout) << c.file << ": " << found.reason;
            EXPECT_EQ(found.reason, "") << c.file;
            EXPECT_EQ(found.origin, c.origin) << c.file;
            EXPECT_EQ(ZoneOrigin(Sample(c.file)), c.origin) << c.file;
        }
    }

    TEST(LayoutRecognition, RefusesTheSamplesThatAreNoZones)
    {
        // The expected name lists, the case lists and the read-me.
        std::size_t refused = 0;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(PLEXOR_SAMPLES_DIR))
        {
            const std::string name = entry.path().filename().string();
            if (!entry.is_regular_file() || name.find(".zone") != std::string::npos)
                continue;
            const LayoutRecognition found = RecogniseLayout(entry.path());
            EXPECT_EQ(found.layout, std::nullopt) << name;
            EXPECT_TRUE(found.reason.starts_with(kNotRecognised)) << name;
            ++refused;
        }
        EXPECT_GE(refused, 10u);
    }

    TEST(LayoutRecognition, RecognisesMasterFileVariants)
    {
        // The hand-maintained part of the transfer sample: $ORIGIN (once
        // relative), blank owners, TTL units, quoted ";" and parentheses.
        const std::string axfr = ReadSample("axfr-sample.zone");
        const std::string handMade = axfr.substr(axfr.find("$ORIGIN nu.\n"));
        struct Case
        {
            std::string name;
            std::string text;
            std::optional<std::string> origin;
        };
        const Case cases[] = {
            {"transfer with ;; lines",
             "; <<>> DiG 9.18 <<>> @ns example. AXFR\n;; global options: +cmd\n"
             "example.\t\t86400\tIN\tSOA\tns.example. h.example. 1 2 3 4 5\n"
             "example.\t\t86400\tIN\tNS\tns.example.\n"
             "a.example.\t\t3600\tIN\tNS\tns1.a.example.\n"
             ";; Query time: 12 msec\n;; XFR size: 4 records\n",
             "example"},
            {"BIND style",
             "$TTL 3600\n$ORIGIN Example.ORG.\n@\tIN\tSOA\tns1 hostmaster (\n\t2024010101 ; serial\n"
             "\t1h ; refresh\n\t15M 2W 1H )\n\tIN NS ns1\n\tIN NS ns2.example.net.\n"
             "www 300 IN A 192.0.2.1\nsub IN NS ns.sub\nsub 2D IN DS 1 8 2 ( AB\n CD )\n"
             "txt IN TXT \"a ; not a comment ( nor a parenthesis\" \"\\\"\"\n",
             "example.org"},
            {"relative SOA owner",
             "$ORIGIN org.\nexample 3600 IN SOA ns hm 1 2 3 4 5\nexample NS ns\n", "example.org"},
            {"blank owner continues", "$ORIGIN net.\nzone IN NS ns\n\tIN SOA ns hm 1 2 3 4 5\n", "zone.net"},
            {"root zone", ".\t86400\tIN\tSOA\ta.root-servers.net. nstld.verisign-grs.com. 1 2 3 4 5\n"
                          ".\t518400\tIN\tNS\ta.root-servers.net.\n",
             "."},
            {"CZDS style", "xyz.\t3600\tin\tsoa\tns0.xyz. h.xyz. 1 2 3 4 5\nabc.xyz.\t3600\tin\tns\tns1.abc.xyz.\n", "xyz"},
            {"class before TTL", "a.example. IN 3600 NS ns.example.\n", std::nullopt},
            {"TYPE and CLASS numbers", "a.example. CLASS1 TYPE2 ns.example.\n", std::nullopt},
            {"lower-case gTLD shape", "$ORIGIN com.\nexample NS ns1.example\n", "com"},
            {"gTLD shape with an SOA", "$ORIGIN COM.\n@ IN SOA A.GTLD. N.V. 1 2 3 4 5\nEXAMPLE NS NS1.EXAMPLE\n", "com"},
            {"hand-made part", handMade, "nu"},
        };
        for (const Case& c : cases)
        {
            const LayoutRecognition found = RecogniseLayoutInText(c.text, true);
            EXPECT_EQ(found.layout, ZoneLayout::Master) << c.name << ": " << found.reason;
            EXPECT_EQ(found.origin, c.origin) << c.name;
        }
    }

    TEST(LayoutRecognition, TellsTheOtherLayoutsApart)
    {
        struct Case
        {
            std::string name;
            std::string text;
            ZoneLayout layout;
            std::optional<std::string> origin;
        };
        const Case cases[] = {
            {"gTLD", "; c\n$ORIGIN NET.\n$TTL 172800\n\nNET. NS A.GTLD.\nEX NS NS1.EX\nNS1.EX A 192.0.2.1\n",
             ZoneLayout::Gtld, "net"},
            {"gTLD without origin", "EX NS NS1.EX.COM.\nEX DS 1 8 2 AB\nNS1.EX AAAA 2001:db8::1\n", ZoneLayout::Gtld,
             std::nullopt},
            {"gTLD address lines only", "NS1.EX A 192.0.2.1\n", ZoneLayout::Master, std::nullopt},
            {".SE", "# made\n- Name=se\n    Created=2024\n    Name Server=a.ns.se\n\n- Name=a.se\n Created=1\n"
                    " Name Server=ns.a.se\n",
             ZoneLayout::Se, "se"},
            {".SE without apex", "- Name=a.se\n Created=1\n Name Server=ns.a.se\n- Name=b.se\n x=1\n",
             ZoneLayout::Se, std::nullopt},
        };
        for (const Case& c : cases)
        {
            const LayoutRecognition found = RecogniseLayoutInText(c.text, true);
            EXPECT_EQ(found.layout, c.layout) << c.name << ": " << found.reason;
            EXPECT_EQ(found.origin, c.origin) << c.name;
        }
    }

    TEST(LayoutRecognition, RefusesWhatNoLayoutFits)
    {
        std::mt19937 random(7);
        std::string binary(4096, '\0');
        for (char& c : binary)
            c = static_cast<char>(random());
        struct Case
        {
            std::string name;
            std::string text;
            std::string reason;
        };
        const Case cases[] = {
            {"empty", "", "the file is empty"},
            {"comments only", "; nothing\n\n;; more\n", "no record in the first 3 lines"},
            {"HTML error page",
             "<!DOCTYPE html>\n<html><head><title>404 Not Found</title></head>\n<body>NS A</body></html>\n",
             "line 1 fits no layout: <!DOCTYPE html>"},
            {"CSV of names", "domain,created\nexample.com,2024-01-01\n", "line 1 fits no layout: domain,created"},
            {"names alone", "example.com\nexample.net\n", "line 1 fits no layout: example.com"},
            {"binary", binary, ""},
            {"a bad line after good ones", "$ORIGIN COM.\nEX NS NS1.EX\nEX NS NS2.EX\n<html>\n",
             "line 4 fits no layout: <html>"},
            {"parenthesis left open", "a.example. IN SOA ns hm ( 1 2\n", "line 1 fits no layout: a.example. IN SOA ns hm ( 1 2"},
            {"parenthesis closed twice", "a.example. IN NS ns.example. )\n", ""},
            {"no data", "a.example. 3600 IN NS\n", ""},
            {".SE record with a bad line", "- Name=a.se\nCreated=1\nhello\n", ""},
            {"prose", "This is a text file.\nIt holds no zone at all.\n", ""},
        };
        for (const Case& c : cases)
        {
            const LayoutRecognition found = RecogniseLayoutInText(c.text, true);
            EXPECT_EQ(found.layout, std::nullopt) << c.name;
            EXPECT_EQ(found.origin, std::nullopt) << c.name;
            EXPECT_TRUE(found.reason.starts_with(kNotRecognised)) << c.name << ": " << found.reason;
            if (!c.reason.empty())
            {
                EXPECT_EQ(found.reason, kNotRecognised + c.reason) << c.name;
            }
        }
        EXPECT_TRUE(RecogniseLayoutInText(binary, true).reason.starts_with(kNotRecognised + "binary data (byte 0x"));
    }

    TEST(LayoutRecognition, LooksAtTheFirstLinesOnly)
    {
        const std::string record = "EX NS NS1.EX\n";
        // Bad lines after the 1000th are not looked at; at the 1000th they are.
        const std::string lines999 = Repeat(record, 999);
        EXPECT_EQ(RecogniseLayoutInText(lines999 + record + "<html>\n", true).layout, ZoneLayout::Gtld);
        EXPECT_EQ(RecogniseLayoutInText(lines999 + "<html>\n", true).reason,
                  kNotRecognised + "line 1000 fits no layout: <html>");
        // Nor after 64 KiB, where the line cut short is left out too.
        const std::string longRecord = "EX NS NS1." + std::string(200, 'A') + "\n";
        std::string big;
        while (big.size() < kRecognitionBytes - 100)
            big += longRecord;
        EXPECT_EQ(RecogniseLayoutInText(big + longRecord + "<html>\n", true).layout, ZoneLayout::Gtld);
        // An open parenthesis at the end of the lines looked at may close
        // after them; at the end of the file it cannot.
        const std::string open = "a.example. IN NS ns.\nb.example. IN SOA ns hm ( 1 2\n";
        EXPECT_EQ(RecogniseLayoutInText(open, false).layout, ZoneLayout::Master);
        EXPECT_EQ(RecogniseLayoutInText(open, true).layout, std::nullopt);
        EXPECT_EQ(RecogniseLayoutInText(Repeat("a.example. IN NS ns.\n", 998) + open + "3 4 5 )\n", true).layout,
                  ZoneLayout::Master);
    }

    TEST(LayoutRecognition, RefusesFilesThatCannotBeRead)
    {
        const std::string gz = ReadSample("com-sample.zone.gz");
        const std::string truncated = test::TempPath("truncated.zone.gz");
        test::WriteFile(truncated, gz.substr(0, 2000));
        const std::string html = test::TempPath("error.zone");
        test::WriteFile(html, "<html><body>Service unavailable</body></html>\n");
        const std::string empty = test::TempPath("empty.zone");
        test::WriteFile(empty, "");
        const std::string gzEmpty = test::TempPath("empty.zone.gz");
        test::WriteFile(gzEmpty, test::Gzip(""));
        struct Case
        {
            std::string path;
            std::string reason;
        };
        const Case cases[] = {
            {truncated, "the gzip data is damaged or cut off"},
            {html, "line 1 fits no layout: <html><body>Service unavailable</body></html>"},
            {empty, "the file is empty"},
            {gzEmpty, "the file is empty"},
            {test::TempPath("missing.zone"),
             "the file could not be read: " + std::make_error_code(std::errc::no_such_file_or_directory).message()},
            {PLEXOR_SAMPLES_DIR,
             "the file could not be read: " + std::make_error_code(std::errc::is_a_directory).message()},
        };
        for (const Case& c : cases)
        {
            const LayoutRecognition found = RecogniseLayout(c.path);
            EXPECT_EQ(found.layout, std::nullopt) << c.path;
            EXPECT_EQ(found.reason, kNotRecognised + c.reason) << c.path;
        }
    }

    TEST(ZoneFileHead, KeepsWholeLinesAndTellsEndAndFailure)
    {
        const std::string path = test::TempPath("head.zone");
        test::WriteFile(path, "one\ntwo\nthree");
        struct Case
        {
            std::size_t bound;
            std::string text;
            bool ended;
        };
        const Case cases[] = {{100, "one\ntwo\nthree", true}, {13, "one\ntwo\nthree", true}, {12, "one\ntwo\n", false},
                              {8, "one\ntwo\n", false},       {7, "one\n", false},          {2, "", false}};
        for (const Case& c : cases)
        {
            const ZoneFileHead head = ReadZoneFileHead(path, c.bound);
            EXPECT_EQ(head.text, c.text) << c.bound;
            EXPECT_EQ(head.ended, c.ended) << c.bound;
            EXPECT_FALSE(head.failed) << c.bound;
        }
        const std::string gz = test::Gzip("one\ntwo\n");
        const std::string cut = test::TempPath("cut.zone.gz");
        test::WriteFile(cut, gz.substr(0, gz.size() - 4));
        const ZoneFileHead damaged = ReadZoneFileHead(cut);
        EXPECT_TRUE(damaged.failed);
        EXPECT_FALSE(damaged.error);
        EXPECT_FALSE(damaged.ended);
    }
}
