// The edges of the time-left rule that the progress line's tests do not
// reach, and the running time that leaves pauses out.

#include <chrono>
#include <optional>

#include <gtest/gtest.h>

#include "run/run_progress.h"

namespace plexor
{
    namespace
    {
        TEST(RunProgress, TimeLeftRuleEdges)
        {
            const RunBytes tenth {100, 1000};
            EXPECT_FALSE(RunProgressFrom(tenth, 0.999).secondsLeft);      // the first moments
            EXPECT_EQ(RunProgressFrom(tenth, 1.0).secondsLeft, 9.0);       // the first guess
            EXPECT_FALSE(RunProgressFrom(tenth, 2.0, true).secondsLeft);   // paused
            EXPECT_TRUE(RunProgressFrom(tenth, 2.0, true).paused);
            EXPECT_FALSE(RunProgressFrom(tenth, -1.0).bytesPerSecond);     // a clock gone back
            EXPECT_FALSE(RunProgressFrom({0, 1000}, 5.0).secondsLeft);     // nothing read yet
            EXPECT_EQ(FormatRunDuration(-5), "0:00");
            EXPECT_EQ(FormatRunDuration(1e300), "277777777:46:40");
        }

        TEST(RunProgressMeter, PausesAreLeftOutOfTheRunningTime)
        {
            using std::chrono::seconds;
            const RunProgressMeter::TimePoint start {seconds(100)};
            const RunBytes quarter {250, 1000};
            RunProgressMeter meter;
            meter.Start(start);
            EXPECT_EQ(meter.Look(start + seconds(2), quarter, false).secondsLeft, 6.0);
            EXPECT_FALSE(meter.Look(start + seconds(2), quarter, true).secondsLeft);
            // Ten seconds paused do not lower the rate.
            EXPECT_EQ(meter.Look(start + seconds(12), quarter, false).secondsLeft, 6.0);
        }
    }
}
