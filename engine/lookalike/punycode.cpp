#include "lookalike/punycode.h"

#include <cstdint>

namespace plexor::lookalike
{
    namespace
    {
        constexpr std::uint32_t kBase = 36, kTMin = 1, kTMax = 26, kSkew = 38, kDamp = 700;
        constexpr std::uint32_t kInitialBias = 72, kInitialN = 0x80;
        constexpr std::uint32_t kMaxInt = 0xFFFFFFFF;

        std::uint32_t Adapt(std::uint32_t delta, std::uint32_t points, bool first)
        {
            delta = first ? delta / kDamp : delta / 2;
            delta += delta / points;
            std::uint32_t k = 0;
            while (delta > ((kBase - kTMin) * kTMax) / 2)
            {
                delta /= kBase - kTMin;
                k += kBase;
            }
            return k + (kBase - kTMin + 1) * delta / (delta + kSkew);
        }

        // The value of a Punycode digit, kBase when c is none.
        std::uint32_t Digit(char c)
        {
            if (c >= '0' && c <= '9')
                return static_cast<std::uint32_t>(c - '0' + 26);
            if (c >= 'a' && c <= 'z')
                return static_cast<std::uint32_t>(c - 'a');
            if (c >= 'A' && c <= 'Z')
                return static_cast<std::uint32_t>(c - 'A');
            return kBase;
        }
    }

    bool DecodePunycode(std::string_view text, std::u32string& out)
    {
        out.clear();
        const std::size_t delimiter = text.rfind('-');
        const std::size_t basicEnd = delimiter == std::string_view::npos ? 0 : delimiter;
        for (std::size_t i = 0; i < basicEnd; ++i)
        {
            if (static_cast<unsigned char>(text[i]) >= 0x80)
                return false;
            out.push_back(static_cast<unsigned char>(text[i]));
        }
        std::uint32_t n = kInitialN, i = 0, bias = kInitialBias;
        // As RFC 3492 has it: a delimiter at the very start is read as a digit.
        for (std::size_t in = basicEnd > 0 ? basicEnd + 1 : 0; in < text.size();)
        {
            const std::uint32_t oldI = i;
            std::uint32_t w = 1;
            for (std::uint32_t k = kBase;; k += kBase)
            {
                if (in >= text.size())
                    return false;
                const std::uint32_t digit = Digit(text[in++]);
                if (digit >= kBase || digit > (kMaxInt - i) / w)
                    return false;
                i += digit * w;
                const std::uint32_t t = k <= bias ? kTMin : k >= bias + kTMax ? kTMax : k - bias;
                if (digit < t)
                    break;
                if (w > kMaxInt / (kBase - t))
                    return false;
                w *= kBase - t;
            }
            const auto points = static_cast<std::uint32_t>(out.size() + 1);
            bias = Adapt(i - oldI, points, oldI == 0);
            if (i / points > kMaxInt - n)
                return false;
            n += i / points;
            i %= points;
            if (n > 0x10FFFF || (n >= 0xD800 && n <= 0xDFFF))
                return false;
            out.insert(out.begin() + i, static_cast<char32_t>(n));
            ++i;
        }
        return true;
    }
}
