#pragma once

// The cheap tests that let the fast matcher skip nearly every name-term
// pair before computing a distance. Both work on a label's form given as
// one byte code per character (CharClasses::Code), so that a piece of up
// to eight characters is read with one 8-byte load.
//
// PieceFilter: a term of form length m and distance k >= 1 is cut into k + 1
// pieces of at least two characters with one character left out between
// neighbours. Each edit of an optimal alignment (a swap of two neighbours
// included) touches at most one piece. Counting the edits piece by piece,
// some piece j is untouched with exactly j edits before it (the first j
// where the running count of edits falls below j), so it stands in the
// label unbroken at a shift s with |s| <= j and |n - m - s| <= k - j, where
// n is the label's form length. The filter keeps, per term length and
// length difference, the few (piece, start) places that this leaves, and
// a hash of every piece; a label probes those places only. Piece 0 is a
// prefix of the label, piece k a suffix. A term with k = 0 is one piece:
// the whole label.
//
// ComboFilter: the terms whose form has at least kMinComboLength
// characters, by their first four (or, from eight characters, their first
// eight); a label's windows are looked up in bitmaps small enough for L1,
// and only a hit reads the terms that begin so.
//
// CharacterBag: a label's and a term's character counts, a lower bound of
// their distance, checked before the distance itself.
//
// All are filters: a hit is only a candidate, which the matcher verifies
// on the characters themselves (codes may collide, hashes too); a miss is
// proof that the term cannot match.

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "lookalike/watch_list.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace plexor::lookalike
{
    // Every character of a term's form gets a class from 1; all other
    // characters are class 0. The code of a class is one byte: the class
    // itself below 255, else 255 (shared, so a filter may say yes wrongly,
    // never no).
    class CharClasses
    {
    public:
        std::uint32_t Add(char32_t c);

        std::uint32_t Class(char32_t c) const
        {
            if (c < 128)
                return m_ascii[c];
            const auto it = m_other.find(c);
            return it == m_other.end() ? 0 : it->second;
        }

        static std::uint8_t Code(std::uint32_t characterClass)
        {
            return characterClass < 255 ? static_cast<std::uint8_t>(characterClass) : 255;
        }

        // Classes in use, 0 included: every Class() is below this.
        std::uint32_t Count() const { return m_count; }

        std::size_t MemoryBytes() const { return sizeof(*this) + m_other.size() * 32; }

    private:
        std::uint32_t m_ascii[128] = {};
        std::unordered_map<char32_t, std::uint32_t> m_other;
        std::uint32_t m_count = 1;
    };

    // A label's form as the filters read it: the codes of its characters,
    // followed by at least kCodePadding zero bytes, and its signature.
    struct LabelChars
    {
        static constexpr std::size_t kCodePadding = 8;

        std::size_t length = 0;
        const std::uint8_t* codes = nullptr;
        std::uint64_t signature = 0;
    };

    // The k + 1 pieces of a form of length m: offsets and lengths; empty
    // when a piece would be shorter than two characters.
    struct Piece
    {
        std::uint32_t offset = 0;
        std::uint32_t length = 0;
    };
    std::vector<Piece> CutIntoPieces(std::size_t formLength, std::size_t k);

    // A 64-bit set of a form's characters (bit: class mod 64). An edit
    // removes at most one character and adds at most one, so a label
    // within k of a term lacks at most k of the term's bits and has at
    // most k bits the term lacks.
    inline std::uint64_t SignatureBit(std::uint32_t characterClass)
    {
        return std::uint64_t{1} << (characterClass & 63);
    }

    // At most k bits set in x: k times clearing the lowest set bit leaves
    // nothing (no popcount instruction is assumed of the target).
    inline bool AtMostBits(std::uint64_t x, std::size_t k)
    {
        if (k > 3)
        {
            for (; k > 0 && x != 0; --k)
                x &= x - 1;
            return x == 0;
        }
        // Up to three without a branch (k is at most three in a run).
        const std::uint64_t less1 = x & (x - 1);
        const std::uint64_t less2 = less1 & (less1 - 1);
        const std::uint64_t less3 = less2 & (less2 - 1);
        const std::uint64_t left = k == 0 ? x : k == 1 ? less1 : k == 2 ? less2 : less3;
        return left == 0;
    }

    inline bool SignaturesWithin(std::uint64_t label, std::uint64_t term, std::size_t k)
    {
        return AtMostBits(term & ~label, k) && AtMostBits(label & ~term, k);
    }

    // The set bits of x, inline: without a popcount instruction in the
    // target, std::popcount is a call into the compiler's library.
    inline std::size_t BitCount(std::uint64_t x)
    {
        x = x - ((x >> 1) & 0x5555555555555555ull);
        x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
        x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Full;
        return static_cast<std::size_t>((x * 0x0101010101010101ull) >> 56);
    }

    // How many times each character occurs in a form, by code mod 32 and
    // capped at 255. An edit adds at most one character and removes at
    // most one (a swap neither), so a label within k of a term has at most
    // k characters more than the term in every count taken together, and
    // at most k fewer: the bag distance, a lower bound of the distance that
    // costs a few instructions. Folding codes together and capping counts
    // only lower it, so it stays a bound.
    class CharacterBag
    {
    public:
        CharacterBag() = default;
        CharacterBag(const std::uint8_t* codes, std::size_t length)
        {
            for (std::size_t i = 0; i < length; ++i)
            {
                std::uint8_t& count = m_counts[codes[i] & 31];
                count = static_cast<std::uint8_t>(count + (count != 255));
            }
        }

        // max(characters of a not in b, characters of b not in a) <= k.
        static bool Within(const CharacterBag& a, const CharacterBag& b, std::size_t k)
        {
#ifdef __SSE2__
            // Saturating differences summed by eight: the same sums as the
            // loop below, in a few instructions.
            const auto load = [](const CharacterBag& bag, std::size_t half) {
                return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bag.m_counts.data() + 16 * half));
            };
            const __m128i a0 = load(a, 0), a1 = load(a, 1), b0 = load(b, 0), b1 = load(b, 1);
            const __m128i zero = _mm_setzero_si128();
            const __m128i more = _mm_add_epi64(_mm_sad_epu8(_mm_subs_epu8(a0, b0), zero),
                                               _mm_sad_epu8(_mm_subs_epu8(a1, b1), zero));
            const __m128i fewer = _mm_add_epi64(_mm_sad_epu8(_mm_subs_epu8(b0, a0), zero),
                                                _mm_sad_epu8(_mm_subs_epu8(b1, a1), zero));
            const auto total = [](__m128i sums) {
                return static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
                       static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
            };
            return total(more) <= k && total(fewer) <= k;
#else
            unsigned more = 0;
            unsigned fewer = 0;
            for (std::size_t i = 0; i < 32; ++i)
            {
                const unsigned x = a.m_counts[i];
                const unsigned y = b.m_counts[i];
                more += x > y ? x - y : 0;
                fewer += y > x ? y - x : 0;
            }
            return more <= k && fewer <= k;
#endif
        }

    private:
        std::array<std::uint8_t, 32> m_counts{};
    };

    class PieceFilter
    {
    public:
        // terms[i].form must be coded by `classes`.
        PieceFilter(const std::vector<WatchedTerm>& terms, const CharClasses& classes);

        // Calls f(term) for every term that may lie within its k of the
        // label (a term may come more than once), and for every term too
        // short to be cut into pieces whose length is within k. Every term
        // given has a form length within its k of the label's, and a
        // signature within k of the label's (SignaturesWithin): the check
        // reads the term's signature from the entry itself, so that the
        // many pieces a real label shares with real-word terms cost no
        // look-up elsewhere.
        template <typename F>
        void ForEachCandidate(const LabelChars& label, F&& f) const
        {
            const std::size_t n = label.length;
            if (n >= m_byLength.size())
                return;
            const LabelLength& places = m_byLength[n];
            for (const Unpieced& term : places.unpieced)
                if (SignaturesWithin(label.signature, term.signature, term.maxDistance))
                    f(term.term);
            for (const Probe& probe : places.probes)
            {
                std::uint64_t bytes = 0;
                std::memcpy(&bytes, label.codes + probe.start, sizeof bytes);
                const std::uint64_t key = Key(bytes & probe.mask, probe.tagHash);
                const auto bit = static_cast<std::uint32_t>(key >> (64 - kBitmapBits));
                const std::uint64_t word = m_bitmap[bit >> 6];
                if (((word >> (bit & 63)) & 1) == 0)
                    continue;
                // The bit's rank among the set bits names its entries.
                const std::uint64_t below = word & ((std::uint64_t{1} << (bit & 63)) - 1);
                const std::size_t rank = m_wordRank[bit >> 6] + BitCount(below);
                const auto tag = static_cast<std::uint8_t>(key >> 24);
                const Entry* const end = m_entries.data() + m_bitStart[rank + 1];
                for (const Entry* entry = m_entries.data() + m_bitStart[rank]; entry != end; ++entry)
                    if (entry->keyTag == tag &&
                        n + entry->maxDistance - entry->formLength <= 2 * std::size_t{entry->maxDistance} &&
                        SignaturesWithin(label.signature, entry->signature, entry->maxDistance))
                        f(entry->term);
            }
        }

        std::size_t MemoryBytes() const;

    private:
        // Where a piece is looked for: at a place from the label's start,
        // or as the label's suffix.
        enum class Anchor : std::uint64_t
        {
            FromStart = 0,
            Suffix = 1,
        };
        // One place a label of a given length is looked at: the start of
        // the (up to) eight codes read and the tag that names the anchor,
        // the piece length and the place in the hash. Groups of terms whose
        // pieces share a place share the probe.
        struct Probe
        {
            std::uint64_t mask = 0;     // of the piece's first (up to) eight codes
            std::uint64_t tagHash = 0;  // names the anchor, the piece length and the place
            std::uint32_t start = 0;
        };
        // A term without pieces, with what the signature check reads.
        struct Unpieced
        {
            std::uint64_t signature = 0;
            std::uint32_t term = 0;
            std::uint32_t maxDistance = 0;
        };
        struct LabelLength
        {
            std::vector<Unpieced> unpieced;  // terms without pieces within their k of this length
            std::vector<Probe> probes;
        };
        // A piece of a term at one place: the term, its form length and k
        // (a label's form length must lie within k of it), its signature,
        // and eight more bits of the key, which tell apart nearly all the
        // other keys that share the bitmap bit.
        struct Entry
        {
            std::uint64_t signature = 0;
            std::uint32_t term = 0;
            std::uint16_t formLength = 0;
            std::uint8_t maxDistance = 0;
            std::uint8_t keyTag = 0;
        };
        // An entry with its key, while the table is built.
        struct KeyedEntry
        {
            std::uint64_t key = 0;
            Entry entry;
        };
        static constexpr unsigned kBitmapBits = 16;  // 8 KiB

        // The hash of a piece's first (up to) eight codes and its tag: one
        // multiplication, whose top bits pick the bitmap's bit and middle
        // bits the entry's tag.
        static std::uint64_t Key(std::uint64_t bytes, std::uint64_t tagHash)
        {
            return (bytes ^ tagHash) * 0x9E3779B97F4A7C15ull;
        }
        static std::uint64_t MaskOf(std::size_t length)
        {
            return length >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * length)) - 1;
        }
        static std::uint64_t TagHash(Anchor anchor, std::size_t pieceLength, std::size_t place)
        {
            return (static_cast<std::uint64_t>(anchor) << 32 | std::uint64_t{pieceLength} << 16 | place) *
                   0xC2B2AE3D27D4EB4Full;
        }

        // The places a label of each length m - k to m + k is probed at
        // for terms of form length m.
        void AddProbes(std::size_t m, std::size_t k, const std::vector<Piece>& pieces);
        void AddEntries(std::vector<KeyedEntry> entries);

        std::vector<LabelLength> m_byLength;  // by label form length
        // The entries by the bitmap bit of their key: those of the i-th set
        // bit are m_entries[m_bitStart[i]] to m_entries[m_bitStart[i + 1]];
        // m_wordRank[w] counts the set bits before bitmap word w.
        std::vector<Entry> m_entries;
        std::vector<std::uint32_t> m_bitStart;
        std::vector<std::uint32_t> m_wordRank;
        std::vector<std::uint64_t> m_bitmap;
    };

    class ComboFilter
    {
    public:
        ComboFilter(const std::vector<WatchedTerm>& terms, const CharClasses& classes);

        // Calls f(term, start) for every combo term whose codes occur in the
        // label's codes at start (never a term longer than the label), in
        // no particular order; the caller compares the characters.
        template <typename F>
        void ForEachCombo(const LabelChars& label, F&& f) const
        {
            const std::size_t n = label.length;
            if (n < kMinComboLength)
                return;
            // One pass over the label's windows for both indexes: each
            // window's codes are read once.
            for (std::size_t start = 0; start + kMinComboLength <= n; ++start)
            {
                std::uint64_t head = 0;
                std::memcpy(&head, label.codes + start, sizeof head);
                m_short.Visit(label, start, head, m_codes, f);
                if (start + 8 <= n)
                    m_long.Visit(label, start, head, m_codes, f);
            }
        }

        std::size_t MemoryBytes() const;

    private:
        // A combo term: its first (up to) eight codes and their mask, so
        // that nearly every window that merely starts like a term is told
        // apart without reading the term's codes elsewhere.
        struct Entry
        {
            std::uint64_t head = 0;
            std::uint64_t mask = 0;
            std::uint32_t term = 0;
            std::uint32_t length = 0;
        };

        // The terms of at least `width` codes by their first `width` codes:
        // a label's windows of that width are looked up in a bitmap small
        // enough for L1 (empty when no term is kept), and only a hit reads
        // the terms of its bitmap word.
        // Terms of eight codes or more are kept by all eight, so that the
        // many labels that merely begin like a long term (four codes are
        // two syllables) seldom hit.
        class GramIndex
        {
        public:
            explicit GramIndex(std::size_t width);
            void Add(const Entry& entry);
            void Finish();

            // The terms that stand at `start`, whose first eight codes
            // (or fewer, those of the label's end padded with zeros) are
            // `head`. The caller keeps start + width within the label.
            template <typename F>
            void Visit(const LabelChars& label, std::size_t start, std::uint64_t head,
                       const std::vector<std::vector<std::uint8_t>>& codes, F& f) const
            {
                const std::uint32_t bit = Slot(head & m_gramMask);
                if (((m_bitmap[bit >> 6] >> (bit & 63)) & 1) == 0)
                    return;
                for (std::uint32_t e = m_wordStart[bit >> 6]; e < m_wordStart[(bit >> 6) + 1]; ++e)
                {
                    const Entry& entry = m_entries[e];
                    if (start + entry.length > label.length)
                        break;  // the word's entries are by length: none after it fits
                    if ((head & entry.mask) != entry.head)
                        continue;
                    if (entry.length <= sizeof head ||
                        std::memcmp(label.codes + start, codes[entry.term].data(), entry.length) == 0)
                        f(entry.term, start);
                }
            }

            std::size_t MemoryBytes() const;

        private:
            static constexpr unsigned kBitmapBits = 15;  // 4 KiB

            static std::uint32_t Slot(std::uint64_t gram)
            {
                return static_cast<std::uint32_t>((gram * 0x9E3779B97F4A7C15ull) >> (64 - kBitmapBits));
            }
            std::uint32_t Slot(const Entry& entry) const { return Slot(entry.head & m_gramMask); }

            std::uint64_t m_gramMask;
            std::vector<Entry> m_entries;            // by bitmap word, then length
            std::vector<std::uint32_t> m_wordStart;  // per bitmap word + 1: its entries
            std::vector<std::uint64_t> m_bitmap;
        };

        GramIndex m_short{kMinComboLength};  // terms of fewer than eight codes
        GramIndex m_long{8};
        std::vector<std::vector<std::uint8_t>> m_codes;  // per term (combo terms of more than eight codes only)
    };
}
