#include "run/extraction_worker.h"

#include <chrono>
#include <memory>
#include <optional>
#include <thread>

#include "layouts/master/master_extractors.h"
#include "output/output_writer.h"
#include "extraction/run_messages.h"
#include "input/zone_line_reader.h"
#include "run/entry_writer.h"

namespace plexor
{
    std::optional<std::string> ExtractZone(RunContext& context, const ZoneReading& reading)
    {
        ZoneLineReader& zoneFile = context.ZoneFile();
        OutputWriter& outputFile = context.OutputFile();
        const ExtractionSettings& settings = CurrentSettings();
        EntryWriter entries(outputFile, reading.form, ServersAppended(reading.mode), settings.lookalike.get(),
                            context.RunEntrySink());
        entries.ForZone(settings.zoneColumn, settings.tableHeader);
        entries.Start();
        ZoneReadEnd end = ReadZoneEntries(zoneFile, reading, [&](const Batch& batch, std::size_t count) {
            return entries.WriteBatch(batch, count);
        });
        // Past the line limit the zone file is only looked at: a failure
        // there does not fail a run that needed none of those bytes.
        bool readOk = (end.limitReached || !zoneFile.Failed()) && !end.outOfMemory;
        if (readOk && !end.outputFailed && !entries.End())
        {
            // The sink's result found no memory: failed like a read that
            // found none.
            end.outOfMemory = true;
            readOk = false;
        }
        zoneFile.Close();
        const bool outputOk = outputFile.Close() && !end.outputFailed;
        if (!outputOk)
            return UnableToWriteMessage(outputFile.DisplayPath(), SystemReason(outputFile.Error()));
        if (!readOk)
            return UnableToReadMessage(zoneFile.DisplayPath(),
                                       SystemReason(end.outOfMemory ? std::make_error_code(std::errc::not_enough_memory)
                                                                    : zoneFile.Error()));
        return std::nullopt;
    }

    bool ServersAppended(ExtractMode mode)
    {
        return static_cast<std::int32_t>(mode) == 0 && CurrentSettings().appendNameServers != 0;
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

    ZoneReadEnd ReadZoneEntries(ZoneLineReader& zoneFile, const ZoneReading& reading, const EntryHandler& handle)
    {
        const ExtractMode mode = reading.mode;
        const std::uint64_t lineLimit = reading.lineLimit;
        const ExtractorChoice choice = ChooseExtractor(mode, reading.zoneType);
        // In append mode a domain's entry can still grow while the next
        // batch is read, so the last entry of every batch is held back and
        // handed to the next extractor call as the batch's first entry.
        const bool holdBack = ServersAppended(mode);
        RunState& state = CurrentRunState();
        ZoneReadEnd end;
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
            Batch batch(reading.lineEnd);
            for (;;)
            {
                if (state.abortRequested.load())
                    break;
                while (state.paused.load())
                    std::this_thread::sleep_for(std::chrono::milliseconds(kWorkerPausePollMs));

                if (extract(batch) == 0)
                    break;
                const std::size_t ready = holdBack ? batch.size() - 1 : batch.size();
                end.outputFailed = !handle(batch, ready);
                batch.DropFront(ready);
                if (end.outputFailed || zoneFile.Failed())
                    break;

                const std::uint64_t lines = state.linesRead.load(std::memory_order_relaxed);
                if (lineLimit != 0 && lines >= lineLimit)
                {
                    state.abortRequested.store(true);
                    end.limitReached = true;
                    // Cut short only when the zone file goes on.
                    state.stoppedAtLineLimit.store(zoneFile.HasMoreInput());
                    break;
                }
            }
            // The held-back entry, possibly grown by the last call.
            if (!end.outputFailed)
                end.outputFailed = !handle(batch, batch.size());
        }
        catch (const std::bad_alloc&)
        {
            // A line too long for the memory left: end the run like a failed
            // read rather than take the process down.
            end.outOfMemory = true;
        }
        return end;
    }

    std::uint32_t ExtractionWorker(RunContext* context)
    {
        return RunWithBody(context, &ExtractZone);
    }

    std::uint32_t RunWithBody(RunContext* context, RunBody body)
    {
        if (context == nullptr || !context->IsWindowAlive())
            return 0;
        // Only this thread's pointer: leaving the scope touches no run, so
        // it may end after the context has gone.
        const EngineRunScope scope(context->Run());

        ZoneReading reading;
        reading.mode = context->RunMode();
        reading.zoneType = context->RunZoneType();
        reading.lineEnd = context->OutputLineEnd();
        reading.form = context->RunOutputForm();
        reading.lineLimit = CurrentSettings().lineLimit;
        const std::optional<std::string> failure = body(*context, reading);
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
