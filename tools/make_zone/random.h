#pragma once

// The pseudo-random numbers of make_zone: the same sequence for the same seed
// on every machine.

#include <cstdint>

namespace make_zone
{
    // A small fixed generator (splitmix64): the standard library's
    // distributions differ between implementations.
    class Random final
    {
    public:
        explicit Random(std::uint64_t seed)
            : m_state(seed)
        {
        }

        std::uint64_t Next()
        {
            std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
            return z ^ (z >> 31);
        }

        unsigned Below(unsigned n) { return static_cast<unsigned>(Next() % n); }

    private:
        std::uint64_t m_state;
    };
}
