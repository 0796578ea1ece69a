#pragma once

// The application object: sets up the application's identity and settings
// store, shows the main dialog modally and ends when it closes.

#include <QApplication>
#include <QString>

namespace plexor
{
    // The application's name from the path it was started by: the file name
    // without folder and extension ("C:\Tools\Plexor2.exe" and
    // "/usr/bin/Plexor2" both give "Plexor2"). A renamed copy thus gets a
    // settings key, and so settings, of its own. Falls back to "Plexor2".
    QString ApplicationNameFromPath(const QString& programPath);
    // The application's name from the executable file the process runs
    // (resolved through links), once the application object exists.
    QString ApplicationNameFromExecutable();

    class ExtractorApp final
    {
    public:
        ExtractorApp(int& argc, char** argv);
        ExtractorApp(const ExtractorApp&) = delete;
        ExtractorApp& operator=(const ExtractorApp&) = delete;

        // Runs the main dialog until it closes; returns the exit code.
        int Run();

    private:
        QApplication m_application;
    };
}
