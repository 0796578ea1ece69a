#pragma once

// The optimal-string-alignment distance between two forms, counted in
// characters: insertions, deletions, substitutions and swaps of two
// adjacent characters, each 1, no character edited twice.
//
// OsaDistance is the plain dynamic programme, the rule itself. OsaPattern is
// the fast way for one form of at most 64 characters compared with many:
// Hyyrö's bit-parallel algorithm, one machine word per character of the
// other form. Tests prove the two equal.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace plexor::lookalike
{
    std::size_t OsaDistance(std::u32string_view a, std::u32string_view b);

    class OsaPattern
    {
    public:
        static constexpr std::size_t kMaxLength = 64;

        // pattern.size() must be 1 to kMaxLength.
        explicit OsaPattern(std::u32string_view pattern);

        std::size_t DistanceTo(std::u32string_view text) const;

    private:
        std::uint64_t Positions(char32_t c) const
        {
            if (c < 128)
                return ascii_[c];
            for (std::size_t i = 0; i < other_count_; ++i)
                if (other_chars_[i] == c)
                    return other_masks_[i];
            return 0;
        }

        std::size_t length_;
        std::array<std::uint64_t, 128> ascii_{};
        std::array<char32_t, kMaxLength> other_chars_{};
        std::array<std::uint64_t, kMaxLength> other_masks_{};
        std::size_t other_count_ = 0;
    };
}
