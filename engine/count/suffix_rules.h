#pragma once

// The Public Suffix List's algorithm over a set of rules: the lookup behind
// PublicSuffixList (public_suffix.h) in every build. It gives libpsl's
// answer for lower-case host names in either form of an internationalised
// label (UTF-8 or "xn--"), with the list's ICANN and private rules alike:
//
// - a rule "a.b" matches a host whose last labels are "a.b"; "*.b" matches
//   any one label before "b"; "!c.b" is an exception, which prevails over
//   every other rule and makes "b" the public suffix;
// - of the other matching rules the one with the most labels prevails; with
//   none, the default rule "*" makes the last label the public suffix;
// - the registrable domain is the public suffix with one more label before
//   it; a host that is a public suffix itself has none.
//
// A table holds every rule and every end of one (its last one, two, ...
// labels), each with what the rules say of it. A lookup walks the host's
// labels from the last and stops at the first end that no rule has: most
// hosts take two probes ("com", then "example.com", not there), with no
// copy of the host, no allocation, and each byte hashed once.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plexor
{
    class SuffixRules final
    {
    public:
        // `rules`: one rule per line (as make_suffix_rules.cmake writes them).
        explicit SuffixRules(std::string_view rules);

        // The rules of a Public Suffix List file's text
        // (public_suffix_list.dat): the first word of every line that is
        // neither blank nor a "//" comment, as make_suffix_rules.cmake takes
        // them.
        static SuffixRules FromListText(std::string_view text);

        // The rules of the list built into the program.
        static const SuffixRules& Builtin();

        // Where the registrable domain of `host` (lower case; a final dot is
        // passed over) begins, or npos when it has none (a public suffix
        // itself, a single label, an empty name or one that begins with a
        // dot).
        std::size_t RegistrableStart(std::string_view host) const;

        // Whether `host` is a public suffix itself.
        bool IsPublicSuffix(std::string_view host) const
        {
            return !host.empty() && host.front() != '.' && host != "." && RegistrableStart(host) == std::string_view::npos;
        }

        // Whether a rule is the name or ends with it (its last labels). Only
        // then can a host one label below the name be a public suffix: a
        // rule for that host, or "*." before the name, would end with it.
        bool Reaches(std::string_view name) const { return Find(name) != nullptr; }

        // The number of rules, the "xn--" forms of rules beyond ASCII
        // included.
        std::size_t size() const { return m_rules; }

    private:
        // What the table knows of one name, a rule's whole text or the end
        // of one (its last labels): whether the name is a rule as listed,
        // whether "*." and "!" before it are, and, by being there at all,
        // that longer names ending in it may be.
        enum Flag : std::uint8_t
        {
            kListed = 1,
            kWildcardBelow = 2,
            kException = 4
        };
        struct Slot
        {
            std::uint32_t offset = 0; // of the name in m_text
            std::uint16_t length = 0;
            std::uint8_t flags = 0;
            // 0: unused; else eight bits of the name's HashOf (never 0), on
            // which most other names are passed over unread.
            std::uint8_t tag = 0;

            bool Used() const { return tag != 0; }
        };

        SuffixRules() = default;
        void Add(std::string_view rule);
        void AddForm(std::string_view rule);
        void Mark(std::string_view name, std::uint8_t flags);
        // The slot of the name, or null; `hash` is HashOf(name).
        const Slot* Find(std::string_view name) const;
        const Slot* Find(std::string_view name, std::uint64_t hash) const;
        std::size_t SlotOf(std::string_view name, std::uint64_t hash) const;
        // A name's hash is taken from its last byte to its first, so that a
        // walk from the last label on extends the hash of one end to the
        // next instead of hashing each end anew.
        static std::uint64_t HashOf(std::string_view name);
        void Grow();
        // Room for that many names without growing.
        void Reserve(std::size_t names);
        void Rehash(std::size_t size);

        std::string m_text;        // every name of the table, back to back
        std::vector<Slot> m_slots; // open addressing, a power of two
        std::size_t m_used = 0;
        std::size_t m_rules = 0;
    };

    // The "xn--" form (RFC 3492 Punycode) of one lower-case UTF-8 label, or
    // the label itself when it is plain ASCII; empty when it is not valid
    // UTF-8.
    std::string PunycodeLabel(std::string_view label);
}
