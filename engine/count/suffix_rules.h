#pragma once

// The Public Suffix List's algorithm over a set of rules, for builds that
// have no libpsl (public_suffix.h picks the lookup). It gives libpsl's answer
// for lower-case host names in either form of an internationalised label
// (UTF-8 or "xn--"), with the list's ICANN and private rules alike:
//
// - a rule "a.b" matches a host whose last labels are "a.b"; "*.b" matches
//   any one label before "b"; "!c.b" is an exception, which prevails over
//   every other rule and makes "b" the public suffix;
// - of the other matching rules the one with the most labels prevails; with
//   none, the default rule "*" makes the last label the public suffix;
// - the registrable domain is the public suffix with one more label before
//   it; a host that is a public suffix itself has none.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>

namespace plexor
{
    class SuffixRules final
    {
    public:
        // `rules`: one rule per line (as make_suffix_rules.cmake writes them).
        explicit SuffixRules(std::string_view rules);

        // The rules of the list built into the program.
        static const SuffixRules& Builtin();

        // Where the registrable domain of `host` (lower case; a final dot is
        // passed over) begins, or npos when it has none (a public suffix itself, a single
        // label, an empty name or one that begins with a dot).
        std::size_t RegistrableStart(std::string_view host) const;

        // Whether `host` is a public suffix itself.
        bool IsPublicSuffix(std::string_view host) const
        {
            return !host.empty() && host.front() != '.' && host != "." && RegistrableStart(host) == std::string_view::npos;
        }

        std::size_t size() const { return m_rules.size(); }

    private:
        void Add(std::string_view rule);
        bool Has(std::string_view rule) const;

        // Looked up by string_view without a copy.
        struct RuleHash
        {
            using is_transparent = void;
            std::size_t operator()(std::string_view rule) const { return std::hash<std::string_view> {}(rule); }
        };
        std::unordered_set<std::string, RuleHash, std::equal_to<>> m_rules; // "a.b", "*.b" and "!c.b" as listed
    };

    // The "xn--" form (RFC 3492 Punycode) of one lower-case UTF-8 label, or
    // the label itself when it is plain ASCII; empty when it is not valid
    // UTF-8.
    std::string PunycodeLabel(std::string_view label);
}
