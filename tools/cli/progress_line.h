#pragma once

// The progress line of plexor2-extract: one line on standard error,
// rewritten in place a few times a second while a run goes on, and cleared
// at its end.

#include <cstddef>
#include <cstdio>
#include <string>

#include "run/headless_run.h"

namespace plexor
{
    // "37%  1200000 lines  35000 names  212.4 MB/s  0:04 left" for an input
    // of known size; without the percent and the time left for a pipe, and
    // without the time left in the first moments (RunProgressFrom). The rate
    // is the zone file's bytes as stored (compressed for gzip) per second
    // since the start.
    std::string FormatProgressLine(const HeadlessRunProgress& progress, double elapsedSeconds);

    // Writes progress lines over each other on one terminal line.
    class ProgressLine final
    {
    public:
        explicit ProgressLine(std::FILE* stream)
            : m_stream(stream)
        {
        }

        // Replaces the line shown with `text`.
        void Show(const std::string& text);
        // Blanks the line and leaves the cursor at its start.
        void Clear();

    private:
        std::FILE* m_stream;
        std::size_t m_shown = 0; // characters of the line now shown
    };
}
