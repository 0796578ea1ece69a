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
                return ascii_classes_[c];
            const auto it = other_classes_.find(c);
            return it == other_classes_.end() ? 0 : it->second;
        }

        std::uint32_t Next(std::uint32_t state, std::uint32_t character_class) const
        {
            const std::size_t slot = static_cast<std::size_t>(state) * classes_ + character_class;
            return narrow_next_.empty() ? next_[slot] : narrow_next_[slot];
        }

        // Calls f(pattern) for every pattern that ends at this state: its
        // own and those of the states on its fail chain, kept together.
        template <typename F>
        void ForEachPattern(std::uint32_t state, F&& f) const
        {
            for (std::uint32_t i = output_begin_[state]; i < output_begin_[state + 1]; ++i)
                f(outputs_[i]);
        }

        // Classes in use, 0 included: every Class() is below this.
        std::uint32_t Classes() const { return classes_; }

        bool HasPatterns(std::uint32_t state) const { return output_begin_[state] != output_begin_[state + 1]; }

        std::size_t MemoryBytes() const;

    private:
        static constexpr std::uint32_t kNone = 0xFFFFFFFF;

        std::uint32_t ClassOrAdd(char32_t c);

        std::vector<std::u32string> pattern_chars_;
        std::vector<Pattern> patterns_;

        std::uint32_t ascii_classes_[128] = {};
        std::unordered_map<char32_t, std::uint32_t> other_classes_;
        std::uint32_t classes_ = 1;

        std::vector<std::uint32_t> next_;          // states x classes
        std::vector<std::uint16_t> narrow_next_;   // the same in half the memory, when the states fit
        std::vector<std::uint32_t> output_begin_;  // per state + 1: its patterns in outputs_
        std::vector<Pattern> outputs_;
    };
}
