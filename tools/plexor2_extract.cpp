// plexor2-extract: one extraction run from the command line, carried exactly
// as the main dialog carries it (RunHeadless), for servers and scripts. It
// reads and writes nothing but the zone file and the output; the desktop
// program's settings are never touched. `plexor2-extract --help` and the
// manual page (docs/plexor2-extract.1.scd) describe it.

#include <chrono>
#include <csignal>
#include <filesystem>
#include <optional>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <io.h>
#else
#include <unistd.h>
#endif

#include "cli/command_line.h"
#include "cli/lookalike_options.h"
#include "cli/many_zones.h"
#include "cli/program_arguments.h"
#include "cli/progress_line.h"
#include "cli/stop_request.h"
#include "compare/zone_changes.h"
#include "count/count_run.h"
#include "count/provider_map.h"
#include "run/headless_run.h"
#include "extraction/run_messages.h"
#include "scan/kernel.h"
#include "zones/layout_recognition.h"

#ifndef PLEXOR_VERSION
#define PLEXOR_VERSION "unknown"
#endif

namespace
{
    // Many zones are many runs one after another, each taking its buffers
    // and freeing them at its end. The C library would give the freed pages
    // back to the system at once and the next run would fault them in
    // again, a page fault every 4 KiB (several microseconds each on a
    // virtual machine: about a tenth of the CPU time of a folder of
    // zones). Up to 4 MiB a thread's heap is kept for the next run
    // instead, which costs a folder run about 2 MiB more at its peak; a
    // single run keeps the library's defaults, which give a count's freed
    // tables back before its finish.
    void KeepFreedMemory()
    {
#ifdef __GLIBC__
        mallopt(M_TRIM_THRESHOLD, 4 << 20);
        mallopt(M_MMAP_THRESHOLD, 4 << 20);
#endif
    }
}

namespace
{
    constexpr const char* kProgram = "plexor2-extract";

    bool IsTerminal(std::FILE* stream)
    {
#ifdef _WIN32
        // A console only: _isatty() also holds for NUL and other devices.
        DWORD mode = 0;
        return GetConsoleMode(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))), &mode) != 0;
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

    plexor::CountForm CountFormOf(plexor::OutputForm form)
    {
        switch (form)
        {
        case plexor::OutputForm::Tsv:
            return plexor::CountForm::Tsv;
        case plexor::OutputForm::Jsonl:
            return plexor::CountForm::Jsonl;
        case plexor::OutputForm::List:
            break;
        }
        return plexor::CountForm::List;
    }

    // The layout of a single zone file under --layout auto: recognised from
    // its first lines. A file that cannot be opened is left to the run,
    // which reports it as with a layout given.
    std::optional<plexor::ZoneType> RecognisedLayout(const std::filesystem::path& zone, std::string& reason)
    {
        std::error_code error;
        if (!std::filesystem::is_regular_file(zone, error))
            return plexor::ZoneType::Gtld;
        const plexor::LayoutRecognition found = plexor::RecogniseLayout(zone);
        if (!found.layout)
        {
            reason = found.reason;
            return std::nullopt;
        }
        return plexor::ToZoneType(*found.layout);
    }

    // What a run needs beyond its command: the look-alike matcher and the
    // count, both checked before any file is opened.
    struct RunExtras
    {
        plexor::ProviderMap providerMap;
        std::optional<plexor::CountSink> count;
    };

    // Builds the matcher and the count of the command; a usage error's
    // message when they cannot be made.
    std::optional<std::string> PrepareExtras(plexor::ExtractCommand& command, RunExtras& extras)
    {
        // Bad terms are a usage error, found before any file is opened.
        plexor::LookalikeSetup lookalike = plexor::MakeLookalikeMatcher(command.lookalike);
        if (!lookalike.error.empty())
            return lookalike.error;
        command.filters.lookalike = std::move(lookalike.matcher);
        // So is a provider map that cannot be read or holds a bad line.
        if (!command.providerMap.empty())
        {
            const std::filesystem::path map = plexor::PathFromArgument(command.providerMap);
            if (std::optional<std::string> problem = extras.providerMap.Load(map))
                return problem;
        }
        if (command.countBy)
            extras.count.emplace(*command.countBy, CountFormOf(command.form),
                                 command.providerMap.empty() ? nullptr : &extras.providerMap);
        return std::nullopt;
    }

    // The end of a run over one zone on the terminal: its status line, the
    // count's figures and notes, and the exit code.
    int ReportSingleRun(const plexor::ExtractCommand& command, const plexor::HeadlessRunResult& result,
                        const RunExtras& extras, std::FILE* statusStream)
    {
        const std::optional<plexor::CountSink>& count = extras.count;
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
            if (count)
            {
                // Only statusStream's lines may share its buffer; stderr's
                // must follow them.
                std::fflush(statusStream);
                for (const std::string& line : count->SummaryLines())
                    std::fprintf(stderr, "%s\n", line.c_str());
            }
            if (result.unreadableRecords > 0)
                std::fprintf(stderr, "%s: %llu records could not be read and were skipped\n", kProgram,
                             static_cast<unsigned long long>(result.unreadableRecords));
            if (result.layoutHint)
                std::fprintf(stderr, "%s: %s\n", kProgram, result.layoutHint->c_str());
        }
        if (std::fflush(stdout) != 0)
            return 1;
        if (const int signal = plexor::StopSignal(); signal != 0)
        {
            // An aborted comparison is never a result, not even with --quiet.
            if (result.comparisonAborted)
                std::fprintf(stderr, "%s: %s; %s\n", kProgram, signal == SIGINT ? "interrupted" : "terminated",
                             std::string(plexor::kComparisonAbortedMessage).c_str());
            else if (!command.quiet)
                std::fprintf(stderr, "%s: %s; the output holds the names found up to there\n", kProgram,
                             signal == SIGINT ? "interrupted" : "terminated");
            return plexor::StopExitCode(signal);
        }
        if (result.comparisonAborted)
        {
            std::fprintf(stderr, "%s: %s\n", kProgram, std::string(plexor::kComparisonAbortedMessage).c_str());
            return 1;
        }
        if (result.stoppedAtLineLimit)
        {
            std::fprintf(stderr, "%s: %s The option is --line-limit N.\n", kProgram,
                         plexor::LineLimitMessage(command.filters.lineLimit).c_str());
            return 3;
        }
        return 0;
    }

    // A run over one zone file, as the window carries it.
    int RunSingleZone(plexor::ExtractCommand command, RunExtras& extras)
    {
        std::optional<plexor::CountSink>& count = extras.count;
        if (command.layoutAuto)
        {
            std::string reason;
            const std::optional<plexor::ZoneType> layout =
                RecognisedLayout(plexor::PathFromArgument(command.zone), reason);
            if (!layout)
            {
                std::fprintf(stderr, "%s: %s: %s; name it with --layout\n", kProgram, command.zone.c_str(),
                             reason.c_str());
                return 1;
            }
            command.layout = *layout;
        }
        // With the names on standard output, everything else goes to
        // standard error.
        std::FILE* const statusStream = command.OutputIsStandardOutput() ? stderr : stdout;

        plexor::HeadlessRunOptions options;
        options.zoneFromStandardInput = command.ZoneIsStandardInput();
        options.outputToStandardOutput = command.OutputIsStandardOutput();
        options.lineEnd = command.lineEnd;
        options.form = command.form;
        options.changes = command.changes;
        options.olderZonePath = plexor::PathFromArgument(command.olderZone);
        options.comparisonBody = &plexor::CompareZones;
        options.entrySink = count ? &*count : nullptr;
        plexor::ProgressLine progressLine(stderr);
        const bool showProgress = plexor::ShowsProgress(command, IsTerminal(stderr), IsTerminal(stdout));
        const auto start = std::chrono::steady_clock::now();
        options.watch = [&](const plexor::HeadlessRunProgress& progress) {
            // A signal that came before the run had started found the abort
            // flag still to be reset; ask again.
            if (plexor::StopSignal() != 0)
                plexor::SetAbortRequested(true);
            if (showProgress)
            {
                const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
                progressLine.Show(plexor::FormatProgressLine(progress, elapsed.count()));
            }
        };

        plexor::InstallStopHandlers();
        const plexor::HeadlessRunResult result =
            plexor::RunHeadless(plexor::PathFromArgument(command.zone), plexor::PathFromArgument(command.output),
                                command.mode, static_cast<std::int32_t>(command.layout), command.filters, options);
        progressLine.Clear();
        return ReportSingleRun(command, result, extras, statusStream);
    }
}

// The whole program, given the arguments after the program name as UTF-8
// on Windows (see wmain below), as they came elsewhere. Returns the exit
// code.
static int Run(const std::vector<std::string>& argumentTexts)
{
    const std::vector<std::string_view> arguments(argumentTexts.begin(), argumentTexts.end());
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
    plexor::ExtractCommand command = parsed.command;
    RunExtras extras;
    if (std::optional<std::string> problem = PrepareExtras(command, extras))
        return UsageError(*problem);
    // Zone text typed by hand is never what is meant.
    if (command.ZoneIsStandardInput() && IsTerminal(stdin))
        return UsageError("ZONE is - but standard input is a terminal: pipe a zone file in, or name it");

    if (!command.quiet)
    {
        for (const std::string& note : parsed.notes)
            std::fprintf(stderr, "%s: %s\n", kProgram, note.c_str());
        ShowKernelNote();
    }
    if (plexor::IsManyZonesCommand(command))
    {
        if (command.countBy)
            return UsageError("--count-by counts one ZONE, not several zones or a folder");
        KeepFreedMemory();
        return plexor::RunManyZones(command, IsTerminal(stderr), IsTerminal(stdout));
    }
    return RunSingleZone(std::move(command), extras);
}

#ifdef _WIN32
namespace
{
    // Messages name files in UTF-8: a console shows them as such while the
    // program runs, and gets its own code page back at the end.
    class Utf8Console
    {
    public:
        Utf8Console()
            : m_previous(GetConsoleOutputCP())
        {
            if (m_previous != 0 && m_previous != CP_UTF8)
                SetConsoleOutputCP(CP_UTF8);
        }
        ~Utf8Console()
        {
            if (m_previous != 0 && m_previous != CP_UTF8)
                SetConsoleOutputCP(m_previous);
        }
        Utf8Console(const Utf8Console&) = delete;
        Utf8Console& operator=(const Utf8Console&) = delete;

    private:
        UINT m_previous;
    };
}

// The arguments in UTF-16: main's would be in the ANSI code page, which
// loses every character outside it.
int wmain(int argc, wchar_t** argv)
{
    static_assert(sizeof(wchar_t) == sizeof(char16_t));
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.push_back(plexor::Utf8FromUtf16(reinterpret_cast<const char16_t*>(argv[i])));
    const Utf8Console console;
    const int code = Run(arguments);
    std::fflush(stdout);
    std::fflush(stderr);
    plexor::MarkFinished();
    return code;
}
#else
int main(int argc, char** argv)
{
#ifdef SIGXFSZ
    // A file-size limit then fails the write instead of killing the process,
    // and the run reports it.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    return Run(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
}
#endif
