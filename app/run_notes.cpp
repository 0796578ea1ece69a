#include "run_notes.h"

#include <QStringList>

namespace plexor
{
    QString LineLimitNote(std::uint64_t lineLimit)
    {
#ifdef Q_OS_WIN
        const QString menu = QStringLiteral("open the window's system menu");
#else
        const QString menu = QStringLiteral("right-click the window");
#endif
        return QStringLiteral("The run stopped at the line limit of %1 lines; the zone file has more lines. "
                              "The output holds the names found up to there.\n"
                              "To change the limit, %2, choose \"Line Limit...\" and enter a larger number, "
                              "or 0 for no limit.")
            .arg(lineLimit)
            .arg(menu);
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
        else if (outcome.stoppedAtLineLimit)
            parts.append(LineLimitNote(outcome.lineLimit));
        if (outcome.unreadableRecords > 0)
            parts.append(UnreadableRecordsNote(outcome.unreadableRecords));
        if (outcome.layoutHint && !outcome.layoutHint->empty())
            parts.append(QString::fromStdString(*outcome.layoutHint));
        return parts.join(QStringLiteral("\n\n"));
    }
}
