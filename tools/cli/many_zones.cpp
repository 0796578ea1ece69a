#include "cli/many_zones.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "cli/program_arguments.h"
#include "cli/progress_line.h"
#include "cli/stop_request.h"
#include "extraction/run_messages.h"
#include "output/output_writer.h"
#include "scan/path_text.h"
#include "zones/zone_runs.h"
#include "zones/zone_set.h"
#include "zones/zone_summary.h"

namespace plexor
{
    namespace fs = std::filesystem;

    namespace
    {
        constexpr const char* kProgram = "plexor2-extract";

        bool IsFolder(const std::string& argument)
        {
            std::error_code error;
            return argument != kStandardStreamArgument && fs::is_directory(PathFromArgument(argument), error);
        }

        int Refuse(const ZoneSetError& error)
        {
            std::fprintf(stderr, "%s: %s\n", kProgram, error.message.c_str());
            if (error.kind == ZoneSetError::Kind::Usage)
                std::fputs(UsageText().c_str(), stderr);
            return ExitCodeOf(error);
        }

        // The older side of a comparison: the zone files of a folder,
        // checked against the output like today's.
        ZoneSet OlderZones(const ExtractCommand& command, const ZoneOutputTarget& target, const ZoneSet& today)
        {
            const fs::path older = PathFromArgument(command.olderZone);
            if (!IsFolder(command.olderZone))
                return ZoneSet {{},
                                ZoneSetError {ZoneSetError::Kind::Usage,
                                              "over several zones, --new-since and --dropped-since take the older "
                                              "folder, not a file: " + PathText(older)}};
            ZoneSet set = BuildZoneSet({older}, target);
            // Today's zones are never read as older ones too: no zone of
            // today's lies in the older folder.
            std::error_code error;
            const fs::path olderFolder = fs::weakly_canonical(older, error);
            for (const ZoneFile& zone : today.zones)
            {
                if (set.error || zone.standardInput)
                    continue;
                const fs::path folder = fs::weakly_canonical(fs::absolute(zone.path, error).parent_path(), error);
                if (!error && folder == olderFolder)
                    set.error = ZoneSetError {ZoneSetError::Kind::Usage,
                                              "the zone " + zone.display + " lies in the older folder "
                                                  + PathText(older)};
            }
            return set;
        }

        // The summary file is checked as an output: never a zone, never
        // inside a zone folder (today's or the older one), never OUTPUT.
        std::optional<ZoneSetError> CheckSummaryFile(const ExtractCommand& command,
                                                     const std::vector<fs::path>& arguments,
                                                     const ZoneOutputTarget& target)
        {
            const fs::path summary = PathFromArgument(command.summaryFile);
            std::vector<std::vector<fs::path>> sides {arguments};
            if (command.changes != ZoneChanges::None)
                sides.push_back({PathFromArgument(command.olderZone)});
            for (const std::vector<fs::path>& side : sides)
            {
                const ZoneSet check = BuildZoneSet(side, ZoneOutputTarget {summary, {}});
                if (check.error)
                    return ZoneSetError {check.error->kind, "--summary: " + check.error->message};
            }
            std::error_code error;
            if (!target.file.empty() && target.file != "-"
                && (fs::equivalent(summary, target.file, error)
                    || fs::weakly_canonical(summary, error) == fs::weakly_canonical(target.file, error)))
                return ZoneSetError {ZoneSetError::Kind::Usage, "--summary names OUTPUT: " + PathText(summary)};
            return std::nullopt;
        }

        ZoneRunSetup SetupOf(const ExtractCommand& command, const ZoneOutputTarget& target)
        {
            ZoneRunSetup setup;
            setup.mode = command.mode;
            if (!command.layoutAuto)
                setup.layout = command.layout;
            setup.filters = command.filters;
            setup.lineEnd = command.lineEnd;
            setup.form = command.form;
            setup.zoneColumn = true;
            setup.changes = command.changes;
            setup.output = target;
            setup.outputToStandardOutput = command.OutputIsStandardOutput();
            setup.jobs = command.jobs != 0 ? command.jobs : std::max(1u, std::thread::hardware_concurrency());
            setup.stopRequested = [] { return StopSignal() != 0; };
            return setup;
        }

        bool WriteSummaryFile(const std::string& argument, const std::vector<ZoneRow>& rows)
        {
            OutputWriter writer;
            const fs::path path = PathFromArgument(argument);
            if (writer.Create(path) && writer.Write(SummaryTsv(rows)) && writer.Close())
                return true;
            std::fprintf(stderr, "%s\n", UnableToWriteMessage(PathText(path), SystemReason(writer.Error())).c_str());
            return false;
        }

        void ReportRows(const std::vector<ZoneRow>& rows, bool table, std::uint64_t lineLimit)
        {
            bool limitReached = false;
            for (const ZoneRow& row : rows)
                limitReached = limitReached || row.result == ZoneResult::LineLimit;
            if (table)
                std::fputs(SummaryTable(rows).c_str(), stderr);
            else if (StopSignal() == 0) // after a stop, every zone not read would be listed
            {
                // Without a terminal, the rows that need attention, one a
                // line.
                for (const ZoneRow& row : rows)
                {
                    if (row.result == ZoneResult::Failed || row.result == ZoneResult::OlderFileFailed
                        || row.result == ZoneResult::LineLimit)
                        std::fprintf(stderr, "%s: %s: %s\n", kProgram, row.file.c_str(), ResultText(row).c_str());
                }
            }
            if (limitReached)
                std::fprintf(stderr, "%s: %s The option is --line-limit N.\n", kProgram,
                             LineLimitMessage(lineLimit).c_str());
        }
    }

    bool IsManyZonesCommand(const ExtractCommand& command)
    {
        if (command.ManyZonesAsked())
            return true;
        if (IsFolder(command.zone))
            return true;
        return command.changes != ZoneChanges::None && IsFolder(command.olderZone);
    }

    int RunManyZones(const ExtractCommand& command, bool standardErrorIsTerminal, bool standardOutputIsTerminal)
    {
        ZoneOutputTarget target;
        if (!command.outputDir.empty())
            target.folder = PathFromArgument(command.outputDir);
        else if (!command.OutputIsStandardOutput())
            target.file = PathFromArgument(command.output);
        else
            target.file = "-";
        std::vector<fs::path> arguments;
        for (const std::string& zone : command.zones)
            arguments.push_back(zone == kStandardStreamArgument ? fs::path("-") : PathFromArgument(zone));
        const ZoneSet today = BuildZoneSet(arguments, target);
        if (today.error)
            return Refuse(*today.error);

        if (!command.summaryFile.empty())
        {
            if (const std::optional<ZoneSetError> error = CheckSummaryFile(command, arguments, target))
                return Refuse(*error);
        }
        ZoneRunSetup setup = SetupOf(command, target);
        if (command.changes != ZoneChanges::None)
        {
            ZoneSet older = OlderZones(command, target, today);
            if (older.error)
                return Refuse(*older.error);
            setup.olderZones = std::move(older.zones);
        }

        ProgressLine progressLine(stderr);
        const bool showProgress = ShowsProgress(command, standardErrorIsTerminal, standardOutputIsTerminal);
        const auto start = std::chrono::steady_clock::now();
        if (showProgress)
        {
            setup.watch = [&](const ZonesProgress& progress) {
                HeadlessRunProgress figures;
                figures.rawBytesRead = progress.rawBytesRead;
                figures.rawSize = progress.rawSize;
                figures.linesRead = progress.linesRead;
                figures.namesExtracted = progress.namesExtracted;
                const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
                progressLine.Show(std::to_string(progress.zonesDone) + "/" + std::to_string(progress.zones)
                                  + " zones  " + FormatProgressLine(figures, elapsed.count()));
            };
        }
        InstallStopHandlers();
        const ZonesOutcome outcome = RunZones(today.zones, setup);
        progressLine.Clear();

        if (outcome.outputFailure)
            std::fprintf(stderr, "%s\n", outcome.outputFailure->c_str());
        if (outcome.rows.empty())
            return 1;
        std::uint64_t lines = 0;
        std::uint64_t names = 0;
        for (const ZoneRow& row : outcome.rows)
        {
            lines += row.lines;
            names += row.names;
        }
        const bool summaryWritten = command.summaryFile.empty() || WriteSummaryFile(command.summaryFile, outcome.rows);
        ReportRows(outcome.rows, standardErrorIsTerminal && !command.quiet, command.filters.lineLimit);
        if (!command.quiet)
        {
            std::FILE* const statusStream = command.OutputIsStandardOutput() ? stderr : stdout;
            std::fprintf(statusStream, "%s\n", FormatStatusText(lines, names).c_str());
        }
        if (std::fflush(stdout) != 0)
            return 1;
        if (const int signal = StopSignal(); signal != 0)
        {
            std::fprintf(stderr, "%s: %s; zones cut short have failed and left nothing\n", kProgram,
                         signal == SIGINT ? "interrupted" : "terminated");
            return StopExitCode(signal);
        }
        if (outcome.outputFailure || !summaryWritten)
            return 1;
        return SummaryExitCode(outcome.rows);
    }
}
