// The progress figures of a run: percent of the stored bytes, rate, and the
// time-left rule at its edges, and the running time that leaves pauses out.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>

#include <gtest/gtest.h>

#include "run/run_progress.h"

namespace plexor
{
    namespace
    {
        using std::chrono::milliseconds;
        using std::chrono::seconds;

        bool Near(std::optional<double> got, std::optional<double> wanted)
        {
            if (!got || !wanted)
                return got.has_value() == wanted.has_value();
            return std::abs(*got - *wanted) <= 1e-9 * std::max(1.0, std::abs(*wanted));
        }

        TEST(RunProgress, FiguresAndTheTimeLeftRule)
        {
            const struct
            {
                const char* what;
                RunBytes bytes;
                double seconds;
                bool paused;
                std::optional<unsigned> percent;
                std::optional<double> rate;
                std::optional<double> left;
            } cases[] = {
                {"start", {0, 1000}, 0.0, false, 0u, std::nullopt, std::nullopt},
                {"nothing read yet", {0, 1000}, 5.0, false, 0u, 0.0, std::nullopt},
                {"first moments: no guess", {100, 1000}, 0.9, false, 10u, 100.0 / 0.9, std::nullopt},
                {"first guess", {100, 1000}, 1.0, false, 10u, 100.0, 9.0},
                {"middle", {250, 1000}, 2.0, false, 25u, 125.0, 6.0},
                {"paused: no guess", {250, 1000}, 2.0, true, 25u, 125.0, std::nullopt},
                {"all read", {1000, 1000}, 2.0, false, 100u, 500.0, std::nullopt},
                {"a file that grew", {1500, 1000}, 2.0, false, 100u, 750.0, std::nullopt},
                {"size unknown", {5000, 0}, 2.0, false, std::nullopt, 2500.0, std::nullopt},
                {"time gone back", {100, 1000}, -1.0, false, 10u, std::nullopt, std::nullopt},
            };
            for (const auto& c : cases)
            {
                const RunProgressFigures figures = RunProgressFrom(c.bytes, c.seconds, c.paused);
                EXPECT_EQ(figures.percent, c.percent) << c.what;
                EXPECT_TRUE(Near(figures.bytesPerSecond, c.rate)) << c.what;
                EXPECT_TRUE(Near(figures.secondsLeft, c.left)) << c.what;
                EXPECT_EQ(figures.paused, c.paused) << c.what;
            }
        }

        TEST(RunProgress, DurationsRoundAndNeverGoNegative)
        {
            EXPECT_EQ(FormatRunDuration(0.4), "0:00");
            EXPECT_EQ(FormatRunDuration(3.5), "0:04");
            EXPECT_EQ(FormatRunDuration(369), "6:09");
            EXPECT_EQ(FormatRunDuration(3999), "1:06:39");
            EXPECT_EQ(FormatRunDuration(-5), "0:00");
            // A rate near nothing gives an absurd guess, never a wrapped one.
            EXPECT_EQ(FormatRunDuration(1e300), "277777777:46:40");
        }

        TEST(RunProgressMeter, PausesAreLeftOutOfTheRunningTime)
        {
            const RunProgressMeter::TimePoint start {seconds(100)};
            RunProgressMeter meter;
            meter.Start(start);
            const RunBytes middle {250, 1000};

            EXPECT_FALSE(meter.Look(start, {0, 1000}, false).bytesPerSecond);
            EXPECT_EQ(meter.Look(start + seconds(2), middle, false).secondsLeft, 6.0);

            // Paused at 2 s: said so, no guess, and the ten seconds paused
            // do not lower the rate.
            const RunProgressFigures paused = meter.Look(start + seconds(2), middle, true);
            EXPECT_TRUE(paused.paused);
            EXPECT_FALSE(paused.secondsLeft);
            EXPECT_FALSE(meter.Look(start + seconds(12), middle, true).secondsLeft);
            const RunProgressFigures resumed = meter.Look(start + seconds(12), middle, false);
            EXPECT_EQ(resumed.bytesPerSecond, 125.0);
            EXPECT_EQ(resumed.secondsLeft, 6.0);

            // A new start forgets the last run.
            meter.Start(start + seconds(20));
            const RunProgressFigures next = meter.Look(start + seconds(20) + milliseconds(500), {50, 1000}, false);
            EXPECT_EQ(next.bytesPerSecond, 100.0);
            EXPECT_FALSE(next.secondsLeft);
        }
    }
}
