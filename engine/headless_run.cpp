#include "headless_run.h"

#include <system_error>
#include <thread>

#include "layout_hint.h"
#include "run_messages.h"

namespace plexor
{
    HeadlessRunContext::HeadlessRunContext(ExtractMode mode, std::int32_t zoneType, Inflater inflater)
        : zoneFile(inflater)
        , m_mode(mode)
        , m_zoneType(zoneType)
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
        m_workerActive.store(false);
    }

    HeadlessRunResult RunHeadless(const std::filesystem::path& zonePath, const std::filesystem::path& outputPath,
                                  ExtractMode mode, std::int32_t zoneType, const RunFilters& filters)
    {
        HeadlessRunResult result;
        HeadlessRunContext context(mode, zoneType);
        if (!context.zoneFile.Open(zonePath))
        {
            result.error = UnableToOpenMessage(context.zoneFile.DisplayPath());
            return result;
        }
        // Creating the output truncates it: never when it is the zone file
        // itself, also reached through a link.
        std::error_code error;
        if (std::filesystem::equivalent(zonePath, outputPath, error) || !context.outputFile.Create(outputPath))
        {
            result.error = UnableToOpenMessage(PathText(outputPath));
            context.zoneFile.Close();
            return result;
        }

        PrepareRun(filters);
        context.SetWorkerReference();
        std::thread worker(ExtractionWorker, &context);
        worker.join();

        result.error = context.Failure();
        result.statusText = context.FinalStatusText();
        result.stoppedAtLineLimit = g_runState.stoppedAtLineLimit.load();
        result.unreadableRecords = g_runState.unreadableRecords.load();
        if (!result.error && g_runState.namesExtracted.load() == 0)
            result.layoutHint = LayoutHintForFile(zonePath, zoneType);
        return result;
    }
}
