// Runs through the real dialog and the real worker thread: starting,
// refusing, pausing, aborting, and the failures a user must see.

#include <cstdint>
#include <utility>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "control_ids.h"
#include "extraction/extraction_state.h"
#include "fake_services.h"
#include "zone_pipe.h"
#include "extraction/run_messages.h"
#include "run_notes.h"
#include "settings_keys.h"

using namespace plexor;
using namespace plexor::test;
namespace id = plexor::control_id;

namespace
{
    constexpr int kRunTimeoutMs = 30000;

    // A zone in the .COM layout; with the default filters (5 to 18
    // characters, none of x, y, z or "-") three of its four domains pass.
    constexpr char kGtldZone[] = "; test zone\n"
                                 "$ORIGIN COM.\n"
                                 "COM. NS A.GTLD-SERVERS.NET.\n"
                                 "ALPHA NS NS1.ALPHA\n"
                                 "ALPHA NS NS2.HOST.NET.\n"
                                 "BRAVO NS NS1.BRAVO\n"
                                 "CHARLIE-SHOP NS NS1.BRAVO\n"
                                 "DELTA NS NS1.HOST.NET.\r\n"
                                 "NS1.ALPHA A 192.0.2.1";

    constexpr char kSeZone[] = "- Name=se\n"
                               "x\n"
                               "x\n"
                               "- Name=alpha.se\n"
                               "x\n"
                               "    Name Server=ns1.host.se\n"
                               "- Name=ns1.host.se\n"
                               "x\n"
                               "  IP Address=192.0.2.1\n";

    std::pair<std::uint64_t, std::uint64_t> Counters()
    {
        std::uint64_t lines = 0;
        std::uint64_t names = 0;
        GetRunCounters(lines, names);
        return {lines, names};
    }

    QString StatusText(const MainDialog& dialog)
    {
        return Control<QLabel>(dialog, id::kStatusLine)->text();
    }

    // Chooses the zone file through Open Zone and queues the output file
    // for the Save dialog of the next start.
    void ChooseFiles(DialogFixture& fixture, const QString& zonePath, const QString& outputPath)
    {
        fixture.files.answers.push_back(zonePath);
        Button(*fixture.dialog, id::kOpenZoneButton)->click();
        fixture.files.answers.push_back(outputPath);
    }


#ifdef Q_OS_UNIX
    // Comment lines: they are counted but yield nothing.
    QByteArray FillerLines(int count)
    {
        QByteArray lines;
        lines.reserve(count * 17);
        for (int i = 0; i < count; ++i)
            lines += "; filler " + QByteArray::number(i).rightJustified(7, '0') + '\n';
        return lines;
    }
#endif
}

class JobControlTests final : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void extractionRun_data();
    void extractionRun();
    void startWithoutZoneFileAsksNothing();
    void cancelledSaveStartsNothing();
    void startRefusals_data();
    void startRefusals();
    void writeFailureShownAfterRun();
    void readFailureShownAfterRun();
    void nameWithoutExtensionAsksBeforeReplacing();
    void runTakesTheLayoutAndTheStoredLineLimit();
    void endOfRunMessageHoldsEveryNote();

    void progressShowsTheEndOfTheRun_data();
    void progressShowsTheEndOfTheRun();

    void pauseThenAbortEndsTheRun();
    void activeRunSaysPausedAndRefusesDrops();
    void pauseAndGoResumeTheRun();
    void activeRunRefusesCloseAndStartAndKeepsItsMode();
    void destroyingDialogDuringRunWaitsForWorker();

    void comparisonRun_data();
    void comparisonRun();
    void comparisonRefusalsAndAbort();
};

void JobControlTests::init()
{
    ResetRunState();
}

void JobControlTests::extractionRun_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<int>("startButton");
    QTest::addColumn<int>("zoneType");
    QTest::addColumn<bool>("append");
    QTest::addColumn<QString>("nameServers");
    QTest::addColumn<QString>("includeWords");
    QTest::addColumn<QByteArray>("expectedOutput");
    QTest::addColumn<QString>("expectedStatus");

    const QByteArray gtld(kGtldZone);
    const QByteArray se(kSeZone);
    QTest::newRow("domains") << gtld << id::kExtractDomainsButton << 0 << false << QString() << QString()
                             << QByteArray("ALPHA.COM\r\nBRAVO.COM\r\nDELTA.COM\r\n")
                             << QStringLiteral("[9 Lines]  [3 Names]");
    QTest::newRow("domains with name servers")
        << gtld << id::kExtractDomainsButton << 0 << true << QString() << QString()
        << QByteArray("ALPHA.COM: NS1.ALPHA.COM,NS2.HOST.NET\r\nBRAVO.COM: NS1.BRAVO.COM\r\nDELTA.COM: NS1.HOST.NET\r\n")
        << QStringLiteral("[9 Lines]  [3 Names]");
    QTest::newRow("name-server list") << gtld << id::kExtractDomainsButton << 0 << false
                                      << QStringLiteral("ns1.host.net") << QString() << QByteArray("DELTA.COM\r\n")
                                      << QStringLiteral("[9 Lines]  [1 Names]");
    QTest::newRow("include words") << gtld << id::kExtractDomainsButton << 0 << false << QString()
                                   << QStringLiteral("lph,elt") << QByteArray("ALPHA.COM\r\nDELTA.COM\r\n")
                                   << QStringLiteral("[9 Lines]  [2 Names]");
    QTest::newRow("name servers") << gtld << id::kExtractNameServersButton << 0 << false << QString() << QString()
                                  << QByteArray("NS1.ALPHA\r\n") << QStringLiteral("[9 Lines]  [1 Names]");
    QTest::newRow(".SE domains") << se << id::kExtractDomainsButton << 1 << false << QString() << QString()
                                 << QByteArray("alpha.se\r\n") << QStringLiteral("[5 Lines]  [1 Names]");
    QTest::newRow(".SE name servers") << se << id::kExtractNameServersButton << 1 << false << QString() << QString()
                                      << QByteArray("ns1.host.se\r\n") << QStringLiteral("[5 Lines]  [1 Names]");
    QTest::newRow("empty zone file") << QByteArray() << id::kExtractDomainsButton << 0 << false << QString()
                                     << QString() << QByteArray() << QStringLiteral("[0 Lines]  [0 Names]");
}

void JobControlTests::extractionRun()
{
    QFETCH(QByteArray, zone);
    QFETCH(int, startButton);
    QFETCH(int, zoneType);
    QFETCH(bool, append);
    QFETCH(QString, nameServers);
    QFETCH(QString, includeWords);
    QFETCH(QByteArray, expectedOutput);
    QFETCH(QString, expectedStatus);

    DialogFixture fixture;
    const QString zonePath = fixture.Path(QStringLiteral("test.zone"));
    const QString outputPath = fixture.Path(QStringLiteral("names.txt"));
    QVERIFY(WriteFile(zonePath, zone));
    // An existing output file is replaced, not appended to.
    QVERIFY(WriteFile(outputPath, QByteArrayLiteral("stale content\r\n")));
    MainDialog& dialog = fixture.Open();
    ChooseFiles(fixture, zonePath, outputPath);
    Control<QComboBox>(dialog, id::kZoneTypeCombo)->setCurrentIndex(zoneType);
    Control<QCheckBox>(dialog, id::kAppendNameServersCheck)->setChecked(append);
    Control<QLineEdit>(dialog, id::kNameServersEdit)->setText(nameServers);
    Control<QLineEdit>(dialog, id::kIncludeWordsEdit)->setText(includeWords);

    Button(dialog, startButton)->click();
    // The run is active until its end reaches the dialog's thread.
    QVERIFY(dialog.IsRunActive());
    QVERIFY(Button(dialog, id::kPauseButton)->isEnabled());
    QVERIFY(Button(dialog, id::kAbortButton)->isEnabled());
    QCOMPARE(fixture.Reopened()->ReadSettingString(QStringLiteral("Settings"), QStringLiteral("Zone Output File")),
             QDir::toNativeSeparators(outputPath));

    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsRunActive(), kRunTimeoutMs);
    QCOMPARE(ReadFile(outputPath), expectedOutput);
    QCOMPARE(StatusText(dialog), expectedStatus);
    QVERIFY(!Button(dialog, id::kPauseButton)->isEnabled());
    QVERIFY(!Button(dialog, id::kAbortButton)->isEnabled());
    QVERIFY(fixture.messages.messages.empty());
    QCOMPARE(ReadFile(zonePath), zone);

    // The timer's refresh after the run leaves the final counts alone.
    dialog.RefreshRunControls();
    QCOMPARE(StatusText(dialog), expectedStatus);
    // The same files can be used for the next run at once.
    fixture.files.answers.push_back(outputPath);
    Button(dialog, startButton)->click();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsRunActive(), kRunTimeoutMs);
    QCOMPARE(ReadFile(outputPath), expectedOutput);
    QCOMPARE(StatusText(dialog), expectedStatus);
}

void JobControlTests::startWithoutZoneFileAsksNothing()
{
    DialogFixture fixture;
    MainDialog& dialog = fixture.Open();
    Button(dialog, id::kExtractNameServersButton)->click();
    QCOMPARE(fixture.messages.Texts(), QStringList {QStringLiteral("Please specify the zone file.")});
    QVERIFY(fixture.files.requests.empty());
    QVERIFY(!dialog.IsRunActive());
}

void JobControlTests::cancelledSaveStartsNothing()
{
    DialogFixture fixture;
    const QString zonePath = fixture.Path(QStringLiteral("test.zone"));
    QVERIFY(WriteFile(zonePath, kGtldZone));
    fixture.store->WriteSettingString(QStringLiteral("Settings"), QStringLiteral("Output File"),
                                      QStringLiteral("/earlier/out.txt"));
    MainDialog& dialog = fixture.Open();
    fixture.files.answers.push_back(zonePath);
    Button(dialog, id::kOpenZoneButton)->click();
    // "&Go" left over from a click after an earlier run.
    dialog.TogglePause();
    QCOMPARE(Button(dialog, id::kPauseButton)->text(), QStringLiteral("&Go"));

    Button(dialog, id::kExtractDomainsButton)->click(); // the Save dialog is cancelled

    QCOMPARE(fixture.files.requests.size(), std::size_t {2});
    QVERIFY(!fixture.files.requests.back().openForm);
    QCOMPARE(fixture.files.requests.back().defaultSuffix, QStringLiteral("TXT"));
    QCOMPARE(fixture.files.requests.back().title, QStringLiteral("Save Output To"));
    QCOMPARE(fixture.files.requests.back().nameFilters.size(), 2);
    QVERIFY(fixture.messages.messages.empty());
    QVERIFY(!dialog.IsRunActive());
    QCOMPARE(Button(dialog, id::kPauseButton)->text(), QStringLiteral("&Pause"));
    QCOMPARE(dialog.OutputPath(), QStringLiteral("/earlier/out.txt"));
    SetPaused(false);
}

void JobControlTests::startRefusals_data()
{
    QTest::addColumn<QString>("zoneName");
    QTest::addColumn<QString>("outputName");
    QTest::addColumn<bool>("messageNamesZone");
    // The system's reason, on the message's second line.
    QTest::addColumn<QString>("reason");

    const QString missing = QStringLiteral("No such file or directory");
    const QString sameFile = QString::fromLatin1(kOutputIsZoneFileReason.data(), kOutputIsZoneFileReason.size());
    QTest::newRow("zone file missing") << QStringLiteral("gone.zone") << QStringLiteral("out.txt") << true << missing;
    QTest::newRow("zone file is a folder")
        << QStringLiteral("folder") << QStringLiteral("out.txt") << true << QStringLiteral("Is a directory");
    QTest::newRow("output cannot be created")
        << QStringLiteral("test.zone") << QStringLiteral("no-such-folder/out.txt") << false << missing;
    QTest::newRow("output is a folder")
        << QStringLiteral("test.zone") << QStringLiteral("folder") << false << QStringLiteral("Is a directory");
    QTest::newRow("output is the zone file")
        << QStringLiteral("test.zone") << QStringLiteral("test.zone") << false << sameFile;
#ifdef Q_OS_UNIX
    QTest::newRow("output is a link to the zone file")
        << QStringLiteral("test.zone") << QStringLiteral("link.txt") << false << sameFile;
    QTest::newRow("output in a read-only place")
        << QStringLiteral("test.zone") << QStringLiteral("/proc/out.txt") << false << QString();
#endif
}

void JobControlTests::startRefusals()
{
    QFETCH(QString, zoneName);
    QFETCH(QString, outputName);
    QFETCH(bool, messageNamesZone);
    QFETCH(QString, reason);

    DialogFixture fixture;
    const QString zonePath = fixture.Path(zoneName);
    const QString outputPath = QDir::isAbsolutePath(outputName) ? outputName : fixture.Path(outputName);
    const QString realZone = fixture.Path(QStringLiteral("test.zone"));
    QVERIFY(WriteFile(realZone, kGtldZone));
    QVERIFY(QDir(fixture.dir.path()).mkdir(QStringLiteral("folder")));
#ifdef Q_OS_UNIX
    QVERIFY(QFile::link(realZone, fixture.Path(QStringLiteral("link.txt"))));
#endif
    MainDialog& dialog = fixture.Open();
    ChooseFiles(fixture, zonePath, outputPath);

    Button(dialog, id::kExtractDomainsButton)->click();

    const QString named = QDir::toNativeSeparators(messageNamesZone ? zonePath : outputPath);
    QCOMPARE(fixture.messages.messages.size(), std::size_t {1});
    const QStringList lines = fixture.messages.messages.front().text.split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.front(), QString::fromStdString(UnableToOpenMessage(named.toStdString())));
    if (!reason.isEmpty())
        QCOMPARE(lines.back(), reason);
    else
        QVERIFY(!lines.back().isEmpty());
    QCOMPARE(fixture.messages.messages.front().caption, QCoreApplication::applicationName());
    QVERIFY(!dialog.IsRunActive());
    QVERIFY(!Button(dialog, id::kPauseButton)->isEnabled());
    // The new output path is kept; nothing was started or written.
    QCOMPARE(dialog.OutputPath(), QDir::toNativeSeparators(outputPath));
    QCOMPARE(fixture.Reopened()->ReadSettingString(QStringLiteral("Settings"), QStringLiteral("Zone Output File"),
                                                   QStringLiteral("unset")),
             QStringLiteral("unset"));
    QCOMPARE(ReadFile(realZone), QByteArray(kGtldZone));
    if (messageNamesZone)
        QVERIFY(!QFileInfo::exists(outputPath));
    // A later start with good files works.
    fixture.files.answers.push_back(fixture.Path(QStringLiteral("good.txt")));
    fixture.files.answers.push_front(realZone);
    Button(dialog, id::kOpenZoneButton)->click();
    Button(dialog, id::kExtractDomainsButton)->click();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsRunActive(), kRunTimeoutMs);
    QCOMPARE(ReadFile(fixture.Path(QStringLiteral("good.txt"))), QByteArray("ALPHA.COM\r\nBRAVO.COM\r\nDELTA.COM\r\n"));
}

void JobControlTests::writeFailureShownAfterRun()
{
    if (!QFileInfo::exists(QStringLiteral("/dev/full")))
        QSKIP("no /dev/full on this system");

    DialogFixture fixture;
    const QString zonePath = fixture.Path(QStringLiteral("test.zone"));
    QVERIFY(WriteFile(zonePath, kGtldZone));
    MainDialog& dialog = fixture.Open();
    ChooseFiles(fixture, zonePath, QStringLiteral("/dev/full"));

    Button(dialog, id::kExtractDomainsButton)->click();
    QVERIFY(dialog.IsRunActive());
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsRunActive(), kRunTimeoutMs);

    QCOMPARE(fixture.messages.Texts(),
             QStringList {QStringLiteral("Error: Unable to write '/dev/full'\nNo space left on device")});
    QCOMPARE(fixture.messages.messages.front().owner, static_cast<QWidget*>(&dialog));
    // The status line keeps the counts the run reached.
    const auto [lines, names] = Counters();
    QCOMPARE(StatusText(dialog), QString::fromStdString(FormatStatusText(lines, names)));
    QVERIFY(!StatusText(dialog).isEmpty());
}

void JobControlTests::readFailureShownAfterRun()
{
    DialogFixture fixture;
    const QString zonePath = fixture.Path(QStringLiteral("broken.zone"));
    // The gzip signature followed by data that does not inflate.
    QVERIFY(WriteFile(zonePath, QByteArray("\x1f\x8b\x08\x00", 4) + QByteArray(64, '\xa5')));
    const QString outputPath = fixture.Path(QStringLiteral("names.txt"));
    MainDialog& dialog = fixture.Open();
    ChooseFiles(fixture, zonePath, outputPath);

    Button(dialog, id::kExtractDomainsButton)->click();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsRunActive(), kRunTimeoutMs);

    const QString nativeZone = QDir::toNativeSeparators(zonePath);
    QCOMPARE(fixture.messages.Texts(),
             QStringList {QString::fromStdString(UnableToReadMessage(nativeZone.toStdString()))});
    QCOMPARE(StatusText(dialog), QStringLiteral("[0 Lines]  [0 Names]"));
}

void JobControlTests::progressShowsTheEndOfTheRun_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<bool>("complete");
    QTest::newRow("plain") << QByteArray(kGtldZone) << true;
    // Measured in the stored, compressed bytes.
    QTest::newRow("gzip") << ReadFile(QStringLiteral(PLEXOR_SAMPLES_DIR "/com-sample.zone.gz")) << true;
    QTest::newRow("read failure") << QByteArray("\x1f\x8b\x08\x00", 4) + QByteArray(64, '\xa5') << false;
}

void JobControlTests::progressShowsTheEndOfTheRun()
{
    QFETCH(QByteArray, zone);
    QFETCH(bool, complete);
    DialogFixture fixture;
    const QString zonePath = fixture.Path(QStringLiteral("test.zone"));
    QVERIFY(WriteFile(zonePath, zone));
    MainDialog& dialog = fixture.Open();
    QProgressBar* bar = dialog.ProgressBar();
    ChooseFiles(fixture, zonePath, fixture.Path(QStringLiteral("names.txt")));

    Button(dialog, id::kExtractDomainsButton)->click();
    QVERIFY(bar->isEnabled() && bar->maximum() == 100 && bar->value() >= 0);
    QCOMPARE(dialog.TimeLeftText()->text(), QString()); // no guess in the first moments
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsRunActive(), kRunTimeoutMs);
    dialog.RefreshRunProgress(); // a late tick changes nothing
    QVERIFY(!bar->isEnabled());
    QCOMPARE(bar->text(), complete ? QStringLiteral("100%") : QString());
    QCOMPARE(dialog.TimeLeftText()->text(), QString());
    const RunBytes bytes = dialog.RunProgressBytes();
    QCOMPARE(bytes.size, static_cast<std::uint64_t>(zone.size()));
    if (complete)
        QCOMPARE(bytes.read, bytes.size);
}

void JobControlTests::pauseThenAbortEndsTheRun()
{
#ifndef Q_OS_UNIX
    QSKIP("needs a named pipe");
#else
    DialogFixture fixture;
    const QString pipePath = fixture.Path(QStringLiteral("live.zone"));
    const QString outputPath = fixture.Path(QStringLiteral("names.txt"));
    ZonePipe pipe(pipePath);
    QVERIFY(pipe.IsOpen());
    pipe.Queue("; head\n");
    QVERIFY(pipe.Pump());
    MainDialog& dialog = fixture.Open();
    ChooseFiles(fixture, pipePath, outputPath);

    Button(dialog, id::kExtractDomainsButton)->click();
    QVERIFY(dialog.IsRunActive());

    Button(dialog, id::kPauseButton)->click();
    QCOMPARE(Button(dialog, id::kPauseButton)->text(), QStringLiteral("&Go"));
    QVERIFY(IsPaused());
    dialog.RefreshRunControls();
    QVERIFY(Button(dialog, id::kPauseButton)->isEnabled());
    QVERIFY(Button(dialog, id::kAbortButton)->isEnabled());

    Button(dialog, id::kAbortButton)->click();
    QCOMPARE(Button(dialog, id::kPauseButton)->text(), QStringLiteral("&Pause"));
    QVERIFY(!IsPaused());
    QVERIFY(IsAbortRequested());

    // Plenty of input keeps arriving and the pipe stays open, yet the run
    // ends on its own, without a click on Go, after at most a line or two.
    pipe.Queue(FillerLines(120000));
    QTRY_VERIFY_WITH_TIMEOUT((pipe.Pump(), !dialog.IsRunActive()), kRunTimeoutMs);
    const auto [lines, names] = Counters();
    QVERIFY2(lines <= 2, qPrintable(QString::number(lines)));
    QCOMPARE(names, 0u);
    QCOMPARE(StatusText(dialog), QString::fromStdString(FormatStatusText(lines, names)));
    QCOMPARE(Button(dialog, id::kPauseButton)->text(), QStringLiteral("&Pause"));
    QVERIFY(!Button(dialog, id::kPauseButton)->isEnabled());
    QVERIFY(!Button(dialog, id::kAbortButton)->isEnabled());
    QCOMPARE(ReadFile(outputPath), QByteArray());
    QVERIFY(fixture.messages.messages.empty());
#endif
}

void JobControlTests::pauseAndGoResumeTheRun()
{
#ifndef Q_OS_UNIX
    QSKIP("needs a named pipe");
#else
    DialogFixture fixture;
    const QString pipePath = fixture.Path(QStringLiteral("live.zone"));
    const QString outputPath = fixture.Path(QStringLiteral("names.txt"));
    ZonePipe pipe(pipePath);
    QVERIFY(pipe.IsOpen());
    pipe.Queue("; head\n");
    QVERIFY(pipe.Pump());
    MainDialog& dialog = fixture.Open();
    ChooseFiles(fixture, pipePath, outputPath);

    Button(dialog, id::kExtractDomainsButton)->click();
    Button(dialog, id::kPauseButton)->click();
    QCOMPARE(Button(dialog, id::kPauseButton)->text(), QStringLiteral("&Go"));
    Button(dialog, id::kPauseButton)->click();
    QCOMPARE(Button(dialog, id::kPauseButton)->text(), QStringLiteral("&Pause"));
    QVERIFY(!IsPaused());

    pipe.Queue(QByteArray(kGtldZone) + '\n');
    QTRY_VERIFY_WITH_TIMEOUT(pipe.Pump(), kRunTimeoutMs);
    pipe.Close();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsRunActive(), kRunTimeoutMs);
    QCOMPARE(ReadFile(outputPath), QByteArray("ALPHA.COM\r\nBRAVO.COM\r\nDELTA.COM\r\n"));
    QCOMPARE(StatusText(dialog), QStringLiteral("[10 Lines]  [3 Names]"));
#endif
}

void JobControlTests::activeRunSaysPausedAndRefusesDrops()
{
#ifndef Q_OS_UNIX
    QSKIP("needs a named pipe");
#else
    DialogFixture fixture;
    const QString zonePath = fixture.Path(QStringLiteral("test.zone"));
    QVERIFY(WriteFile(zonePath, kGtldZone));
    const QString pipePath = fixture.Path(QStringLiteral("live.zone"));
    ZonePipe pipe(pipePath);
    QVERIFY(pipe.IsOpen());
    pipe.Queue("; head\n"); // opening the zone looks at its first bytes
    QVERIFY(pipe.Pump());
    MainDialog& dialog = fixture.Open();
    QProgressBar* bar = dialog.ProgressBar();
    ChooseFiles(fixture, pipePath, fixture.Path(QStringLiteral("names.txt")));
    Button(dialog, id::kExtractDomainsButton)->click();
    QCOMPARE(bar->maximum(), 0); // no size: the bar only shows that the run goes on
    Button(dialog, id::kPauseButton)->click();
    dialog.RefreshRunProgress();
    QCOMPARE(dialog.TimeLeftText()->text(), QStringLiteral("Paused"));
    Button(dialog, id::kPauseButton)->click();
    dialog.RefreshRunProgress();
    QCOMPARE(dialog.TimeLeftText()->text(), QString());

    // A file dropped during the run is refused and changes nothing.
    const QString shown = Control<QLabel>(dialog, id::kZoneFileName)->text();
    QVERIFY(!DropOn(&dialog, {QUrl::fromLocalFile(zonePath)}));
    QCoreApplication::processEvents();
    QCOMPARE(Control<QLabel>(dialog, id::kZoneFileName)->text(), shown);

    // Aborted: the bar is emptied, not left where the run stopped.
    Button(dialog, id::kAbortButton)->click();
    pipe.Close(); // the reader waits for input before it sees the abort
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsRunActive(), kRunTimeoutMs);
    QCOMPARE(bar->maximum(), 100);
    QCOMPARE(bar->text(), QString());
#endif
}

void JobControlTests::activeRunRefusesCloseAndStartAndKeepsItsMode()
{
#ifndef Q_OS_UNIX
    QSKIP("needs a named pipe");
#else
    DialogFixture fixture;
    const QString pipePath = fixture.Path(QStringLiteral("live.zone"));
    const QString outputPath = fixture.Path(QStringLiteral("servers.txt"));
    ZonePipe pipe(pipePath);
    QVERIFY(pipe.IsOpen());
    pipe.Queue("; head\n");
    QVERIFY(pipe.Pump());
    MainDialog& dialog = fixture.Open();
    ChooseFiles(fixture, pipePath, outputPath);
    Control<QLineEdit>(dialog, id::kMaxCharsEdit)->setText(QStringLiteral("44"));

    Button(dialog, id::kExtractNameServersButton)->click();
    QVERIFY(dialog.IsRunActive());
    dialog.RefreshRunControls();
    QVERIFY(Button(dialog, id::kAbortButton)->isEnabled());
    QVERIFY(StatusText(dialog).startsWith(QStringLiteral("[")));

    // Every way of closing is refused, and nothing is saved.
    Button(dialog, id::kCloseButton)->click();
    QTest::keyClick(dialog.ControlById(id::kNameServersEdit), Qt::Key_Escape);
    QVERIFY(!dialog.close());
    QVERIFY(dialog.isVisible());
    // A second start is refused before it asks for a file, whatever the
    // dialog now shows.
    Control<QComboBox>(dialog, id::kZoneTypeCombo)->setCurrentIndex(1);
    Button(dialog, id::kExtractDomainsButton)->click();
    QCOMPARE(fixture.files.requests.size(), std::size_t {2});
    const QString busy = QStringLiteral("Processing in progress!");
    QCOMPARE(fixture.messages.Texts(), (QStringList {busy, busy, busy, busy}));
    QCOMPARE(fixture.Reopened()->ReadSettingInt(QStringLiteral("Settings"), QStringLiteral("Max Chars"), -1), -1);

    // The rest of the zone arrives; the run finishes as the name-server run
    // of the .COM layout it started as.
    pipe.Queue("$ORIGIN COM.\nALPHA NS NS1.ALPHA\nNS1.ALPHA A 192.0.2.1\nNS2.ALPHA A 192.0.2.2\n");
    QTRY_VERIFY_WITH_TIMEOUT(pipe.Pump(), kRunTimeoutMs);
    pipe.Close();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsRunActive(), kRunTimeoutMs);
    QCOMPARE(ReadFile(outputPath), QByteArray("NS1.ALPHA\r\nNS2.ALPHA\r\n"));
    QCOMPARE(StatusText(dialog), QStringLiteral("[5 Lines]  [2 Names]"));

    // Idle again: closing works and saves.
    Button(dialog, id::kCloseButton)->click();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(fixture.Reopened()->ReadSettingInt(QStringLiteral("Settings"), QStringLiteral("Max Chars"), -1), 44);
#endif
}

void JobControlTests::destroyingDialogDuringRunWaitsForWorker()
{
#ifndef Q_OS_UNIX
    QSKIP("needs a named pipe");
#else
    DialogFixture fixture;
    const QString pipePath = fixture.Path(QStringLiteral("live.zone"));
    const QString outputPath = fixture.Path(QStringLiteral("names.txt"));
    ZonePipe pipe(pipePath);
    QVERIFY(pipe.IsOpen());
    pipe.Queue("; head\n$ORIGIN COM.\nALPHA NS NS1.ALPHA\n");
    QVERIFY(pipe.Pump());
    fixture.Open();
    ChooseFiles(fixture, pipePath, outputPath);
    Button(*fixture.dialog, id::kExtractDomainsButton)->click();
    QVERIFY(fixture.dialog->IsRunActive());

    // The input ends while the dialog goes away: the dialog must wait for
    // its worker, and the worker's last calls must not reach a dead dialog.
    pipe.Close();
    fixture.dialog.reset();
    QVERIFY(IsAbortRequested());
    QCoreApplication::processEvents();
    QVERIFY(QFileInfo::exists(outputPath));
    QVERIFY(fixture.messages.messages.empty());
#endif
}

void JobControlTests::nameWithoutExtensionAsksBeforeReplacing()
{
    DialogFixture fixture;
    const QString zonePath = fixture.Path(QStringLiteral("test.zone"));
    QVERIFY(WriteFile(zonePath, kGtldZone));
    const QString existing = fixture.Path(QStringLiteral("names.TXT"));
    QVERIFY(WriteFile(existing, QByteArrayLiteral("keep me\r\n")));
    MainDialog& dialog = fixture.Open();
    // The file dialog hands back the name as typed; the default extension
    // is added after it, so the dialog never asked about names.TXT.
    ChooseFiles(fixture, zonePath, fixture.Path(QStringLiteral("names")));

    Button(dialog, id::kExtractDomainsButton)->click(); // answered No
    QCOMPARE(fixture.messages.questions.size(), std::size_t {1});
    QCOMPARE(fixture.messages.questions.front().text,
             QDir::toNativeSeparators(existing) + QStringLiteral(" already exists.\nDo you want to replace it?"));
    QVERIFY(!dialog.IsRunActive());
    QCOMPARE(ReadFile(existing), QByteArrayLiteral("keep me\r\n"));
    QVERIFY(!QFileInfo::exists(fixture.Path(QStringLiteral("names"))));

    fixture.files.answers.push_back(fixture.Path(QStringLiteral("names")));
    fixture.messages.yesNoAnswers.push_back(true);
    Button(dialog, id::kExtractDomainsButton)->click();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsRunActive(), kRunTimeoutMs);
    QCOMPARE(dialog.OutputPath(), QDir::toNativeSeparators(existing));
    QCOMPARE(ReadFile(existing), QByteArray("ALPHA.COM\r\nBRAVO.COM\r\nDELTA.COM\r\n"));

    // A new name gets the extension without a question.
    fixture.files.answers.push_back(fixture.Path(QStringLiteral("fresh")));
    Button(dialog, id::kExtractDomainsButton)->click();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsRunActive(), kRunTimeoutMs);
    QCOMPARE(fixture.messages.questions.size(), std::size_t {2});
    QCOMPARE(ReadFile(fixture.Path(QStringLiteral("fresh.TXT"))),
             QByteArray("ALPHA.COM\r\nBRAVO.COM\r\nDELTA.COM\r\n"));
    QVERIFY(fixture.messages.messages.empty());
}

void JobControlTests::runTakesTheLayoutAndTheStoredLineLimit()
{
    DialogFixture fixture;
    const QString zonePath = fixture.Path(QStringLiteral("test.zone"));
    QVERIFY(WriteFile(zonePath, kGtldZone));
    MainDialog& dialog = fixture.Open();
    struct Case
    {
        int item;
        const char* storedLimit; // null: none stored
        std::uint64_t limit;
    };
    // The limit is read at the start of every run.
    for (const Case c : {Case {2, nullptr, 2000000}, Case {0, "0", 0}, Case {1, "150", 150}, Case {2, "-9", 2000000}})
    {
        if (c.storedLimit != nullptr)
            fixture.store->WriteSettingString(QStringLiteral("Settings"), QStringLiteral("Line Limit"),
                                              QString::fromLatin1(c.storedLimit));
        ChooseFiles(fixture, zonePath, fixture.Path(QStringLiteral("out.txt")));
        Control<QComboBox>(dialog, id::kZoneTypeCombo)->setCurrentIndex(c.item);
        Button(dialog, id::kExtractDomainsButton)->click();
        QVERIFY(dialog.IsRunActive());
        QCOMPARE(dialog.RunZoneType(), c.item);
        QCOMPARE(dialog.RunLineLimit(), c.limit);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsRunActive(), kRunTimeoutMs);
    }
}

void JobControlTests::endOfRunMessageHoldsEveryNote()
{
#ifndef Q_OS_UNIX
    QSKIP("needs a named pipe");
#else
    DialogFixture fixture;
    const QString pipePath = fixture.Path(QStringLiteral("live.zone"));
    const QString outputPath = fixture.Path(QStringLiteral("names.txt"));
    ZonePipe pipe(pipePath);
    QVERIFY(pipe.IsOpen());
    pipe.Queue("; head\n");
    QVERIFY(pipe.Pump());
    fixture.store->WriteSettingInt(QStringLiteral("Settings"), QStringLiteral("Line Limit"), 1000);
    MainDialog& dialog = fixture.Open();
    ChooseFiles(fixture, pipePath, outputPath);
    Button(dialog, id::kExtractDomainsButton)->click();
    QVERIFY(dialog.IsRunActive());

    // What the worker reports of the run as it ends.
    CurrentRunState().unreadableRecords.store(3);
    CurrentRunState().stoppedAtLineLimit.store(true);
    pipe.Close();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsRunActive(), kRunTimeoutMs);

    // One message, after the final status, with both notes; the zone file
    // is a pipe, so no layout hint is looked for.
    QCOMPARE(StatusText(dialog), QStringLiteral("[1 Lines]  [0 Names]"));
    QCOMPARE(fixture.messages.Texts(),
             QStringList {LineLimitNote(1000) + QStringLiteral("\n\n") + UnreadableRecordsNote(3)});
    const QString note = LineLimitNote(1000);
    QVERIFY(note.contains(QStringLiteral("line limit of 1000 lines")));
    QVERIFY(note.contains(QStringLiteral("\"Line Limit...\"")));
#endif
}

QTEST_MAIN(JobControlTests)
namespace
{
    // Yesterday's zone for the comparison runs: ALPHA and DELTA are gone
    // today, ECHOES is new; BRAVO moved to other servers.
    constexpr char kOlderGtldZone[] = "$ORIGIN COM.\n"
                                      "ALPHA NS NS1.ALPHA\n"
                                      "BRAVO NS NS9.HOST.NET.\n"
                                      "DELTA NS NS1.HOST.NET.\n";
    constexpr char kTodayGtldZone[] = "$ORIGIN COM.\n"
                                      "BRAVO NS NS1.BRAVO\n"
                                      "ECHOES NS NS1.HOST.NET.\n"
                                      "BRAVO NS NS2.BRAVO\n";

    // Turns the comparison on with the older file and what it writes.
    void ChooseComparison(DialogFixture& fixture, const QString& olderPath, int writes)
    {
        Control<QCheckBox>(*fixture.dialog, id::kCompareCheck)->setChecked(true);
        Control<QComboBox>(*fixture.dialog, id::kChangesCombo)->setCurrentIndex(writes);
        fixture.files.answers.push_back(olderPath);
        Button(*fixture.dialog, id::kOpenOlderZoneButton)->click();
    }
}

void JobControlTests::comparisonRun_data()
{
    QTest::addColumn<int>("writes");
    QTest::addColumn<bool>("append");
    QTest::addColumn<QByteArray>("expectedOutput");
    QTest::addColumn<QString>("expectedStatus");
    QTest::newRow("new names") << 0 << false << QByteArray("ECHOES.COM\r\n") << QStringLiteral("[8 Lines]  [1 Names]");
    QTest::newRow("new names with servers")
        << 0 << true << QByteArray("ECHOES.COM: NS1.HOST.NET\r\n") << QStringLiteral("[8 Lines]  [1 Names]");
    QTest::newRow("dropped names") << 1 << false << QByteArray("ALPHA.COM\r\nDELTA.COM\r\n")
                                   << QStringLiteral("[8 Lines]  [2 Names]");
}

void JobControlTests::comparisonRun()
{
    QFETCH(int, writes);
    QFETCH(bool, append);
    QFETCH(QByteArray, expectedOutput);
    QFETCH(QString, expectedStatus);

    DialogFixture fixture;
    const QString olderPath = fixture.Path(QStringLiteral("yesterday.zone"));
    const QString zonePath = fixture.Path(QStringLiteral("today.zone"));
    const QString outputPath = fixture.Path(QStringLiteral("changes.txt"));
    QVERIFY(WriteFile(olderPath, kOlderGtldZone));
    QVERIFY(WriteFile(zonePath, kTodayGtldZone));
    MainDialog& dialog = fixture.Open();
    ChooseComparison(fixture, olderPath, writes);
    ChooseFiles(fixture, zonePath, outputPath);
    Control<QCheckBox>(dialog, id::kAppendNameServersCheck)->setChecked(append);

    Button(dialog, id::kExtractDomainsButton)->click();
    QVERIFY(dialog.IsRunActive());
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsRunActive(), kRunTimeoutMs);
    QCOMPARE(ReadFile(outputPath), expectedOutput);
    QCOMPARE(StatusText(dialog), expectedStatus);
    QVERIFY(fixture.messages.messages.empty());
    // Both files read whole, all their bytes counted.
    const RunBytes bytes = dialog.RunProgressBytes();
    QCOMPARE(bytes.size, static_cast<std::uint64_t>(sizeof kOlderGtldZone + sizeof kTodayGtldZone - 2));
    QCOMPARE(bytes.read, bytes.size);

    // Off again, the same window runs a plain extraction.
    Control<QCheckBox>(dialog, id::kCompareCheck)->setChecked(false);
    fixture.files.answers.push_back(outputPath);
    Button(dialog, id::kExtractDomainsButton)->click();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsRunActive(), kRunTimeoutMs);
    QCOMPARE(StatusText(dialog), QStringLiteral("[4 Lines]  [3 Names]"));
}

void JobControlTests::comparisonRefusalsAndAbort()
{
    DialogFixture fixture;
    const QString zonePath = fixture.Path(QStringLiteral("today.zone"));
    const QString olderPath = fixture.Path(QStringLiteral("yesterday.zone"));
    QVERIFY(WriteFile(zonePath, kTodayGtldZone));
    MainDialog& dialog = fixture.Open();
    ChooseFiles(fixture, zonePath, fixture.Path(QStringLiteral("out.txt")));

    // No older file chosen yet.
    Control<QCheckBox>(dialog, id::kCompareCheck)->setChecked(true);
    Button(dialog, id::kExtractDomainsButton)->click();
    QCOMPARE(fixture.messages.Texts().value(0), QStringLiteral("Please specify the older zone file."));

    // A missing older file, and the older file as the output.
    ChooseComparison(fixture, fixture.Path(QStringLiteral("gone.zone")), 0);
    fixture.files.answers.push_back(fixture.Path(QStringLiteral("out.txt")));
    Button(dialog, id::kExtractDomainsButton)->click();
    QVERIFY(fixture.messages.Texts().value(1).startsWith(
        QStringLiteral("Error: Unable to open '%1'").arg(QDir::toNativeSeparators(fixture.Path(QStringLiteral("gone.zone"))))));
    QVERIFY(WriteFile(olderPath, kOlderGtldZone));
    ChooseComparison(fixture, olderPath, 0);
    fixture.files.answers.push_back(olderPath);
    Button(dialog, id::kExtractDomainsButton)->click();
    QVERIFY(fixture.messages.Texts().value(2).endsWith(
        QString::fromLatin1(kOutputIsZoneFileReason.data(), kOutputIsZoneFileReason.size())));
    QCOMPARE(ReadFile(olderPath), QByteArray(kOlderGtldZone));
    QVERIFY(!dialog.IsRunActive());

#ifdef Q_OS_UNIX
    // Aborted while today's zone is still coming through a pipe: said so.
    const QString pipePath = fixture.Path(QStringLiteral("live.zone"));
    ZonePipe pipe(pipePath);
    QVERIFY(pipe.IsOpen());
    pipe.Queue("$ORIGIN COM.\nECHOES NS NS1.HOST.NET.\n");
    QVERIFY(pipe.Pump());
    ChooseFiles(fixture, pipePath, fixture.Path(QStringLiteral("out.txt")));
    Button(dialog, id::kExtractDomainsButton)->click();
    QVERIFY(dialog.IsRunActive());
    QTRY_VERIFY_WITH_TIMEOUT(Counters().first >= 5, kRunTimeoutMs);
    Button(dialog, id::kAbortButton)->click();
    pipe.Close();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsRunActive(), kRunTimeoutMs);
    QCOMPARE(fixture.messages.Texts().value(3),
             QString::fromLatin1(kComparisonAbortedMessage.data(), kComparisonAbortedMessage.size()));
#endif
}

#include "job_control_tests.moc"
