#include "count/public_suffix.h"

#include <fstream>
#include <iterator>
#include <string_view>

#include "count/suffix_rules.h"

namespace plexor
{
    namespace
    {
        // The rules of the system's list file, or null when there is none
        // to read or it holds no rule.
        std::unique_ptr<const SuffixRules> LoadSystemList()
        {
#ifdef PLEXOR_SYSTEM_SUFFIX_LIST
            std::ifstream in(PLEXOR_SYSTEM_SUFFIX_LIST, std::ios::binary);
            if (!in)
                return nullptr;
            const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            if (in.bad())
                return nullptr;
            auto rules = std::make_unique<SuffixRules>(SuffixRules::FromListText(text));
            if (rules->size() == 0)
                return nullptr;
            return rules;
#else
            return nullptr;
#endif
        }
    }

    PublicSuffixList::PublicSuffixList()
        : m_loaded(LoadSystemList())
        , m_rules(m_loaded ? m_loaded.get() : &SuffixRules::Builtin())
    {
    }

    PublicSuffixList::~PublicSuffixList() = default;

    std::size_t PublicSuffixList::RegistrableStart(const std::string& host) const
    {
        return m_rules->RegistrableStart(host);
    }

    bool PublicSuffixList::IsPublicSuffix(const std::string& host) const
    {
        return m_rules->IsPublicSuffix(host);
    }

    bool PublicSuffixList::Reaches(const std::string& name) const
    {
        return m_rules->Reaches(name);
    }

    const char* PublicSuffixList::Source() const
    {
        return m_loaded ? "system list" : "built-in";
    }

    const PublicSuffixList& PublicSuffixList::Default()
    {
        static const PublicSuffixList list;
        return list;
    }
}
