#include <gtest/gtest.h>

#include <filesystem>

#include "engine_test_support.h"
#include "zones/zone_set.h"

namespace plexor
{
    namespace fs = std::filesystem;

    namespace
    {
        // A fresh folder in the test's temporary folder.
        fs::path Folder(std::string_view name)
        {
            const fs::path folder = test::TempPath(name);
            fs::remove_all(folder);
            fs::create_directories(folder);
            return folder;
        }

        fs::path Touch(const fs::path& path, std::string_view bytes = "x NS y\n")
        {
            test::WriteFile(path.string(), bytes);
            return path;
        }

        std::vector<std::string> Names(const ZoneSet& set)
        {
            std::vector<std::string> names;
            for (const ZoneFile& zone : set.zones)
            {
                const std::u8string name = zone.path.filename().u8string();
                names.emplace_back(name.begin(), name.end());
            }
            return names;
        }
    }

    TEST(ZoneSet, FoldersGiveTheirVisibleFilesByNameAndFilesKeepTheirOrder)
    {
        const fs::path folder = Folder("listed");
        // Windows folders do not tell A.zone from a.zone; names are UTF-8.
        for (const char8_t* name : {u8"b.zone", u8"a.zone", u8"A.zone", u8".hidden.zone", u8"\u00e9.zone", u8"a.zone.gz"})
            if (!fs::exists(folder / name))
                Touch(folder / name);
#ifdef _WIN32
        const std::vector<std::string> expected {"z.zone", "a.zone", "a.zone.gz", "b.zone", "\xC3\xA9.zone", "y.zone"};
#else
        const std::vector<std::string> expected {"z.zone", "A.zone", "a.zone", "a.zone.gz", "b.zone", "\xC3\xA9.zone", "y.zone"};
#endif
        fs::create_directories(folder / "sub");
        Touch(folder / "sub" / "c.zone");
        const fs::path other = Folder("other");
        const fs::path z = Touch(other / "z.zone");
        const fs::path y = Touch(other / "y.zone");

        const ZoneSet set = BuildZoneSet({z, folder, y}, {"out.txt", {}});
        ASSERT_FALSE(set.error) << set.error->message;
        EXPECT_EQ(Names(set), expected);
        for (const ZoneFile& zone : set.zones)
        {
            EXPECT_EQ(zone.failure, "") << zone.display;
            EXPECT_FALSE(zone.standardInput);
        }

        const ZoneSet input = BuildZoneSet({"-"}, {"-", {}});
        ASSERT_FALSE(input.error);
        ASSERT_EQ(input.zones.size(), 1u);
        EXPECT_TRUE(input.zones[0].standardInput);
    }

    TEST(ZoneSet, AMissingZoneBecomesAFailedRowNotAnError)
    {
        const fs::path folder = Folder("missing");
        const fs::path here = Touch(folder / "here.zone");
        const ZoneSet set = BuildZoneSet({here, folder / "gone.zone"}, {test::TempPath("out.txt"), {}});
        ASSERT_FALSE(set.error) << set.error->message;
        ASSERT_EQ(set.zones.size(), 2u);
        EXPECT_EQ(set.zones[0].failure, "");
        EXPECT_EQ(set.zones[1].failure, std::make_error_code(std::errc::no_such_file_or_directory).message());
    }

    TEST(ZoneSet, RefusesUnsoundArgumentsAndOutputs)
    {
        using Kind = ZoneSetError::Kind;
        const fs::path in = Folder("in");
        const fs::path a = Touch(in / "com.zone");
        const fs::path b = Touch(in / "net.zone", "other size\n");
        const fs::path empty = Folder("empty");
        const fs::path hiddenOnly = Folder("hidden-only");
        Touch(hiddenOnly / ".part");
        const fs::path second = Folder("second");
        const fs::path sameName = Touch(second / "com.zone.gz");
        const fs::path hardLink = second / "hard.zone";
        fs::create_hard_link(a, hardLink);
        const fs::path softLink = second / "soft.zone";
        // Wine has no symbolic links: that case then goes through the hard link alone.
        std::error_code linkError;
        fs::create_symlink(a, softLink, linkError);
        const fs::path blocker = Touch(test::TempPath("a-file"));

        struct Case
        {
            std::string name;
            std::vector<fs::path> arguments;
            ZoneOutputTarget output;
            Kind kind;
            std::string message;
        };
        const Case cases[] = {
            {"no zone", {}, {"out", {}}, Kind::Usage, "no zone file given"},
            {"standard input beside a zone", {"-", a}, {"out", {}}, Kind::Usage, "- (standard input) must be the only zone"},
            {"standard input to a folder", {"-"}, {{}, test::TempPath("o")}, Kind::Usage,
             "- (standard input) needs an output file, not an output folder"},
            {"empty folder", {a, empty}, {"out", {}}, Kind::Usage, "the folder " + empty.string() + " holds no zone file"},
            {"hidden files only", {hiddenOnly}, {"out", {}}, Kind::Usage,
             "the folder " + hiddenOnly.string() + " holds no zone file"},
            {"same path twice", {a, in / ".." / in.filename() / "com.zone"}, {"out", {}}, Kind::Usage,
             "the zone " + a.string() + " is given twice (also as " + (in / ".." / in.filename() / "com.zone").string()
                 + ")"},
            {"through a folder and a file", {in, a}, {"out", {}}, Kind::Usage, ""},
            {"through a hard link", {a, hardLink}, {"out", {}}, Kind::Usage, ""},
            {"through a symbolic link", {softLink, b, a}, {"out", {}}, Kind::Usage, ""},
            {"output is a zone", {a, b}, {b, {}}, Kind::Usage, "the output " + b.string() + " is the zone " + b.string()},
            {"output in the zone folder", {in}, {in / "names.txt", {}}, Kind::Usage,
             "the output " + (in / "names.txt").string() + " is inside the zone folder " + fs::canonical(in).string()},
            {"output below the zone folder", {in}, {in / "x" / "names.txt", {}}, Kind::Usage, ""},
            {"output folder in the zone folder", {in}, {{}, in / "out"}, Kind::Usage,
             "the output folder " + (in / "out").string() + " is inside the zone folder " + fs::canonical(in).string()},
            {"output folder holds a zone", {a}, {{}, in}, Kind::Usage,
             "the output folder " + in.string() + " holds the zone " + a.string()},
            {"two zones, one output name", {a, sameName}, {{}, test::TempPath("o")}, Kind::Usage,
             "the zones " + a.string() + " and " + sameName.string() + " would write the same output com.zone"},
            {"output folder not creatable", {a}, {{}, blocker / "sub"}, Kind::FileSystem,
             "the output folder " + (blocker / "sub").string() + " cannot be created: "
                 + std::make_error_code(std::errc::not_a_directory).message()},
        };
        for (const Case& c : cases)
        {
            if (linkError && c.arguments.front() == softLink)
                continue;
            const ZoneSet set = BuildZoneSet(c.arguments, c.output);
            ASSERT_TRUE(set.error) << c.name;
            EXPECT_EQ(set.error->kind, c.kind) << c.name;
            EXPECT_EQ(ExitCodeOf(*set.error), c.kind == Kind::Usage ? 2 : 1) << c.name;
            EXPECT_TRUE(set.zones.empty()) << c.name;
            if (!c.message.empty())
            {
                EXPECT_EQ(set.error->message, c.message) << c.name;
            }
            else
            {
                EXPECT_TRUE(set.error->message.find("is given twice") != std::string::npos
                            || set.error->message.find("inside the zone folder") != std::string::npos)
                    << c.name << ": " << set.error->message;
            }
        }
        EXPECT_FALSE(fs::exists(in / "out"));

        // A sound output folder is made, with its parents.
        const fs::path made = test::TempPath("made") + "/deeper";
        const ZoneSet set = BuildZoneSet({a, b}, {{}, made});
        EXPECT_FALSE(set.error);
        EXPECT_TRUE(fs::is_directory(made));
    }

    TEST(ZoneSet, OutputNamesAndPartialFiles)
    {
        const std::pair<const char*, const char*> names[] = {
            {"com.txt.gz", "com.txt"}, {"com.zone.GZ", "com.zone"}, {"com.zone", "com.zone"},
            {"dir/se.gz", "se"},       {"x.gz.txt", "x.gz.txt"},   {"gz", "gz"}};
        for (const auto& [zone, output] : names)
            EXPECT_EQ(OutputNameFor(zone), fs::path(output)) << zone;

        const fs::path folder = Folder("commit");
        const fs::path final = folder / "com.txt";
        const fs::path partial = PartialOutputPath(final);
        EXPECT_EQ(partial.parent_path(), folder);
        EXPECT_EQ(partial.filename().string().front(), '.');
        Touch(final, "yesterday's\n");
        Touch(partial, "today's\n");
        EXPECT_FALSE(CommitOutput(partial, final));
        EXPECT_EQ(test::ReadFile(final.string()), "today's\n");
        EXPECT_FALSE(fs::exists(partial));
        EXPECT_TRUE(CommitOutput(partial, final)); // nothing left to commit
    }

    TEST(ZoneSet, PairsZonesByOriginOrFileName)
    {
        const std::pair<std::optional<std::string>, const char*> keys[] = {
            {"Com", "x"},               {std::nullopt, "com.zone.gz"}, {std::nullopt, "COM.TXT"},
            {std::nullopt, "com.gz"},   {std::nullopt, "com"},         {std::nullopt, "a/com.zone.txt"},
            {std::nullopt, ".zone"}};
        const char* expected[] = {"com", "com", "com", "com", "com", "com.zone", ".zone"};
        for (std::size_t i = 0; i < std::size(keys); ++i)
            EXPECT_EQ(ZoneKey(keys[i].first, keys[i].second), expected[i]) << keys[i].second;

        const ZonePairing pairing = PairZones({"com", "net", "se", "com", "com"}, {"org", "com", "net", "com", "nu"});
        const std::vector<std::optional<std::size_t>> older = {1, 2, std::nullopt, 3, std::nullopt};
        EXPECT_EQ(pairing.older, older);
        EXPECT_EQ(pairing.onlyOlder, (std::vector<std::size_t> {0, 4}));
        EXPECT_TRUE(PairZones({}, {}).older.empty());
    }
}
