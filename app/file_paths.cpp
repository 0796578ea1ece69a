#include "file_paths.h"

#include <system_error>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace plexor
{
    std::filesystem::path ToFilesystemPath(const QString& path)
    {
#ifdef Q_OS_WIN
        return std::filesystem::path(path.toStdWString());
#else
        const QByteArray encoded = QFile::encodeName(path);
        return std::filesystem::path(std::string(encoded.constData(), static_cast<std::size_t>(encoded.size())));
#endif
    }

    bool RefersToSameFile(const QString& first, const QString& second)
    {
        std::error_code error;
        const bool same = std::filesystem::equivalent(ToFilesystemPath(first), ToFilesystemPath(second), error);
        return !error && same;
    }

    bool IsInSystemFolder(const QString& folder)
    {
#ifdef Q_OS_UNIX
        if (folder.isEmpty())
            return false;
        const QString absolute = QDir::cleanPath(QFileInfo(QDir::fromNativeSeparators(folder)).absoluteFilePath());
        QStringList candidates {absolute};
        const QString canonical = QFileInfo(absolute).canonicalFilePath(); // empty when it does not exist
        if (!canonical.isEmpty())
            candidates.append(canonical);
        for (const QString& candidate : candidates)
        {
            for (const char* root : {"/proc", "/sys", "/dev"})
            {
                const QString folderRoot = QString::fromLatin1(root);
                if (candidate == folderRoot || candidate.startsWith(folderRoot + QLatin1Char('/')))
                    return true;
            }
        }
#else
        Q_UNUSED(folder);
#endif
        return false;
    }
}
