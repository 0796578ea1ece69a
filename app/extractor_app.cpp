#include "extractor_app.h"

#include <algorithm>

#include "main_dialog.h"
#include "program_icon.h"
#include "qt_dialog_services.h"
#include "settings_store.h"

namespace plexor
{
    QString ApplicationNameFromPath(const QString& programPath)
    {
        QString name = programPath;
        const qsizetype separator =
            std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
        name = name.mid(separator + 1);
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        if (dot > 0)
            name.truncate(dot);
        return name.isEmpty() ? QStringLiteral("Plexor2") : name;
    }

    QString ApplicationNameFromExecutable()
    {
        // The executable file itself, not argv[0]: a link or a wrapper that
        // starts the program under another name keeps its settings and
        // captions.
        return ApplicationNameFromPath(QCoreApplication::applicationFilePath());
    }

    ExtractorApp::ExtractorApp(int& argc, char** argv)
        : m_application(argc, argv)
    {
        QApplication::setApplicationName(ApplicationNameFromExecutable());
        QApplication::setOrganizationName(QString::fromLatin1(kCompanyKey));
        QApplication::setWindowIcon(ProgramIcon());
    }

    int ExtractorApp::Run()
    {
        SettingsStore settings(QApplication::applicationName());
        QtFileDialogs fileDialogs;
        QtMessageBoxes messageBoxes;
        QtDesktopOpener desktop;
        QtAboutBoxPresenter aboutBox;
        MainDialog dialog({settings, fileDialogs, messageBoxes, desktop, aboutBox});
        dialog.exec();
        return 0;
    }
}
