#include "count/public_suffix.h"

#include <fstream>
#include <string>
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
            // Read in one go: a count run waits for the list before it
            // reads the zone, and a stream read a character at a time took
            // several milliseconds of that.
            std::ifstream in(PLEXOR_SYSTEM_SUFFIX_LIST, std::ios::binary | std::ios::ate);
            if (!in)
                return nullptr;
            const std::streamoff size = in.tellg();
            if (size <= 0)
                return nullptr;
            std::string text(static_cast<std::size_t>(size), '\0');
            in.seekg(0);
            if (!in.read(text.data(), size))
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

    std::size_t PublicSuffixList::RegistrableStart(std::string_view host) const
    {
        return m_rules->RegistrableStart(host);
    }

    bool PublicSuffixList::IsPublicSuffix(std::string_view host) const
    {
        return m_rules->IsPublicSuffix(host);
    }

    bool PublicSuffixList::Reaches(std::string_view name) const
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
