#pragma once

// What the program does when it cannot show its window: on a desktop without
// a display (a server console, an SSH session without X forwarding) Qt would
// end the program with an abort and a core dump. Instead the program says
// why it cannot start and exits with a failure code.

#include <optional>
#include <string>

namespace plexor
{
    // The exit code of a start without a display.
    inline constexpr int kNoDisplayExitCode = 1;

    // The message for a start on an X11/Wayland system with no display
    // named, from the values of QT_QPA_PLATFORM, DISPLAY and WAYLAND_DISPLAY
    // (null when not set). Empty when a display, or an explicit Qt platform
    // such as "offscreen", is named: the program then tries to start.
    std::optional<std::string> NoDisplayMessage(const char* qtPlatform, const char* display,
                                                const char* waylandDisplay);

    // NoDisplayMessage for this process's environment on Linux and the other
    // freedesktop systems; always empty on Windows and macOS.
    std::optional<std::string> CheckDisplayEnvironment();

    // Watches the start of the window system: while it is installed, a fatal
    // Qt message (which Qt raises when no platform plugin can open a display,
    // for instance when DISPLAY names a display that is not there) is printed
    // with an explanation and the process exits with kNoDisplayExitCode
    // instead of aborting. Other messages go on to the handler that was there
    // before. Install it just for the construction of the application object.
    class PlatformStartGuard final
    {
    public:
        PlatformStartGuard();
        ~PlatformStartGuard();
        PlatformStartGuard(const PlatformStartGuard&) = delete;
        PlatformStartGuard& operator=(const PlatformStartGuard&) = delete;
    };
}
