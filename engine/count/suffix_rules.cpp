#include "count/suffix_rules.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace plexor
{
    namespace detail
    {
        extern const std::string_view kBuiltinSuffixRules;
    }

    namespace
    {
        bool IsAscii(std::string_view text)
        {
            for (const char c : text)
            {
                if (static_cast<unsigned char>(c) >= 0x80)
                    return false;
            }
            return true;
        }

        // The code points of UTF-8 text; false when it is not valid UTF-8.
        bool DecodeUtf8(std::string_view text, std::vector<std::uint32_t>& points)
        {
            for (std::size_t i = 0; i < text.size();)
            {
                const auto lead = static_cast<unsigned char>(text[i]);
                std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
                if (length == 0 || lead > 0xF4 || i + length > text.size())
                    return false;
                std::uint32_t point = length == 1 ? lead : lead & (0x7F >> length);
                for (std::size_t k = 1; k < length; ++k)
                {
                    const auto next = static_cast<unsigned char>(text[i + k]);
                    if ((next & 0xC0) != 0x80)
                        return false;
                    point = (point << 6) | (next & 0x3F);
                }
                static constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
                if (point < kSmallest[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
                    return false;
                points.push_back(point);
                i += length;
            }
            return true;
        }

        char PunycodeDigit(std::uint32_t d)
        {
            return static_cast<char>(d < 26 ? 'a' + d : '0' + (d - 26));
        }

        std::uint32_t Adapt(std::uint32_t delta, std::uint32_t points, bool first)
        {
            delta = first ? delta / 700 : delta / 2;
            delta += delta / points;
            std::uint32_t k = 0;
            while (delta > ((36 - 1) * 26) / 2)
            {
                delta /= 36 - 1;
                k += 36;
            }
            return k + (36 * delta) / (delta + 38);
        }
    }

    std::string PunycodeLabel(std::string_view label)
    {
        if (IsAscii(label))
            return std::string(label);
        std::vector<std::uint32_t> points;
        if (!DecodeUtf8(label, points))
            return {};
        std::string out = "xn--";
        std::uint32_t basic = 0;
        for (const std::uint32_t p : points)
        {
            if (p < 0x80)
            {
                out += static_cast<char>(p);
                ++basic;
            }
        }
        if (basic > 0)
            out += '-';
        std::uint32_t n = 0x80, delta = 0, bias = 72, handled = basic;
        const auto total = static_cast<std::uint32_t>(points.size());
        while (handled < total)
        {
            std::uint32_t m = 0x10FFFF + 1;
            for (const std::uint32_t p : points)
            {
                if (p >= n && p < m)
                    m = p;
            }
            delta += (m - n) * (handled + 1);
            n = m;
            for (const std::uint32_t p : points)
            {
                if (p < n)
                    ++delta;
                if (p != n)
                    continue;
                std::uint32_t q = delta;
                for (std::uint32_t k = 36;; k += 36)
                {
                    const std::uint32_t t = k <= bias ? 1 : k >= bias + 26 ? 26 : k - bias;
                    if (q < t)
                        break;
                    out += PunycodeDigit(t + (q - t) % (36 - t));
                    q = (q - t) / (36 - t);
                }
                out += PunycodeDigit(q);
                bias = Adapt(delta, handled + 1, handled == basic);
                delta = 0;
                ++handled;
            }
            ++delta;
            ++n;
        }
        return out;
    }

    SuffixRules::SuffixRules(std::string_view rules)
    {
        while (!rules.empty())
        {
            const std::size_t end = rules.find('\n');
            const std::string_view rule = rules.substr(0, end);
            if (!rule.empty())
                Add(rule);
            rules.remove_prefix(end == std::string_view::npos ? rules.size() : end + 1);
        }
    }

    SuffixRules SuffixRules::FromListText(std::string_view text)
    {
        SuffixRules rules;
        // A list has fewer names (rules and their ends) than lines: a table
        // for that many is made once, not grown from small on.
        rules.Reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
        while (!text.empty())
        {
            const std::size_t end = text.find('\n');
            std::string_view line = text.substr(0, end);
            text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
            if (line.empty() || line.front() == '/' || line.front() == ' ' || line.front() == '\t'
                || line.front() == '\r')
                continue;
            rules.Add(line.substr(0, line.find_first_of(" \t\r")));
        }
        return rules;
    }

    const SuffixRules& SuffixRules::Builtin()
    {
        static const SuffixRules rules(detail::kBuiltinSuffixRules);
        return rules;
    }

    // A rule goes in as listed and, when it has labels beyond ASCII, in its
    // "xn--" form too, so that a host written either way finds it.
    void SuffixRules::Add(std::string_view rule)
    {
        AddForm(rule);
        if (IsAscii(rule))
            return;
        std::string encoded;
        while (true)
        {
            const std::size_t dot = rule.find('.');
            const std::string_view label = rule.substr(0, dot);
            const bool marked = label.starts_with('!');
            std::string punycode = PunycodeLabel(marked ? label.substr(1) : label);
            if (punycode.empty())
                return; // not valid UTF-8: kept as listed only
            if (marked)
                encoded += '!';
            encoded += punycode;
            if (dot == std::string_view::npos)
                break;
            encoded += '.';
            rule.remove_prefix(dot + 1);
        }
        AddForm(encoded);
    }

    namespace
    {
        // FNV-1a, fed with a name's bytes from its last one to its first.
        constexpr std::uint64_t kHashBasis = 0xCBF29CE484222325ull;

        std::uint64_t HashByte(std::uint64_t h, char c)
        {
            return (h ^ static_cast<unsigned char>(c)) * 0x100000001B3ull;
        }

        std::uint64_t HashDone(std::uint64_t h)
        {
            return h ^ (h >> 29);
        }

        // The slot's tag: the hash's top bits (the low ones pick the slot).
        std::uint8_t TagOf(std::uint64_t hash)
        {
            return static_cast<std::uint8_t>((hash >> 56) | 1);
        }
    }

    // The rule as listed, and what it says of the name it stands on: "*.b"
    // of "b", "!c.b" of "c.b".
    void SuffixRules::AddForm(std::string_view rule)
    {
        ++m_rules;
        Mark(rule, kListed);
        if (rule.starts_with("*.") && rule.size() > 2)
            Mark(rule.substr(2), kWildcardBelow);
        else if (rule.starts_with('!') && rule.size() > 1)
            Mark(rule.substr(1), kException);
    }

    // The name with the flags, and each of its ends without.
    void SuffixRules::Mark(std::string_view name, std::uint8_t flags)
    {
        for (;;)
        {
            if ((m_used + 1) * 2 > m_slots.size())
                Grow();
            const std::uint64_t hash = HashOf(name);
            Slot& slot = m_slots[SlotOf(name, hash)];
            if (!slot.Used())
            {
                slot.tag = TagOf(hash);
                slot.offset = static_cast<std::uint32_t>(m_text.size());
                slot.length = static_cast<std::uint16_t>(name.size());
                m_text.append(name);
                ++m_used;
            }
            slot.flags |= flags;
            flags = 0;
            const std::size_t dot = name.find('.');
            if (dot == std::string_view::npos)
                return;
            name.remove_prefix(dot + 1);
        }
    }

    std::uint64_t SuffixRules::HashOf(std::string_view name)
    {
        std::uint64_t h = kHashBasis;
        for (std::size_t i = name.size(); i-- > 0;)
            h = HashByte(h, name[i]);
        return HashDone(h);
    }

    std::size_t SuffixRules::SlotOf(std::string_view name, std::uint64_t hash) const
    {
        const std::size_t mask = m_slots.size() - 1;
        const std::uint8_t tag = TagOf(hash);
        for (std::size_t s = hash & mask;; s = (s + 1) & mask)
        {
            const Slot& slot = m_slots[s];
            if (!slot.Used()
                || (slot.tag == tag && slot.length == name.size()
                    && std::string_view(m_text.data() + slot.offset, slot.length) == name))
                return s;
        }
    }

    const SuffixRules::Slot* SuffixRules::Find(std::string_view name) const
    {
        return Find(name, HashOf(name));
    }

    const SuffixRules::Slot* SuffixRules::Find(std::string_view name, std::uint64_t hash) const
    {
        if (m_slots.empty())
            return nullptr;
        const Slot& slot = m_slots[SlotOf(name, hash)];
        return slot.Used() ? &slot : nullptr;
    }

    void SuffixRules::Grow()
    {
        Rehash(std::max<std::size_t>(m_slots.size() * 2, 1024));
    }

    void SuffixRules::Reserve(std::size_t names)
    {
        std::size_t size = std::max<std::size_t>(m_slots.size(), 1024);
        while (size < names * 2)
            size *= 2;
        if (size != m_slots.size())
            Rehash(size);
    }

    // The names are distinct: each goes to the first free slot of its
    // probe, none compared with another.
    void SuffixRules::Rehash(std::size_t size)
    {
        std::vector<Slot> old(size);
        old.swap(m_slots);
        const std::size_t mask = size - 1;
        for (const Slot& slot : old)
        {
            if (slot.Used())
            {
                std::size_t s = HashOf(std::string_view(m_text.data() + slot.offset, slot.length)) & mask;
                while (m_slots[s].Used())
                    s = (s + 1) & mask;
                m_slots[s] = slot;
            }
        }
    }

    // From the last label on: the public suffix is the longest end that a
    // rule matches (the rule itself, "*." before the end one label shorter,
    // or "*." before the end itself, which libpsl counts as a suffix too),
    // the last label when none does, unless an exception "!end" is found,
    // which makes the end's parent the suffix. No longer end can match once
    // an end is missing from the table, since every rule's ends are there.
    std::size_t SuffixRules::RegistrableStart(std::string_view host) const
    {
        if (host.empty() || host.front() == '.')
            return std::string_view::npos;
        // A final dot (a name written absolute) plays no part, as in libpsl.
        if (host.back() == '.')
            host.remove_suffix(1);
        if (host.empty())
            return std::string_view::npos;
        std::size_t labels = 0;       // of the end looked at
        std::size_t suffixLabels = 1; // of the public suffix found so far
        std::size_t exceptionLabels = 0;
        // The end looked at begins at `start`; its hash takes in one more
        // label, and the dot after it, each step.
        std::size_t start = host.size();
        std::uint64_t h = kHashBasis;
        std::size_t dot = host.size();
        do
        {
            if (start != host.size())
                h = HashByte(h, host[--start]); // the dot
            while (start > 0 && host[start - 1] != '.')
                h = HashByte(h, host[--start]);
            dot = start == 0 ? std::string_view::npos : start - 1;
            ++labels;
            const Slot* slot = Find(host.substr(start), HashDone(h));
            if (slot == nullptr)
                break;
            if ((slot->flags & kException) != 0)
                exceptionLabels = labels;
            if ((slot->flags & (kListed | kWildcardBelow)) != 0)
                suffixLabels = labels;
            // "*.end" matches the end with one more label, where there is one.
            if ((slot->flags & kWildcardBelow) != 0 && dot != std::string_view::npos)
                suffixLabels = labels + 1;
        } while (dot != std::string_view::npos);
        // The registrable domain: the exception's name, or the suffix with
        // one more label.
        const std::size_t registrableLabels = exceptionLabels != 0 ? exceptionLabels : suffixLabels + 1;
        if (registrableLabels < 2)
            return std::string_view::npos;
        // Labels are a few bytes long: a loop finds the dot before one
        // sooner than a call of rfind.
        const auto dotBefore = [&host](std::size_t at) {
            while (at > 0)
            {
                if (host[--at] == '.')
                    return at;
            }
            return std::string_view::npos;
        };
        dot = host.size();
        for (std::size_t i = 0; i < registrableLabels; ++i)
        {
            if (dot == std::string_view::npos)
                return std::string_view::npos; // fewer labels: the host is a suffix itself
            dot = dotBefore(dot);
        }
        return dot == std::string_view::npos ? 0 : dot + 1;
    }
}
