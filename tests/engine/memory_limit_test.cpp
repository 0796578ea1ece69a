// memory_limit_test: runs plexor2-extract as a child process on zones of
// very different lengths and line lengths and checks its peak memory (the
// child's maximum resident set, from wait4):
//
//   - a 2,000,000-line zone peaks no higher than a 200,000-line one, give or
//     take a small slack: memory does not grow with the zone's length;
//   - a zone with one very long line (256 MiB by default) is handled, the
//     line arriving whole in the output, and the peak grows by no more than
//     a small multiple of that line;
//   - with --address-space-check, the same zone under an address-space
//     limit too small for that line ends the run with "Error: Unable to
//     read" and exit status 1, not with a crash, and writes no part of the
//     line (a build with sanitizers cannot run under such a limit at all).
//
//   memory_limit_test --runner PLEXOR2_EXTRACT --maker MAKE_ZONE --work DIR
//                     [--long-line-mib N] [--line-factor F] [--no-rss-limits]
//                     [--address-space-check]
//
// --line-factor is the most the peak may grow per byte of the long line (4
// by default; an AddressSanitizer build adds an eighth for its shadow
// memory). --no-rss-limits keeps every functional check but skips the
// memory limits, for builds whose resident set says little about the
// program's own needs (ThreadSanitizer's shadow memory). Exit status 0 when
// every check held.

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
    int g_failures = 0;

    void Check(bool condition, const std::string& what)
    {
        if (!condition)
        {
            std::fprintf(stderr, "FAILED: %s\n", what.c_str());
            ++g_failures;
        }
    }

    struct ChildRun
    {
        int exitCode = -1;
        long peakKiB = 0;
        std::string stdoutText; // the first line
        std::string stderrText; // the first line
    };

    std::string FirstLine(const std::filesystem::path& path)
    {
        std::ifstream in(path);
        std::string line;
        std::getline(in, line);
        return line;
    }

    // Runs the command with its standard output and error sent to files,
    // under an address-space limit if one is given; returns its exit code,
    // its peak resident set and the first line of each output.
    ChildRun Run(const std::vector<std::string>& command, const std::filesystem::path& stdoutPath,
                 std::uint64_t addressSpaceLimit = 0)
    {
        ChildRun run;
        const std::filesystem::path stderrPath = stdoutPath.string() + ".err";
        std::fflush(nullptr);
        const pid_t child = fork();
        if (child == 0)
        {
            if (std::freopen(stdoutPath.c_str(), "w", stdout) == nullptr
                || std::freopen(stderrPath.c_str(), "w", stderr) == nullptr)
                _exit(126);
            if (addressSpaceLimit != 0)
            {
                const rlimit limit {addressSpaceLimit, addressSpaceLimit};
                if (setrlimit(RLIMIT_AS, &limit) != 0)
                    _exit(125);
            }
            std::vector<char*> argv;
            for (const std::string& arg : command)
                argv.push_back(const_cast<char*>(arg.c_str()));
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        int status = 0;
        rusage usage {};
        if (child < 0 || wait4(child, &status, 0, &usage) != child)
        {
            std::fprintf(stderr, "cannot run %s: %s\n", command[0].c_str(), std::strerror(errno));
            return run;
        }
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        run.peakKiB = usage.ru_maxrss;
        run.stdoutText = FirstLine(stdoutPath);
        run.stderrText = FirstLine(stderrPath);
        return run;
    }

    // Streams the output of the long-line run and checks it holds exactly
    // the expected lines: the long name, then a short one.
    bool LongLineOutputIsWhole(const std::filesystem::path& path, std::uint64_t nameLength)
    {
        std::ifstream in(path, std::ios::binary);
        std::vector<char> block(1 << 20);
        std::uint64_t seen = 0;
        while (seen < nameLength)
        {
            const auto want = static_cast<std::streamsize>(std::min<std::uint64_t>(block.size(), nameLength - seen));
            if (!in.read(block.data(), want))
                return false;
            for (std::streamsize i = 0; i < want; ++i)
            {
                if (block[static_cast<std::size_t>(i)] != 'L')
                    return false;
            }
            seen += static_cast<std::uint64_t>(want);
        }
        std::string rest((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        return rest == "\r\nSHORT\r\n";
    }

    double MiB(long kib)
    {
        return static_cast<double>(kib) / 1024.0;
    }
}

int main(int argc, char** argv)
{
    std::string runner;
    std::string maker;
    std::filesystem::path work;
    std::uint64_t longLineMiB = 256;
    double lineFactor = 4.0;
    bool rssLimits = true;
    bool addressSpaceCheck = false;
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if (arg == "--runner" && i + 1 < argc)
            runner = argv[++i];
        else if (arg == "--maker" && i + 1 < argc)
            maker = argv[++i];
        else if (arg == "--work" && i + 1 < argc)
            work = argv[++i];
        else if (arg == "--long-line-mib" && i + 1 < argc)
            longLineMiB = std::strtoull(argv[++i], nullptr, 10);
        else if (arg == "--line-factor" && i + 1 < argc)
            lineFactor = std::strtod(argv[++i], nullptr);
        else if (arg == "--no-rss-limits")
            rssLimits = false;
        else if (arg == "--address-space-check")
            addressSpaceCheck = true;
        else
        {
            std::fprintf(stderr, "usage: memory_limit_test --runner PLEXOR2_EXTRACT --maker MAKE_ZONE --work DIR "
                                 "[--long-line-mib N] [--line-factor F] [--no-rss-limits] "
                                 "[--address-space-check]\n");
            return 2;
        }
    }
    if (runner.empty() || maker.empty() || work.empty())
        return 2;
    std::filesystem::remove_all(work);
    std::filesystem::create_directories(work);
    const std::filesystem::path out = work / "out.txt";
    const std::filesystem::path printed = work / "stdout.txt";

    // Zones of 200,000 and 2,000,000 lines (the line cap: the longest run).
    const std::filesystem::path shortZone = work / "short.zone";
    const std::filesystem::path longZone = work / "long.zone";
    Check(Run({maker, "--layout", "gtld", "--lines", "200000", shortZone.string()}, printed).exitCode == 0,
          "make_zone 200000");
    Check(Run({maker, "--layout", "gtld", "--lines", "2000000", longZone.string()}, printed).exitCode == 0,
          "make_zone 2000000");
    const std::vector<std::string> domains = {runner, "--layout", "gtld", "--mode", "domains", "--append",
                                              "--min", "0", "--max", "2147483647", "--exclude", ""};

    auto command = domains;
    command.insert(command.end(), {shortZone.string(), out.string()});
    const ChildRun shortRun = Run(command, printed);
    Check(shortRun.exitCode == 0, "run on 200,000 lines exits 0");
    Check(shortRun.stdoutText.starts_with("[200000 Lines]"), "run on 200,000 lines: " + shortRun.stdoutText);

    command = domains;
    command.insert(command.end(), {longZone.string(), out.string()});
    const ChildRun longRun = Run(command, printed);
    Check(longRun.exitCode == 0, "run on 2,000,000 lines exits 0");
    Check(longRun.stdoutText.starts_with("[2000000 Lines]"), "run on 2,000,000 lines: " + longRun.stdoutText);
    std::filesystem::remove(longZone);

    // One line of longLineMiB MiB between short ones: its name must come
    // out whole.
    const std::uint64_t nameLength = longLineMiB << 20;
    const std::filesystem::path wideZone = work / "wide.zone";
    {
        std::ofstream zone(wideZone, std::ios::binary);
        zone << "; one very long line\n";
        const std::string block(1 << 20, 'L');
        for (std::uint64_t written = 0; written < nameLength; written += block.size())
            zone.write(block.data(), static_cast<std::streamsize>(std::min<std::uint64_t>(block.size(), nameLength - written)));
        zone << " NS NS1.EXAMPLE.NET.\nSHORT NS NS1.EXAMPLE.NET.\n";
        Check(zone.good(), "writing the long-line zone");
    }
    command = {runner, "--layout", "gtld", "--mode", "domains", "--min", "0", "--max", "2147483647", "--exclude",
               "", wideZone.string(), out.string()};
    const ChildRun wideRun = Run(command, printed);
    Check(wideRun.exitCode == 0, "run with a long line exits 0");
    Check(wideRun.stdoutText == "[3 Lines]  [2 Names]", "run with a long line: " + wideRun.stdoutText);
    Check(LongLineOutputIsWhole(out, nameLength), "the long name comes out whole");
    std::filesystem::remove(out);

    if (addressSpaceCheck)
    {
        // Memory runs out while the long line is read: a reported read
        // failure, the final status, and not a byte of the line written.
        // The same limit is plenty for an ordinary zone.
        const std::uint64_t limit = (longLineMiB + 144) << 20;
        const ChildRun starved = Run(command, printed, limit);
        Check(starved.exitCode == 1, "run out of memory exits 1, not " + std::to_string(starved.exitCode));
        Check(starved.stderrText == "Error: Unable to read '" + wideZone.string() + "'",
              "run out of memory reports: " + starved.stderrText);
        Check(starved.stdoutText.starts_with("[") && starved.stdoutText.ends_with(" Names]"),
              "run out of memory still gives the status: " + starved.stdoutText);
        Check(std::filesystem::exists(out) && std::filesystem::file_size(out) == 0,
              "run out of memory writes nothing of the long line");
        command = domains;
        command.insert(command.end(), {shortZone.string(), out.string()});
        const ChildRun ordinary = Run(command, printed, limit);
        Check(ordinary.exitCode == 0, "the same limit lets an ordinary zone through");
        std::filesystem::remove(out);
    }
    std::filesystem::remove(wideZone);

    std::printf("peak RSS: %.1f MiB for 200,000 lines, %.1f MiB for 2,000,000 lines, %.1f MiB with a %llu MiB line\n",
                MiB(shortRun.peakKiB), MiB(longRun.peakKiB), MiB(wideRun.peakKiB),
                static_cast<unsigned long long>(longLineMiB));
    if (rssLimits)
    {
        // Ten times the lines, the same memory: a little slack for the
        // allocator, nothing that grows with the zone.
        constexpr long kSlackKiB = 8 * 1024;
        Check(longRun.peakKiB <= shortRun.peakKiB + kSlackKiB,
              "peak memory does not grow with the zone's length");
        // The long line is held by the reader while it is read (its buffer
        // doubles as it grows, and the old one is copied over) and once more
        // as the entry: a few times its length above a short zone, never
        // more.
        const auto lineKiB = static_cast<double>(nameLength >> 10);
        Check(static_cast<double>(wideRun.peakKiB) <= static_cast<double>(shortRun.peakKiB) + lineFactor * lineKiB,
              "peak memory grows only with the longest line");
    }
    else
    {
        std::printf("memory limits not checked in this build\n");
    }
    std::filesystem::remove_all(work);
    return g_failures == 0 ? 0 : 1;
}
