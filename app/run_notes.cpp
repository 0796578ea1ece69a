#include "run_notes.h"

#include <QStringList>

#include "extraction/run_messages.h"

namespace plexor
{
    QString LineLimitNote(std::uint64_t lineLimit)
    {
#ifdef Q_OS_WIN
        const QString menu = QStringLiteral("open the window's system menu");
#else
        const QString menu = QStringLiteral("right-click the window");
#endif
        return QString::fromStdString(LineLimitMessage(lineLimit))
             + QStringLiteral("\nTo change the limit, %1 and choose \"Line Limit...\".").arg(menu);
    }

    QString UnreadableRecordsNote(std::uint64_t count)
    {
        return count == 1 ? QStringLiteral("1 record of the zone file could not be read and was skipped.")
                          : QStringLiteral("%1 records of the zone file could not be read and were skipped.")
                                .arg(count);
    }

    QString EndOfRunMessage(const RunOutcome& outcome)
    {
        QStringList parts;
        if (outcome.failure)
            parts.append(*outcome.failure);
        else if (outcome.comparisonAborted)
            parts.append(QString::fromLatin1(kComparisonAbortedMessage.data(),
                                             static_cast<qsizetype>(kComparisonAbortedMessage.size())));
        else if (outcome.stoppedAtLineLimit)
            parts.append(LineLimitNote(outcome.lineLimit));
        if (outcome.unreadableRecords > 0)
            parts.append(UnreadableRecordsNote(outcome.unreadableRecords));
        if (outcome.layoutHint && !outcome.layoutHint->empty())
            parts.append(QString::fromStdString(*outcome.layoutHint));
        return parts.join(QStringLiteral("\n\n"));
    }
}
