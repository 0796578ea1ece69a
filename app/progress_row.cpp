// The main dialog's status line and, under it, the progress row: the bar
// with the percentage of the input read and the time left, brought up to
// date a few times a second while a run is active.

#include <chrono>

#include <QProgressBar>
#include <QTimer>

#include "about/dialog_units.h"
#include "control_ids.h"
#include "control_template.h"
#include "elided_label.h"
#include "main_dialog.h"
#include "zone_list_run.h"

namespace plexor
{
    namespace
    {
        namespace id = control_id;

        constexpr ControlTemplate kStatusRows[] {
            {id::kStatusLine, ControlKind::StatusText, 5, 225, 219, 11, "", nullptr, "Run status"},
        };

        // The progress row under the status line: the bar with the
        // percentage of the zone file read, and beside it the time left (x,
        // y, width, height in dialog units, as the template).
        constexpr int kProgressRow[] = {5, 240, 219, 10};
        constexpr int kTimeLeftRow[] = {231, 240, 46, 10};
        constexpr char kProgressBarName[] = "Run progress";
        constexpr char kTimeLeftName[] = "Time left";
    }

    void MainDialog::CreateStatusAndProgressRows(ControlBuilder& builder)
    {
        builder.Build(kStatusRows);
        m_statusLine = qobject_cast<ElidedLabel*>(ControlById(id::kStatusLine));

        const DialogUnits& units = builder.Units();
        const auto [barX, barY, barWidth, barHeight] = kProgressRow;
        m_progressBar = new QProgressBar(this);
        m_progressBar->setGeometry(units.ToPixels(barX, barY, barWidth, barHeight));
        m_progressBar->setObjectName(QStringLiteral("runProgress"));
        m_progressBar->setAccessibleName(QString::fromLatin1(kProgressBarName));
        m_progressBar->setRange(0, 100);
        m_progressBar->setFormat(QStringLiteral("%p%"));
        m_progressBar->reset(); // empty until the first run
        m_progressBar->setEnabled(false); // greyed while no run is active

        const auto [textX, textY, textWidth, textHeight] = kTimeLeftRow;
        auto* timeLeft = new ElidedLabel(this);
        timeLeft->setGeometry(units.ToPixels(textX, textY, textWidth, textHeight));
        timeLeft->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        timeLeft->setObjectName(QStringLiteral("timeLeft"));
        timeLeft->setAccessibleName(QString::fromLatin1(kTimeLeftName));
        m_timeLeftText = timeLeft;

        m_progressTimer = new QTimer(this);
        m_progressTimer->setInterval(kProgressIntervalMs);
        connect(m_progressTimer, &QTimer::timeout, this, &MainDialog::RefreshRunProgress);
    }

    RunBytes MainDialog::RunProgressBytes() const
    {
        // Read while the worker reads: the counts are atomics, and the sizes
        // were set when the files were opened on this thread (for several
        // zones, when their list was made).
        if (m_zoneList)
            return m_zoneList->Progress(m_zoneFile);
        return ReadProgress(m_zoneFile, m_activeRunChanges != ZoneChanges::None ? &m_olderZoneFile : nullptr);
    }

    void MainDialog::RefreshRunProgress()
    {
        if (!IsRunActive())
            return;
        ShowRunProgress(m_progressMeter.Look(std::chrono::steady_clock::now(), RunProgressBytes(), IsPaused()));
    }

    void MainDialog::ShowRunProgress(const RunProgressFigures& figures)
    {
        if (figures.percent)
        {
            m_progressBar->setRange(0, 100);
            m_progressBar->setValue(static_cast<int>(*figures.percent));
        }
        else
        {
            // A size not known (a pipe): the bar only shows that the run
            // goes on.
            m_progressBar->setRange(0, 0);
        }
        QString timeLeft;
        if (figures.paused)
            timeLeft = QString::fromLatin1(kPausedText);
        else if (figures.secondsLeft)
            timeLeft = QString::fromLatin1(kTimeLeftFormat)
                           .arg(QString::fromStdString(FormatRunDuration(*figures.secondsLeft)));
        m_timeLeftText->setText(timeLeft);
        m_timeLeftText->setToolTip(timeLeft);
    }

    void MainDialog::BeginRunProgress()
    {
        m_progressMeter.Start(std::chrono::steady_clock::now());
        m_progressBar->setEnabled(true);
        RefreshRunProgress();
        m_progressTimer->start();
    }

    void MainDialog::EndRunProgress(bool complete)
    {
        m_progressTimer->stop();
        m_progressBar->setEnabled(false);
        m_progressBar->setRange(0, 100);
        if (complete)
            m_progressBar->setValue(100);
        else
            m_progressBar->reset();
        m_timeLeftText->clear();
        m_timeLeftText->setToolTip(QString());
    }
}
