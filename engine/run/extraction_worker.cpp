#include "run/extraction_worker.h"

#include <chrono>
#include <memory>
#include <optional>
#include <thread>

#include "layouts/master/master_extractors.h"
#include "output/output_writer.h"
#include "run/run_messages.h"
#include "input/zone_line_reader.h"

namespace plexor
{
    namespace
    {
        // Writes the first `count` entries of the batch, each followed by its
        // line end, and flushes once if anything was written.
        bool WriteEntries(OutputWriter& output, const Batch& batch, std::size_t count)
        {
            if (count > 0)
                output.WriteAndFlush(batch.Lines(count));
            return !output.Failed();
        }
    }

    ExtractorChoice ChooseExtractor(ExtractMode mode, std::int32_t zoneType)
    {
        const bool domains = static_cast<std::int32_t>(mode) == 0;
        if (zoneType == static_cast<std::int32_t>(ZoneType::Master))
            return {nullptr, domains ? &ExtractMasterDomains : &ExtractMasterNameServers};
        const bool gtld = zoneType == 0;
        if (domains)
            return {gtld ? &ExtractGtldDomains : &ExtractSeDomains, nullptr};
        return {gtld ? &ExtractGtldNameServers : &ExtractSeNameServers, nullptr};
    }

    std::uint32_t ExtractionWorker(RunContext* context)
    {
        if (context == nullptr || !context->IsWindowAlive())
            return 0;

        const ExtractMode mode = context->RunMode();
        const ExtractorChoice choice = ChooseExtractor(mode, context->RunZoneType());
        const LineEnd lineEnd = context->OutputLineEnd();
        // In append mode a domain's entry can still grow while the next
        // batch is read, so the last entry of every batch is held back and
        // handed to the next extractor call as the batch's first entry.
        const bool holdBack = static_cast<std::int32_t>(mode) == 0 && g_extractionSettings.appendNameServers != 0;
        ZoneLineReader& zoneFile = context->ZoneFile();
        OutputWriter& outputFile = context->OutputFile();
        const std::uint64_t lineLimit = g_extractionSettings.lineLimit;

        bool outputOk = true;
        bool limitReached = false;
        bool outOfMemory = false;
        try
        {
            // What a master-file run remembers from call to call.
            std::unique_ptr<MasterRunState> master;
            if (choice.masterExtractor != nullptr)
                master = std::make_unique<MasterRunState>();
            const auto extract = [&](Batch& into) {
                if (master)
                    return choice.masterExtractor(*master, zoneFile, into, kBatchLimit);
                return choice.extractor(zoneFile, into, kBatchLimit);
            };
            Batch batch(lineEnd);
            for (;;)
            {
                if (IsAbortRequested())
                    break;
                while (IsPaused())
                    std::this_thread::sleep_for(std::chrono::milliseconds(kWorkerPausePollMs));

                if (extract(batch) == 0)
                    break;
                const std::size_t ready = holdBack ? batch.size() - 1 : batch.size();
                outputOk = WriteEntries(outputFile, batch, ready);
                batch.DropFront(ready);
                if (!outputOk || zoneFile.Failed())
                    break;

                std::uint64_t lines = 0;
                std::uint64_t names = 0;
                GetRunCounters(lines, names);
                if (lineLimit != 0 && lines >= lineLimit)
                {
                    SetAbortRequested(true);
                    limitReached = true;
                    // Cut short only when the zone file goes on.
                    g_runState.stoppedAtLineLimit.store(zoneFile.HasMoreInput());
                    break;
                }
            }
            // The held-back entry, possibly grown by the last call.
            if (outputOk)
                outputOk = WriteEntries(outputFile, batch, batch.size());
        }
        catch (const std::bad_alloc&)
        {
            // A line too long for the memory left: end the run like a failed
            // read rather than take the process down.
            outOfMemory = true;
        }

        // Past the line limit the zone file is only looked at: a failure
        // there does not fail a run that needed none of those bytes.
        const bool readOk = (limitReached || !zoneFile.Failed()) && !outOfMemory;
        zoneFile.Close();
        outputOk = outputFile.Close() && outputOk;

        std::optional<std::string> failure;
        if (!outputOk)
            failure = UnableToWriteMessage(outputFile.DisplayPath(), SystemReason(outputFile.Error()));
        else if (!readOk)
            failure = UnableToReadMessage(zoneFile.DisplayPath(),
                                          SystemReason(outOfMemory ? std::make_error_code(std::errc::not_enough_memory)
                                                                   : zoneFile.Error()));
        if (failure)
        {
            SetAbortRequested(true);
            context->ReportRunFailure(*failure);
        }

        std::uint64_t lines = 0;
        std::uint64_t names = 0;
        GetRunCounters(lines, names);
        context->SetFinalStatusText(FormatStatusText(lines, names));
        context->ClearWorkerReference();
        return 0;
    }
}
