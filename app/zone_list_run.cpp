#include "zone_list_run.h"

#include <chrono>
#include <system_error>

#include "extraction/run_messages.h"
#include "input/zone_line_reader.h"
#include "output/output_writer.h"
#include "run/entry_writer.h"
#include "run/extraction_worker.h"
#include "scan/path_text.h"
#include "zones/layout_recognition.h"
#include "zones/zone_jobs.h"
#include "zones/zone_runs.h"

namespace plexor
{
    namespace fs = std::filesystem;

    namespace
    {
        constexpr char kStoppedBefore[] = "stopped before it was read";
        constexpr char kStoppedWithin[] = "stopped before its end";

        // The layout of the window's zone-type value (any other than gTLD
        // and master is .SE, as for one zone).
        ZoneLayout LayoutOfZoneType(std::int32_t zoneType)
        {
            if (zoneType == static_cast<std::int32_t>(ZoneType::Gtld))
                return ZoneLayout::Gtld;
            if (zoneType == static_cast<std::int32_t>(ZoneType::Master))
                return ZoneLayout::Master;
            return ZoneLayout::Se;
        }

        void Fail(ZoneRow& row, std::string reason)
        {
            row.result = ZoneResult::Failed;
            row.reason = std::move(reason);
        }

        std::string FileNameOf(const ZoneRow& row)
        {
            const std::string name = PathText(fs::path(row.file).filename());
            return name.empty() ? row.file : name;
        }
    }

    // The combined output under the run's output writer, counting what it
    // has taken so that a failed zone's bytes can be taken back.
    class ZoneListRun::Sink final : public OutputSink
    {
    public:
        explicit Sink(CombinedOutput& output) : m_output(output) {}
        bool Write(std::string_view bytes) override
        {
            if (!m_output.Write(bytes))
                return false;
            m_written += bytes.size();
            return true;
        }
        std::uint64_t Written() const { return m_written; }
        bool TakeBackTo(std::uint64_t size)
        {
            if (!m_output.TakeBackTo(size))
                return false;
            m_written = size;
            return true;
        }

    private:
        CombinedOutput& m_output;
        std::uint64_t m_written = 0;
    };

    std::unique_ptr<ZoneListRun> ZoneListRun::Open(std::vector<ZoneFile> zones, const fs::path& output,
                                                   const std::string& outputName, std::string& failure)
    {
        std::string reason;
        std::unique_ptr<CombinedOutput> combined = MakeFileCombinedOutput(output, reason);
        if (!combined)
        {
            failure = UnableToOpenMessage(outputName, reason);
            return nullptr;
        }
        return std::unique_ptr<ZoneListRun>(new ZoneListRun(std::move(zones), std::move(combined), outputName));
    }

    ZoneListRun::ZoneListRun(std::vector<ZoneFile> zones, std::unique_ptr<CombinedOutput> output,
                             std::string outputName)
        : m_zones(std::move(zones))
        , m_output(std::move(output))
        , m_sink(std::make_unique<Sink>(*m_output))
        , m_outputName(std::move(outputName))
        , m_rows(m_zones.size())
    {
        for (const ZoneFile& zone : m_zones)
        {
            std::error_code error;
            const std::uintmax_t size = fs::file_size(zone.path, error);
            m_sizes.push_back(error ? 0 : static_cast<std::uint64_t>(size));
            m_totalSize += m_sizes.back();
        }
    }

    ZoneListRun::~ZoneListRun() = default;

    RunBytes ZoneListRun::Progress(const ZoneLineReader& zoneFile) const
    {
        const std::uint64_t current = m_inZone.load() ? zoneFile.RawBytesRead() : 0;
        return {m_bytesDone.load() + current, m_totalSize};
    }

    std::optional<std::string> ZoneListRun::OutputFailure() const
    {
        return UnableToWriteMessage(m_outputName, m_output->Failure());
    }

    std::optional<std::string> ZoneListRun::TakeBack(std::uint64_t size)
    {
        if (m_sink->TakeBackTo(size))
            return std::nullopt;
        return OutputFailure();
    }

    std::optional<std::string> ZoneListRun::Read(ZoneLineReader& zoneFile, OutputWriter& outputFile,
                                                 const ZoneReading& reading)
    {
        std::optional<std::string> failure = WriteHeader(outputFile, reading);
        for (std::size_t i = 0; i < m_zones.size(); ++i)
        {
            if (failure)
                Fail(m_rows[i], "not read: the output failed");
            else
                failure = ReadZone(i, zoneFile, outputFile, reading);
            m_bytesDone.fetch_add(m_sizes[i]);
        }
        // The window's end-of-run figures: any zone cut at the line limit.
        bool cut = false;
        for (const ZoneRow& row : m_rows)
            cut = cut || row.result == ZoneResult::LineLimit;
        CurrentRunState().stoppedAtLineLimit.store(cut);
        if (m_stopRequested.load())
            SetAbortRequested(true);
        // Closed here, so the output is complete on disk when the window
        // learns of the run's end.
        m_sink.reset();
        m_output.reset();
        return failure;
    }

    std::optional<std::string> ZoneListRun::WriteHeader(OutputWriter& outputFile, const ZoneReading& reading)
    {
        if (reading.form == OutputForm::List)
            return std::nullopt;
        // One header line above every zone's rows, with the zone column.
        outputFile.CreateForSink(*m_sink, m_outputName);
        EntryWriter header(outputFile, reading.form, ServersAppended(reading.mode), CurrentSettings().lookalike.get());
        header.ForZone(std::string(), true);
        header.Start();
        if (!outputFile.Close())
            return OutputFailure();
        return std::nullopt;
    }

    std::optional<std::string> ZoneListRun::ReadZone(std::size_t i, ZoneLineReader& zoneFile, OutputWriter& outputFile,
                                                     const ZoneReading& reading)
    {
        const ZoneFile& zone = m_zones[i];
        ZoneRow& row = m_rows[i];
        row.file = zone.display;
        row.read = false;
        row.zone = ZoneKey(std::nullopt, zone.path);
        if (IsAbortRequested())
        {
            Fail(row, kStoppedBefore);
            return std::nullopt;
        }
        if (!zone.failure.empty())
        {
            Fail(row, zone.failure);
            return std::nullopt;
        }
        const auto start = std::chrono::steady_clock::now();
        const std::optional<std::string> failure = ReadRecognised(zone, row, zoneFile, outputFile, reading);
        const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
        row.seconds = seconds.count();
        return failure;
    }

    std::optional<std::string> ZoneListRun::ReadRecognised(const ZoneFile& zone, ZoneRow& row,
                                                           ZoneLineReader& zoneFile, OutputWriter& outputFile,
                                                           ZoneReading reading)
    {
        std::error_code error;
        std::optional<ZoneLayout> layout;
        if (fs::is_regular_file(zone.path, error))
        {
            const LayoutRecognition found = RecogniseLayout(zone.path);
            row.zone = ZoneKey(found.origin, zone.path);
            layout = found.layout;
            if (!layout)
            {
                Fail(row, found.reason);
                return std::nullopt;
            }
        }
        else
            layout = LayoutOfZoneType(reading.zoneType);
        row.layout = std::string(LayoutName(*layout));
        if (!zoneFile.Open(zone.path))
        {
            Fail(row, SystemReason(zoneFile.Error()));
            return std::nullopt;
        }
        row.read = true;
        m_inZone.store(true);

        // A fresh start, as the zone's own run would make.
        EngineRun& run = CurrentRun();
        run.state.previousName.clear();
        run.gtldOrigin = GtldOrigin {};
        const std::uint64_t linesBefore = run.state.linesRead.load();
        const std::uint64_t namesBefore = run.state.namesExtracted.load();
        reading.zoneType = static_cast<std::int32_t>(ToZoneType(*layout));
        if (reading.lineLimit != 0)
            reading.lineLimit += linesBefore;

        const std::uint64_t zoneStart = m_sink->Written();
        outputFile.CreateForSink(*m_sink, m_outputName);
        EntryWriter entries(outputFile, reading.form, ServersAppended(reading.mode), run.settings.lookalike.get());
        entries.ForZone(reading.form == OutputForm::List ? std::nullopt : std::optional<std::string>(row.zone), false);
        entries.Start();
        const ZoneReadEnd end = ReadZoneEntries(zoneFile, reading, [&](const Batch& batch, std::size_t count) {
            return entries.WriteBatch(batch, count);
        });
        m_inZone.store(false);
        const bool readOk = (end.limitReached || !zoneFile.Failed()) && !end.outOfMemory;
        const std::error_code readError =
            end.outOfMemory ? std::make_error_code(std::errc::not_enough_memory) : zoneFile.Error();
        zoneFile.Close();
        row.lines = run.state.linesRead.load() - linesBefore;
        row.names = run.state.namesExtracted.load() - namesBefore;
        if (!outputFile.Close() || end.outputFailed)
        {
            const std::optional<std::string> failure = OutputFailure();
            Fail(row, FailureReason(*failure));
            return failure;
        }

        if (end.limitReached)
        {
            // The limit ended this zone's reading, not the run.
            run.state.abortRequested.store(false);
            if (m_stopRequested.load())
                run.state.abortRequested.store(true);
        }
        if (!readOk)
            Fail(row, FailureReason(UnableToReadMessage(zoneFile.DisplayPath(), SystemReason(readError))));
        else if (!end.limitReached && run.state.abortRequested.load())
            Fail(row, kStoppedWithin);
        else
            row.result = end.limitReached && run.state.stoppedAtLineLimit.load() ? ZoneResult::LineLimit
                                                                                 : ZoneResult::Ok;
        if (row.result == ZoneResult::Failed)
            return TakeBack(zoneStart);
        return std::nullopt;
    }

    std::string ZoneListSummary(const std::vector<ZoneRow>& rows, std::size_t maxLines)
    {
        std::uint64_t names = 0;
        std::size_t failed = 0;
        for (const ZoneRow& row : rows)
        {
            // A failed zone's names were taken back.
            const bool failure = row.result == ZoneResult::Failed;
            names += failure ? 0 : row.names;
            failed += failure ? 1 : 0;
        }
        std::string text = std::to_string(rows.size()) + (rows.size() == 1 ? " zone file: " : " zone files: ")
                           + std::to_string(rows.size() - failed) + " read, " + std::to_string(failed)
                           + " failed; " + std::to_string(names) + " names.\n";
        std::size_t lines = 0;
        for (const bool failures : {true, false})
        {
            for (const ZoneRow& row : rows)
            {
                if ((row.result == ZoneResult::Failed) != failures || lines == maxLines)
                    continue;
                ++lines;
                text += "\n" + FileNameOf(row);
                if (failures)
                    text += ": " + ResultText(row);
                else
                    text += " (" + row.zone + ", " + row.layout + "): " + std::to_string(row.names) + " names, "
                            + ResultText(row);
            }
        }
        if (lines < rows.size())
            text += "\n(and " + std::to_string(rows.size() - lines) + " more)";
        return text;
    }
}
