#pragma once

// Name storage for the count: names back to back in blocks of 1 MiB, each
// named by one 64-bit reference (block, offset, length), so a table of
// millions of names holds no string object per name. A name of a MiB or
// more gets a block of its own, its reference marked as reaching the block's
// end; a reference to the end of a name (a suffix) stays valid either way.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

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
                m_blocks.push_back(std::make_unique_for_overwrite<char[]>(kBlockBytes));
                m_sizes.push_back(kBlockBytes);
                m_used = 0;
            }
            const std::size_t block = m_blocks.size() - 1;
            if (!name.empty())
                std::memcpy(m_blocks[block].get() + m_used, name.data(), name.size());
            const Ref ref = Pack(block, m_used, name.size());
            m_used += name.size();
            return ref;
        }

        std::string_view Get(Ref ref) const
        {
            const std::size_t block = static_cast<std::size_t>(ref >> 40);
            const std::size_t offset = static_cast<std::size_t>((ref >> 20) & kToBlockEnd);
            std::size_t length = static_cast<std::size_t>(ref & kToBlockEnd);
            if (length == kToBlockEnd)
                length = m_sizes[block] - offset;
            return {m_blocks[block].get() + offset, length};
        }

        // The part of a name from byte `from` on.
        Ref Suffix(Ref ref, std::size_t from) const
        {
            const std::size_t length = static_cast<std::size_t>(ref & kToBlockEnd);
            const std::size_t offset = static_cast<std::size_t>((ref >> 20) & kToBlockEnd);
            return Pack(static_cast<std::size_t>(ref >> 40), offset + from,
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
        static constexpr std::size_t kBlockBytes = std::size_t {1} << 20;
        static constexpr std::size_t kToBlockEnd = (std::size_t {1} << 20) - 1;

        static Ref Pack(std::size_t block, std::size_t offset, std::size_t length)
        {
            return (static_cast<Ref>(block) << 40) | (static_cast<Ref>(offset & kToBlockEnd) << 20)
                | static_cast<Ref>(length);
        }

        Ref AddLong(std::string_view name)
        {
            // A block of its own, after which the next short name starts a
            // new block (the rest of the one before stays unused: long names
            // are rare).
            auto bytes = std::make_unique_for_overwrite<char[]>(name.size());
            std::memcpy(bytes.get(), name.data(), name.size());
            m_blocks.push_back(std::move(bytes));
            m_sizes.push_back(name.size());
            m_used = kBlockBytes;
            return Pack(m_blocks.size() - 1, 0, kToBlockEnd);
        }

        std::vector<std::unique_ptr<char[]>> m_blocks;
        std::vector<std::size_t> m_sizes;
        std::size_t m_used = 0; // bytes used in the last block
    };
}
