#pragma once

// How plexor2-extract is asked to stop early: SIGINT (Ctrl-C) and SIGTERM on
// POSIX systems; on Windows, which has no such signals, Ctrl-C, Ctrl-Break,
// a closing console window, logging off and shutting down, through a console
// control handler. Each ends the run as Abort does: the worker writes the
// batch it holds, so the output holds whole lines, and closes both files.

namespace plexor
{
    void InstallStopHandlers();

    // The signal that asked the run to end, 0 while none has: SIGINT or
    // SIGTERM, on Windows too (Ctrl-C and Ctrl-Break count as SIGINT, the
    // others as SIGTERM).
    int StopSignal();

    // The exit code of a run it ended: 128 + the signal, so 130 for SIGINT
    // and 143 for SIGTERM, on every platform.
    int StopExitCode(int signal);

    // Everything is written and closed. On Windows a closing console waits
    // for this (a few seconds at most) before the process is ended.
    void MarkFinished();

#ifdef _WIN32
    // The console control handler (a PHANDLER_ROUTINE): true when it took
    // the event. A second event is left to the default handling, which ends
    // the process at once.
    int __stdcall HandleConsoleEvent(unsigned long event);
#endif
}
