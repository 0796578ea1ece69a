#include "lookalike/term_automaton.h"

#include <deque>

namespace plexor::lookalike
{
    void TermAutomaton::Add(std::u32string_view chars, Pattern pattern)
    {
        pattern.length = static_cast<std::uint32_t>(chars.size());
        m_patternChars.emplace_back(chars);
        m_patterns.push_back(pattern);
    }

    std::uint32_t TermAutomaton::ClassOrAdd(char32_t c)
    {
        if (c < 128)
        {
            if (m_asciiClasses[c] == 0)
                m_asciiClasses[c] = m_classes++;
            return m_asciiClasses[c];
        }
        const auto [it, added] = m_otherClasses.try_emplace(c, m_classes);
        m_classes += added;
        return it->second;
    }

    void TermAutomaton::Build()
    {
        for (const std::u32string& chars : m_patternChars)
            for (const char32_t c : chars)
                ClassOrAdd(c);

        // The trie, with its own patterns per state.
        std::vector<std::vector<std::size_t>> own(1);
        m_next.assign(m_classes, kNone);
        for (std::size_t p = 0; p < m_patterns.size(); ++p)
        {
            std::uint32_t state = 0;
            for (const char32_t c : m_patternChars[p])
            {
                const std::size_t slot = static_cast<std::size_t>(state) * m_classes + Class(c);
                if (m_next[slot] == kNone)
                {
                    m_next[slot] = static_cast<std::uint32_t>(own.size());
                    own.emplace_back();
                    m_next.resize(m_next.size() + m_classes, kNone);
                }
                state = m_next[slot];
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
        for (std::uint32_t c = 0; c < m_classes; ++c)
        {
            std::uint32_t& to = m_next[c];
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
            for (std::uint32_t c = 0; c < m_classes; ++c)
            {
                std::uint32_t& to = m_next[static_cast<std::size_t>(state) * m_classes + c];
                const std::uint32_t viaFail = m_next[static_cast<std::size_t>(fail[state]) * m_classes + c];
                if (to == kNone)
                    to = viaFail;
                else
                {
                    fail[to] = viaFail;
                    queue.push_back(to);
                }
            }
        }

        if (states <= 0xFFFF)
        {
            m_narrowNext.assign(m_next.begin(), m_next.end());
            m_next.clear();
            m_next.shrink_to_fit();
        }

        // Each state's patterns: its own, then its fail state's (already
        // complete, being nearer the root), stored one state after another.
        std::vector<std::vector<Pattern>> all(states);
        for (const std::uint32_t state : order)
        {
            for (const std::size_t p : own[state])
                all[state].push_back(m_patterns[p]);
            const auto& inherited = all[fail[state]];
            all[state].insert(all[state].end(), inherited.begin(), inherited.end());
        }
        m_outputBegin.assign(states + 1, 0);
        for (std::size_t s = 0; s < states; ++s)
        {
            m_outputBegin[s] = static_cast<std::uint32_t>(m_outputs.size());
            m_outputs.insert(m_outputs.end(), all[s].begin(), all[s].end());
        }
        m_outputBegin[states] = static_cast<std::uint32_t>(m_outputs.size());
        m_patternChars.clear();
        m_patternChars.shrink_to_fit();
        m_patterns.clear();
        m_patterns.shrink_to_fit();
    }

    std::size_t TermAutomaton::MemoryBytes() const
    {
        return m_narrowNext.size() * sizeof(std::uint16_t) + (m_next.size() + m_outputBegin.size()) * sizeof(std::uint32_t) +
               m_outputs.size() * sizeof(Pattern) + m_otherClasses.size() * 32;
    }
}
