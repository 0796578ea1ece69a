#include "progress_line.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>

namespace plexor
{
    namespace
    {
        std::string FormatDuration(double seconds)
        {
            const auto total = static_cast<std::uint64_t>(std::llround(seconds));
            char text[32];
            if (total >= 3600)
                std::snprintf(text, sizeof text, "%" PRIu64 ":%02u:%02u", total / 3600,
                              static_cast<unsigned>(total / 60 % 60), static_cast<unsigned>(total % 60));
            else
                std::snprintf(text, sizeof text, "%u:%02u", static_cast<unsigned>(total / 60),
                              static_cast<unsigned>(total % 60));
            return text;
        }
    }

    std::string FormatProgressLine(const HeadlessRunProgress& progress, double elapsedSeconds)
    {
        std::string line;
        char part[64];
        const bool sized = progress.rawSize > 0;
        if (sized)
        {
            const std::uint64_t read = std::min(progress.rawBytesRead, progress.rawSize);
            std::snprintf(part, sizeof part, "%3u%%  ", static_cast<unsigned>(read * 100 / progress.rawSize));
            line += part;
        }
        std::snprintf(part, sizeof part, "%" PRIu64 " lines  %" PRIu64 " names", progress.linesRead,
                      progress.namesExtracted);
        line += part;
        if (elapsedSeconds > 0)
        {
            const double bytesPerSecond = static_cast<double>(progress.rawBytesRead) / elapsedSeconds;
            std::snprintf(part, sizeof part, "  %.1f MB/s", bytesPerSecond / 1e6);
            line += part;
            if (sized && bytesPerSecond > 0 && progress.rawBytesRead < progress.rawSize)
            {
                const double left = static_cast<double>(progress.rawSize - progress.rawBytesRead) / bytesPerSecond;
                line += "  " + FormatDuration(left) + " left";
            }
        }
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
