#pragma once

// The registrable domain of a name-server host under the Public Suffix List
// (ICANN and private rules, as libpsl applies them): what groups servers into
// providers. Builds with libpsl (PLEXOR_HAVE_LIBPSL) ask it, with the list
// from psl_latest(): the newer of the list built into libpsl and the one the
// system installs (Debian's publicsuffix package), so a system update of the
// list is followed without a rebuild, and a missing file is no failure.
// Builds without it (Windows) use the built-in rules (suffix_rules.h),
// generated from the same list at build time.

#include <cstddef>
#include <string>

namespace plexor
{
    class PublicSuffixList final
    {
    public:
        // The list of this build, loaded on first use.
        static const PublicSuffixList& Default();

        // Where the registrable domain of `host` (lower case, no final dot)
        // begins, or npos when it has none.
        std::size_t RegistrableStart(const std::string& host) const;

        // Whether `host` (lower case) is a public suffix itself, by a rule
        // or by the default rule (a single label).
        bool IsPublicSuffix(const std::string& host) const;

        // Which lookup answers: "libpsl" or "built-in".
        const char* Source() const;

        PublicSuffixList(const PublicSuffixList&) = delete;
        PublicSuffixList& operator=(const PublicSuffixList&) = delete;
        ~PublicSuffixList();

    private:
        PublicSuffixList();
        const void* m_context = nullptr; // libpsl's psl_ctx_t, or the built-in SuffixRules
    };
}
