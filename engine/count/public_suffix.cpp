#include "count/public_suffix.h"

#include <string_view>

#include "count/suffix_rules.h"

#ifdef PLEXOR_HAVE_LIBPSL
#include <libpsl.h>
#endif

namespace plexor
{
#ifdef PLEXOR_HAVE_LIBPSL
    PublicSuffixList::PublicSuffixList()
    {
        // psl_latest() falls back to libpsl's own list when no system file
        // can be read; it returns null only when memory runs out.
        const psl_ctx_t* context = psl_latest(nullptr);
        m_context = context != nullptr ? context : psl_builtin();
    }

    PublicSuffixList::~PublicSuffixList()
    {
        if (m_context != psl_builtin())
            psl_free(static_cast<psl_ctx_t*>(const_cast<void*>(m_context)));
    }

    std::size_t PublicSuffixList::RegistrableStart(const std::string& host) const
    {
        const char* found = psl_registrable_domain(static_cast<const psl_ctx_t*>(m_context), host.c_str());
        return found == nullptr ? std::string_view::npos : static_cast<std::size_t>(found - host.c_str());
    }

    bool PublicSuffixList::IsPublicSuffix(const std::string& host) const
    {
        return psl_is_public_suffix(static_cast<const psl_ctx_t*>(m_context), host.c_str()) != 0;
    }

    const char* PublicSuffixList::Source() const
    {
        return "libpsl";
    }
#else
    PublicSuffixList::PublicSuffixList()
        : m_context(&SuffixRules::Builtin())
    {
    }

    PublicSuffixList::~PublicSuffixList() = default;

    std::size_t PublicSuffixList::RegistrableStart(const std::string& host) const
    {
        return static_cast<const SuffixRules*>(m_context)->RegistrableStart(host);
    }

    bool PublicSuffixList::IsPublicSuffix(const std::string& host) const
    {
        return static_cast<const SuffixRules*>(m_context)->IsPublicSuffix(host);
    }

    const char* PublicSuffixList::Source() const
    {
        return "built-in";
    }
#endif

    const PublicSuffixList& PublicSuffixList::Default()
    {
        static const PublicSuffixList list;
        return list;
    }
}
