// The main dialog's look-alike row and output form: what it keeps in the
// settings store, the runs it starts through the real worker, the terms it
// refuses, and that the whole window still fits (also run at scale 2).

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "control_ids.h"
#include "elided_label.h"
#include "extraction/extraction_state.h"
#include "fake_services.h"

using namespace plexor;
using namespace plexor::test;
namespace id = plexor::control_id;

namespace
{
    constexpr int kRunTimeoutMs = 30000;
    const QString kSettings = QStringLiteral("Settings");

    // A master file with a planted variant of each kind the run reports,
    // the brand's own name (an exception below) and a name like no term.
    constexpr char kBrandZone[] = "$ORIGIN com.\n"
                                  "$TTL 3600\n"
                                  "paypa1 NS ns1.host.net.\n"
                                  "PayPal NS ns1.host.net.\n"
                                  "xn--l-7sba6dbr NS ns1.host.net.\n"
                                  "paypal-login NS ns1.host.net.\n"
                                  "amaz0n NS ns2.host.net.\n"
                                  "amazom NS ns2.host.net.\n"
                                  "bravo NS ns1.host.net.\n"
                                  "paypall NS ns1.host.net.\n";

    // Every name passes the length and character filters, so only the
    // look-alike row decides.
    void OpenEveryName(MainDialog& dialog)
    {
        Control<QComboBox>(dialog, id::kZoneTypeCombo)->setCurrentIndex(2);
        Control<QLineEdit>(dialog, id::kMinCharsEdit)->setText(QStringLiteral("1"));
        Control<QLineEdit>(dialog, id::kMaxCharsEdit)->setText(QStringLiteral("63"));
        Control<QLineEdit>(dialog, id::kExcludeCharsEdit)->clear();
    }

    void ChooseFiles(DialogFixture& fixture, const QString& zonePath, const QString& outputPath)
    {
        fixture.files.answers.push_back(zonePath);
        Button(*fixture.dialog, id::kOpenZoneButton)->click();
        fixture.files.answers.push_back(outputPath);
    }

    void SetRow(const MainDialog& dialog, const QString& terms, const QString& exceptions, int distanceItem,
                int formItem)
    {
        Control<QLineEdit>(dialog, id::kLookalikeTermsEdit)->setText(terms);
        Control<QLineEdit>(dialog, id::kLookalikeExceptionsEdit)->setText(exceptions);
        Control<QComboBox>(dialog, id::kLookalikeDistanceCombo)->setCurrentIndex(distanceItem);
        Control<QComboBox>(dialog, id::kOutputFormCombo)->setCurrentIndex(formItem);
    }

    // The pixels a text needs beyond its advance in a push button or a
    // label: none of the window's texts may be cut.
    bool TextFits(const QWidget* widget, const QString& text, int margin)
    {
        return widget->fontMetrics().horizontalAdvance(text) + margin <= widget->width();
    }
}

class LookalikeRowTests final : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void firstStartShowsAnEmptyRow();
    void rowSurvivesCloseAndRestart();
    void storedValuesOutOfRangeGiveTheDefaults_data();
    void storedValuesOutOfRangeGiveTheDefaults();

    void lookalikeRun_data();
    void lookalikeRun();
    void tableIsOfferedAsTsv();
    void badTermsWarnAndWriteNothing_data();
    void badTermsWarnAndWriteNothing();

    void wholeDialogFits();
};

void LookalikeRowTests::init()
{
    ResetRunState();
}

void LookalikeRowTests::firstStartShowsAnEmptyRow()
{
    DialogFixture fixture;
    const MainDialog& dialog = fixture.Open();
    QCOMPARE(Control<QLineEdit>(dialog, id::kLookalikeTermsEdit)->text(), QString());
    QCOMPARE(Control<QLineEdit>(dialog, id::kLookalikeExceptionsEdit)->text(), QString());
    const auto* distance = Control<QComboBox>(dialog, id::kLookalikeDistanceCombo);
    QCOMPARE(distance->count(), 5);
    QCOMPARE(distance->currentText(), QStringLiteral("Automatic"));
    for (int item = 1; item < 5; ++item)
        QCOMPARE(distance->itemText(item), QString::number(item - 1));
    const auto* form = Control<QComboBox>(dialog, id::kOutputFormCombo);
    QCOMPARE(form->count(), 2);
    QCOMPARE(form->currentText(), QStringLiteral("List"));
    QCOMPARE(form->itemText(1), QStringLiteral("Table (TSV)"));
}

void LookalikeRowTests::rowSurvivesCloseAndRestart()
{
    DialogFixture fixture;
    MainDialog& dialog = fixture.Open();
    const QString terms = QStringLiteral("paypal, m\u00fcnchen.de");
    SetRow(dialog, terms, QStringLiteral("paypal.com,purchase"), 3, 1);
    dialog.CloseDialog();
    QVERIFY(!dialog.isVisible());

    const auto saved = fixture.Reopened();
    QCOMPARE(saved->ReadSettingString(kSettings, QStringLiteral("Lookalike Terms")), terms);
    QCOMPARE(saved->ReadSettingString(kSettings, QStringLiteral("Lookalike Exceptions")),
             QStringLiteral("paypal.com,purchase"));
    QCOMPARE(saved->ReadSettingInt(kSettings, QStringLiteral("Lookalike Distance"), -9), 2);
    QCOMPARE(saved->ReadSettingString(kSettings, QStringLiteral("Output Form")), QStringLiteral("tsv"));

    fixture.dialog.reset();
    fixture.store = fixture.Reopened();
    const MainDialog& next = fixture.Open();
    QCOMPARE(Control<QLineEdit>(next, id::kLookalikeTermsEdit)->text(), terms);
    QCOMPARE(Control<QLineEdit>(next, id::kLookalikeExceptionsEdit)->text(), QStringLiteral("paypal.com,purchase"));
    QCOMPARE(Control<QComboBox>(next, id::kLookalikeDistanceCombo)->currentIndex(), 3);
    QCOMPARE(Control<QComboBox>(next, id::kOutputFormCombo)->currentIndex(), 1);

    // Back to automatic and the list: stored as -1 and "list".
    SetRow(next, QString(), QString(), 0, 0);
    fixture.dialog->CloseDialog();
    const auto cleared = fixture.Reopened();
    QCOMPARE(cleared->ReadSettingInt(kSettings, QStringLiteral("Lookalike Distance"), -9), -1);
    QCOMPARE(cleared->ReadSettingString(kSettings, QStringLiteral("Output Form")), QStringLiteral("list"));
    QCOMPARE(cleared->ReadSettingString(kSettings, QStringLiteral("Lookalike Terms"), QStringLiteral("unset")),
             QString());
}

void LookalikeRowTests::storedValuesOutOfRangeGiveTheDefaults_data()
{
    QTest::addColumn<QString>("distance");
    QTest::addColumn<QString>("form");
    QTest::addColumn<int>("distanceItem");
    QTest::addColumn<int>("formItem");
    QTest::newRow("zero, tsv") << "0" << "tsv" << 1 << 1;
    QTest::newRow("three, upper-case TSV") << "3" << "TSV" << 4 << 1;
    QTest::newRow("four, jsonl") << "4" << "jsonl" << 0 << 0;
    QTest::newRow("minus two, blank") << "-2" << "" << 0 << 0;
    QTest::newRow("letters") << "two" << "table" << 0 << 0;
}

void LookalikeRowTests::storedValuesOutOfRangeGiveTheDefaults()
{
    QFETCH(QString, distance);
    QFETCH(QString, form);
    QFETCH(int, distanceItem);
    QFETCH(int, formItem);
    DialogFixture fixture;
    fixture.store->WriteSettingString(kSettings, QStringLiteral("Lookalike Distance"), distance);
    fixture.store->WriteSettingString(kSettings, QStringLiteral("Output Form"), form);
    const MainDialog& dialog = fixture.Open();
    QCOMPARE(Control<QComboBox>(dialog, id::kLookalikeDistanceCombo)->currentIndex(), distanceItem);
    QCOMPARE(Control<QComboBox>(dialog, id::kOutputFormCombo)->currentIndex(), formItem);
}

void LookalikeRowTests::lookalikeRun_data()
{
    QTest::addColumn<QString>("terms");
    QTest::addColumn<int>("distanceItem");
    QTest::addColumn<int>("formItem");
    QTest::addColumn<bool>("append");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray header("name\tservers\tunicode\tterm\tkind\tdistance\n");
    // раураl.com, the Cyrillic name of the zone.
    const QByteArray cyrillic("xn--l-7sba6dbr.com\t\t\xd1\x80\xd0\xb0\xd1\x83\xd1\x80\xd0\xb0l.com");
    QTest::newRow("table, automatic distance")
        << "paypal,amazon" << 0 << 1 << false
        << header + "paypa1.com\t\t\tpaypal\thomoglyph\t0\n" + cyrillic + "\tpaypal\thomoglyph\t0\n"
               + "paypal-login.com\t\t\tpaypal\tcombo\t6\n" + "amaz0n.com\t\t\tamazon\thomoglyph\t0\n"
               + "amazom.com\t\t\tamazon\tinsertion\t1\n" + "paypall.com\t\t\tpaypal\trepetition\t1\n";
    QTest::newRow("table, distance 0")
        << "paypal,amazon" << 1 << 1 << false
        << header + "paypa1.com\t\t\tpaypal\thomoglyph\t0\n" + cyrillic + "\tpaypal\thomoglyph\t0\n"
               + "paypal-login.com\t\t\tpaypal\tcombo\t6\n" + "amaz0n.com\t\t\tamazon\thomoglyph\t0\n"
               + "paypall.com\t\t\tpaypal\tcombo\t1\n";
    QTest::newRow("list") << " paypal " << 0 << 0 << false
                          << QByteArray("paypa1.com\r\nxn--l-7sba6dbr.com\r\npaypal-login.com\r\npaypall.com\r\n");
    QTest::newRow("table with the servers")
        << "amazon" << 0 << 1 << true
        << header + "amaz0n.com\tns2.host.net\t\tamazon\thomoglyph\t0\n" + "amazom.com\tns2.host.net\t\tamazon\tinsertion\t1\n";
    // Blanks are no terms: the plain run, in either form.
    QTest::newRow("blanks, list") << "   " << 2 << 0 << false
                                  << QByteArray("paypa1.com\r\npaypal.com\r\nxn--l-7sba6dbr.com\r\npaypal-login.com\r\n"
                                                "amaz0n.com\r\namazom.com\r\nbravo.com\r\npaypall.com\r\n");
    QTest::newRow("no terms, table")
        << "" << 0 << 1 << true
        << QByteArray("name\tservers\tunicode\n") + "paypa1.com\tns1.host.net\t\n" + "paypal.com\tns1.host.net\t\n"
               + "xn--l-7sba6dbr.com\tns1.host.net\t" + cyrillic.mid(20) + "\n" + "paypal-login.com\tns1.host.net\t\n"
               + "amaz0n.com\tns2.host.net\t\n" + "amazom.com\tns2.host.net\t\n" + "bravo.com\tns1.host.net\t\n"
               + "paypall.com\tns1.host.net\t\n";
}

void LookalikeRowTests::lookalikeRun()
{
#ifndef PLEXOR_HAVE_LOOKALIKE
    QSKIP("this build has no look-alike matching");
#endif
    QFETCH(QString, terms);
    QFETCH(int, distanceItem);
    QFETCH(int, formItem);
    QFETCH(bool, append);
    QFETCH(QByteArray, expected);

    DialogFixture fixture;
    const QString zonePath = fixture.Path(QStringLiteral("com.zone"));
    const QString outputPath = fixture.Path(QStringLiteral("lookalikes.out"));
    QVERIFY(WriteFile(zonePath, kBrandZone));
    MainDialog& dialog = fixture.Open();
    ChooseFiles(fixture, zonePath, outputPath);
    OpenEveryName(dialog);
    Control<QCheckBox>(dialog, id::kAppendNameServersCheck)->setChecked(append);
    SetRow(dialog, terms, QStringLiteral("paypal.com"), distanceItem, formItem);

    Button(dialog, id::kExtractDomainsButton)->click();
    QVERIFY(dialog.IsRunActive());
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsRunActive(), kRunTimeoutMs);
    QCOMPARE(ReadFile(outputPath), expected);
    QVERIFY(fixture.messages.messages.empty());

    // The next run takes the row as it is then: the plain list.
    SetRow(dialog, QString(), QString(), 0, 0);
    Control<QCheckBox>(dialog, id::kAppendNameServersCheck)->setChecked(false);
    fixture.files.answers.push_back(outputPath);
    Button(dialog, id::kExtractDomainsButton)->click();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsRunActive(), kRunTimeoutMs);
    QCOMPARE(ReadFile(outputPath).count("\r\n"), 8);
}

void LookalikeRowTests::tableIsOfferedAsTsv()
{
    DialogFixture fixture;
    const QString zonePath = fixture.Path(QStringLiteral("com.zone"));
    QVERIFY(WriteFile(zonePath, kBrandZone));
    MainDialog& dialog = fixture.Open();
    fixture.files.answers.push_back(zonePath);
    Button(dialog, id::kOpenZoneButton)->click();
    Control<QComboBox>(dialog, id::kOutputFormCombo)->setCurrentIndex(1);
    QVERIFY(QDir(fixture.dir.path()).mkdir(QStringLiteral("tables")));
    // A name typed without an extension gets .tsv, and the folder is
    // remembered for the next table.
    fixture.files.answers.push_back(fixture.Path(QStringLiteral("tables/brand")));
    Button(dialog, id::kExtractDomainsButton)->click();
    const FileDialogRequest& request = fixture.files.requests.back();
    QCOMPARE(request.defaultSuffix, QStringLiteral("tsv"));
    QCOMPARE(request.nameFilters.size(), 3);
    QVERIFY2(request.nameFilters.front().contains(QStringLiteral("*.tsv")), qPrintable(request.nameFilters.front()));
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsRunActive(), kRunTimeoutMs);
    const QString written = fixture.Path(QStringLiteral("tables/brand.tsv"));
    QCOMPARE(dialog.OutputPath(), QDir::toNativeSeparators(written));
    QVERIFY(ReadFile(written).startsWith("name\tservers\tunicode\n"));
    QVERIFY(!fixture.Reopened()->ReadSettingString(QStringLiteral("File Path"), QStringLiteral("tsv")).isEmpty());
}

void LookalikeRowTests::badTermsWarnAndWriteNothing_data()
{
    QTest::addColumn<QString>("terms");
    QTest::addColumn<int>("startButton");
    QTest::addColumn<QString>("message");

    const QString longTerm(64, QLatin1Char('a'));
    QTest::newRow("only commas") << ", ," << id::kExtractDomainsButton
                                 << "The list of look-alike terms is empty.";
    QTest::newRow("64 characters") << QStringLiteral("paypal,") + longTerm << id::kExtractDomainsButton
                                   << QStringLiteral("The term \"%1\" is longer than 63 characters.").arg(longTerm);
    QTest::newRow("no first label") << "paypal,.com" << id::kExtractDomainsButton
                                    << "The term \".com\" has an empty first label.";
    QTest::newRow("a combining mark alone") << QStringLiteral("\u0301") << id::kExtractDomainsButton
                                            << QStringLiteral("The term \"\u0301\" has no characters left to compare.");
    QTest::newRow("name-server mode") << "paypal" << id::kExtractNameServersButton
                                      << "Look-alike terms find domain names: clear the look-alike field to extract "
                                         "name servers.";
}

void LookalikeRowTests::badTermsWarnAndWriteNothing()
{
#ifndef PLEXOR_HAVE_LOOKALIKE
    QSKIP("this build has no look-alike matching");
#endif
    QFETCH(QString, terms);
    QFETCH(int, startButton);
    QFETCH(QString, message);

    DialogFixture fixture;
    const QString zonePath = fixture.Path(QStringLiteral("com.zone"));
    const QString outputPath = fixture.Path(QStringLiteral("earlier.txt"));
    QVERIFY(WriteFile(zonePath, kBrandZone));
    QVERIFY(WriteFile(outputPath, QByteArrayLiteral("earlier names\r\n")));
    MainDialog& dialog = fixture.Open();
    ChooseFiles(fixture, zonePath, outputPath);
    SetRow(dialog, terms, QString(), 0, 1);

    Button(dialog, startButton)->click();
    QCOMPARE(fixture.messages.Texts(), QStringList {message});
    // Refused before the output is asked for: nothing was created or
    // truncated, and no run started.
    QCOMPARE(fixture.files.requests.size(), std::size_t {1});
    QVERIFY(!dialog.IsRunActive());
    QCOMPARE(ReadFile(outputPath), QByteArray("earlier names\r\n"));
    QCOMPARE(fixture.Reopened()->ReadSettingString(kSettings, QStringLiteral("Zone Output File"),
                                                   QStringLiteral("unset")),
             QStringLiteral("unset"));
}

void LookalikeRowTests::wholeDialogFits()
{
    DialogFixture fixture;
    fixture.store->WriteSettingString(kSettings, QStringLiteral("Output Form"), QStringLiteral("tsv"));
    MainDialog& dialog = fixture.Open();
    const QList<QWidget*> widgets = dialog.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    QList<QWidget*> controls;
    for (QWidget* widget : widgets)
    {
        const QString name = widget->objectName();
        QVERIFY2(dialog.rect().contains(widget->geometry()), qPrintable(name));
        if (qobject_cast<QGroupBox*>(widget) == nullptr)
            controls.append(widget);
        // Each text fits its control (a combo box: its widest item).
        if (auto* combo = qobject_cast<QComboBox*>(widget))
            QVERIFY2(combo->sizeHint().width() <= combo->width() && combo->sizeHint().height() <= combo->height(),
                     qPrintable(QStringLiteral("%1: %2 > %3").arg(name).arg(combo->sizeHint().width()).arg(combo->width())));
        else if (auto* check = qobject_cast<QCheckBox*>(widget))
            QVERIFY2(check->sizeHint().width() <= check->width(), qPrintable(name));
        else if (auto* button = qobject_cast<QPushButton*>(widget))
        {
            for (const QString& line : button->text().remove(QLatin1Char('&')).split(QLatin1Char('\n')))
                QVERIFY2(TextFits(button, line, 8), qPrintable(name));
        }
        else if (auto* label = qobject_cast<QLabel*>(widget); label != nullptr && qobject_cast<ElidedLabel*>(label) == nullptr)
            QVERIFY2(TextFits(label, label->text().remove(QLatin1Char('&')), 0),
                     qPrintable(QStringLiteral("%1: %2 > %3")
                                    .arg(name)
                                    .arg(label->fontMetrics().horizontalAdvance(label->text()))
                                    .arg(label->width())));
    }
    // No control lies over another (group boxes only frame).
    for (qsizetype a = 0; a < controls.size(); ++a)
        for (qsizetype b = a + 1; b < controls.size(); ++b)
            QVERIFY2(!controls[a]->geometry().intersects(controls[b]->geometry()),
                     qPrintable(controls[a]->objectName() + QStringLiteral(" / ") + controls[b]->objectName()));
}

QTEST_MAIN(LookalikeRowTests)
#include "lookalike_row_tests.moc"
