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
        ExtractionSettings& settings = g_extractionSettings;
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
        g_extractionSettings.nameServers = nameServers;
    }

    void ResetRunState()
    {
        g_runState.previousName.clear();
        g_runState.linesRead.store(0);
        g_runState.namesExtracted.store(0);
        g_runState.abortRequested.store(false);
        g_runState.paused.store(false);
        g_runState.stoppedAtLineLimit.store(false);
        g_runState.unreadableRecords.store(0);
        g_runState.comparisonAborted.store(false);
        g_runState.comparedEntries.store(0);
    }

    void SetPaused(bool paused)
    {
        g_runState.paused.store(paused);
    }

    bool IsPaused()
    {
        return g_runState.paused.load();
    }

    void SetAbortRequested(bool abortRequested)
    {
        g_runState.abortRequested.store(abortRequested);
    }

    bool IsAbortRequested()
    {
        return g_runState.abortRequested.load();
    }

    void GetRunCounters(std::uint64_t& linesRead, std::uint64_t& namesExtracted)
    {
        linesRead = g_runState.linesRead.load(std::memory_order_relaxed);
        namesExtracted = g_runState.namesExtracted.load(std::memory_order_relaxed);
    }
}
