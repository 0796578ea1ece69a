#pragma once

// The batch: the ordered list of entries that one extractor call fills and
// the worker writes out. The entries lie back to back in one byte buffer,
// each already followed by the line end that ends it in the output file (CR
// LF, or LF alone when the run asks for it), so building an entry is a plain
// copy and writing a batch is one block. The buffer keeps its storage from
// batch to batch.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace plexor
{
    // What ends every line of the output file: CR LF, as the dialog writes,
    // or LF alone, for Unix pipelines.
    enum class LineEnd
    {
        CrLf,
        Lf
    };

    class Batch final
    {
    public:
        Batch() = default;
        explicit Batch(LineEnd lineEnd)
            : m_endOfLine(lineEnd == LineEnd::Lf ? std::string_view("\n\0", 2) : std::string_view("\r\n", 2))
            , m_endOfLineSize(lineEnd == LineEnd::Lf ? 1 : 2)
        {
        }
        Batch(std::initializer_list<std::string_view> entries)
        {
            for (std::string_view entry : entries)
                push_back(entry);
        }

        std::size_t size() const { return m_ends.size(); }
        bool empty() const { return m_ends.empty(); }
        // Entry i, without its line end.
        std::string_view operator[](std::size_t i) const
        {
            const std::size_t begin = Offset(i);
            return {m_bytes.get() + begin, m_ends[i] - begin};
        }
        std::string_view back() const { return (*this)[size() - 1]; }
        // Where entry i starts among the batch's bytes (see Bytes()).
        std::size_t Offset(std::size_t i) const { return i == 0 ? 0 : m_ends[i - 1] + m_endOfLineSize; }
        // The entries' bytes, valid until the batch changes, and their
        // number, line ends included.
        const char* Bytes() const { return m_bytes.get(); }
        std::size_t ByteSize() const { return m_used; }

        // Adds an entry made of the pieces, in order.
        void push_back(std::string_view first, std::string_view second = {}, std::string_view third = {})
        {
            Reserve(first.size() + second.size() + third.size() + kEndOfLineRoom);
            Put(first);
            Put(second);
            Put(third);
            m_ends.push_back(m_used);
            PutEndOfLine();
        }
        // push_back(first, second) for pieces of at most kBlockBytes bytes
        // each, both readable for kBlockBytes bytes from their start: each is
        // copied as one whole block (the excess is overwritten), which costs
        // less than a copy of its exact length.
        void PushBackBlocks(const char* first, std::size_t firstSize, const char* second, std::size_t secondSize)
        {
            Reserve(2 * kBlockBytes + kEndOfLineRoom);
            char* at = m_bytes.get() + m_used;
            std::memcpy(at, first, kBlockBytes);
            std::memcpy(at + firstSize, second, kBlockBytes);
            m_used += firstSize + secondSize;
            m_ends.push_back(m_used);
            PutEndOfLine();
        }
        static constexpr std::size_t kBlockBytes = 32;
        // push_back(bytes) for at most kLongBlockBytes bytes that are readable
        // for kLongBlockBytes bytes from their start, copied as one block.
        void PushBackBlock(const char* bytes, std::size_t size)
        {
            Reserve(kLongBlockBytes + kEndOfLineRoom);
            std::memcpy(m_bytes.get() + m_used, bytes, kLongBlockBytes);
            m_used += size;
            m_ends.push_back(m_used);
            PutEndOfLine();
        }
        static constexpr std::size_t kLongBlockBytes = 64;

        // Adds the pieces, in order, to the end of the last entry.
        void AppendToBack(std::string_view first, std::string_view second = {}, std::string_view third = {})
        {
            m_used -= m_endOfLineSize;
            Reserve(first.size() + second.size() + third.size() + kEndOfLineRoom);
            Put(first);
            Put(second);
            Put(third);
            m_ends.back() = m_used;
            PutEndOfLine();
        }
        void pop_back()
        {
            m_ends.pop_back();
            m_used = m_ends.empty() ? 0 : m_ends.back() + m_endOfLineSize;
        }
        void clear()
        {
            m_ends.clear();
            m_used = 0;
        }

        // The first `count` entries, each followed by its line end, as one
        // block.
        std::string_view Lines(std::size_t count) const
        {
            count = std::min(count, size());
            return {m_bytes.get(), count == 0 ? 0 : m_ends[count - 1] + m_endOfLineSize};
        }

        // Removes the first `count` entries; the others move to the front in
        // their order.
        void DropFront(std::size_t count)
        {
            count = std::min(count, size());
            if (count == 0)
                return;
            const std::size_t dropped = Lines(count).size();
            std::memmove(m_bytes.get(), m_bytes.get() + dropped, m_used - dropped);
            m_used -= dropped;
            m_ends.erase(m_ends.begin(), m_ends.begin() + static_cast<std::ptrdiff_t>(count));
            for (std::size_t& end : m_ends)
                end -= dropped;
        }

        std::vector<std::string> Entries() const
        {
            std::vector<std::string> entries;
            entries.reserve(size());
            for (std::size_t i = 0; i < size(); ++i)
                entries.emplace_back((*this)[i]);
            return entries;
        }

        friend bool operator==(const Batch& a, const Batch& b)
        {
            return a.m_ends == b.m_ends && std::string_view(a.m_bytes.get(), a.m_used) == std::string_view(b.m_bytes.get(), b.m_used);
        }

        LineEnd EndOfLine() const { return m_endOfLineSize == 1 ? LineEnd::Lf : LineEnd::CrLf; }

    private:
        // Room for the longest line end; PutEndOfLine always copies this
        // many bytes and keeps as many as the line end has, so that the copy
        // has a fixed length.
        static constexpr std::size_t kEndOfLineRoom = 2;

        void Reserve(std::size_t more)
        {
            if (more > m_capacity - m_used)
                Grow(more);
        }
        void Grow(std::size_t more)
        {
            // realloc, so that a block of many megabytes (an entry for a
            // very long line) can be moved by the system without being
            // copied and held twice.
            const std::size_t capacity = std::max({m_capacity * 2, m_used + more, std::size_t {4096}});
            void* bytes = std::realloc(m_bytes.get(), capacity);
            if (bytes == nullptr)
                throw std::bad_alloc();
            static_cast<void>(m_bytes.release());
            m_bytes.reset(static_cast<char*>(bytes));
            m_capacity = capacity;
        }
        void PutEndOfLine()
        {
            std::memcpy(m_bytes.get() + m_used, m_endOfLine.data(), kEndOfLineRoom);
            m_used += m_endOfLineSize;
        }
        void Put(std::string_view bytes)
        {
            if (!bytes.empty())
                std::memcpy(m_bytes.get() + m_used, bytes.data(), bytes.size());
            m_used += bytes.size();
        }

        struct Free
        {
            void operator()(char* bytes) const { std::free(bytes); }
        };
        std::unique_ptr<char, Free> m_bytes;
        std::size_t m_used = 0;
        std::size_t m_capacity = 0;
        std::vector<std::size_t> m_ends; // end of each entry, before its line end
        std::string_view m_endOfLine {"\r\n", 2};
        std::size_t m_endOfLineSize = 2;
    };
}
