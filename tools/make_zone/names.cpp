#include "names.h"

#include <charconv>
#include <iterator>

namespace make_zone
{
    std::string MakeLabel(Random& random)
    {
        std::string label;
        const unsigned parts = 1 + random.Below(3);
        for (unsigned i = 0; i < parts; ++i)
        {
            if (random.Below(3) == 0)
                label += kWords[random.Below(std::size(kWords))];
            else
                label += kSyllables[random.Below(std::size(kSyllables))];
        }
        switch (random.Below(8))
        {
        case 0:
            label += std::to_string(random.Below(100));
            break;
        case 1:
            label += "-";
            label += kWords[random.Below(std::size(kWords))];
            break;
        default:
            break;
        }
        return label;
    }

    std::string LabelSource::Next()
    {
        std::string label = MakeLabel(m_random);
        while (m_unique && !m_used.insert(label).second)
            label = MakeLabel(m_random);
        return label;
    }

    UniqueLabels::UniqueLabels(Random& random, std::uint64_t expectedDomains)
        : m_random(random)
        , m_offset(random.Next())
    {
        while (m_bits < 26 && (std::uint64_t(1) << m_bits) < expectedDomains * 8)
            ++m_bits;
    }

    void UniqueLabels::Next(std::string& label)
    {
        constexpr std::uint64_t kMultiplier = 0x5851F42D4C957F2Dull;
        const std::uint64_t mask = (std::uint64_t(1) << m_bits) - 1;
        std::uint64_t value = ((m_index++ * kMultiplier + m_offset) & mask) + 1;
        label.clear();
        const unsigned decoration = m_random.Below(10);
        if (decoration == 0)
            label += kWords[m_random.Below(std::size(kWords))];
        while (value > 0)
        {
            --value;
            label += kSyllables[value % 20];
            value /= 20;
        }
        if (decoration == 1)
        {
            label += '-';
            label += kWords[m_random.Below(std::size(kWords))];
        }
        else if (decoration == 2)
        {
            char digits[4];
            const auto result = std::to_chars(digits, digits + sizeof digits, m_random.Below(100));
            label.append(digits, result.ptr);
        }
    }

    std::string Upper(std::string text)
    {
        for (char& c : text)
        {
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
        }
        return text;
    }

    std::string Lower(std::string text)
    {
        for (char& c : text)
        {
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        }
        return text;
    }

    std::string MixCase(std::string name, Random& random)
    {
        switch (random.Below(6))
        {
        case 0:
            return Upper(std::move(name));
        case 1:
            for (std::size_t i = 0; i < name.size(); ++i)
            {
                if ((i == 0 || name[i - 1] == '.') && name[i] >= 'a' && name[i] <= 'z')
                    name[i] = static_cast<char>(name[i] - 'a' + 'A');
            }
            return name;
        default:
            return name;
        }
    }

    std::vector<std::string> LowerCaseHosters()
    {
        std::vector<std::string> hosters;
        for (const std::string_view hoster : kHosters)
            hosters.push_back(Lower(std::string(hoster)) + ".");
        return hosters;
    }

    void AppendHex(std::string& text, Random& random, unsigned digits)
    {
        constexpr char kHex[] = "0123456789ABCDEF";
        for (unsigned i = 0; i < digits; ++i)
            text += kHex[random.Below(16)];
    }

    void AppendBase32Hex(std::string& text, Random& random, unsigned characters)
    {
        constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuv";
        for (unsigned i = 0; i < characters; ++i)
            text += kDigits[random.Below(32)];
    }

    void AppendBase64(std::string& text, Random& random, unsigned bytes)
    {
        constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (unsigned i = 0; i < bytes; i += 3)
        {
            const unsigned group = random.Below(1u << 24);
            const unsigned present = bytes - i < 3 ? bytes - i : 3;
            for (unsigned k = 0; k < 4; ++k)
                text += k <= present ? kDigits[(group >> (18 - 6 * k)) & 63] : '=';
        }
    }

    std::string Ipv4(Random& random)
    {
        return "192.0." + std::to_string(random.Below(256)) + "." + std::to_string(1 + random.Below(254));
    }

    unsigned ServerCount(Random& random)
    {
        const unsigned draw = random.Below(20);
        return draw < 11 ? 2 : draw < 17 ? 3 : 4;
    }
}
