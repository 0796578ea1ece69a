#include "run/run_progress.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>

#include "input/zone_line_reader.h"

namespace plexor
{
    RunBytes ReadProgress(const ZoneLineReader& zoneFile, const ZoneLineReader* olderZoneFile)
    {
        RunBytes bytes {zoneFile.RawBytesRead(), zoneFile.RawSize()};
        if (olderZoneFile != nullptr)
        {
            bytes.read += olderZoneFile->RawBytesRead();
            bytes.size = bytes.size == 0 || olderZoneFile->RawSize() == 0 ? 0 : bytes.size + olderZoneFile->RawSize();
        }
        return bytes;
    }

    RunProgressFigures RunProgressFrom(const RunBytes& bytes, double runningSeconds, bool paused)
    {
        RunProgressFigures figures;
        figures.paused = paused;
        const bool sized = bytes.size > 0;
        if (sized)
        {
            const std::uint64_t read = std::min(bytes.read, bytes.size);
            figures.percent = static_cast<unsigned>(read * 100 / bytes.size);
        }
        if (!(runningSeconds > 0))
            return figures;
        const double bytesPerSecond = static_cast<double>(bytes.read) / runningSeconds;
        figures.bytesPerSecond = bytesPerSecond;
        if (sized && !paused && bytesPerSecond > 0 && bytes.read < bytes.size
            && runningSeconds >= kFirstEstimateSeconds)
        {
            const double left = static_cast<double>(bytes.size - bytes.read) / bytesPerSecond;
            figures.secondsLeft = std::max(0.0, left);
        }
        return figures;
    }

    std::string FormatRunDuration(double seconds)
    {
        // Past about 30,000 years the hours are shown as that many; a
        // duration beyond what a whole number holds cannot be rounded.
        constexpr double kLongest = 1e12;
        const double shown = std::isnan(seconds) ? 0.0 : std::clamp(seconds, 0.0, kLongest);
        const auto total = static_cast<std::uint64_t>(std::llround(shown));
        char text[32];
        if (total >= 3600)
            std::snprintf(text, sizeof text, "%" PRIu64 ":%02u:%02u", total / 3600,
                          static_cast<unsigned>(total / 60 % 60), static_cast<unsigned>(total % 60));
        else
            std::snprintf(text, sizeof text, "%u:%02u", static_cast<unsigned>(total / 60),
                          static_cast<unsigned>(total % 60));
        return text;
    }

    void RunProgressMeter::Start(TimePoint now)
    {
        m_lastLook = now;
        m_pausedAtLastLook = false;
        m_runningSeconds = 0;
    }

    RunProgressFigures RunProgressMeter::Look(TimePoint now, const RunBytes& bytes, bool paused)
    {
        // A clock that went back adds nothing.
        if (now > m_lastLook && !m_pausedAtLastLook)
            m_runningSeconds += std::chrono::duration<double>(now - m_lastLook).count();
        m_lastLook = std::max(now, m_lastLook);
        m_pausedAtLastLook = paused;
        return RunProgressFrom(bytes, m_runningSeconds, paused);
    }
}
