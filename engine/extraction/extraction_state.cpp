#include "extraction/extraction_state.h"

namespace plexor
{
    namespace
    {
        // Length of the UTF-8 sequence that starts with this byte, or 0 when
        // the byte cannot start one (then it counts as a character alone).
        std::size_t Utf8SequenceLength(unsigned char lead)
        {
            if (lead >= 0xC2 && lead <= 0xDF)
                return 2;
            if (lead >= 0xE0 && lead <= 0xEF)
                return 3;
            if (lead >= 0xF0 && lead <= 0xF4)
                return 4;
            return 0;
        }

        bool IsContinuationByte(unsigned char byte)
        {
            return (byte & 0xC0) == 0x80;
        }

        // Splits the excluded characters into single bytes and whole UTF-8
        // multi-byte characters. Bytes that do not form a valid sequence are
        // characters of their own, as in a single-byte code page.
        void PrepareExcludedChars(ExtractionSettings& settings)
        {
            settings.excludedBytes.fill(false);
            settings.excludedSequences.clear();
            const std::string& text = settings.excludedChars;
            std::size_t i = 0;
            while (i < text.size())
            {
                const auto lead = static_cast<unsigned char>(text[i]);
                const std::size_t length = Utf8SequenceLength(lead);
                bool isSequence = length > 0 && i + length <= text.size();
                for (std::size_t k = 1; isSequence && k < length; ++k)
                    isSequence = IsContinuationByte(static_cast<unsigned char>(text[i + k]));
                if (isSequence)
                {
                    std::string sequence = text.substr(i, length);
                    bool known = false;
                    for (const std::string& existing : settings.excludedSequences)
                        known = known || existing == sequence;
                    if (!known)
                        settings.excludedSequences.push_back(std::move(sequence));
                    i += length;
                }
                else
                {
                    settings.excludedBytes[lead] = true;
                    ++i;
                }
            }
        }
    }

    namespace
    {
        // Set by EngineRunScope; null: the default run.
        constinit thread_local EngineRun* t_currentRun = nullptr;
        // A namespace-scope object rather than a function's static, so that
        // a signal handler that asks the run to stop never meets a guard.
        EngineRun g_defaultRun;
    }

    EngineRun& DefaultEngineRun()
    {
        return g_defaultRun;
    }

    EngineRun& CurrentRun()
    {
        EngineRun* const run = t_currentRun;
        return run != nullptr ? *run : DefaultEngineRun();
    }

    EngineRunScope::EngineRunScope(EngineRun& run)
        : m_previous(t_currentRun)
    {
        t_currentRun = &run;
    }

    EngineRunScope::~EngineRunScope()
    {
        t_currentRun = m_previous;
    }

    std::string ToUpperAscii(std::string_view text)
    {
        std::string result(text);
        for (char& c : result)
        {
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
        }
        return result;
    }

    void ApplyFilterSettings(std::int32_t maxChars, std::int32_t minChars, std::string_view excludedChars,
                             std::string_view includeWordsText, std::int32_t appendNameServers)
    {
        ExtractionSettings& settings = CurrentSettings();
        settings.maxChars = maxChars;
        settings.minChars = minChars;
        settings.appendNameServers = appendNameServers;
        settings.excludedChars = ToUpperAscii(excludedChars);
        settings.includeWordsText = ToUpperAscii(includeWordsText);
        PrepareExcludedChars(settings);

        // Every piece before a comma is kept, even an empty one (an empty
        // word is found in every name); the rest after the last comma only
        // when it is not empty. Blanks are not trimmed.
        settings.includeWords.clear();
        std::string_view rest = settings.includeWordsText;
        if (rest.empty())
            return;
        for (std::size_t comma = rest.find(','); comma != std::string_view::npos; comma = rest.find(','))
        {
            settings.includeWords.emplace_back(rest.substr(0, comma));
            rest.remove_prefix(comma + 1);
        }
        if (!rest.empty())
            settings.includeWords.emplace_back(rest);
    }

    void SetNameServerList(const std::vector<std::string>& nameServers)
    {
        CurrentSettings().nameServers = nameServers;
    }

    void ResetRunState()
    {
        RunState& state = CurrentRunState();
        state.previousName.clear();
        state.linesRead.store(0);
        state.namesExtracted.store(0);
        state.abortRequested.store(false);
        state.paused.store(false);
        state.stoppedAtLineLimit.store(false);
        state.unreadableRecords.store(0);
        state.comparisonAborted.store(false);
        state.comparedEntries.store(0);
    }

    void SetPaused(bool paused)
    {
        CurrentRunState().paused.store(paused);
    }

    bool IsPaused()
    {
        return CurrentRunState().paused.load();
    }

    void SetAbortRequested(bool abortRequested)
    {
        CurrentRunState().abortRequested.store(abortRequested);
    }

    bool IsAbortRequested()
    {
        return CurrentRunState().abortRequested.load();
    }

    void GetRunCounters(std::uint64_t& linesRead, std::uint64_t& namesExtracted)
    {
        const RunState& state = CurrentRunState();
        linesRead = state.linesRead.load(std::memory_order_relaxed);
        namesExtracted = state.namesExtracted.load(std::memory_order_relaxed);
    }
}
