#include "cli/stop_request.h"

#include <atomic>
#include <csignal>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <chrono>
#include <thread>
#endif

#include "extraction/extraction_state.h"

namespace plexor
{
    namespace
    {
        // Written by the handler on whichever thread took the signal, read
        // by the main thread.
        std::atomic<int> g_stopSignal {0};
        // Set once the program has written and closed everything.
        std::atomic<bool> g_finished {false};
        static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
                      "the signal handler may only store to lock-free atomics");

        // Only atomic stores here; a second signal of the same kind finds
        // the default action again and ends the process at once.
        extern "C" void RequestStop(int signal)
        {
            g_stopSignal.store(signal);
            SetAbortRequested(true);
        }
    }

#ifdef _WIN32
    int __stdcall HandleConsoleEvent(unsigned long event)
    {
        if (g_stopSignal.load() != 0)
            return FALSE;
        const bool interrupt = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
        RequestStop(interrupt ? SIGINT : SIGTERM);
        if (!interrupt)
        {
            // Windows ends the process as soon as this returns, and gives it
            // about five seconds: the worker writes its last batch and
            // closes the files meanwhile.
            for (int waited = 0; waited < 90 && !g_finished.load(); ++waited)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return TRUE;
    }
#endif

    void InstallStopHandlers()
    {
#ifdef _WIN32
        static_assert(sizeof(unsigned long) == sizeof(DWORD));
        SetConsoleCtrlHandler(HandleConsoleEvent, TRUE);
#else
        struct sigaction action {};
        action.sa_handler = RequestStop;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND | SA_RESTART;
        sigaction(SIGINT, &action, nullptr);
        sigaction(SIGTERM, &action, nullptr);
#endif
    }

    int StopSignal()
    {
        return g_stopSignal.load();
    }

    int StopExitCode(int signal)
    {
        return 128 + signal;
    }

    void MarkFinished()
    {
        g_finished.store(true);
    }
}
