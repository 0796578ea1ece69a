#pragma once

// Name storage for the count: names back to back in blocks of 2 MiB, each
// named by one 64-bit reference (block, offset, length), so a table of
// millions of names holds no string object per name. A name of a MiB or
// more gets a block of its own, its reference marked as reaching the block's
// end; a reference to the end of a name (a suffix) stays valid either way.
// The names are read at random (each lookup compares one), so once the
// arena is large its blocks go on huge pages (scan/large_pages.h); the first
// ones do not, so that a small count is not rounded up to whole huge pages.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "scan/large_pages.h"

namespace plexor
{
    class NameArena final
    {
    public:
        using Ref = std::uint64_t;

        Ref Add(std::string_view name)
        {
            if (name.size() >= kToBlockEnd)
                return AddLong(name);
            if (m_blocks.empty() || kBlockBytes - m_used < name.size())
            {
                m_blocks.push_back(Block(static_cast<char*>(large_pages::Allocate(kBlockBytes, m_blocks.size() >= kLargePagesFrom))));
                m_sizes.push_back(kBlockBytes);
                m_used = 0;
                m_prefaulted = 0;
            }
            const std::size_t block = m_blocks.size() - 1;
            if (m_used + name.size() > m_prefaulted)
            {
                // The block's next pages in one go, not one fault each.
                const std::size_t bytes = std::min(large_pages::kPrefaultBytes, kBlockBytes - m_prefaulted);
                large_pages::Prefault(m_blocks[block].get() + m_prefaulted, bytes);
                m_prefaulted += bytes;
            }
            if (!name.empty())
                std::memcpy(m_blocks[block].get() + m_used, name.data(), name.size());
            const Ref ref = Pack(block, m_used, name.size());
            m_used += name.size();
            return ref;
        }

        std::string_view Get(Ref ref) const
        {
            const std::size_t block = static_cast<std::size_t>(ref >> kBlockShift);
            const std::size_t offset = static_cast<std::size_t>((ref >> kOffsetShift) & kOffsetMask);
            std::size_t length = static_cast<std::size_t>(ref & kToBlockEnd);
            if (length == kToBlockEnd)
                length = m_sizes[block] - offset;
            return {m_blocks[block].get() + offset, length};
        }

        // The part of a name from byte `from` on.
        Ref Suffix(Ref ref, std::size_t from) const
        {
            const std::size_t length = static_cast<std::size_t>(ref & kToBlockEnd);
            const std::size_t offset = static_cast<std::size_t>((ref >> kOffsetShift) & kOffsetMask);
            return Pack(static_cast<std::size_t>(ref >> kBlockShift), offset + from,
                        length == kToBlockEnd ? kToBlockEnd : length - from);
        }

        std::size_t BytesHeld() const
        {
            std::size_t bytes = m_blocks.capacity() * sizeof(m_blocks[0]) + m_sizes.capacity() * sizeof(std::size_t);
            for (const std::size_t size : m_sizes)
                bytes += size;
            return bytes;
        }

    private:
        struct Free
        {
            void operator()(char* bytes) const { std::free(bytes); }
        };
        using Block = std::unique_ptr<char[], Free>;

        // A reference: the block in its top 23 bits, the offset in the next
        // 21, the length (or kToBlockEnd) in the low 20.
        static constexpr std::size_t kBlockBytes = std::size_t {2} << 20;
        static constexpr std::size_t kToBlockEnd = (std::size_t {1} << 20) - 1;
        static constexpr unsigned kOffsetShift = 20;
        static constexpr unsigned kBlockShift = 41;
        static constexpr std::size_t kOffsetMask = kBlockBytes - 1;
        static constexpr std::size_t kLargePagesFrom = 8; // blocks

        static Ref Pack(std::size_t block, std::size_t offset, std::size_t length)
        {
            return (static_cast<Ref>(block) << kBlockShift) | (static_cast<Ref>(offset & kOffsetMask) << kOffsetShift)
                | static_cast<Ref>(length);
        }

        Ref AddLong(std::string_view name)
        {
            // A block of its own, after which the next short name starts a
            // new block (the rest of the one before stays unused: long names
            // are rare).
            Block bytes(static_cast<char*>(large_pages::Allocate(name.size(), false)));
            std::memcpy(bytes.get(), name.data(), name.size());
            m_blocks.push_back(std::move(bytes));
            m_sizes.push_back(name.size());
            m_used = kBlockBytes;
            m_prefaulted = kBlockBytes;
            return Pack(m_blocks.size() - 1, 0, kToBlockEnd);
        }

        std::vector<Block> m_blocks;
        std::vector<std::size_t> m_sizes;
        std::size_t m_used = 0;       // bytes used in the last block
        std::size_t m_prefaulted = 0; // bytes of the last block prefaulted
    };
}
