// The main dialog's count row: what it keeps in the settings store, the
// tables its counts write through the real worker (with the window's
// filters, look-alike terms, a provider map and a comparison), the maps it
// refuses, the chart after the count and its PNG, and that the chart's
// window holds every text whole (also run at scale 2; the whole main window's
// fit is checked with the look-alike row's tests).

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "control_ids.h"
#include "count_chart.h"
#include "extraction/extraction_state.h"
#include "fake_services.h"
#include "zone_pipe.h"

using namespace plexor;
using namespace plexor::test;
namespace id = plexor::control_id;

namespace
{
    constexpr int kRunTimeoutMs = 30000;
    const QString kSettings = QStringLiteral("Settings");

    // Six domains: servers shared, in upper case, under a two-label public
    // suffix, and of one provider that spans two registrable domains.
    constexpr char kServersZone[] = "$ORIGIN com.\n"
                                    "$TTL 3600\n"
                                    "alpha NS ns1.cloudflare.com.\n"
                                    "alpha NS ns2.cloudflare.com.\n"
                                    "bravo NS NS1.CloudFlare.com.\n"
                                    "charlie NS ns-12.awsdns-34.net.\n"
                                    "charlie NS ns-99.awsdns-01.org.\n"
                                    "delta NS ns1.delta.com.\n"
                                    "echo NS ns1.cloudflare.com.\n"
                                    "echo NS ns1.host.co.uk.\n"
                                    "longername NS ns1.host.co.uk.\n";
    // The older file of a comparison: alpha and bravo were there before.
    constexpr char kOlderZone[] = "$ORIGIN com.\n"
                                  "alpha NS ns1.cloudflare.com.\n"
                                  "bravo NS ns1.cloudflare.com.\n";
    constexpr char kMap[] = "# two domains, one provider\n"
                            "ns-*.awsdns-[0-9][0-9].net  amazon-route53\n"
                            "ns-*.awsdns-[0-9][0-9].org  amazon-route53\n";

    // Every name passes the length and character filters.
    void OpenEveryName(MainDialog& dialog)
    {
        Control<QComboBox>(dialog, id::kZoneTypeCombo)->setCurrentIndex(2);
        Control<QLineEdit>(dialog, id::kMinCharsEdit)->setText(QStringLiteral("1"));
        Control<QLineEdit>(dialog, id::kMaxCharsEdit)->setText(QStringLiteral("63"));
        Control<QLineEdit>(dialog, id::kExcludeCharsEdit)->clear();
    }

    MainDialog& OpenWithZone(DialogFixture& fixture, const QByteArray& zone)
    {
        const QString zonePath = fixture.Path(QStringLiteral("com.zone"));
        if (!WriteFile(zonePath, zone))
            qFatal("cannot write the zone");
        MainDialog& dialog = fixture.Open();
        fixture.files.answers.push_back(zonePath);
        Button(dialog, id::kOpenZoneButton)->click();
        OpenEveryName(dialog);
        return dialog;
    }

    // Count Servers with the output file as the Save dialog's answer, and
    // the run awaited.
    bool CountInto(DialogFixture& fixture, const QString& outputPath)
    {
        fixture.files.answers.push_back(outputPath);
        Button(*fixture.dialog, id::kCountServersButton)->click();
        if (!fixture.dialog->IsRunActive())
            return false;
        return QTest::qWaitFor([&] { return !fixture.dialog->IsRunActive(); }, kRunTimeoutMs);
    }

    // "name domains share%" lines of a list-form table.
    std::vector<ChartRow> ListRows(const QByteArray& table)
    {
        std::vector<ChartRow> rows;
        for (const QByteArray& line : table.split('\n'))
        {
            const QList<QByteArray> words = line.split(' ');
            if (words.size() == 3)
                rows.push_back({QString::fromUtf8(words[0]), words[1].toULongLong(),
                                QString::fromUtf8(words[2].chopped(1))});
        }
        return rows;
    }

    bool TextFits(const QWidget* widget, const QString& text, int margin)
    {
        return widget->fontMetrics().horizontalAdvance(text) + margin <= widget->width();
    }

}

class CountRowTests final : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void rowSurvivesCloseAndRestart();
    void storedCountByGivesProviderUnlessServer_data();
    void storedCountByGivesProviderUnlessServer();

    void countWritesTheTable_data();
    void countWritesTheTable();
    void listRunAfterACountWritesTheList();
    void badMapWarnsAndWritesNothing_data();
    void badMapWarnsAndWritesNothing();
    void abortedCountEndsLikeOtherRuns();

    void chartShowsTheLargestInOrder();
    void chartSavesAPng();
    void chartReportsAFailedSave();
    void chartWindowFits();
};

void CountRowTests::init()
{
    ResetRunState();
}

void CountRowTests::rowSurvivesCloseAndRestart()
{
    DialogFixture fixture;
    MainDialog& dialog = fixture.Open();
    auto* countBy = Control<QComboBox>(dialog, id::kCountByCombo);
    QCOMPARE(countBy->count(), 2);
    QCOMPARE(countBy->currentText(), QStringLiteral("By provider"));
    QCOMPARE(countBy->itemText(1), QStringLiteral("By server"));
    QCOMPARE(Control<QLineEdit>(dialog, id::kProviderMapEdit)->text(), QString());

    const QString mapPath = fixture.Path(QStringLiteral("providers.map"));
    QVERIFY(WriteFile(mapPath, kMap));
    fixture.files.answers.push_back(mapPath);
    Button(dialog, id::kOpenProviderMapButton)->click();
    QCOMPARE(Control<QLineEdit>(dialog, id::kProviderMapEdit)->text(), QDir::toNativeSeparators(mapPath));
    QVERIFY(fixture.files.requests.back().openForm);
    countBy->setCurrentIndex(1);
    dialog.CloseDialog();

    const auto saved = fixture.Reopened();
    QCOMPARE(saved->ReadSettingString(kSettings, QStringLiteral("Count By")), QStringLiteral("server"));
    QCOMPARE(saved->ReadSettingString(kSettings, QStringLiteral("Provider Map File")), QDir::toNativeSeparators(mapPath));
    fixture.dialog.reset();
    fixture.store = fixture.Reopened();
    MainDialog& next = fixture.Open();
    QCOMPARE(Control<QComboBox>(next, id::kCountByCombo)->currentIndex(), 1);
    QCOMPARE(Control<QLineEdit>(next, id::kProviderMapEdit)->text(), QDir::toNativeSeparators(mapPath));

    // Cleared by hand, and back to providers.
    Control<QLineEdit>(next, id::kProviderMapEdit)->clear();
    Control<QComboBox>(next, id::kCountByCombo)->setCurrentIndex(0);
    next.CloseDialog();
    const auto cleared = fixture.Reopened();
    QCOMPARE(cleared->ReadSettingString(kSettings, QStringLiteral("Count By")), QStringLiteral("provider"));
    QCOMPARE(cleared->ReadSettingString(kSettings, QStringLiteral("Provider Map File"), QStringLiteral("unset")),
             QString());
}

void CountRowTests::storedCountByGivesProviderUnlessServer_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("item");
    QTest::newRow("server") << "server" << 1;
    QTest::newRow("upper-case, blanks") << " SERVER " << 1;
    QTest::newRow("provider") << "provider" << 0;
    QTest::newRow("unknown") << "registrar" << 0;
    QTest::newRow("empty") << "" << 0;
}

void CountRowTests::storedCountByGivesProviderUnlessServer()
{
    QFETCH(QString, stored);
    QFETCH(int, item);
    DialogFixture fixture;
    fixture.store->WriteSettingString(kSettings, QStringLiteral("Count By"), stored);
    const MainDialog& dialog = fixture.Open();
    QCOMPARE(Control<QComboBox>(dialog, id::kCountByCombo)->currentIndex(), item);
}

void CountRowTests::countWritesTheTable_data()
{
    QTest::addColumn<int>("countByItem");
    QTest::addColumn<int>("formItem");
    QTest::addColumn<bool>("withMap");
    QTest::addColumn<QString>("nameServers");
    QTest::addColumn<QString>("terms");
    QTest::addColumn<bool>("compare");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<QString>("figures");

    // Counted by hand from the zone above.
    QTest::newRow("by provider, list")
        << 0 << 0 << false << "" << "" << false
        << QByteArray("cloudflare.com 3 50.00%\nhost.co.uk 2 33.33%\nawsdns-01.org 1 16.67%\n"
                      "awsdns-34.net 1 16.67%\ndelta.com 1 16.67%\n")
        << "Domains counted: 6\nDomains on one provider: 4 (66.67%)\nProviders covering 50% of domains: 1\n"
           "Providers covering 90% of domains: 3";
    QTest::newRow("by server, tsv")
        << 1 << 1 << false << "" << "" << false
        << QByteArray("server\tdomains\tshare\nns1.cloudflare.com\t3\t50.00\nns1.host.co.uk\t2\t33.33\n"
                      "ns-12.awsdns-34.net\t1\t16.67\nns-99.awsdns-01.org\t1\t16.67\nns1.delta.com\t1\t16.67\n"
                      "ns2.cloudflare.com\t1\t16.67\n")
        << "Domains counted: 6\nDomains on one provider: 4 (66.67%)\nServers covering 50% of domains: 1\n"
           "Servers covering 90% of domains: 3";
    QTest::newRow("by provider with the map")
        << 0 << 0 << true << "" << "" << false
        << QByteArray("cloudflare.com 3 50.00%\nhost.co.uk 2 33.33%\namazon-route53 1 16.67%\ndelta.com 1 16.67%\n")
        << "Domains counted: 6\nDomains on one provider: 5 (83.33%)\nProviders covering 50% of domains: 1\n"
           "Providers covering 90% of domains: 3";
    // The servers filter: only the domains on that server, and only the
    // servers the list would append.
    QTest::newRow("servers filter")
        << 0 << 1 << false << "ns1.cloudflare.com" << "" << false
        << QByteArray("provider\tdomains\tshare\ncloudflare.com\t3\t100.00\n")
        << "Domains counted: 3\nDomains on one provider: 3 (100.00%)\nProviders covering 50% of domains: 1\n"
           "Providers covering 90% of domains: 1";
    QTest::newRow("today's new domains")
        << 0 << 0 << false << "" << "" << true
        << QByteArray("host.co.uk 2 50.00%\nawsdns-01.org 1 25.00%\nawsdns-34.net 1 25.00%\n"
                      "cloudflare.com 1 25.00%\ndelta.com 1 25.00%\n")
        << "Domains counted: 4\nDomains on one provider: 2 (50.00%)\nProviders covering 50% of domains: 1\n"
           "Providers covering 90% of domains: 3";
#ifdef PLEXOR_HAVE_LOOKALIKE
    QTest::newRow("look-alike terms")
        << 1 << 0 << false << "" << "bravo" << false << QByteArray("ns1.cloudflare.com 1 100.00%\n")
        << "Domains counted: 1\nDomains on one provider: 1 (100.00%)\nServers covering 50% of domains: 1\n"
           "Servers covering 90% of domains: 1";
#endif
}

void CountRowTests::countWritesTheTable()
{
    QFETCH(int, countByItem);
    QFETCH(int, formItem);
    QFETCH(bool, withMap);
    QFETCH(QString, nameServers);
    QFETCH(QString, terms);
    QFETCH(bool, compare);
    QFETCH(QByteArray, expected);
    QFETCH(QString, figures);

    DialogFixture fixture;
    MainDialog& dialog = OpenWithZone(fixture, kServersZone);
    const QString mapPath = fixture.Path(QStringLiteral("providers.map"));
    QVERIFY(WriteFile(mapPath, kMap));
    const QString olderPath = fixture.Path(QStringLiteral("older.zone"));
    QVERIFY(WriteFile(olderPath, kOlderZone));
    Control<QComboBox>(dialog, id::kCountByCombo)->setCurrentIndex(countByItem);
    Control<QComboBox>(dialog, id::kOutputFormCombo)->setCurrentIndex(formItem);
    Control<QLineEdit>(dialog, id::kProviderMapEdit)->setText(withMap ? mapPath : QStringLiteral("  "));
    Control<QLineEdit>(dialog, id::kNameServersEdit)->setText(nameServers);
    Control<QLineEdit>(dialog, id::kLookalikeTermsEdit)->setText(terms);
    if (compare)
    {
        fixture.files.answers.push_back(olderPath);
        Control<QCheckBox>(dialog, id::kCompareCheck)->setChecked(true);
        Button(dialog, id::kOpenOlderZoneButton)->click();
    }
    // The append box stays as it is: a count appends the servers itself.
    QVERIFY(!Control<QCheckBox>(dialog, id::kAppendNameServersCheck)->isChecked());

    const QString outputPath = fixture.Path(QStringLiteral("providers.out"));
    QVERIFY(CountInto(fixture, outputPath));
    QCOMPARE(ReadFile(outputPath), expected);
    QCOMPARE(fixture.messages.Texts(), QStringList());
    QVERIFY(!Control<QCheckBox>(dialog, id::kAppendNameServersCheck)->isChecked());

    CountChartDialog* chart = dialog.CountChartWindow();
    QVERIFY(chart != nullptr);
    QVERIFY(chart->isVisible());
    QCOMPARE(chart->FiguresText()->text(), figures);
    QCOMPARE(chart->Chart()->Rows().size(), static_cast<std::size_t>(expected.count('\n') - (formItem == 1 ? 1 : 0)));
}

void CountRowTests::listRunAfterACountWritesTheList()
{
    DialogFixture fixture;
    MainDialog& dialog = OpenWithZone(fixture, kServersZone);
    const QString outputPath = fixture.Path(QStringLiteral("out.txt"));
    QVERIFY(CountInto(fixture, outputPath));
    QVERIFY(ReadFile(outputPath).startsWith("cloudflare.com 3 50.00%\n"));
    const CountChartDialog* chart = dialog.CountChartWindow();

    // The next run of the start buttons is the list again, with the append
    // box as it is.
    fixture.files.answers.push_back(outputPath);
    Button(dialog, id::kExtractDomainsButton)->click();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsRunActive(), kRunTimeoutMs);
    QCOMPARE(ReadFile(outputPath),
             QByteArray("alpha.com\r\nbravo.com\r\ncharlie.com\r\ndelta.com\r\necho.com\r\nlongername.com\r\n"));
    QCOMPARE(dialog.CountChartWindow(), chart);
    QVERIFY(fixture.messages.messages.empty());
}

void CountRowTests::badMapWarnsAndWritesNothing_data()
{
    QTest::addColumn<QByteArray>("map");
    QTest::addColumn<bool>("present");
    QTest::addColumn<QString>("messagePart");
    QTest::newRow("a line of one word") << QByteArray("# joins\nns-*.awsdns-*.net amazon\nns1.example.net\n") << true
                                        << "line 3";
    QTest::newRow("a line of three words") << QByteArray("a.net b c\n") << true << "line 1";
    QTest::newRow("missing") << QByteArray() << false << "Unable to read the provider map";
}

void CountRowTests::badMapWarnsAndWritesNothing()
{
    QFETCH(QByteArray, map);
    QFETCH(bool, present);
    QFETCH(QString, messagePart);

    DialogFixture fixture;
    MainDialog& dialog = OpenWithZone(fixture, kServersZone);
    const QString mapPath = fixture.Path(QStringLiteral("providers.map"));
    if (present)
        QVERIFY(WriteFile(mapPath, map));
    Control<QLineEdit>(dialog, id::kProviderMapEdit)->setText(mapPath);
    const QString outputPath = fixture.Path(QStringLiteral("earlier.txt"));
    QVERIFY(WriteFile(outputPath, QByteArrayLiteral("earlier names\r\n")));
    const std::size_t requests = fixture.files.requests.size();
    fixture.files.answers.push_back(outputPath);

    Button(dialog, id::kCountServersButton)->click();
    QCOMPARE(fixture.messages.messages.size(), std::size_t {1});
    QVERIFY2(fixture.messages.messages.front().text.contains(messagePart),
             qPrintable(fixture.messages.messages.front().text));
    QVERIFY(!dialog.IsRunActive());
    // Refused before the output is asked for.
    QCOMPARE(fixture.files.requests.size(), requests);
    QCOMPARE(ReadFile(outputPath), QByteArray("earlier names\r\n"));
    QVERIFY(dialog.CountChartWindow() == nullptr);

    // The map is the count's alone: the list runs as before.
    Button(dialog, id::kExtractDomainsButton)->click();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsRunActive(), kRunTimeoutMs);
    QCOMPARE(ReadFile(outputPath).count("\r\n"), 6);
}

void CountRowTests::abortedCountEndsLikeOtherRuns()
{
#ifndef Q_OS_UNIX
    QSKIP("named pipes are made here with mkfifo");
#else
    DialogFixture fixture;
    const QString zonePath = fixture.Path(QStringLiteral("pipe.zone"));
    ZonePipe pipe(zonePath, QByteArrayLiteral("$ORIGIN com.\nalpha NS ns1.cloudflare.com.\nbravo NS ns1.example.net.\n"));
    QVERIFY(pipe.IsOpen());
    MainDialog& dialog = fixture.Open();
    fixture.files.answers.push_back(zonePath);
    Button(dialog, id::kOpenZoneButton)->click();
    OpenEveryName(dialog);
    const QString outputPath = fixture.Path(QStringLiteral("out.txt"));
    fixture.files.answers.push_back(outputPath);
    Button(dialog, id::kCountServersButton)->click();
    QVERIFY(dialog.IsRunActive());
    QVERIFY(Button(dialog, id::kPauseButton)->isEnabled());
    QVERIFY(Button(dialog, id::kAbortButton)->isEnabled());
    // A second start is refused while the count runs.
    Button(dialog, id::kCountServersButton)->click();
    QCOMPARE(fixture.messages.Texts(), QStringList {QStringLiteral("Processing in progress!")});

    // Aborted once the lines are read: the count holds what came so far.
    const auto linesRead = [] {
        std::uint64_t lines = 0;
        std::uint64_t names = 0;
        GetRunCounters(lines, names);
        return lines;
    };
    QTRY_VERIFY_WITH_TIMEOUT(linesRead() >= 3, kRunTimeoutMs);
    Button(dialog, id::kPauseButton)->click();
    QCOMPARE(Button(dialog, id::kPauseButton)->text(), QStringLiteral("&Go"));
    Button(dialog, id::kAbortButton)->click();
    QVERIFY(IsAbortRequested());
    // The worker stops once it gets past the read it waits in.
    pipe.Close();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsRunActive(), kRunTimeoutMs);
    QVERIFY(!Button(dialog, id::kAbortButton)->isEnabled());
    // The table of what was read, and its chart.
    QVERIFY2(ReadFile(outputPath).startsWith("cloudflare.com 1 "), ReadFile(outputPath).constData());
    QVERIFY(dialog.CountChartWindow() != nullptr);
#endif
}

void CountRowTests::chartShowsTheLargestInOrder()
{
    // Provider k has k domains, so the 20 largest are 25 down to 6; two of
    // equal size go by name.
    QByteArray zone("$ORIGIN com.\n");
    int domains = 0;
    for (int provider = 1; provider <= 25; ++provider)
        for (int domain = 0; domain < provider; ++domain, ++domains)
            zone += QStringLiteral("d%1 NS ns1.provider%2.net.\n").arg(domains).arg(provider, 2, 10, QLatin1Char('0')).toLatin1();
    zone += "tie NS ns1.provider00.net.\n";
    for (int domain = 0; domain < 6; ++domain)
        zone += QStringLiteral("t%1 NS ns1.provider00.net.\n").arg(domain).toLatin1();

    DialogFixture fixture;
    MainDialog& dialog = OpenWithZone(fixture, zone);
    const QString outputPath = fixture.Path(QStringLiteral("providers.txt"));
    QVERIFY(CountInto(fixture, outputPath));
    const std::vector<ChartRow> table = ListRows(ReadFile(outputPath));
    QCOMPARE(table.size(), std::size_t {26});

    const CountChartDialog* chart = dialog.CountChartWindow();
    QVERIFY(chart != nullptr);
    const std::vector<ChartRow>& rows = chart->Chart()->Rows();
    QCOMPARE(rows.size(), CountChartDialog::kChartRows);
    QCOMPARE(rows, std::vector<ChartRow>(table.begin(), table.begin() + 20));
    QCOMPARE(rows.front(), (ChartRow {QStringLiteral("provider25.net"), 25, QStringLiteral("7.53")}));
    // provider00 (7 domains) comes before provider07 of the same size.
    QCOMPARE(rows[18].name, QStringLiteral("provider00.net"));
    QCOMPARE(rows[19].name, QStringLiteral("provider07.net"));
    QCOMPARE(chart->Title()->text(), QStringLiteral("The 20 providers with the most domains"));
    QVERIFY(chart->FiguresText()->text().startsWith(QStringLiteral("Domains counted: 332\n")));
}

void CountRowTests::chartSavesAPng()
{
    DialogFixture fixture;
    MainDialog& dialog = OpenWithZone(fixture, kServersZone);
    QVERIFY(CountInto(fixture, fixture.Path(QStringLiteral("out.txt"))));
    CountChartDialog* chart = dialog.CountChartWindow();
    QVERIFY(chart != nullptr);

    // A name without an extension gets .png.
    fixture.files.answers.push_back(fixture.Path(QStringLiteral("chart")));
    chart->SaveButton()->click();
    const FileDialogRequest& request = fixture.files.requests.back();
    QVERIFY(!request.openForm);
    QCOMPARE(request.defaultSuffix, QStringLiteral("png"));
    QCOMPARE(fixture.files.owners.back().data(), static_cast<QWidget*>(chart));
    const QString saved = fixture.Path(QStringLiteral("chart.png"));
    QVERIFY(ReadFile(saved).startsWith("\x89PNG\r\n\x1a\n"));
    QImage image;
    QVERIFY(image.load(saved, "PNG"));
    const QSize panel = chart->Panel()->size() * chart->Panel()->devicePixelRatioF();
    QCOMPARE(image.size(), panel);
    QVERIFY(fixture.messages.messages.empty());

    // Cancelled: nothing written, nothing said.
    QVERIFY(QFile::remove(saved));
    chart->SaveButton()->click();
    QVERIFY(!QFileInfo::exists(saved));
    QVERIFY(fixture.messages.messages.empty());
}

void CountRowTests::chartReportsAFailedSave()
{
    DialogFixture fixture;
    MainDialog& dialog = OpenWithZone(fixture, kServersZone);
    QVERIFY(CountInto(fixture, fixture.Path(QStringLiteral("out.txt"))));
    CountChartDialog* chart = dialog.CountChartWindow();
    QVERIFY(chart != nullptr);

    const QString target = QDir::toNativeSeparators(fixture.Path(QStringLiteral("no such folder/chart.png")));
    fixture.files.answers.push_back(target);
    chart->SaveButton()->click();
    QCOMPARE(fixture.messages.messages.size(), std::size_t {1});
    QCOMPARE(fixture.messages.messages.front().owner, chart);
    QCOMPARE(fixture.messages.messages.front().text, QStringLiteral("Error: Unable to save the chart to '%1'.").arg(target));
    QVERIFY(!QFileInfo::exists(target));
}

void CountRowTests::chartWindowFits()
{
    // Long names, the widest shares and counts, 20 rows.
    std::vector<ChartRow> rows;
    for (int i = 0; i < 25; ++i)
        rows.push_back({QStringLiteral("ns%1.a-rather-long-name-server-host-name.example.co.uk").arg(i),
                        static_cast<std::uint64_t>(123456789 - i), QStringLiteral("100.00")});
    CountChartDialog chart(CountBy::Server, rows,
                           {QStringLiteral("Domains counted: 123456789"),
                            QStringLiteral("Domains on one provider: 123456789 (100.00%)"),
                            QStringLiteral("Servers covering 50% of domains: 123"),
                            QStringLiteral("Servers covering 90% of domains: not reached")});
    chart.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chart));
    QCOMPARE(chart.Chart()->Rows().size(), CountChartDialog::kChartRows);

    const QSize hint = chart.Chart()->sizeHint();
    QVERIFY(chart.Chart()->width() >= hint.width() && chart.Chart()->height() >= hint.height());
    for (QLabel* label : {chart.Title(), chart.FiguresText()})
    {
        const QSize needed = label->sizeHint();
        QVERIFY2(label->width() >= needed.width() && label->height() >= needed.height(), qPrintable(label->text()));
    }
    for (QPushButton* button : chart.findChildren<QPushButton*>())
        QVERIFY2(TextFits(button, button->text().remove(QLatin1Char('&')), 8), qPrintable(button->text()));
    for (QWidget* child : chart.findChildren<QWidget*>())
        QVERIFY2(chart.rect().contains(QRect(child->mapTo(&chart, QPoint(0, 0)), child->size())),
                 qPrintable(child->objectName() + child->metaObject()->className()));
    // The value after the longest bar fits beside it.
    const QString widest = CountChart::ValueText(rows.front());
    QVERIFY(chart.Chart()->fontMetrics().horizontalAdvance(widest) < chart.Chart()->width() / 4);
}

QTEST_MAIN(CountRowTests)
#include "count_row_tests.moc"
