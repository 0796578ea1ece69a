#include "count/suffix_rules.h"

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

    const SuffixRules& SuffixRules::Builtin()
    {
        static const SuffixRules rules(detail::kBuiltinSuffixRules);
        return rules;
    }

    // A rule goes in as listed and, when it has labels beyond ASCII, in its
    // "xn--" form too, so that a host written either way finds it.
    void SuffixRules::Add(std::string_view rule)
    {
        m_rules.emplace(rule);
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
        m_rules.emplace(std::move(encoded));
    }

    bool SuffixRules::Has(std::string_view rule) const
    {
        return m_rules.find(rule) != m_rules.end();
    }

    std::size_t SuffixRules::RegistrableStart(std::string_view host) const
    {
        if (host.empty() || host.front() == '.')
            return std::string_view::npos;
        // A final dot (a name written absolute) plays no part, as in libpsl.
        if (host.back() == '.')
            host.remove_suffix(1);
        if (host.empty())
            return std::string_view::npos;
        // Label starts, first to last.
        std::vector<std::size_t> starts {0};
        for (std::size_t i = 0; i < host.size(); ++i)
        {
            if (host[i] == '.')
                starts.push_back(i + 1);
        }
        // The public suffix starts at label `suffix`: the default rule's
        // last label unless a longer rule matches. Tried longest first, so
        // the first normal or wildcard rule found prevails; an exception is
        // looked for at every length and prevails over all of them.
        std::size_t suffix = starts.size() - 1;
        bool matched = false;
        std::string key;
        for (std::size_t i = 0; i < starts.size(); ++i)
        {
            const std::string_view tail = host.substr(starts[i]);
            key.assign("!").append(tail);
            if (Has(key))
                return i + 1 < starts.size() ? starts[i] : std::string_view::npos;
            if (matched)
                continue;
            // A wildcard rule "*.b" makes "b" a public suffix as well, as
            // libpsl reads it.
            if (Has(tail) || Has(key.assign("*.").append(tail))
                || (i + 1 < starts.size() && Has(key.assign("*.").append(host.substr(starts[i + 1])))))
            {
                suffix = i;
                matched = true;
            }
        }
        return suffix == 0 ? std::string_view::npos : starts[suffix - 1];
    }
}
