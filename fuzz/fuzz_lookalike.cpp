// Fuzz target: the fast look-alike matcher against the reference rules.
// The first byte chooses k (automatic, or 0 to 3 for all terms) and how
// many of the lines that follow are terms (1 to 8); the other lines are
// names, each matched as it stands, upper-cased and with its first byte
// dropped. Terms and names may be any bytes: invalid UTF-8, "xn--" labels
// that do or do not decode, empty labels. Any difference in term, kind or
// distance aborts; so does a crash in UnicodeName.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "lookalike/matcher.h"
#include "lookalike/unicode_name.h"
#include "lookalike/reference_matcher.h"
#include "lookalike/terms.h"

using namespace plexor::lookalike;

namespace
{
    constexpr std::size_t kMaxNames = 64;
    constexpr std::size_t kMaxNameBytes = 300;

    std::vector<std::string_view> Lines(std::string_view text)
    {
        std::vector<std::string_view> lines;
        while (!text.empty())
        {
            const std::size_t end = text.find('\n');
            lines.push_back(text.substr(0, end));
            text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        }
        return lines;
    }

    std::string Upper(std::string_view text)
    {
        std::string out(text);
        for (char& c : out)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
        return out;
    }

    void Compare(const Matcher& fast, const ReferenceMatcher& plain, std::string_view name)
    {
        if (name.size() > kMaxNameBytes)
            name = name.substr(0, kMaxNameBytes);
        const auto a = fast.MatchName(name);
        const auto b = plain.MatchName(name);
        PLEXOR_FUZZ_CHECK(a.has_value() == b.has_value());
        if (a)
        {
            PLEXOR_FUZZ_CHECK(a->term == b->term);
            PLEXOR_FUZZ_CHECK(a->kind == b->kind);
            PLEXOR_FUZZ_CHECK(a->distance == b->distance);
        }
        const std::string unicode = UnicodeName(name);
        PLEXOR_FUZZ_CHECK(unicode.empty() || unicode.find('.') != std::string::npos || name.find('.') == std::string_view::npos);
    }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const int k = data[0] % 5 - 1;
    const std::size_t termLines = 1 + data[0] / 5 % 8;
    const std::vector<std::string_view> lines =
        Lines(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));

    LookalikeSettings settings;
    settings.maxDistance = k;
    std::vector<std::string_view> names;
    for (std::size_t i = 0; i < lines.size(); ++i)
    {
        if (i < termLines)
        {
            // Only terms the term list accepts, as a run would have them.
            const TermList parsed = ParseTermList(lines[i]);
            if (parsed.error.empty())
                settings.terms.insert(settings.terms.end(), parsed.terms.begin(), parsed.terms.end());
        }
        else if (names.size() < kMaxNames)
            names.push_back(lines[i]);
    }
    if (!settings.terms.empty())
        settings.exceptions = {std::string(settings.terms.front()) + ".example"};
    std::string error;
    const auto fast = Matcher::Create(settings, error);
    if (!fast)
    {
        PLEXOR_FUZZ_CHECK(!error.empty());
        return 0;
    }
    const ReferenceMatcher plain(fast->Terms());
    for (const std::string& term : settings.terms)
        Compare(*fast, plain, term);
    for (const std::string_view name : names)
    {
        Compare(*fast, plain, name);
        Compare(*fast, plain, Upper(name));
        if (!name.empty())
            Compare(*fast, plain, name.substr(1));
    }
    return 0;
}
