#pragma once

// The search of LineEndIndex::Add over whole 64-byte blocks, written once
// over a kernel's LineFeedMask64.

#include <bit>
#include <cstddef>
#include <cstdint>

namespace plexor::scan::generic
{
    // Writes the positions of the LFs in [from, to) (a multiple of 64 bytes)
    // to out and returns how many.
    template <class Masks>
    std::size_t IndexBlocks(const char* buffer, std::size_t from, std::size_t to, std::uint32_t* out)
    {
        std::uint32_t* const first = out;
        for (std::size_t at = from; at + 64 <= to; at += 64)
        {
            std::uint64_t bits = Masks::LineFeedMask64(buffer + at);
            const auto base = static_cast<std::uint32_t>(at);
            while (bits != 0)
            {
                *out++ = base + static_cast<std::uint32_t>(std::countr_zero(bits));
                bits &= bits - 1;
            }
        }
        return static_cast<std::size_t>(out - first);
    }
}
