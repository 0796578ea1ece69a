// plexor2-extract: one extraction run from the command line, carried exactly
// as the main dialog carries it (RunHeadless), for servers and scripts. It
// reads and writes nothing but the zone file and the output; the desktop
// program's settings are never touched. `plexor2-extract --help` and the
// manual page (docs/plexor2-extract.1.scd) describe it.

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "cli/command_line.h"
#include "cli/progress_line.h"
#include "run/headless_run.h"
#include "run/run_messages.h"
#include "scan/kernel.h"

#ifndef PLEXOR_VERSION
#define PLEXOR_VERSION "unknown"
#endif

namespace
{
    constexpr const char* kProgram = "plexor2-extract";

    // The signal that asked the run to end, 0 while none has. Written by the
    // handler on whichever thread took the signal, read by the main thread.
    std::atomic<int> g_stopSignal {0};
    static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
                  "the signal handler may only store to lock-free atomics");

    // Ends the run as Abort does: the worker writes the batch it holds and
    // closes both files. Only an atomic store here; a second signal of the
    // same kind finds the default action again and ends the process at once.
    extern "C" void RequestStop(int signal)
    {
        g_stopSignal.store(signal);
        plexor::SetAbortRequested(true);
    }

    void InstallStopHandlers()
    {
#ifdef _WIN32
        std::signal(SIGINT, RequestStop);
        std::signal(SIGTERM, RequestStop);
#else
        struct sigaction action {};
        action.sa_handler = RequestStop;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND | SA_RESTART;
        sigaction(SIGINT, &action, nullptr);
        sigaction(SIGTERM, &action, nullptr);
#endif
    }

    bool IsTerminal(std::FILE* stream)
    {
#ifdef _WIN32
        return _isatty(_fileno(stream)) != 0;
#else
        return ::isatty(fileno(stream)) != 0;
#endif
    }

    // PLEXOR_KERNEL named a kernel that cannot run here: say which one runs.
    void ShowKernelNote()
    {
        if (const std::string& note = plexor::scan::KernelNote(); !note.empty())
            std::fprintf(stderr, "%s: %s\n", kProgram, note.c_str());
    }

    int UsageError(const std::string& why)
    {
        std::fprintf(stderr, "%s: %s\n%s", kProgram, why.c_str(), plexor::UsageText().c_str());
        return 2;
    }
}

int main(int argc, char** argv)
{
#ifdef SIGXFSZ
    // A file-size limit then fails the write instead of killing the process,
    // and the run reports it.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const plexor::ParsedCommandLine parsed = plexor::ParseCommandLine(arguments);
    switch (parsed.action)
    {
    case plexor::ParsedCommandLine::Action::Help:
        std::fputs(plexor::HelpText(PLEXOR_VERSION).c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    case plexor::ParsedCommandLine::Action::Version:
        ShowKernelNote();
        std::printf("%s %s\nkernel: %s\n", kProgram, PLEXOR_VERSION, plexor::scan::ActiveKernel().name);
        return std::fflush(stdout) == 0 ? 0 : 1;
    case plexor::ParsedCommandLine::Action::UsageError:
        return UsageError(parsed.error);
    case plexor::ParsedCommandLine::Action::Run:
        break;
    }
    const plexor::ExtractCommand& command = parsed.command;
    // Zone text typed by hand is never what is meant.
    if (command.ZoneIsStandardInput() && IsTerminal(stdin))
        return UsageError("ZONE is - but standard input is a terminal: pipe a zone file in, or name it");

    if (!command.quiet)
    {
        for (const std::string& note : parsed.notes)
            std::fprintf(stderr, "%s: %s\n", kProgram, note.c_str());
        ShowKernelNote();
    }
    // With the names on standard output, everything else goes to standard
    // error.
    std::FILE* const statusStream = command.OutputIsStandardOutput() ? stderr : stdout;

    plexor::HeadlessRunOptions options;
    options.zoneFromStandardInput = command.ZoneIsStandardInput();
    options.outputToStandardOutput = command.OutputIsStandardOutput();
    options.lineEnd = command.lineEnd;
    plexor::ProgressLine progressLine(stderr);
    const bool showProgress = plexor::ShowsProgress(command, IsTerminal(stderr), IsTerminal(stdout));
    const auto start = std::chrono::steady_clock::now();
    options.watch = [&](const plexor::HeadlessRunProgress& progress) {
        // A signal that came before the run had started found the abort flag
        // still to be reset; ask again.
        if (g_stopSignal.load() != 0)
            plexor::SetAbortRequested(true);
        if (showProgress)
        {
            const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
            progressLine.Show(plexor::FormatProgressLine(progress, elapsed.count()));
        }
    };

    InstallStopHandlers();
    const plexor::HeadlessRunResult result =
        plexor::RunHeadless(command.zone, command.output, command.mode, static_cast<std::int32_t>(command.layout),
                            command.filters, options);
    progressLine.Clear();

    if (result.error)
    {
        std::fprintf(stderr, "%s\n", result.error->c_str());
        if (!result.statusText.empty() && !command.quiet)
            std::fprintf(statusStream, "%s\n", result.statusText.c_str());
        return 1;
    }
    if (!command.quiet)
    {
        std::fprintf(statusStream, "%s\n", result.statusText.c_str());
        if (result.unreadableRecords > 0)
            std::fprintf(stderr, "%s: %llu records could not be read and were skipped\n", kProgram,
                         static_cast<unsigned long long>(result.unreadableRecords));
        if (result.layoutHint)
            std::fprintf(stderr, "%s: %s\n", kProgram, result.layoutHint->c_str());
    }
    if (std::fflush(stdout) != 0)
        return 1;
    if (const int signal = g_stopSignal.load(); signal != 0)
    {
        if (!command.quiet)
            std::fprintf(stderr, "%s: %s; the output holds the names found up to there\n", kProgram,
                         signal == SIGINT ? "interrupted" : "terminated");
        return 128 + signal;
    }
    if (result.stoppedAtLineLimit)
    {
        std::fprintf(stderr, "%s: %s The option is --line-limit N.\n", kProgram,
                     plexor::LineLimitMessage(command.filters.lineLimit).c_str());
        return 3;
    }
    return 0;
}
