#include <csignal>
#include <filesystem>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

#include <gtest/gtest.h>

#include "cli/command_line.h"
#include "cli/program_arguments.h"
#include "cli/progress_line.h"
#include "cli/stop_request.h"
#include "extraction/extraction_state.h"

using namespace plexor;

namespace
{
    using Args = std::vector<std::string_view>;
    using Action = ParsedCommandLine::Action;

    // Without options every domain name of the whole file: no length
    // bound, no excluded character, no line limit, the layout recognised;
    // the window's first-start values are options like any other.
    TEST(CommandLine, DefaultsReadEveryNameAndTheWindowsValuesAreOptions)
    {
        auto parsed = ParseCommandLine({"zone", "out"});
        ASSERT_EQ(parsed.action, Action::Run) << parsed.error;
        const ExtractCommand& c = parsed.command;
        EXPECT_TRUE(c.layoutAuto);
        EXPECT_EQ(c.mode, ExtractMode::Domains);
        EXPECT_EQ(c.filters.minChars, 0);
        EXPECT_EQ(c.filters.maxChars, std::numeric_limits<std::int32_t>::max());
        EXPECT_EQ(c.filters.excludedChars, "");
        EXPECT_EQ(c.filters.lineLimit, 0u);
        EXPECT_EQ(c.filters.appendNameServers, 0);
        EXPECT_EQ(c.lineEnd, LineEnd::CrLf);
        EXPECT_EQ(c.jobs, 0u) << "the number of cores";
        EXPECT_FALSE(c.progress || c.quiet || c.ZoneIsStandardInput() || c.OutputIsStandardOutput());
        EXPECT_FALSE(c.ManyZonesAsked());
        EXPECT_TRUE(parsed.notes.empty());

        parsed = ParseCommandLine({"--layout", "gtld", "--mode", "domains", "--min", "5", "--max", "18", "--exclude",
                                   "xyz-", "--line-limit", "2000000", "zone", "out"});
        ASSERT_EQ(parsed.action, Action::Run) << parsed.error;
        const RunFilters window;
        EXPECT_FALSE(parsed.command.layoutAuto);
        EXPECT_EQ(parsed.command.filters.minChars, window.minChars);
        EXPECT_EQ(parsed.command.filters.maxChars, window.maxChars);
        EXPECT_EQ(parsed.command.filters.excludedChars, window.excludedChars);
        EXPECT_EQ(parsed.command.filters.lineLimit, window.lineLimit);
    }

    TEST(CommandLine, ManyZonesTakeTheLastArgumentAsOutputOrAnOutputFolder)
    {
        auto parsed = ParseCommandLine({"--jobs", "3", "--summary", "s.tsv", "a", "b", "c", "out"});
        ASSERT_EQ(parsed.action, Action::Run) << parsed.error;
        EXPECT_EQ(parsed.command.zones, (std::vector<std::string> {"a", "b", "c"}));
        EXPECT_EQ(parsed.command.output, "out");
        EXPECT_EQ(parsed.command.jobs, 3u);
        EXPECT_EQ(parsed.command.summaryFile, "s.tsv");
        EXPECT_TRUE(parsed.command.ManyZonesAsked());

        parsed = ParseCommandLine({"--output-dir", "names", "a", "b"});
        ASSERT_EQ(parsed.action, Action::Run) << parsed.error;
        EXPECT_EQ(parsed.command.zones, (std::vector<std::string> {"a", "b"}));
        EXPECT_TRUE(parsed.command.output.empty());
        EXPECT_EQ(parsed.command.outputDir, "names");
        EXPECT_TRUE(parsed.command.ManyZonesAsked());
    }

    TEST(CommandLine, EveryOptionReachesTheCommand)
    {
        const auto parsed = ParseCommandLine({"--mode=nameservers", "--layout", "master", "--min", "-3", "--max=70",
                                              "--exclude", "", "--include", "shop,web", "--ns", "ns1.example",
                                              "--append", "--line-limit", "0", "--lf", "--progress", "-", "--",
                                              "--odd-name"});
        ASSERT_EQ(parsed.action, Action::Run) << parsed.error;
        const ExtractCommand& c = parsed.command;
        EXPECT_EQ(c.layout, ZoneType::Master);
        EXPECT_EQ(c.mode, ExtractMode::NameServers);
        EXPECT_EQ(c.filters.minChars, -3);
        EXPECT_EQ(c.filters.maxChars, 70);
        EXPECT_EQ(c.filters.excludedChars, "");
        EXPECT_EQ(c.filters.includeWordsText, "shop,web");
        EXPECT_EQ(c.filters.nameServerText, "ns1.example");
        EXPECT_EQ(c.filters.appendNameServers, 1);
        EXPECT_EQ(c.filters.lineLimit, 0u);
        EXPECT_EQ(c.lineEnd, LineEnd::Lf);
        EXPECT_TRUE(c.progress);
        EXPECT_TRUE(c.ZoneIsStandardInput());
        EXPECT_EQ(c.output, "--odd-name") << "-- ends the options";
    }

    TEST(CommandLine, BadArgumentsAreRefusedWithTheReason)
    {
        const std::string_view layout[] = {"--layout", "gtld", "--mode", "domains"};
        const auto with = [&](Args more) {
            Args args(std::begin(layout), std::end(layout));
            args.insert(args.end(), more.begin(), more.end());
            return args;
        };
        const struct
        {
            Args args;
            std::string reason;
        } cases[] = {
            {{"--layout", "com", "--mode", "domains", "z", "o"}, "unknown layout 'com'"},
            {{"--layout", "gtld", "--mode", "hosts", "z", "o"}, "unknown mode 'hosts'"},
            {with({"--min", "5x", "z", "o"}), "--min needs a whole number, not '5x'"},
            {with({"--max", "", "z", "o"}), "--max needs a whole number, not ''"},
            {with({"--max", "99999999999", "z", "o"}), "--max needs a whole number"},
            {with({"--line-limit", "-1", "z", "o"}), "--line-limit needs a whole number"},
            {with({"--line-limit", "2e6", "z", "o"}), "--line-limit needs a whole number"},
            {with({"z", "o", "--min"}), "--min needs a value"},
            {with({"--colour", "z", "o"}), "unknown option '--colour'"},
            {with({"-q", "z", "o"}), "unknown option '-q'"},
            {with({"--lf=yes", "z", "o"}), "--lf takes no value"},
            {with({"z"}), "expected ZONE... and OUTPUT, got 1 file name"},
            {{"--output-dir", "d"}, "expected at least one ZONE with --output-dir"},
            {{"--output-dir", "", "z"}, "--output-dir needs a folder by name"},
            {{"--jobs", "0", "z", "o"}, "--jobs needs a whole number from 1 to 1024, not '0'"},
            {{"--jobs", "two", "z", "o"}, "--jobs needs a whole number from 1 to 1024"},
            {{"--summary", "-", "z", "o"}, "--summary needs a file by name"},
            {{"-", "o"}, "ZONE - (standard input) cannot be recognised: give its --layout"},
            {{"--layout", "auto", "z", "-", "o"}, "ZONE - (standard input) cannot be recognised"},
            {with({"--progress", "--quiet", "z", "o"}), "--progress and --quiet exclude each other"},
            {with({"--new-since", "a", "--dropped-since", "b", "z", "o"}), "--new-since and --dropped-since exclude"},
            {with({"--new-since", "a", "--new-since", "b", "z", "o"}), "--new-since and --dropped-since exclude"},
            {with({"--new-since", "a", "--line-limit", "5", "z", "o"}), "a comparison reads both zone files whole"},
            {with({"--line-limit", "1", "--dropped-since", "a", "z", "o"}), "a comparison reads both zone files whole"},
            {with({"--new-since", "-", "z", "o"}), "--new-since needs the older zone file by name"},
            {with({"--format", "csv", "z", "o"}), "unknown output form 'csv' (list, tsv or jsonl)"},
            {with({"--like", "paypal", "--like-distance", "4", "z", "o"}), "--like-distance needs a whole number from 0 to 3"},
            {with({"--like", "paypal", "--like-distance", "-1", "z", "o"}), "--like-distance needs a whole number"},
            {with({"--like-distance", "1", "z", "o"}), "--like-distance and --like-except go with --like"},
            {with({"--like-except", "paypal.com", "z", "o"}), "--like-distance and --like-except go with --like"},
            {with({"--like-file", "", "z", "o"}), "--like-file needs the name of a file of terms"},
            {{"--layout", "gtld", "--mode", "nameservers", "--like", "paypal", "z", "o"},
             "look-alike terms (--like, --like-file) find domain names"},
            {with({"--count-by", "registrar", "z", "o"}), "unknown count 'registrar' (server or provider)"},
            {{"--layout", "se", "--mode", "nameservers", "--count-by", "server", "z", "o"},
             "a count (--count-by) counts the domains of a domain run"},
            {with({"--provider-map", "map.txt", "z", "o"}), "--provider-map goes with --count-by"},
            {with({"--count-by", "provider", "--provider-map=", "z", "o"}), "--provider-map needs the name"},
        };
        for (const auto& c : cases)
        {
            const auto parsed = ParseCommandLine(c.args);
            EXPECT_EQ(parsed.action, Action::UsageError) << c.reason;
            EXPECT_EQ(parsed.error.substr(0, c.reason.size()), c.reason);
        }
        // A comparison without a limit given, or with 0, reads both files whole.
        for (const Args& args : {with({"--new-since", "old.gz", "-", "o"}),
                                 with({"--line-limit", "0", "--dropped-since=old.gz", "z", "o"})})
        {
            const auto parsed = ParseCommandLine(args);
            ASSERT_EQ(parsed.action, Action::Run) << parsed.error;
            EXPECT_EQ(parsed.command.filters.lineLimit, 0u);
            EXPECT_EQ(parsed.command.olderZone, "old.gz");
            EXPECT_NE(parsed.command.changes, ZoneChanges::None);
        }
        EXPECT_EQ(ParseCommandLine({"--layout", "bad", "--help"}).action, Action::UsageError)
            << "arguments are read in order";
        EXPECT_EQ(ParseCommandLine({"--help", "--layout", "bad"}).action, Action::Help);
        EXPECT_EQ(ParseCommandLine({"-h"}).action, Action::Help);
        EXPECT_EQ(ParseCommandLine({"--version"}).action, Action::Version);
    }

    TEST(CommandLine, LookalikeTermsAndOutputFormReachTheCommand)
    {
        const auto parsed = ParseCommandLine({"--layout", "master", "--mode", "domains", "--like", "paypal,amazon.com",
                                              "--like-file=terms.txt", "--like-distance", "0", "--like-except",
                                              "paypal.com", "--format", "jsonl", "z", "o"});
        ASSERT_EQ(parsed.action, Action::Run) << parsed.error;
        const LookalikeRequest& like = parsed.command.lookalike;
        EXPECT_TRUE(like.Requested());
        EXPECT_EQ(like.termsText, "paypal,amazon.com");
        EXPECT_EQ(like.termsFile, "terms.txt");
        EXPECT_EQ(like.distance, 0);
        EXPECT_EQ(like.exceptText, "paypal.com");
        EXPECT_EQ(parsed.command.form, OutputForm::Jsonl);
        // An empty --like is still a request: its emptiness is refused where
        // the terms are read, with the reason.
        EXPECT_TRUE(ParseCommandLine({"--layout", "gtld", "--mode", "domains", "--like", "", "z", "o"})
                        .command.lookalike.Requested());
        EXPECT_EQ(ParseCommandLine({"--layout", "gtld", "--mode", "domains", "z", "o"}).command.form, OutputForm::List);
    }

    TEST(CommandLine, ACountAppendsTheServersAndTakesItsMap)
    {
        const auto parsed = ParseCommandLine({"--layout", "master", "--mode", "domains", "--count-by=provider",
                                              "--provider-map", "map.txt", "--format", "tsv", "z", "o"});
        ASSERT_EQ(parsed.action, Action::Run) << parsed.error;
        EXPECT_EQ(parsed.command.countBy, CountBy::Provider);
        EXPECT_EQ(parsed.command.providerMap, "map.txt");
        EXPECT_EQ(parsed.command.filters.appendNameServers, 1) << "the entries must carry their servers";
        const auto plain = ParseCommandLine({"--layout", "master", "--mode", "domains", "z", "o"});
        EXPECT_FALSE(plain.command.countBy);
        EXPECT_EQ(plain.command.filters.appendNameServers, 0);
    }

    TEST(CommandLine, MinAboveMaxIsAllowedWithANote)
    {
        const auto parsed = ParseCommandLine({"--layout", "se", "--mode", "domains", "--min", "9", "--max", "4", "z", "o"});
        ASSERT_EQ(parsed.action, Action::Run);
        ASSERT_EQ(parsed.notes.size(), 1u);
        EXPECT_EQ(parsed.notes[0], "--min 9 is larger than --max 4: no domain name can pass");
    }

    TEST(CommandLine, ProgressShowsOnATerminalOrWhenAsked)
    {
        const struct
        {
            const char* flag; // "", "--progress" or "--quiet"
            const char* output;
            bool errTerminal;
            bool outTerminal;
            bool shown;
        } cases[] = {
            {"", "out", true, false, true},
            {"", "out", true, true, true},
            {"", "out", false, true, false}, // nothing to a non-terminal unless asked
            {"--progress", "out", false, false, true},
            {"--quiet", "out", true, true, false},
            // Names on the same terminal: the line would run through them.
            {"", "-", true, true, false},
            {"", "-", true, false, true},
            {"--progress", "-", true, true, true},
        };
        for (const auto& c : cases)
        {
            Args args {"--layout", "gtld", "--mode", "domains", "zone", c.output};
            if (*c.flag != '\0')
                args.insert(args.begin(), c.flag);
            const auto parsed = ParseCommandLine(args);
            ASSERT_EQ(parsed.action, Action::Run);
            EXPECT_EQ(ShowsProgress(parsed.command, c.errTerminal, c.outTerminal), c.shown)
                << c.flag << " " << c.output << " " << c.errTerminal << c.outTerminal;
        }
    }

    TEST(CommandLine, HelpNamesLayoutsDefaultsExitCodesAndExamples)
    {
        const std::string help = HelpText("1.2.3");
        for (const char* wanted : {"plexor2-extract 1.2.3", "usage: plexor2-extract", "gtld ", "se ", "master ",
                                   "             EXAMPLE NS NS1.EXAMPLE.NET.", "- Name=example.se", "auto     (default)",
                                   "(default: no bound)", "(default: none)", "(default 0: the whole file)",
                                   "--min 5 --max 18 --exclude xyz- --line-limit 2000000", "--output-dir DIR",
                                   "--jobs N", "--summary FILE", "ZONE... OUTPUT", "  3    stopped at the line limit",
                                   "130", "czds/2026-12-10 all.txt", "--lf - - |"})
            EXPECT_NE(help.find(wanted), std::string::npos) << wanted;
    }

    TEST(ProgressLine, FormatsPercentCountsRateAndTimeLeft)
    {
        const struct
        {
            HeadlessRunProgress progress;
            double seconds;
            std::string line;
        } cases[] = {
            {{0, 1000, 0, 0}, 0.0, "  0%  0 lines  0 names"},
            {{250'000'000, 1'000'000'000, 1200000, 35000}, 2.0,
             " 25%  1200000 lines  35000 names  125.0 MB/s  0:06 left"},
            // Compressed input: the percentage and the rate are of the stored bytes.
            {{999, 1000, 7, 1}, 1.0, " 99%  7 lines  1 names  0.0 MB/s  0:00 left"},
            {{1000, 1000, 7, 1}, 1.0, "100%  7 lines  1 names  0.0 MB/s"},
            // More read than the size said (a file that grew): never above 100 %.
            {{1500, 1000, 9, 2}, 1.0, "100%  9 lines  2 names  0.0 MB/s"},
            {{10'000'000, 3'700'000'000, 1, 1}, 1.0, "  0%  1 lines  1 names  10.0 MB/s  6:09 left"},
            {{10'000'000, 40'000'000'000, 1, 1}, 1.0, "  0%  1 lines  1 names  10.0 MB/s  1:06:39 left"},
            // The first moments: no guess at the time left yet.
            {{100'000'000, 1'000'000'000, 5, 1}, 0.75, " 10%  5 lines  1 names  133.3 MB/s"},
            // Past 4 GiB read: the counts stay whole.
            {{30'000'000'000, 40'000'000'000, 1, 1}, 1000.0, " 75%  1 lines  1 names  30.0 MB/s  5:33 left"},
            // A pipe: no size, so no percent and no time left.
            {{5'000'000, 0, 100, 50}, 0.5, "100 lines  50 names  10.0 MB/s"},
        };
        for (const auto& c : cases)
            EXPECT_EQ(FormatProgressLine(c.progress, c.seconds), c.line);
    }

    TEST(ProgramArguments, Utf16BecomesUtf8)
    {
        const struct
        {
            std::u16string utf16;
            std::string utf8;
        } cases[] = {
            {u"", ""},
            {u"plain.zone", "plain.zone"},
            {u"d\u00e5ta\\\u0437\u043e\u043d\u0430-\u00e4.zone",
             "d\xC3\xA5ta\\\xD0\xB7\xD0\xBE\xD0\xBD\xD0\xB0-\xC3\xA4.zone"},
            {u"\u20ac\uffff", "\xE2\x82\xAC\xEF\xBF\xBF"},
            {u"\U0001F600", "\xF0\x9F\x98\x80"}, // a surrogate pair
            // Surrogates without their partner, which a Windows name may hold.
            {std::u16string(1, char16_t {0xD83D}) + u"x", "\xEF\xBF\xBDx"},
            {u"x" + std::u16string(1, char16_t {0xDE00}), "x\xEF\xBF\xBD"},
        };
        for (const auto& c : cases)
            EXPECT_EQ(Utf8FromUtf16(c.utf16), c.utf8) << c.utf8;
    }

    TEST(ProgramArguments, APathFromAnArgumentNamesTheSameFile)
    {
        const std::string argument = "d\xC3\xA5ta/\xD0\xB7\xD0\xBE\xD0\xBD\xD0\xB0-\xC3\xA4.zone";
        const std::filesystem::path path = PathFromArgument(argument);
        const std::u8string text = path.u8string();
        EXPECT_EQ(std::string(text.begin(), text.end()), argument);
#ifdef _WIN32
        // What the wide-character API gets: never the ANSI code page's
        // question marks.
        EXPECT_EQ(path.wstring(), L"d\u00e5ta/\u0437\u043e\u043d\u0430-\u00e4.zone");
#endif
    }

#ifdef _WIN32
    TEST(StopRequest, CtrlBreakEndsTheRunAsAbortDoesAndASecondEndsTheProgram)
    {
        // (Wine cannot send console events to a program without a console,
        // so the handler is called as Windows would call it.)
        ASSERT_EQ(StopSignal(), 0);
        SetAbortRequested(false);
        EXPECT_TRUE(HandleConsoleEvent(CTRL_BREAK_EVENT));
        EXPECT_TRUE(IsAbortRequested());
        EXPECT_EQ(StopSignal(), SIGINT);
        EXPECT_EQ(StopExitCode(StopSignal()), 130);
        EXPECT_FALSE(HandleConsoleEvent(CTRL_C_EVENT)) << "the default handling ends the process";
        EXPECT_EQ(StopSignal(), SIGINT);
        SetAbortRequested(false);
    }
#endif
}
