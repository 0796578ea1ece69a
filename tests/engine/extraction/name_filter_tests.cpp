#include <gtest/gtest.h>

#include "extraction/extraction_state.h"
#include "extraction/name_filter.h"

using namespace plexor;

namespace
{
    struct FilterCase
    {
        std::int32_t maxChars;
        std::int32_t minChars;
        const char* excluded;
        const char* include;
        const char* name;
        bool passes;
    };

    void PrintTo(const FilterCase& c, std::ostream* os)
    {
        *os << ::testing::PrintToString(std::string(c.name)) << " max " << c.maxChars << " min " << c.minChars
            << " excluded " << ::testing::PrintToString(std::string(c.excluded)) << " include "
            << ::testing::PrintToString(std::string(c.include));
    }

    class NameFilter : public ::testing::TestWithParam<FilterCase>
    {
    };

    TEST_P(NameFilter, Decides)
    {
        const FilterCase& c = GetParam();
        ApplyFilterSettings(c.maxChars, c.minChars, c.excluded, c.include, 0);
        EXPECT_EQ(PassesNameFilter(c.name), c.passes)
            << "name '" << c.name << "' max " << c.maxChars << " min " << c.minChars << " excluded '" << c.excluded
            << "' include '" << c.include << "'";
    }

    INSTANTIATE_TEST_SUITE_P(
        Length, NameFilter,
        ::testing::Values(FilterCase {10, 3, "", "", "ABC", true}, FilterCase {10, 3, "", "", "ABCDEFGHIJ", true},
                          FilterCase {10, 3, "", "", "AB", false}, FilterCase {10, 3, "", "", "ABCDEFGHIJK", false},
                          FilterCase {4, 4, "", "", "ABCD", true}, FilterCase {4, 4, "", "", "ABC", false},
                          FilterCase {3, 10, "", "", "ABCDE", false}, FilterCase {11, 11, "", "", "EXAMPLE.COM", true},
                          FilterCase {10, 0, "", "", "", true}, FilterCase {-1, -5, "", "", "", false},
                          // Length counts bytes: "é" is two.
                          FilterCase {5, 5, "", "", "CAF\xC3\xA9", true}));

    INSTANTIATE_TEST_SUITE_P(
        IncludeWords, NameFilter,
        ::testing::Values(FilterCase {63, 1, "", "shop,buy", "BUYNOW.COM", true},
                          FilterCase {63, 1, "", "buy,shop", "BUYNOW.COM", true},
                          FilterCase {63, 1, "", "shop,buy", "EXAMPLE.COM", false},
                          FilterCase {63, 1, "", "shop,,buy", "EXAMPLE.COM", true},
                          FilterCase {63, 1, "", "shop", "shop.com", false},
                          FilterCase {63, 1, "", "SHOP", "MYSHOP.COM", true},
                          FilterCase {63, 1, "", "com, net", "X.NET", false},
                          FilterCase {63, 1, "", "com, net", "X NET", true}));

    INSTANTIATE_TEST_SUITE_P(
        ExcludedChars, NameFilter,
        ::testing::Values(FilterCase {63, 1, "0123456789", "", "SHOP24.COM", false},
                          FilterCase {63, 1, "0123456789", "", "SHOP.COM", true},
                          FilterCase {63, 1, "-", "", "MY-SHOP.COM", false},
                          FilterCase {63, 1, ".", "", "EXAMPLE.COM", false},
                          FilterCase {63, 1, "xyz-", "", "EXAMPLE.COM", false},
                          FilterCase {63, 1, "xyz-", "", "SHOP.COM", true},
                          // A typed é excludes names with é, not names that
                          // only share one of its bytes (è is C3 A8).
                          FilterCase {63, 1, "\xC3\xA9", "", "CAF\xC3\xA9.SE", false},
                          FilterCase {63, 1, "\xC3\xA9", "", "CAF\xC3\xA8.SE", true},
                          FilterCase {63, 1, "\xC3\xA9", "", "CAFE.SE", true},
                          // Checked before the include words and after length.
                          FilterCase {63, 1, "s", "shop", "SHOP.COM", false}));
}
