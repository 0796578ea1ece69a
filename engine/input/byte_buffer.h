#pragma once

// The buffers the zone line reader and its reading thread fill with a zone
// file's bytes. Making one or growing it leaves the new bytes as they are,
// unlike a std::vector<char>, which would zero them first: every byte is
// written before it is read, but for the probe bytes past the data, which
// the searches read and mask off, as they do with what a reused buffer
// holds from before. Zeroing a buffer that a short zone barely fills cost
// its pages' faults and a memset (a few per cent of a folder of small
// zones).

#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace plexor
{
    template <typename T>
    struct UninitializedAllocator : std::allocator<T>
    {
        template <typename U>
        struct rebind
        {
            using other = UninitializedAllocator<U>;
        };

        UninitializedAllocator() = default;
        template <typename U>
        UninitializedAllocator(const UninitializedAllocator<U>&) noexcept
        {
        }

        // Default-initialised: bytes are left as they are.
        template <typename U>
        void construct(U* p) noexcept
        {
            ::new (static_cast<void*>(p)) U;
        }
        template <typename U, typename... Args>
        void construct(U* p, Args&&... args)
        {
            ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
        }
    };

    using ByteBuffer = std::vector<char, UninitializedAllocator<char>>;
}
