#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "about/build_date.h"

namespace plexor {
namespace {

TEST(ConvertBuildDate, GivesMonthDayYear)
{
    struct Case
    {
        std::string_view compilerDate;
        std::string_view converted;
    };
    const Case cases[] = {
        // Day padding goes, two-digit days stay whole.
        {"Oct  1 2003", "10.1.2003"},
        {"Dec 31 2003", "12.31.2003"},
        {"Oct 10 2003", "10.10.2003"},
        {"Oct 11 2003", "10.11.2003"},
        // Every month.
        {"Jan  5 2026", "01.5.2026"},
        {"Feb 28 2026", "02.28.2026"},
        {"Mar  3 2026", "03.3.2026"},
        {"Apr 30 2026", "04.30.2026"},
        {"May 15 2026", "05.15.2026"},
        {"Jun  9 2026", "06.9.2026"},
        {"Jul 20 2026", "07.20.2026"},
        {"Aug  1 2026", "08.1.2026"},
        {"Sep 12 2026", "09.12.2026"},
        {"Oct 31 2026", "10.31.2026"},
        {"Nov 11 2026", "11.11.2026"},
        {"Dec 25 2026", "12.25.2026"},
        // Double blanks are collapsed in one pass: three become two.
        {"Oct   1 2003", "10..1.2003"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.compilerDate));
        EXPECT_EQ(ConvertBuildDate(c.compilerDate), c.converted);
    }
}

// The compiled-in date converts to a two-digit month, a day of one or two
// digits and a four-digit year.
TEST(BuildDateText, HasTheConvertedForm)
{
    const std::string text = BuildDateText();
    const std::size_t firstDot = text.find('.');
    const std::size_t secondDot = text.find('.', firstDot + 1);
    ASSERT_NE(secondDot, std::string::npos) << text;

    const std::string month = text.substr(0, firstDot);
    const std::string day = text.substr(firstDot + 1, secondDot - firstDot - 1);
    const std::string year = text.substr(secondDot + 1);
    const auto allDigits = [](const std::string& part) {
        return !part.empty() && std::all_of(part.begin(), part.end(), [](unsigned char c) { return std::isdigit(c); });
    };
    ASSERT_TRUE(allDigits(month) && allDigits(day) && allDigits(year)) << text;
    EXPECT_EQ(month.size(), 2u) << text;
    EXPECT_TRUE(month >= "01" && month <= "12") << text;
    EXPECT_TRUE(day[0] != '0' && std::stoi(day) <= 31) << text;
    EXPECT_EQ(year.size(), 4u) << text;
}

} // namespace
} // namespace plexor
