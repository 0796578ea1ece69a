#pragma once

// The state of one extraction run: its filter settings, its counters and
// flags (EngineRun), and the functions that job control and the extractors
// use to read and write them. Each thread has a current run, set by an
// EngineRunScope; a thread without one works on the process's default run,
// which the window uses, one run at a time. Runs side by side (many zones in
// one process) each bring their own EngineRun.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plexor::lookalike
{
    class Matcher;
}

namespace plexor
{
    // The zone layout, as the index of the dialog's zone-type combo box. Any
    // value other than Gtld and Master is treated as Se, so stored settings
    // from before the master-file layout keep their meaning.
    enum class ZoneType : std::int32_t
    {
        Gtld = 0,
        Se = 1,
        Master = 2 // a standard (RFC 1035) master file
    };

    // What a run extracts, set by the start button the user pressed. Any
    // value other than Domains is treated as NameServers.
    enum class ExtractMode : std::int32_t
    {
        Domains = 0,
        NameServers = 1
    };

    // What a run writes when it compares the zone file with an older one:
    // nothing of the kind (a plain run), the names the older file's list
    // lacks, or the names of the older file's list that the zone file's
    // lacks. The values are those kept in the settings.
    enum class ZoneChanges : std::int32_t
    {
        None = 0,
        NewNames = 1,
        DroppedNames = 2
    };

    // A run ends once it has read this many lines; 0 means no limit.
    inline constexpr std::uint64_t kDefaultLineLimit = 2000000;

    struct ExtractionSettings
    {
        std::int32_t maxChars = 0;
        std::int32_t minChars = 0;
        std::string excludedChars;             // upper-cased
        std::string includeWordsText;          // upper-cased, as typed otherwise
        std::vector<std::string> includeWords; // includeWordsText split at commas
        std::vector<std::string> nameServers;  // upper-cased, no empty or repeated entries
        std::int32_t appendNameServers = 0;
        // The run ends after the batch in which linesRead reaches this; 0
        // means no limit. PrepareRun sets it for every run.
        std::uint64_t lineLimit = kDefaultLineLimit;

        // excludedChars prepared for the per-name test: its single-byte
        // characters as a lookup table, its UTF-8 multi-byte characters as
        // whole sequences, so that a typed "é" never matches a name that only
        // shares one of its bytes.
        std::array<bool, 256> excludedBytes {};
        std::vector<std::string> excludedSequences;

        // The watched terms of a look-alike run: only names that resemble
        // one pass the name filter. Null without terms. PrepareRun sets it
        // for every run.
        std::shared_ptr<const lookalike::Matcher> lookalike;

        // A run over several zones: the zone column's text of the table
        // forms (none: no zone column), and whether a tsv table's header
        // line is written (not for a zone whose rows join a combined
        // output that has it already). Left as they are by PrepareRun.
        std::optional<std::string> zoneColumn;
        bool tableHeader = true;
    };

    struct RunState
    {
        // Written only by the worker thread, read by the dialog for display.
        // 64-bit, so that a whole registry zone read without a line limit never
        // wraps them.
        std::atomic<std::uint64_t> linesRead {0};
        std::atomic<std::uint64_t> namesExtracted {0};
        // Written by the dialog (abortRequested also by the worker at the line
        // cap), polled by the worker and the extractors.
        std::atomic<bool> paused {false};
        std::atomic<bool> abortRequested {false};
        // The last domain name a domain extractor accepted in this run; used
        // by the worker thread only.
        std::string previousName;
        // Written by the worker thread; read by the caller once the run has
        // ended (after ClearWorkerReference).
        // The run ended because it reached the line limit while the zone file
        // still had lines.
        std::atomic<bool> stoppedAtLineLimit {false};
        // Records of a master file that could not be read as records.
        std::atomic<std::uint64_t> unreadableRecords {0};
        // A comparison was aborted before it had read both files: its output
        // is not the complete answer.
        std::atomic<bool> comparisonAborted {false};
        // The entries of both lists a comparison looked at (0 for a plain
        // run): with none, the layout is probably the wrong one.
        std::atomic<std::uint64_t> comparedEntries {0};
    };

    // The origin suffix of the gTLD domain extractor (".COM"), kept across
    // the runs of one EngineRun: a later file without an $ORIGIN line keeps
    // the suffix of the last one that had it.
    struct GtldOrigin
    {
        std::string suffix;
        // Its first bytes in a block of fixed size, for block copies.
        std::array<char, 32> block {}; // Batch::kBlockBytes
    };

    // One run's settings and state.
    struct EngineRun
    {
        ExtractionSettings settings;
        RunState state;
        GtldOrigin gtldOrigin;
    };

    // The run of a thread that has entered no EngineRunScope.
    EngineRun& DefaultEngineRun();
    // The calling thread's current run. The extractors fetch it once per
    // batch, never per line.
    EngineRun& CurrentRun();
    inline ExtractionSettings& CurrentSettings() { return CurrentRun().settings; }
    inline RunState& CurrentRunState() { return CurrentRun().state; }

    // Makes `run` the calling thread's current run until the scope ends,
    // then restores the run before it.
    class EngineRunScope
    {
    public:
        explicit EngineRunScope(EngineRun& run);
        ~EngineRunScope();
        EngineRunScope(const EngineRunScope&) = delete;
        EngineRunScope& operator=(const EngineRunScope&) = delete;

    private:
        EngineRun* m_previous;
    };

    // The functions below work on the calling thread's current run.

    // Sets the five filter settings; excludedChars and includeWordsText are
    // upper-cased (ASCII letters only, independent of locale) and
    // includeWordsText is split at commas into includeWords.
    void ApplyFilterSettings(std::int32_t maxChars, std::int32_t minChars, std::string_view excludedChars,
                             std::string_view includeWordsText, std::int32_t appendNameServers);
    void SetNameServerList(const std::vector<std::string>& nameServers);
    // Empties previousName, zeroes both counters, clears both flags.
    void ResetRunState();

    void SetPaused(bool paused);
    bool IsPaused();
    void SetAbortRequested(bool abortRequested);
    bool IsAbortRequested();
    void GetRunCounters(std::uint64_t& linesRead, std::uint64_t& namesExtracted);

    // ASCII-only upper-casing: the result does not depend on the locale and
    // never changes a byte of a multi-byte character.
    std::string ToUpperAscii(std::string_view text);

    // Counter increments for the worker thread, the counters' only writer: a
    // plain load and store is enough and keeps the per-line cost at one move.
    inline void CountLineRead(RunState& state)
    {
        auto& counter = state.linesRead;
        counter.store(counter.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    }

    inline void CountNameExtracted(RunState& state)
    {
        auto& counter = state.namesExtracted;
        counter.store(counter.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    }
}
