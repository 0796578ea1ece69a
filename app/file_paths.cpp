#include "file_paths.h"

#include <system_error>

#include <QFile>

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
}
