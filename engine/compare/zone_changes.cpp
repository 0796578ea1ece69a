#include "compare/zone_changes.h"

#include <memory>
#include <span>
#include <vector>

#include "compare/fingerprint_list.h"
#include "compare/name_fingerprints.h"
#include "input/zone_line_reader.h"
#include "extraction/extractors.h"
#include "output/output_writer.h"
#include "extraction/run_messages.h"
#include "run/entry_writer.h"

namespace plexor
{
    namespace
    {
        // The fingerprints of the compared names of a batch's first entries.
        class BatchFingerprints final
        {
        public:
            BatchFingerprints(bool serversAppended, RunState& state)
                : m_serversAppended(serversAppended)
                , m_state(state)
                , m_key(FingerprintKey::Random())
            {
            }

            const std::vector<NameFingerprint>& Of(const Batch& batch, std::size_t count)
            {
                m_fingerprints.clear();
                for (std::size_t i = 0; i < count; ++i)
                    m_fingerprints.push_back(Fingerprint(ComparedName(batch[i], m_serversAppended), m_key));
                auto& compared = m_state.comparedEntries;
                compared.store(compared.load(std::memory_order_relaxed) + count, std::memory_order_relaxed);
                return m_fingerprints;
            }

        private:
            bool m_serversAppended;
            RunState& m_state;
            FingerprintKey m_key;
            std::vector<NameFingerprint> m_fingerprints;
        };

        std::optional<std::string> ReadFailure(const ZoneLineReader& file, const ZoneReadEnd& end)
        {
            if (!end.outOfMemory && !file.Failed())
                return std::nullopt;
            return UnableToReadMessage(file.DisplayPath(),
                                       SystemReason(end.outOfMemory ? std::make_error_code(std::errc::not_enough_memory)
                                                                    : file.Error()));
        }
    }

    std::string_view ComparedName(std::string_view entry, bool serversAppended)
    {
        if (!serversAppended)
            return entry;
        return entry.substr(0, entry.find(": "));
    }

    std::optional<std::string> WriteZoneChanges(ZoneChanges changes, const ZoneReading& reading,
                                                ZoneLineReader& zoneFile, ZoneLineReader& olderZoneFile,
                                                OutputWriter& outputFile, EntrySink* sink)
    {
        // The set holds the list of the file whose names are looked up; the
        // other file's list is filtered into the output.
        ZoneLineReader& held = changes == ZoneChanges::NewNames ? olderZoneFile : zoneFile;
        ZoneLineReader& filtered = changes == ZoneChanges::NewNames ? zoneFile : olderZoneFile;
        ZoneReading whole = reading;
        whole.lineLimit = 0; // a cut list would make every name past the cut a change
        EngineRun& run = CurrentRun();
        RunState& state = run.state;
        const bool serversAppended =
            static_cast<std::int32_t>(reading.mode) == 0 && run.settings.appendNameServers != 0;
        // The gTLD layout keeps the last $ORIGIN from file to file: the second
        // file starts from where the first did, as a plain run of it would.
        const std::string originSuffix = GtldOriginSuffix();

        BatchFingerprints fingerprints(serversAppended, state);
        EntryWriter entries(outputFile, reading.form, serversAppended, run.settings.lookalike.get(), sink);
        entries.ForZone(run.settings.zoneColumn, run.settings.tableHeader);
        entries.Start();
        FingerprintList listed;
        FingerprintSet written;
        std::uint64_t namesWritten = 0;
        std::optional<std::string> failure;
        // For each entry of a batch, whether the set holds its name.
        std::unique_ptr<bool[]> listedNow;
        std::size_t listedRoom = 0;

        ZoneReadEnd end = ReadZoneEntries(held, whole, [&](const Batch& batch, std::size_t count) {
            listed.Append(fingerprints.Of(batch, count));
            state.namesExtracted.store(0, std::memory_order_relaxed); // names written, none yet
            return true;
        });
        failure = ReadFailure(held, end);
        if (!failure && !state.abortRequested.load())
        {
            try
            {
                listed.BuildIndex();
            }
            catch (const std::bad_alloc&)
            {
                end.outOfMemory = true;
                failure = ReadFailure(held, end);
            }
        }
        if (!failure && !state.abortRequested.load())
        {
            state.previousName.clear();
            SetGtldOriginSuffix(originSuffix);
            end = ReadZoneEntries(filtered, whole, [&](const Batch& batch, std::size_t count) {
                const std::vector<NameFingerprint>& batchFingerprints = fingerprints.Of(batch, count);
                if (listedRoom < count)
                {
                    listedNow = std::make_unique<bool[]>(count);
                    listedRoom = count;
                }
                bool* const found = listedNow.get();
                listed.ContainsAll(batchFingerprints, std::span<bool>(found, count));
                for (std::size_t i = 0; i < count; ++i)
                {
                    if (!found[i] && written.Insert(batchFingerprints[i]))
                    {
                        entries.WriteEntry(batch, i);
                        ++namesWritten;
                    }
                }
                outputFile.Flush();
                state.namesExtracted.store(namesWritten, std::memory_order_relaxed);
                return !outputFile.Failed();
            });
            failure = ReadFailure(filtered, end);
        }
        state.namesExtracted.store(namesWritten, std::memory_order_relaxed);
        if (!failure && !end.outputFailed && !state.abortRequested.load() && !entries.End())
        {
            end.outOfMemory = true;
            failure = ReadFailure(filtered, end);
        }

        zoneFile.Close();
        olderZoneFile.Close();
        const bool outputOk = outputFile.Close() && !end.outputFailed;
        if (!outputOk)
            failure = UnableToWriteMessage(outputFile.DisplayPath(), SystemReason(outputFile.Error()));
        if (!failure && state.abortRequested.load())
            state.comparisonAborted.store(true);
        return failure;
    }

    std::optional<std::string> CompareZones(RunContext& context, const ZoneReading& reading)
    {
        ZoneLineReader* older = context.OlderZoneFile();
        if (context.RunChanges() == ZoneChanges::None || older == nullptr)
            return ExtractZone(context, reading);
        return WriteZoneChanges(context.RunChanges(), reading, context.ZoneFile(), *older, context.OutputFile(),
                                context.RunEntrySink());
    }

    std::uint32_t ComparisonWorker(RunContext* context)
    {
        return RunWithBody(context, &CompareZones);
    }
}
