#include "file_filters.h"

#include <QDir>
#include <QRegularExpression>

namespace plexor
{
    QStringList NameFiltersFromPairs(const QString& filterText)
    {
        static const QRegularExpression kTrailingPatternGroup(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));

        const QStringList pieces = filterText.split(QLatin1Char('|'));
        QStringList filters;
        for (qsizetype i = 0; i + 1 < pieces.size(); i += 2)
        {
            QString name = pieces.at(i).trimmed();
            const QString patternText = pieces.at(i + 1).trimmed();
            if (name.isEmpty() && patternText.isEmpty())
                break; // the closing empty pair

            QStringList patterns;
            for (const QString& piece : patternText.split(QLatin1Char(';'), Qt::SkipEmptyParts))
            {
                const QString pattern = piece.trimmed();
                if (pattern.isEmpty())
                    continue;
                patterns.append(pattern == QLatin1String("*.*") ? QStringLiteral("*") : pattern);
            }
            if (patterns.isEmpty())
                continue;

            // Qt reads the patterns from the last parenthesised group, so the
            // one the display name already carries is replaced.
            name.remove(kTrailingPatternGroup);
            if (name.isEmpty())
                name = patterns.join(QLatin1Char(' '));
            filters.append(name + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')'));
        }
        return filters;
    }

    QString RememberedLocationFor(const QString& nativePath, const QString& defaultExtension)
    {
        const qsizetype separator = nativePath.lastIndexOf(QDir::separator());
        if (separator < 0)
            return QString();
        return nativePath.left(separator + 1) + QStringLiteral("*.") + defaultExtension;
    }

    InitialLocation SplitRememberedLocation(const QString& location)
    {
        const QString path = QDir::fromNativeSeparators(location);
        const qsizetype separator = path.lastIndexOf(QLatin1Char('/'));
        if (separator < 0)
            return {QString(), path};
        return {path.left(separator + 1), path.mid(separator + 1)};
    }
}
