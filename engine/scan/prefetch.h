#pragma once

// Asks the processor for the cache line of an address ahead of its use, so
// that the misses of a walk over a large table overlap instead of following
// one another. A hint only: it never faults, and does nothing where the
// compiler has no such builtin.

namespace plexor::scan
{
    inline void Prefetch([[maybe_unused]] const void* address)
    {
#if defined(__GNUC__) || defined(__clang__)
        __builtin_prefetch(address);
#endif
    }
}
