#pragma once

// The registrable domain of a name-server host under the Public Suffix List
// (ICANN and private rules, as libpsl applies them): what groups servers into
// providers. The lookup is SuffixRules (suffix_rules.h), a walk over the
// host's last labels, held to libpsl's answers by the tests. Its rules: on
// systems that install the list (Debian's publicsuffix package, the file
// libpsl reads too), that file as it is when the list is first used, so a
// system update of the list is followed without a rebuild; otherwise, and
// when the file cannot be read, the rules built into the program from the
// same list at build time.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace plexor
{
    class SuffixRules;

    class PublicSuffixList final
    {
    public:
        // The list of this build, loaded on first use.
        static const PublicSuffixList& Default();

        // Where the registrable domain of `host` (lower case, no final dot)
        // begins, or npos when it has none.
        std::size_t RegistrableStart(std::string_view host) const;

        // Whether `host` (lower case) is a public suffix itself, by a rule
        // or by the default rule (a single label).
        bool IsPublicSuffix(std::string_view host) const;

        // Whether a rule is `name` (lower case) or ends with it: otherwise no
        // host one label below it is a public suffix (SuffixRules::Reaches).
        bool Reaches(std::string_view name) const;

        // Where the rules come from: "system list" or "built-in".
        const char* Source() const;

        PublicSuffixList(const PublicSuffixList&) = delete;
        PublicSuffixList& operator=(const PublicSuffixList&) = delete;
        ~PublicSuffixList();

    private:
        PublicSuffixList();
        std::unique_ptr<const SuffixRules> m_loaded; // the system's list, when read
        const SuffixRules* m_rules;
    };
}
