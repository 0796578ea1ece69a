#include <regex>
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

TEST(BuildDateText, HasTheConvertedForm)
{
    const std::string text = BuildDateText();
    EXPECT_TRUE(std::regex_match(text, std::regex(R"((0[1-9]|1[0-2])\.([1-9]|[12][0-9]|3[01])\.[0-9]{4})")))
        << text;
}

} // namespace
} // namespace plexor
