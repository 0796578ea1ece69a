// Job control of the real dialog under hostile timing: dozens of runs, one
// after the other in one dialog, each started with the buttons, then paused,
// resumed and aborted at points drawn from a PRNG with a fixed seed. After
// every run: the run has ended and its files are closed, the status line
// shows the final counts, the buttons are back to idle, no thread is left
// behind, and the output is whole CR LF lines that begin the output of the
// same run left to finish. While a run is active, closing the dialog and a
// second start are refused.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <random>
#include <thread>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "control_ids.h"
#include "extraction/extraction_state.h"
#include "fake_services.h"
#include "run/headless_run.h"
#include "extraction/run_messages.h"

using namespace plexor;
using namespace plexor::test;
namespace id = plexor::control_id;

namespace
{
    constexpr int kRuns = 30;
    constexpr std::uint32_t kSeed = 424242;
    constexpr int kRunTimeoutMs = 60000;

    struct Kind
    {
        const char* name;
        int startButton;
        int zoneType;
        bool append;
        QString zonePath;
        QByteArray fullOutput; // of the run left to finish
        QString fullStatus;
        std::uint64_t finalLines = 0; // linesRead at the end of that run
    };

    // Names that the dialog's default filters (5 to 18 characters, none of
    // x, y, z or "-") let through, and some that they drop.
    QByteArray GtldZone()
    {
        QByteArray zone = "; stress zone\n$ORIGIN COM.\n";
        for (int i = 0; i < 60000; ++i)
        {
            const QByteArray name = (i % 9 == 0 ? "ZED" : "DOM") + QByteArray::number(i);
            for (int s = 0; s <= i % 3; ++s)
                zone += name + " NS NS" + QByteArray::number(s) + ".HOST" + QByteArray::number(i % 5) + ".NET.\n";
            if (i % 4 == 0)
                zone += "NS0." + name + " A 192.0.2.1\n";
        }
        return zone;
    }

    QByteArray SeZone()
    {
        QByteArray zone = "- Name=se\nx\nx\n";
        for (int i = 0; i < 25000; ++i)
        {
            const QByteArray name = "dom" + QByteArray::number(i) + ".se";
            for (int s = 0; s <= i % 2; ++s)
                zone += "- Name=" + name + "\nstate\n    Name Server=ns" + QByteArray::number(s) + ".host.se\n";
            if (i % 3 == 0)
                zone += "- Name=ns" + QByteArray::number(i) + ".host.se\nstate\n  IP Address=192.0.2.1\n";
        }
        return zone;
    }

    std::uint64_t LinesRead()
    {
        std::uint64_t lines = 0;
        std::uint64_t names = 0;
        GetRunCounters(lines, names);
        return lines;
    }

    // Polls the counter (no events are processed, so the run stays active
    // for the dialog) until the run has read `lines` lines; false if that
    // takes longer than a run may.
    bool AwaitLines(std::uint64_t lines)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kRunTimeoutMs);
        while (LinesRead() < lines)
        {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::yield();
        }
        return true;
    }

    // The threads of this process, or -1 where that cannot be seen.
    int ThreadCount()
    {
        const QDir tasks(QStringLiteral("/proc/self/task"));
        return tasks.exists() ? static_cast<int>(tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot).size()) : -1;
    }

    QList<QByteArray> Lines(const QByteArray& output)
    {
        QList<QByteArray> lines = output.split('\n');
        if (!lines.isEmpty() && lines.back().isEmpty())
            lines.removeLast();
        return lines;
    }
}

class JobControlStressTests final : public QObject
{
    Q_OBJECT

private slots:
    void randomPausesResumesAndAbortsThroughTheDialog();
};

void JobControlStressTests::randomPausesResumesAndAbortsThroughTheDialog()
{
    DialogFixture fixture;
    const QString gtldPath = fixture.Path(QStringLiteral("stress-gtld.zone"));
    const QString sePath = fixture.Path(QStringLiteral("stress-se.zone"));
    const QByteArray gtld = GtldZone();
    const QByteArray se = SeZone();
    QVERIFY(WriteFile(gtldPath, gtld));
    QVERIFY(WriteFile(sePath, se));

    std::vector<Kind> kinds = {
        {"gtld domains", id::kExtractDomainsButton, 0, false, gtldPath, {}, {}},
        {"gtld domains with servers", id::kExtractDomainsButton, 0, true, gtldPath, {}, {}},
        {"gtld name servers", id::kExtractNameServersButton, 0, false, gtldPath, {}, {}},
        {"se domains", id::kExtractDomainsButton, 1, false, sePath, {}, {}},
        {"se domains with servers", id::kExtractDomainsButton, 1, true, sePath, {}, {}},
        {"se name servers", id::kExtractNameServersButton, 1, false, sePath, {}, {}},
    };
    // The output of each kind of run left to finish, with the dialog's
    // default filters.
    const QString referencePath = fixture.Path(QStringLiteral("reference.txt"));
    for (Kind& kind : kinds)
    {
        RunFilters filters;
        filters.appendNameServers = kind.append ? 1 : 0;
        const ExtractMode mode =
            kind.startButton == id::kExtractDomainsButton ? ExtractMode::Domains : ExtractMode::NameServers;
        const HeadlessRunResult result = RunHeadless(kind.zonePath.toStdString(), referencePath.toStdString(), mode,
                                                     kind.zoneType, filters);
        QVERIFY(!result.error);
        kind.fullOutput = ReadFile(referencePath);
        kind.fullStatus = QString::fromStdString(result.statusText);
        QVERIFY2(Lines(kind.fullOutput).size() > 3 * 1000, kind.name);
        std::uint64_t names = 0;
        GetRunCounters(kind.finalLines, names);
    }

    MainDialog& dialog = fixture.Open();
    auto* zoneTypeCombo = qobject_cast<QComboBox*>(dialog.ControlById(id::kZoneTypeCombo));
    auto* appendCheck = qobject_cast<QCheckBox*>(dialog.ControlById(id::kAppendNameServersCheck));
    auto* statusLine = qobject_cast<QLabel*>(dialog.ControlById(id::kStatusLine));
    QVERIFY(zoneTypeCombo && appendCheck && statusLine);

    std::mt19937 random(kSeed);
    const auto below = [&](std::uint32_t n) { return n == 0 ? 0u : static_cast<std::uint32_t>(random() % n); };
    const QString outputPath = fixture.Path(QStringLiteral("names.txt"));
    const QString busy = QStringLiteral("Processing in progress!");
    QString chosenZone;
    int idleThreads = -1;
    int aborted = 0;
    int pauses = 0;

    for (int run = 0; run < kRuns; ++run)
    {
        const Kind& kind = kinds[below(static_cast<std::uint32_t>(kinds.size()))];
        const QByteArray what = QByteArray("run ") + QByteArray::number(run) + " (" + kind.name + ")";
        if (chosenZone != kind.zonePath)
        {
            fixture.files.answers.push_back(kind.zonePath);
            Button(dialog, id::kOpenZoneButton)->click();
            chosenZone = kind.zonePath;
        }
        zoneTypeCombo->setCurrentIndex(kind.zoneType);
        appendCheck->setChecked(kind.append);
        fixture.files.answers.push_back(outputPath);
        const std::size_t requestsBefore = fixture.files.requests.size();
        const std::size_t messagesBefore = fixture.messages.messages.size();

        Button(dialog, kind.startButton)->click();
        QVERIFY2(dialog.IsRunActive(), what.constData());
        QCOMPARE(fixture.files.requests.size(), requestsBefore + 1);

        // While the run is active, closing and a second start are refused;
        // the second start asks for no file.
        Button(dialog, id::kCloseButton)->click();
        QVERIFY2(dialog.isVisible(), what.constData());
        Button(dialog, id::kExtractNameServersButton)->click();
        QCOMPARE(fixture.files.requests.size(), requestsBefore + 1);
        QCOMPARE(fixture.messages.Texts().mid(static_cast<qsizetype>(messagesBefore)), (QStringList {busy, busy}));

        // The points of the run at which the user acts, as line counts that
        // the run is sure to reach; the run may well have ended by the time
        // the click comes, as it may for a real user.
        bool abortedThisRun = false;
        if (below(2) == 0)
        {
            QVERIFY2(AwaitLines(below(kind.finalLines)), what.constData());
            ++pauses;
            Button(dialog, id::kPauseButton)->click();
            QCOMPARE(Button(dialog, id::kPauseButton)->text(), QStringLiteral("&Go"));
            QVERIFY(IsPaused());
            {
                // A paused run stands still: at most the line whose check
                // came just before the pause is still counted, and the count
                // read here may lag one line behind the worker's (the
                // counter and the flag are shared without ordering).
                const std::uint64_t atPause = LinesRead();
                std::this_thread::sleep_for(std::chrono::milliseconds(3));
                QVERIFY2(LinesRead() <= atPause + 2, what.constData());
                if (below(2) == 0)
                {
                    Button(dialog, id::kAbortButton)->click();
                    abortedThisRun = true;
                }
                else
                {
                    Button(dialog, id::kPauseButton)->click();
                }
                QCOMPARE(Button(dialog, id::kPauseButton)->text(), QStringLiteral("&Pause"));
                QVERIFY(!IsPaused());
            }
        }
        if (!abortedThisRun && below(3) != 0)
        {
            QVERIFY2(AwaitLines(below(kind.finalLines)), what.constData());
            Button(dialog, id::kAbortButton)->click();
            abortedThisRun = true;
        }
        aborted += abortedThisRun ? 1 : 0;

        QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsRunActive(), kRunTimeoutMs);
        QVERIFY2(!dialog.ZoneFile().IsOpen(), what.constData());
        QVERIFY2(!dialog.OutputFile().IsOpen(), what.constData());
        QVERIFY(!Button(dialog, id::kPauseButton)->isEnabled());
        QVERIFY(!Button(dialog, id::kAbortButton)->isEnabled());
        std::uint64_t lines = 0;
        std::uint64_t names = 0;
        GetRunCounters(lines, names);
        QCOMPARE(statusLine->text(), QString::fromStdString(FormatStatusText(lines, names)));
        // Only the two refusals provoked above; no failure was reported.
        QCOMPARE(fixture.messages.messages.size(), messagesBefore + 2);

        const QByteArray output = ReadFile(outputPath);
        const QList<QByteArray> outputLines = Lines(output);
        const QList<QByteArray> fullLines = Lines(kind.fullOutput);
        QCOMPARE(static_cast<std::uint32_t>(outputLines.size()), names);
        QVERIFY2(output.isEmpty() || output.endsWith("\r\n"), what.constData());
        QVERIFY2(outputLines.size() <= fullLines.size(), what.constData());
        for (qsizetype i = 0; i < outputLines.size(); ++i)
        {
            QVERIFY2(outputLines[i].endsWith('\r'), what.constData());
            if (kind.append && i + 1 == outputLines.size())
            {
                // The last entry may lack name servers the run never read.
                QVERIFY2(fullLines[i].startsWith(outputLines[i].chopped(1)), what.constData());
            }
            else if (outputLines[i] != fullLines[i])
            {
                QFAIL(qPrintable(what + ": line " + QByteArray::number(i) + " differs"));
            }
        }
        if (!abortedThisRun)
        {
            QCOMPARE(output, kind.fullOutput);
            QCOMPARE(statusLine->text(), kind.fullStatus);
        }

        // No thread outlives its run.
        const int threads = ThreadCount();
        if (idleThreads < 0)
            idleThreads = threads;
        QVERIFY2(threads <= idleThreads, what.constData());
    }

    // Idle again: the dialog closes.
    Button(dialog, id::kCloseButton)->click();
    QVERIFY(!dialog.isVisible());
    qInfo("dialog stress: %d runs, %d aborted, %d paused", kRuns, aborted, pauses);
    QVERIFY(aborted > kRuns / 5);
    QVERIFY(pauses > kRuns / 10);
}

QTEST_MAIN(JobControlStressTests)
#include "job_control_stress_tests.moc"
