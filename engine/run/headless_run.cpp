#include "run/headless_run.h"

#include <system_error>
#include <thread>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "compare/zone_changes.h"
#include "layouts/layout_hint.h"
#include "run/run_messages.h"

namespace plexor
{
    namespace
    {
        // Whether writing the output would overwrite the zone file: the same
        // file reached by two paths (links included), or a regular file
        // behind standard input or output that is also the other side.
        bool OutputIsZoneFile(const std::filesystem::path& zonePath, bool zoneFromStandardInput,
                              const std::filesystem::path& outputPath, const HeadlessRunOptions& options)
        {
            if (!zoneFromStandardInput && !options.outputToStandardOutput)
            {
                std::error_code error;
                return std::filesystem::equivalent(zonePath, outputPath, error);
            }
#ifdef _WIN32
            return false;
#else
            struct stat zone {};
            struct stat output {};
            const int zoneResult = zoneFromStandardInput ? ::fstat(STDIN_FILENO, &zone) : ::stat(zonePath.c_str(), &zone);
            const int outputResult = options.outputToStandardOutput ? ::fstat(STDOUT_FILENO, &output)
                                                                     : ::stat(outputPath.c_str(), &output);
            // Only regular files: a terminal or /dev/null may well be both.
            return zoneResult == 0 && outputResult == 0 && S_ISREG(zone.st_mode) && S_ISREG(output.st_mode)
                   && zone.st_dev == output.st_dev && zone.st_ino == output.st_ino;
#endif
        }
    }

    HeadlessRunContext::HeadlessRunContext(ExtractMode mode, std::int32_t zoneType, LineEnd lineEnd,
                                           Inflater inflater)
        : zoneFile(inflater)
        , m_mode(mode)
        , m_zoneType(zoneType)
        , m_lineEnd(lineEnd)
    {
    }

    void HeadlessRunContext::ReportRunFailure(const std::string& message)
    {
        m_failure = message;
        ++m_failureReports;
    }

    void HeadlessRunContext::SetFinalStatusText(const std::string& text)
    {
        m_statusText = text;
    }

    void HeadlessRunContext::ClearWorkerReference()
    {
        std::lock_guard<std::mutex> lock(m_endMutex);
        m_workerActive.store(false);
        m_ended.notify_all();
    }

    bool HeadlessRunContext::WaitForEnd(std::chrono::milliseconds limit)
    {
        std::unique_lock<std::mutex> lock(m_endMutex);
        return m_ended.wait_for(lock, limit, [this] { return !m_workerActive.load(); });
    }

    HeadlessRunResult RunHeadless(const std::filesystem::path& zonePath, const std::filesystem::path& outputPath,
                                  ExtractMode mode, std::int32_t zoneType, const RunFilters& filters,
                                  const HeadlessRunOptions& options)
    {
        HeadlessRunResult result;
        HeadlessRunContext context(mode, zoneType, options.lineEnd);
        context.changes = options.changes;
        const bool comparison = options.changes != ZoneChanges::None;
        const bool zoneOpen =
            options.zoneFromStandardInput ? context.zoneFile.OpenStandardInput() : context.zoneFile.Open(zonePath);
        if (!zoneOpen)
        {
            result.error = UnableToOpenMessage(context.zoneFile.DisplayPath(), SystemReason(context.zoneFile.Error()));
            return result;
        }
        if (comparison && !context.olderZoneFile.Open(options.olderZonePath))
        {
            result.error = UnableToOpenMessage(context.olderZoneFile.DisplayPath(),
                                               SystemReason(context.olderZoneFile.Error()));
            context.zoneFile.Close();
            return result;
        }
        // Creating the output truncates it: never when it is a zone file of
        // the run, also reached through a link or a standard stream.
        const std::string outputName =
            options.outputToStandardOutput ? std::string(OutputWriter::kStandardOutputName) : PathText(outputPath);
        result.outputIsZoneFile =
            OutputIsZoneFile(zonePath, options.zoneFromStandardInput, outputPath, options)
            || (comparison && OutputIsZoneFile(options.olderZonePath, false, outputPath, options));
        if (result.outputIsZoneFile
            || !(options.outputToStandardOutput ? context.outputFile.OpenStandardOutput()
                                                : context.outputFile.Create(outputPath)))
        {
            const std::string reason = result.outputIsZoneFile ? std::string(kOutputIsZoneFileReason)
                                                               : SystemReason(context.outputFile.Error());
            result.error = UnableToOpenMessage(outputName, reason);
            context.zoneFile.Close();
            context.olderZoneFile.Close();
            return result;
        }

        PrepareRun(filters);
        context.SetWorkerReference();
        std::thread worker(ExtractionWorker, &context);
        if (options.watch)
        {
            // The counters are atomics the worker keeps; the raw sizes were
            // fixed when the files were opened.
            const ZoneLineReader* older = comparison ? &context.olderZoneFile : nullptr;
            do
            {
                HeadlessRunProgress progress;
                const RunBytes bytes = ReadProgress(context.zoneFile, older);
                progress.rawBytesRead = bytes.read;
                progress.rawSize = bytes.total;
                progress.linesRead = g_runState.linesRead.load(std::memory_order_relaxed);
                progress.namesExtracted = g_runState.namesExtracted.load(std::memory_order_relaxed);
                options.watch(progress);
            } while (!context.WaitForEnd(options.watchInterval));
        }
        worker.join();

        result.error = context.Failure();
        result.statusText = context.FinalStatusText();
        result.stoppedAtLineLimit = g_runState.stoppedAtLineLimit.load();
        result.unreadableRecords = g_runState.unreadableRecords.load();
        result.comparisonAborted = g_runState.comparisonAborted.load();
        // A comparison that writes nothing is often right; only when neither
        // list held a name is the layout in question.
        const bool nothingFound =
            g_runState.namesExtracted.load() == 0 && (!comparison || g_runState.comparedEntries.load() == 0);
        if (!result.error && nothingFound && !options.zoneFromStandardInput)
            result.layoutHint = LayoutHintForFile(zonePath, zoneType);
        return result;
    }
}
