#pragma once

// The batch: the ordered list of entries that one extractor call fills and
// the worker writes out. Dropped entries keep their storage, so a run
// allocates for a name only the first few times a slot is used.

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace plexor
{
    class Batch final
    {
    public:
        Batch() = default;
        Batch(std::initializer_list<std::string_view> entries)
        {
            for (std::string_view entry : entries)
                push_back(entry);
        }

        std::size_t size() const { return m_size; }
        bool empty() const { return m_size == 0; }
        std::string& operator[](std::size_t i) { return m_slots[i]; }
        const std::string& operator[](std::size_t i) const { return m_slots[i]; }
        std::string& back() { return m_slots[m_size - 1]; }
        auto begin() const { return m_slots.begin(); }
        auto end() const { return m_slots.begin() + static_cast<std::ptrdiff_t>(m_size); }

        // Appends an empty entry for the caller to fill and returns it.
        std::string& AppendEntry()
        {
            if (m_size == m_slots.size())
                m_slots.emplace_back();
            std::string& entry = m_slots[m_size++];
            entry.clear();
            return entry;
        }

        void push_back(std::string_view entry) { AppendEntry().assign(entry); }
        void pop_back() { --m_size; }
        void clear() { m_size = 0; }

        // Removes the first `count` entries; the others move to the front in
        // their order.
        void DropFront(std::size_t count)
        {
            count = std::min(count, m_size);
            std::rotate(m_slots.begin(), m_slots.begin() + static_cast<std::ptrdiff_t>(count),
                        m_slots.begin() + static_cast<std::ptrdiff_t>(m_size));
            m_size -= count;
        }

        std::vector<std::string> Entries() const { return {begin(), end()}; }

        friend bool operator==(const Batch& a, const Batch& b)
        {
            return std::equal(a.begin(), a.end(), b.begin(), b.end());
        }

    private:
        std::vector<std::string> m_slots;
        std::size_t m_size = 0;
    };
}
