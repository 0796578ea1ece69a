#include "lookalike/term_automaton.h"

#include <deque>

namespace plexor::lookalike
{
    void TermAutomaton::Add(std::u32string_view chars, Pattern pattern)
    {
        pattern.length = static_cast<std::uint32_t>(chars.size());
        pattern_chars_.emplace_back(chars);
        patterns_.push_back(pattern);
    }

    std::uint32_t TermAutomaton::ClassOrAdd(char32_t c)
    {
        if (c < 128)
        {
            if (ascii_classes_[c] == 0)
                ascii_classes_[c] = classes_++;
            return ascii_classes_[c];
        }
        const auto [it, added] = other_classes_.try_emplace(c, classes_);
        classes_ += added;
        return it->second;
    }

    void TermAutomaton::Build()
    {
        for (const std::u32string& chars : pattern_chars_)
            for (const char32_t c : chars)
                ClassOrAdd(c);

        // The trie, with its own patterns per state.
        std::vector<std::vector<std::size_t>> own(1);
        next_.assign(classes_, kNone);
        for (std::size_t p = 0; p < patterns_.size(); ++p)
        {
            std::uint32_t state = 0;
            for (const char32_t c : pattern_chars_[p])
            {
                const std::size_t slot = static_cast<std::size_t>(state) * classes_ + Class(c);
                if (next_[slot] == kNone)
                {
                    next_[slot] = static_cast<std::uint32_t>(own.size());
                    own.emplace_back();
                    next_.resize(next_.size() + classes_, kNone);
                }
                state = next_[slot];
            }
            own[state].push_back(p);
        }
        const std::size_t states = own.size();

        // Fail links breadth first; missing transitions become those of the
        // fail state, so that Next never needs to follow links.
        std::vector<std::uint32_t> fail(states, 0);
        std::vector<std::uint32_t> order;  // breadth first: a state's fail state comes before it
        order.reserve(states);
        std::deque<std::uint32_t> queue;
        for (std::uint32_t c = 0; c < classes_; ++c)
        {
            std::uint32_t& to = next_[c];
            if (to == kNone)
                to = 0;
            else
                queue.push_back(to);
        }
        while (!queue.empty())
        {
            const std::uint32_t state = queue.front();
            queue.pop_front();
            order.push_back(state);
            for (std::uint32_t c = 0; c < classes_; ++c)
            {
                std::uint32_t& to = next_[static_cast<std::size_t>(state) * classes_ + c];
                const std::uint32_t via_fail = next_[static_cast<std::size_t>(fail[state]) * classes_ + c];
                if (to == kNone)
                    to = via_fail;
                else
                {
                    fail[to] = via_fail;
                    queue.push_back(to);
                }
            }
        }

        if (states <= 0xFFFF)
        {
            narrow_next_.assign(next_.begin(), next_.end());
            next_.clear();
            next_.shrink_to_fit();
        }

        // Each state's patterns: its own, then its fail state's (already
        // complete, being nearer the root), stored one state after another.
        std::vector<std::vector<Pattern>> all(states);
        for (const std::uint32_t state : order)
        {
            for (const std::size_t p : own[state])
                all[state].push_back(patterns_[p]);
            const auto& inherited = all[fail[state]];
            all[state].insert(all[state].end(), inherited.begin(), inherited.end());
        }
        output_begin_.assign(states + 1, 0);
        for (std::size_t s = 0; s < states; ++s)
        {
            output_begin_[s] = static_cast<std::uint32_t>(outputs_.size());
            outputs_.insert(outputs_.end(), all[s].begin(), all[s].end());
        }
        output_begin_[states] = static_cast<std::uint32_t>(outputs_.size());
        pattern_chars_.clear();
        pattern_chars_.shrink_to_fit();
        patterns_.clear();
        patterns_.shrink_to_fit();
    }

    std::size_t TermAutomaton::MemoryBytes() const
    {
        return narrow_next_.size() * sizeof(std::uint16_t) + (next_.size() + output_begin_.size()) * sizeof(std::uint32_t) +
               outputs_.size() * sizeof(Pattern) + other_classes_.size() * 32;
    }
}
