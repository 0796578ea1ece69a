#include "progress_line.h"

#include <cinttypes>

#include "run/run_progress.h"

namespace plexor
{
    std::string FormatProgressLine(const HeadlessRunProgress& progress, double elapsedSeconds)
    {
        const RunProgressFigures figures =
            RunProgressFrom(RunBytes {progress.rawBytesRead, progress.rawSize}, elapsedSeconds);
        std::string line;
        char part[64];
        if (figures.percent)
        {
            std::snprintf(part, sizeof part, "%3u%%  ", *figures.percent);
            line += part;
        }
        std::snprintf(part, sizeof part, "%" PRIu64 " lines  %" PRIu64 " names", progress.linesRead,
                      progress.namesExtracted);
        line += part;
        if (figures.bytesPerSecond)
        {
            std::snprintf(part, sizeof part, "  %.1f MB/s", *figures.bytesPerSecond / 1e6);
            line += part;
        }
        if (figures.secondsLeft)
            line += "  " + FormatRunDuration(*figures.secondsLeft) + " left";
        return line;
    }

    void ProgressLine::Show(const std::string& text)
    {
        // Blanks cover whatever of a longer line before is left.
        const std::size_t pad = m_shown > text.size() ? m_shown - text.size() : 0;
        std::fprintf(m_stream, "\r%s%*s", text.c_str(), static_cast<int>(pad), "");
        std::fflush(m_stream);
        m_shown = text.size();
    }

    void ProgressLine::Clear()
    {
        if (m_shown == 0)
            return;
        std::fprintf(m_stream, "\r%*s\r", static_cast<int>(m_shown), "");
        std::fflush(m_stream);
        m_shown = 0;
    }
}
