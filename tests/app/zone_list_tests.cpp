// Several zone files in the window: choosing them (several files, a folder),
// what the zone path shows and the settings keep, and runs over them through
// the real worker: one combined output, failing zones, abort, the summary.

#include <cstdint>

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
#include "settings_keys.h"
#include "zone_choice.h"
#include "zone_list_run.h"
#include "zones/zone_summary.h"

using namespace plexor;
using namespace plexor::test;
namespace id = plexor::control_id;

namespace
{
    constexpr int kRunTimeoutMs = 30000;
    const QString kSettings = QStringLiteral("Settings");

    QString Sample(const char* name)
    {
        return QDir::toNativeSeparators(QStringLiteral(PLEXOR_SAMPLES_DIR "/") + QString::fromLatin1(name));
    }

    QString Native(const QString& path)
    {
        return QDir::toNativeSeparators(path);
    }

    QString Setting(const DialogFixture& fixture, const char* key)
    {
        return fixture.Reopened()->ReadSettingString(kSettings, QString::fromLatin1(key), QString());
    }

    QString ZonePath(const MainDialog& dialog)
    {
        return Control<QLabel>(dialog, id::kZoneFileName)->text();
    }

    // Filters that let every name through, so that each zone writes many.
    void OpenFilters(MainDialog& dialog)
    {
        Control<QLineEdit>(dialog, id::kMinCharsEdit)->setText(QStringLiteral("1"));
        Control<QLineEdit>(dialog, id::kMaxCharsEdit)->setText(QStringLiteral("63"));
        Control<QLineEdit>(dialog, id::kExcludeCharsEdit)->clear();
    }

    // A domain run into `output`, waited for.
    bool RunInto(DialogFixture& fixture, const QString& output)
    {
        fixture.files.answers.push_back(output);
        Button(*fixture.dialog, id::kExtractDomainsButton)->click();
        return QTest::qWaitFor([&] { return !fixture.dialog->IsRunActive(); }, kRunTimeoutMs);
    }

    // The output of the window's run over one zone file in a layout.
    QByteArray SingleRun(DialogFixture& fixture, const QString& zone, int zoneTypeItem)
    {
        fixture.files.answers.push_back(zone);
        Button(*fixture.dialog, id::kOpenZoneButton)->click();
        Control<QComboBox>(*fixture.dialog, id::kZoneTypeCombo)->setCurrentIndex(zoneTypeItem);
        const QString output = fixture.Path(QStringLiteral("single.txt"));
        if (!RunInto(fixture, output))
            return QByteArrayLiteral("<still running>");
        return ReadFile(output);
    }

    void ChooseSeveral(DialogFixture& fixture, const QStringList& zones)
    {
        fixture.files.fileLists.push_back(zones);
        Button(*fixture.dialog, id::kOpenZoneButton)->click();
    }

    // The first `keep` bytes of a file, the rest cut off (a download that
    // broke off).
    bool CopyCut(const QString& from, const QString& to, double keep)
    {
        const QByteArray bytes = ReadFile(from);
        return WriteFile(to, bytes.left(static_cast<qsizetype>(static_cast<double>(bytes.size()) * keep)));
    }

    QStringList Results(const std::vector<ZoneRow>& rows)
    {
        QStringList results;
        for (const ZoneRow& row : rows)
            results.append(QString::fromStdString(ResultText(row)));
        return results;
    }

}

class ZoneListTests final : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void severalFilesAreShownAndKept();
    void folderIsShownAndKept();
    void staleListGivesTheOneFile();
    void choiceText_data();
    void choiceText();

    void combinedRunIsTheSingleRunsInOrder_data();
    void combinedRunIsTheSingleRunsInOrder();
    void failingZonesContributeNothing();
    void abortInTheMiddleKeepsTheZonesReadWhole();
    void tableHasOneHeaderAndTheZoneColumn();
    void refusalsCreateNoOutput();
    void writeFailureEndsTheRun();
    void summaryNamesFailuresFirst();
};

void ZoneListTests::init()
{
    ResetRunState();
}

void ZoneListTests::severalFilesAreShownAndKept()
{
    DialogFixture fixture;
    MainDialog& dialog = fixture.Open();
    const QStringList zones {Native(fixture.Path(QStringLiteral("b.zone"))),
                             Native(fixture.Path(QStringLiteral("a.zone"))),
                             Native(fixture.Path(QStringLiteral("c.zone.gz")))};
    ChooseSeveral(fixture, zones);

    // Kept in the order chosen; the first is the zone file of old.
    QCOMPARE(ZonePath(dialog), QStringLiteral("3 zone files in %1").arg(Native(fixture.dir.path())));
    QCOMPARE(dialog.CurrentFields().zoneFileName, zones.front());
    QCOMPARE(Setting(fixture, "Zone File Name"), zones.front());
    QCOMPARE(Setting(fixture, "Zone File Names"), zones.join(QLatin1Char('\n')));
    QCOMPARE(Setting(fixture, "Zone Folder"), QString());
    // Reading the fields (as a start does) leaves the choice alone.
    QVERIFY(dialog.ReadFields());
    QCOMPARE(dialog.CurrentFields().zoneFileName, zones.front());

    // The next start shows the same.
    MainDialog& next = fixture.Open();
    QCOMPARE(ZonePath(next), QStringLiteral("3 zone files in %1").arg(Native(fixture.dir.path())));
    QCOMPARE(next.CurrentZoneChoice().files, zones);

    // One file again: shown as it is, the list forgotten.
    fixture.files.answers.push_back(zones.back());
    Button(next, id::kOpenZoneButton)->click();
    QCOMPARE(ZonePath(next), zones.back());
    QCOMPARE(Setting(fixture, "Zone File Name"), zones.back());
    QCOMPARE(Setting(fixture, "Zone File Names"), QString());
    QCOMPARE(ZonePath(fixture.Open()), zones.back());
}

void ZoneListTests::folderIsShownAndKept()
{
    DialogFixture fixture;
    const QString folder = Native(fixture.Path(QStringLiteral("czds")));
    QVERIFY(QDir().mkpath(fixture.Path(QStringLiteral("czds/sub"))));
    for (const char* name : {"org.zone", "com.zone.gz", ".partial", "sub/net.zone"})
        QVERIFY(WriteFile(fixture.Path(QStringLiteral("czds/")) + QString::fromLatin1(name), "x"));
    MainDialog& dialog = fixture.Open();

    // A folder without zone files is refused and changes nothing.
    const QString empty = Native(fixture.Path(QStringLiteral("czds/sub/none")));
    QVERIFY(QDir().mkpath(empty));
    fixture.files.folderAnswers.push_back(empty);
    Button(dialog, id::kOpenFolderButton)->click();
    QCOMPARE(fixture.messages.Texts(),
             QStringList {QStringLiteral("Error: the folder %1 holds no zone file").arg(QDir::fromNativeSeparators(empty))});
    QCOMPARE(ZonePath(dialog), QString());

    // Its regular files but hidden ones, sorted by name.
    fixture.files.folderAnswers.push_back(folder);
    Button(dialog, id::kOpenFolderButton)->click();
    QCOMPARE(fixture.files.folderRequests.size(), std::size_t {2});
    QCOMPARE(ZonePath(dialog), QStringLiteral("2 zone files in %1").arg(folder));
    const QString first = Native(fixture.Path(QStringLiteral("czds/com.zone.gz")));
    QCOMPARE(dialog.CurrentFields().zoneFileName, first);
    QCOMPARE(Setting(fixture, "Zone Folder"), folder);
    QCOMPARE(Setting(fixture, "Zone File Name"), first);
    QCOMPARE(Setting(fixture, "Zone File Names"), QString());

    // Listed again at the next start, and Open Zone opens in the folder.
    QVERIFY(WriteFile(fixture.Path(QStringLiteral("czds/net.zone")), "x"));
    MainDialog& next = fixture.Open();
    QCOMPARE(ZonePath(next), QStringLiteral("3 zone files in %1").arg(folder));
    Button(next, id::kOpenZoneButton)->click();
    QCOMPARE(fixture.files.requests.back().initialLocation,
             folder + QDir::separator() + QStringLiteral("*.zone"));
}

void ZoneListTests::staleListGivesTheOneFile()
{
    // A program that keeps the one file alone changed "Zone File Name"
    // after the list and the folder were stored: that file wins.
    DialogFixture fixture;
    fixture.store->WriteSettingString(kSettings, QStringLiteral("Zone File Names"), QStringLiteral("/z/a.zone\n/z/b.zone"));
    fixture.store->WriteSettingString(kSettings, QStringLiteral("Zone Folder"), Native(fixture.dir.path()));
    fixture.store->WriteSettingString(kSettings, QStringLiteral("Zone File Name"), QStringLiteral("/other/c.zone"));
    MainDialog& dialog = fixture.Open();
    QCOMPARE(ZonePath(dialog), QStringLiteral("/other/c.zone"));
    QVERIFY(!dialog.CurrentZoneChoice().IsList());
}

void ZoneListTests::choiceText_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("expected");

    QTest::newRow("one file") << QStringList {QStringLiteral("/z/com.zone")} << QString() << QStringLiteral("/z/com.zone");
    QTest::newRow("none") << QStringList {} << QString() << QString();
    QTest::newRow("two files") << QStringList {QStringLiteral("/z/a"), QStringLiteral("/z/b")} << QString()
                               << Native(QStringLiteral("2 zone files in /z"));
    QTest::newRow("two folders") << QStringList {QStringLiteral("/z/a"), QStringLiteral("/y/b")} << QString()
                                 << QStringLiteral("2 zone files");
    QTest::newRow("folder of one") << QStringList {QStringLiteral("/z/a")} << QStringLiteral("/z")
                                   << QStringLiteral("1 zone file in /z");
}

void ZoneListTests::choiceText()
{
    QFETCH(QStringList, files);
    QFETCH(QString, folder);
    QFETCH(QString, expected);
    QCOMPARE(ZoneChoiceText(ZoneChoice {files, folder}), expected);
}

void ZoneListTests::combinedRunIsTheSingleRunsInOrder_data()
{
    QTest::addColumn<int>("lineLimit");
    QTest::newRow("whole zones") << 0;
    // Counted per zone, as each zone's own run counts it.
    QTest::newRow("line limit") << 1500;
}

void ZoneListTests::combinedRunIsTheSingleRunsInOrder()
{
    QFETCH(int, lineLimit);
    DialogFixture fixture;
    fixture.store->WriteSettingInt(kSettings, QStringLiteral("Line Limit"), lineLimit);
    MainDialog& dialog = fixture.Open();
    OpenFilters(dialog);

    // Three layouts, one of them gzip; each alone with its layout chosen.
    const QStringList zones {Sample("se-sample.zone"), Sample("czds-sample.zone.gz"), Sample("com-sample.zone")};
    const int layoutItems[] {1, 2, 0};
    QByteArray expected;
    for (int i = 0; i < zones.size(); ++i)
    {
        const QByteArray single = SingleRun(fixture, zones[i], layoutItems[i]);
        QVERIFY(!single.isEmpty());
        expected += single;
    }
    QVERIFY(fixture.messages.reports.empty());
    // A single run notes its line limit in a warning; the list's summary
    // says it per zone instead.
    QCOMPARE(fixture.messages.messages.size(), std::size_t {lineLimit == 0 ? 0u : 3u});
    fixture.messages.messages.clear();

    // All three, the layout box left on a layout none of them has.
    ChooseSeveral(fixture, zones);
    Control<QComboBox>(dialog, id::kZoneTypeCombo)->setCurrentIndex(1);
    const QString output = fixture.Path(QStringLiteral("all.txt"));
    QVERIFY(RunInto(fixture, output));
    QCOMPARE(ReadFile(output), expected);

    const std::vector<ZoneRow>& rows = dialog.ZoneListRows();
    QCOMPARE(rows.size(), std::size_t {3});
    const QString result = lineLimit == 0 ? QStringLiteral("ok") : QStringLiteral("line-limit");
    QCOMPARE(Results(rows), (QStringList {result, result, result}));
    QCOMPARE(QString::fromStdString(rows[0].layout + "," + rows[1].layout + "," + rows[2].layout),
             QStringLiteral("se,master,gtld"));
    std::uint64_t lines = 0;
    for (const ZoneRow& row : rows)
        lines += row.lines;
    QCOMPARE(Control<QLabel>(dialog, id::kStatusLine)->text().section(QLatin1Char(']'), 0, 0),
             QStringLiteral("[%1 Lines").arg(lines));

    // The progress covers every file, read whole at the end.
    std::uint64_t size = 0;
    for (const QString& zone : zones)
        size += static_cast<std::uint64_t>(QFileInfo(zone).size());
    QCOMPARE(dialog.RunProgressBytes().size, size);
    QCOMPARE(dialog.RunProgressBytes().read, size);
    QCOMPARE(fixture.messages.reports.size(), std::size_t {1});
    QVERIFY(fixture.messages.messages.empty());
}

void ZoneListTests::failingZonesContributeNothing()
{
    DialogFixture fixture;
    MainDialog& dialog = fixture.Open();
    OpenFilters(dialog);
    const QString notZone = fixture.Path(QStringLiteral("error.html"));
    QVERIFY(WriteFile(notZone, "<html><body>Service unavailable</body></html>\n"));
    // Broken off after the lines its layout is told from: it fails while
    // read, after it has written names.
    const QString cut = fixture.Path(QStringLiteral("cut.zone.gz"));
    QVERIFY(CopyCut(Sample("czds-sample.zone.gz"), cut, 0.6));
    QVERIFY(!SingleRun(fixture, cut, 2).isEmpty());
    QCOMPARE(fixture.messages.messages.size(), std::size_t {1});
    fixture.messages.messages.clear();
    const QString gone = fixture.Path(QStringLiteral("gone.zone"));
    QVERIFY(WriteFile(gone, "x"));
    const QByteArray se = SingleRun(fixture, Sample("se-sample.zone"), 1);
    const QByteArray com = SingleRun(fixture, Sample("com-sample.zone"), 0);

    ChooseSeveral(fixture, {Native(notZone), Sample("se-sample.zone"), Native(cut), Native(gone),
                            Sample("com-sample.zone")});
    QVERIFY(QFile::remove(gone));
    const QString output = fixture.Path(QStringLiteral("all.txt"));
    QVERIFY(RunInto(fixture, output));
    QCOMPARE(ReadFile(output), se + com);

    const std::vector<ZoneRow>& rows = dialog.ZoneListRows();
    const QStringList results = Results(rows);
    QCOMPARE(results.size(), 5);
    QVERIFY2(results[0].startsWith(QStringLiteral("failed: layout not recognised")), qPrintable(results[0]));
    QCOMPARE(results[1], QStringLiteral("ok"));
    QVERIFY2(results[2].startsWith(QStringLiteral("failed: Unable to read")), qPrintable(results[2]));
    QVERIFY(rows[2].names > 0);
    QCOMPARE(results[3], QStringLiteral("failed: No such file or directory"));
    QCOMPARE(results[4], QStringLiteral("ok"));

    // The summary names each failed zone with its reason; no warning.
    QVERIFY(fixture.messages.messages.empty());
    QCOMPARE(fixture.messages.reports.size(), std::size_t {1});
    const QString summary = fixture.messages.reports.front().text;
    QVERIFY2(summary.contains(QStringLiteral("error.html: failed: layout not recognised")), qPrintable(summary));
    QVERIFY2(summary.contains(QStringLiteral("gone.zone: failed: No such file or directory")), qPrintable(summary));
    QVERIFY2(summary.startsWith(QStringLiteral("5 zone files: 2 read, 3 failed;")), qPrintable(summary));
    // Not all read: the bar is not left full.
    QCOMPARE(dialog.ProgressBar()->value(), dialog.ProgressBar()->minimum() - 1);
}

void ZoneListTests::abortInTheMiddleKeepsTheZonesReadWhole()
{
#ifndef Q_OS_UNIX
    QSKIP("needs a named pipe");
#else
    DialogFixture fixture;
    const QString pipePath = fixture.Path(QStringLiteral("live.zone"));
    ZonePipe pipe(pipePath);
    QVERIFY(pipe.Write("NAME1 NS NS1.HOST.NET.\n"));
    MainDialog& dialog = fixture.Open();
    OpenFilters(dialog);
    const QByteArray com = SingleRun(fixture, Sample("com-sample.zone"), 0);

    ChooseSeveral(fixture, {Sample("com-sample.zone"), Native(pipePath), Sample("se-sample.zone")});
    fixture.files.answers.push_back(fixture.Path(QStringLiteral("all.txt")));
    Button(dialog, id::kExtractDomainsButton)->click();
    QVERIFY(dialog.IsRunActive());
    // The pipe is read (with the layout box's layout) and waited on.
    QTRY_VERIFY_WITH_TIMEOUT(CurrentRunState().linesRead.load() > 10000, kRunTimeoutMs);

    Button(dialog, id::kPauseButton)->click();
    QVERIFY(IsPaused());
    Button(dialog, id::kAbortButton)->click();
    QVERIFY(IsAbortRequested());
    pipe.Write("NAME2 NS NS1.HOST.NET.\n");
    pipe.Close();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsRunActive(), kRunTimeoutMs);

    // The zone cut short is taken back; the one after it is not read.
    QCOMPARE(ReadFile(fixture.Path(QStringLiteral("all.txt"))), com);
    QCOMPARE(Results(dialog.ZoneListRows()),
             (QStringList {QStringLiteral("ok"), QStringLiteral("failed: stopped before its end"),
                           QStringLiteral("failed: stopped before it was read")}));
    QCOMPARE(dialog.ZoneListRows()[1].layout, std::string("gtld"));
    QCOMPARE(fixture.messages.reports.size(), std::size_t {1});
    QVERIFY(!Button(dialog, id::kAbortButton)->isEnabled());
#endif
}

void ZoneListTests::tableHasOneHeaderAndTheZoneColumn()
{
    DialogFixture fixture;
    fixture.store->WriteSettingString(kSettings, QStringLiteral("Output Form"), QStringLiteral("tsv"));
    const QString se = fixture.Path(QStringLiteral("se.zone"));
    QVERIFY(WriteFile(se, "- Name=se\n    Created=2024-09-11\n    Name Server=a.ns.se\n"
                             "- Name=alpha.se\n    Created=2020-06-17\n    Name Server=ns1.host.se\n"));
    const QString notZone = fixture.Path(QStringLiteral("a.txt"));
    QVERIFY(WriteFile(notZone, "not a zone\n"));
    const QString com = fixture.Path(QStringLiteral("com.zone"));
    QVERIFY(WriteFile(com, "$ORIGIN COM.\nCOM. NS A.GTLD-SERVERS.NET.\nBRAVO NS NS1.HOST.NET.\n"));
    MainDialog& dialog = fixture.Open();
    OpenFilters(dialog);

    // The header stays even when the first zone fails.
    ChooseSeveral(fixture, {Native(notZone), Native(se), Native(com)});
    const QString output = fixture.Path(QStringLiteral("all.tsv"));
    QVERIFY(RunInto(fixture, output));
    QCOMPARE(ReadFile(output), QByteArray("name\tservers\tunicode\tzone\nalpha.se\t\t\tse\nBRAVO.COM\t\t\tcom\n"));
}

void ZoneListTests::refusalsCreateNoOutput()
{
    DialogFixture fixture;
    const QString folder = fixture.Path(QStringLiteral("zones"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(WriteFile(folder + QStringLiteral("/com.zone"), "$ORIGIN COM.\nBRAVO NS NS1.HOST.NET.\n"));
    MainDialog& dialog = fixture.Open();
    fixture.files.folderAnswers.push_back(folder);
    Button(dialog, id::kOpenFolderButton)->click();

    // The output inside the chosen folder: the next run would read it.
    const QString inside = folder + QStringLiteral("/names.txt");
    fixture.files.answers.push_back(inside);
    Button(dialog, id::kExtractDomainsButton)->click();
    QVERIFY(!dialog.IsRunActive());
    QCOMPARE(fixture.messages.messages.size(), std::size_t {1});
    QVERIFY(!QFileInfo::exists(inside));

    // A comparison takes one zone file: refused before the output is asked.
    Control<QCheckBox>(dialog, id::kCompareCheck)->setChecked(true);
    const std::size_t asked = fixture.files.requests.size();
    Button(dialog, id::kExtractDomainsButton)->click();
    QVERIFY(!dialog.IsRunActive());
    QCOMPARE(fixture.files.requests.size(), asked);
    QCOMPARE(fixture.messages.messages.size(), std::size_t {2});

    // So does a count.
    Control<QCheckBox>(dialog, id::kCompareCheck)->setChecked(false);
    Button(dialog, id::kCountServersButton)->click();
    QVERIFY(!dialog.IsRunActive());
    QCOMPARE(fixture.files.requests.size(), asked);
    QCOMPARE(fixture.messages.messages.size(), std::size_t {3});
    QVERIFY(fixture.messages.reports.empty());
}

void ZoneListTests::writeFailureEndsTheRun()
{
    if (!QFileInfo::exists(QStringLiteral("/dev/full")))
        QSKIP("no /dev/full on this system");
    DialogFixture fixture;
    MainDialog& dialog = fixture.Open();
    ChooseSeveral(fixture, {Sample("se-sample.zone"), Sample("com-sample.zone")});
    QVERIFY(RunInto(fixture, QStringLiteral("/dev/full")));

    // Shown as for one zone, and no zone after it is read.
    QCOMPARE(fixture.messages.Texts(),
             QStringList {QStringLiteral("Error: Unable to write '/dev/full'\nNo space left on device")});
    QCOMPARE(Results(dialog.ZoneListRows()),
             (QStringList {QStringLiteral("failed: Unable to write '/dev/full': No space left on device"),
                           QStringLiteral("failed: not read: the output failed")}));
    QCOMPARE(fixture.messages.reports.size(), std::size_t {1});
}

void ZoneListTests::summaryNamesFailuresFirst()
{
    std::vector<ZoneRow> rows(4);
    for (std::size_t i = 0; i < rows.size(); ++i)
    {
        rows[i].file = "/z/z" + std::to_string(i) + ".zone";
        rows[i].zone = "z" + std::to_string(i);
        rows[i].layout = "master";
        rows[i].names = 10 * i;
    }
    rows[2].result = ZoneResult::Failed;
    rows[2].reason = "layout not recognised: no record";
    rows[3].result = ZoneResult::LineLimit;

    QCOMPARE(QString::fromStdString(ZoneListSummary(rows, 3)),
             QStringLiteral("4 zone files: 3 read, 1 failed; 40 names.\n\n"
                            "z2.zone: failed: layout not recognised: no record\n"
                            "z0.zone (z0, master): 0 names, ok\n"
                            "z1.zone (z1, master): 10 names, ok\n"
                            "(and 1 more)"));
    QVERIFY(!QString::fromStdString(ZoneListSummary(rows)).contains(QStringLiteral("more")));
    QVERIFY(QString::fromStdString(ZoneListSummary(rows)).endsWith(QStringLiteral("30 names, line-limit")));
}

QTEST_MAIN(ZoneListTests)
#include "zone_list_tests.moc"
