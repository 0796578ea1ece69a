#pragma once

// The Unicode data of the table-driven text steps (table_text.cpp), generated
// from ICU at build time by tables/make_unicode_tables.cpp: sorted tables
// searched by code point.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace plexor::lookalike::tables
{
    // A code point whose text in some step is not itself: `length`
    // characters of the table's pool from `offset`.
    struct MappedChar
    {
        char32_t c;
        std::uint32_t offset;
        std::uint32_t length;
    };

    // The code points first..last, all with one value (never 0).
    struct CharRange
    {
        char32_t first;
        char32_t last;
        std::uint32_t value;
    };

    template <typename Row>
    struct UnicodeTable
    {
        const Row* rows;
        std::size_t count;
        const char32_t* pool;

        // The mapped text of c, or nullptr when c maps to itself.
        const MappedChar* Find(char32_t c) const
        {
            const Row* end = rows + count;
            const Row* it = std::lower_bound(rows, end, c, [](const Row& r, char32_t x) { return r.c < x; });
            return it != end && it->c == c ? it : nullptr;
        }

        std::u32string_view Text(const MappedChar& row) const { return {pool + row.offset, row.length}; }

        // The value of the range holding c, 0 when none does.
        std::uint32_t ValueOf(char32_t c) const
        {
            const Row* end = rows + count;
            const Row* it = std::lower_bound(rows, end, c, [](const Row& r, char32_t x) { return r.last < x; });
            return it != end && it->first <= c ? it->value : 0;
        }
    };

    // Per code point: its form, its full lower case (root locale, without
    // the final-sigma rule), the ASCII text the IDN mapping turns it into,
    // and the canonical pair it composes from (NFC, Hangul left out).
    extern const UnicodeTable<MappedChar> Forms;
    extern const UnicodeTable<MappedChar> LowerCase;
    extern const UnicodeTable<MappedChar> IdnAsciiMappings;
    extern const UnicodeTable<MappedChar> Compositions;

    // Ranges: Cased, Case_Ignorable, valid in a decoded IDN label, canonical
    // combining class, NFC quick check (1 no, 2 maybe), general category M,
    // bidi class plus one, joining type.
    extern const UnicodeTable<CharRange> Cased;
    extern const UnicodeTable<CharRange> CaseIgnorable;
    extern const UnicodeTable<CharRange> IdnValid;
    extern const UnicodeTable<CharRange> CombiningClasses;
    extern const UnicodeTable<CharRange> NfcQuickCheck;
    extern const UnicodeTable<CharRange> Marks;
    extern const UnicodeTable<CharRange> BidiClasses;
    extern const UnicodeTable<CharRange> JoiningTypes;

    // The bidi classes and joining types as numbered in the tables (ICU's
    // UCharDirection and UJoiningType; the generator checks them).
    enum Bidi : std::uint32_t
    {
        BidiL = 0, BidiR = 1, BidiEN = 2, BidiES = 3, BidiET = 4, BidiAN = 5, BidiCS = 6, BidiON = 10,
        BidiAL = 13, BidiNSM = 17, BidiBN = 18
    };
    enum Joining : std::uint32_t
    {
        JoinNone = 0, JoinCausing = 1, JoinDual = 2, JoinLeft = 3, JoinRight = 4, JoinTransparent = 5
    };
}
