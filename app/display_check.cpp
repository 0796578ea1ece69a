#include "display_check.h"

#include <cstdio>
#include <cstdlib>

#include <QtGlobal>

namespace plexor
{
    namespace
    {
        constexpr char kNoDisplayText[] =
            "Plexor2 needs a graphical desktop session, but no display could be opened.\n"
            "Start it from a desktop session (X11 or Wayland), where DISPLAY or WAYLAND_DISPLAY names a running display.\n";

        bool IsSet(const char* value)
        {
            return value != nullptr && *value != '\0';
        }

        QtMessageHandler g_previousHandler = nullptr;

        void ReportFailedPlatformStart(QtMsgType type, const QMessageLogContext& context, const QString& message)
        {
            if (g_previousHandler != nullptr)
                g_previousHandler(type, context, message);
            if (type == QtFatalMsg)
            {
                std::fputs(kNoDisplayText, stderr);
                std::fflush(stderr);
                // Not abort(): a missing display is a user's situation, not a
                // program fault worth a core dump.
                std::_Exit(kNoDisplayExitCode);
            }
        }
    }

    std::optional<std::string> NoDisplayMessage(const char* qtPlatform, const char* display,
                                                const char* waylandDisplay)
    {
        if (IsSet(qtPlatform) || IsSet(display) || IsSet(waylandDisplay))
            return std::nullopt;
        return std::string(kNoDisplayText);
    }

    std::optional<std::string> CheckDisplayEnvironment()
    {
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN) && !defined(Q_OS_ANDROID)
        return NoDisplayMessage(std::getenv("QT_QPA_PLATFORM"), std::getenv("DISPLAY"),
                                std::getenv("WAYLAND_DISPLAY"));
#else
        return std::nullopt;
#endif
    }

    PlatformStartGuard::PlatformStartGuard()
    {
        g_previousHandler = qInstallMessageHandler(ReportFailedPlatformStart);
    }

    PlatformStartGuard::~PlatformStartGuard()
    {
        qInstallMessageHandler(g_previousHandler);
        g_previousHandler = nullptr;
    }
}
