#pragma once

// The reference kernel's byte masks: one byte at a time, compiled on every
// machine. Bit i of a mask stands for byte i from the pointer. The SSE2
// masks (sse2/masks.h) have the same names and give the same answers.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "scan/byte_classes.h"

namespace plexor::scan::reference
{
    struct Masks
    {
        template <std::size_t N, class Test>
        static std::uint64_t MaskOf(const char* p, Test test)
        {
            std::uint64_t mask = 0;
            for (std::size_t i = 0; i < N; ++i)
                mask |= static_cast<std::uint64_t>(test(p[i]) ? 1 : 0) << i;
            return mask;
        }

        static std::uint64_t LineFeedMask64(const char* p)
        {
            return MaskOf<64>(p, [](char c) { return c == '\n'; });
        }
        static unsigned SeparatorMask16(const char* p)
        {
            return static_cast<unsigned>(MaskOf<16>(p, IsSeparator));
        }
        static std::uint64_t SeparatorMask64(const char* p)
        {
            return MaskOf<64>(p, IsSeparator);
        }
        static unsigned SpecialMask16(const char* p)
        {
            return static_cast<unsigned>(MaskOf<16>(p, IsSpecial));
        }
        static std::uint32_t SpecialMask32(const char* p)
        {
            return static_cast<std::uint32_t>(MaskOf<32>(p, IsSpecial));
        }
        static std::uint32_t DotMask32(const char* p)
        {
            return static_cast<std::uint32_t>(MaskOf<32>(p, [](char c) { return c == '.'; }));
        }
        static std::uint32_t EqualMask32(const char* a, const char* b)
        {
            std::uint32_t mask = 0;
            for (std::size_t i = 0; i < 32; ++i)
                mask |= static_cast<std::uint32_t>(a[i] == b[i] ? 1 : 0) << i;
            return mask;
        }
        static std::uint64_t EqualMask64(const char* a, const char* b)
        {
            return EqualMask32(a, b) | (static_cast<std::uint64_t>(EqualMask32(a + 32, b + 32)) << 32);
        }
        // Whether the first `size` bytes (at most 64) from p hold an ASCII
        // upper-case letter.
        static bool HasUpperAscii(const char* p, std::size_t size)
        {
            for (std::size_t i = 0; i < size; ++i)
            {
                if (IsUpperAscii(p[i]))
                    return true;
            }
            return false;
        }
        // Writes the `length` bytes from `from` to `to` with ASCII letters in
        // lower case.
        static void CopyLower(const char* from, std::size_t length, char* to)
        {
            for (std::size_t i = 0; i < length; ++i)
                to[i] = LowerAscii(from[i]);
        }
        // Position of the first separator in [p, p + size), or size;
        // FindSpecial the same for special bytes.
        static std::size_t FindSeparator(const char* p, std::size_t size)
        {
            std::size_t i = 0;
            while (i < size && !IsSeparator(p[i]))
                ++i;
            return i;
        }
        static std::size_t FindSpecial(const char* p, std::size_t size)
        {
            std::size_t i = 0;
            while (i < size && !IsSpecial(p[i]))
                ++i;
            return i;
        }
        // Copies the 64 bytes from `from` to `to`.
        static void Copy64(const char* from, char* to)
        {
            std::memcpy(to, from, 64);
        }
    };
}
