#pragma once

// How far a run has come and how long it may still take, measured in the
// zone file's bytes as stored (the compressed bytes of a gzip file). The
// command-line progress line and the window's progress bar both show these
// figures.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace plexor
{
    class ZoneLineReader;

    // The stored bytes of a run's input: read so far, and the whole size, 0
    // when it is not known (a pipe).
    struct RunBytes
    {
        std::uint64_t read = 0;
        std::uint64_t size = 0;
    };

    // How far a run has read: the zone file and, in a comparison, the older
    // one together (null: none).
    RunBytes ReadProgress(const ZoneLineReader& zoneFile, const ZoneLineReader* olderZoneFile);

    // No time left is guessed before a run has gone on this long: the first
    // moments mostly measure the start (opening the file, the first
    // buffers), and a guess from them would be far off.
    inline constexpr double kFirstEstimateSeconds = 1.0;

    struct RunProgressFigures
    {
        // Of the size, 0 to 100, never above 100 (a file that grew); none
        // when the size is unknown.
        std::optional<unsigned> percent;
        // Stored bytes per second of running time; none before any time has
        // passed.
        std::optional<double> bytesPerSecond;
        // Never negative; none while there is nothing to estimate: the size
        // unknown, all read, the first moments, nothing read yet, or a
        // paused run.
        std::optional<double> secondsLeft;
        bool paused = false;
    };

    // The figures of a run that has been running for `runningSeconds`
    // (pauses left out).
    RunProgressFigures RunProgressFrom(const RunBytes& bytes, double runningSeconds, bool paused = false);

    // "0:04", "6:09", "1:06:39": a duration rounded to whole seconds.
    std::string FormatRunDuration(double seconds);

    // Follows one run: counts its running time, leaving out the time it was
    // paused, from the looks taken at it now and then (a few times a second),
    // and gives the figures at each look.
    class RunProgressMeter final
    {
    public:
        using TimePoint = std::chrono::steady_clock::time_point;

        // The run starts (again) at `now`.
        void Start(TimePoint now);
        // The figures at `now`. The time since the previous look counts as
        // running time unless the run was paused at that look.
        RunProgressFigures Look(TimePoint now, const RunBytes& bytes, bool paused);

    private:
        TimePoint m_lastLook {};
        bool m_pausedAtLastLook = false;
        double m_runningSeconds = 0;
    };
}
