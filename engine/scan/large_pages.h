#pragma once

// An allocator for the large hash tables that are read at random (the sets
// and tallies of name servers): an array of several MiB is placed on 2 MiB
// boundaries and, on Linux, marked for the kernel's transparent huge pages,
// so that one address-translation entry covers 2 MiB of it instead of 4 KiB.
// Without that, nearly every probe of a table of tens of MiB misses the
// processor's translation cache as well as its data cache, and the one
// miss the table cannot avoid costs two. Smaller arrays, and every array
// on other systems, are plain allocations; where the kernel has no huge
// pages to give, the large ones are plain memory as well, only aligned.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace plexor
{
    namespace large_pages
    {
        inline constexpr std::size_t kPageBytes = std::size_t {2} << 20;

        // Whether an array of this size gets pages of its own: a whole
        // number of them (the tables' sizes are powers of two), or so many
        // that rounding up adds less than an eighth.
        inline bool Worth(std::size_t bytes)
        {
            return bytes >= kPageBytes && (bytes % kPageBytes == 0 || bytes >= 8 * kPageBytes);
        }

        // The size to ask Allocate for an array of `bytes` that should go on
        // huge pages once it fills one: rounded up to whole pages from one
        // page on, as it is below.
        inline std::size_t WholePages(std::size_t bytes)
        {
            return bytes < kPageBytes ? bytes : (bytes + kPageBytes - 1) / kPageBytes * kPageBytes;
        }

        // Memory for `bytes`, to be given back with std::free; on huge pages
        // when `large` and Worth(bytes).
        inline void* Allocate(std::size_t bytes, bool large = true)
        {
            static_cast<void>(large); // not on every system
            void* memory = nullptr;
#if defined(__linux__)
            if (large && Worth(bytes))
            {
                const std::size_t rounded = (bytes + kPageBytes - 1) / kPageBytes * kPageBytes;
                memory = std::aligned_alloc(kPageBytes, rounded);
#if defined(MADV_HUGEPAGE)
                // Advice only: a kernel without huge pages ignores it.
                if (memory != nullptr)
                    static_cast<void>(madvise(memory, rounded, MADV_HUGEPAGE));
#endif
            }
            else
#endif
                memory = std::malloc(bytes == 0 ? 1 : bytes);
            if (memory == nullptr)
                throw std::bad_alloc();
            return memory;
        }

        // Bytes that Prefault is best asked for at a time: 8 small pages.
        inline constexpr std::size_t kPrefaultBytes = std::size_t {32} << 10;

        // Makes the small pages within [memory, memory + bytes) present and
        // writable in one call, ahead of their first writes: on a virtual
        // machine each page fault costs several microseconds, and one call
        // for many pages costs a fraction of their faults. Only for memory
        // about to be written anyway: the pages count as used from here on.
        // Advice only, where the system has it; pages cut by either end
        // are left to fault as usual.
        inline void Prefault([[maybe_unused]] void* memory, [[maybe_unused]] std::size_t bytes)
        {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
            constexpr std::size_t kSmallPage = 4096;
            const auto begin = (reinterpret_cast<std::uintptr_t>(memory) + kSmallPage - 1) / kSmallPage * kSmallPage;
            const auto end = (reinterpret_cast<std::uintptr_t>(memory) + bytes) / kSmallPage * kSmallPage;
            if (end > begin)
                static_cast<void>(madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE));
#endif
        }
    }

    template <typename T>
    struct LargePageAllocator
    {
        using value_type = T;

        LargePageAllocator() = default;
        template <typename U>
        LargePageAllocator(const LargePageAllocator<U>&) noexcept
        {
        }

        T* allocate(std::size_t n)
        {
            if (n > static_cast<std::size_t>(-1) / sizeof(T))
                throw std::bad_array_new_length();
            return static_cast<T*>(large_pages::Allocate(n * sizeof(T)));
        }
        void deallocate(T* p, std::size_t) noexcept { std::free(p); }

        template <typename U>
        bool operator==(const LargePageAllocator<U>&) const noexcept
        {
            return true;
        }
    };
}
