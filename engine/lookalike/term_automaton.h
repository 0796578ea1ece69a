#pragma once

// An Aho-Corasick automaton over the forms of the watched terms and over
// pieces of them: one pass over a label's form reports every place where a
// pattern ends. Characters are first mapped to classes (one per character
// that occurs in a pattern, 0 for all others) so that the transitions fit in
// one dense table.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace plexor::lookalike
{
    class TermAutomaton
    {
    public:
        struct Pattern
        {
            std::uint32_t term = 0;    // index of the term
            std::uint32_t offset = 0;  // where the piece begins in the term's form
            std::uint32_t length = 0;
            bool whole = false;        // the term's whole form, not a piece
        };

        // Patterns are added first, then Build makes the automaton.
        void Add(std::u32string_view chars, Pattern pattern);
        void Build();

        std::uint32_t Class(char32_t c) const
        {
            if (c < 128)
                return m_asciiClasses[c];
            const auto it = m_otherClasses.find(c);
            return it == m_otherClasses.end() ? 0 : it->second;
        }

        std::uint32_t Next(std::uint32_t state, std::uint32_t characterClass) const
        {
            const std::size_t slot = static_cast<std::size_t>(state) * m_classes + characterClass;
            return m_narrowNext.empty() ? m_next[slot] : m_narrowNext[slot];
        }

        // Calls f(pattern) for every pattern that ends at this state: its
        // own and those of the states on its fail chain, kept together.
        template <typename F>
        void ForEachPattern(std::uint32_t state, F&& f) const
        {
            for (std::uint32_t i = m_outputBegin[state]; i < m_outputBegin[state + 1]; ++i)
                f(m_outputs[i]);
        }

        // Classes in use, 0 included: every Class() is below this.
        std::uint32_t Classes() const { return m_classes; }

        bool HasPatterns(std::uint32_t state) const { return m_outputBegin[state] != m_outputBegin[state + 1]; }

        std::size_t MemoryBytes() const;

    private:
        static constexpr std::uint32_t kNone = 0xFFFFFFFF;

        std::uint32_t ClassOrAdd(char32_t c);

        std::vector<std::u32string> m_patternChars;
        std::vector<Pattern> m_patterns;

        std::uint32_t m_asciiClasses[128] = {};
        std::unordered_map<char32_t, std::uint32_t> m_otherClasses;
        std::uint32_t m_classes = 1;

        std::vector<std::uint32_t> m_next;          // states x classes
        std::vector<std::uint16_t> m_narrowNext;   // the same in half the memory, when the states fit
        std::vector<std::uint32_t> m_outputBegin;  // per state + 1: its patterns in m_outputs
        std::vector<Pattern> m_outputs;
    };
}
