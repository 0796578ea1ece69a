// The main dialog without runs: what it shows, what it keeps in the settings
// store, how it reads its fields, its file dialog and its entry points.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "about/program_texts.h"
#include "control_ids.h"
#include "elided_label.h"
#include "extraction/extraction_state.h"
#include "fake_services.h"
#include "settings_keys.h"
#include "up_down_control.h"

using namespace plexor;
using namespace plexor::test;
namespace id = plexor::control_id;

namespace
{
    QString Text(const MainDialog& dialog, int controlId)
    {
        QWidget* widget = dialog.ControlById(controlId);
        if (auto* edit = qobject_cast<QLineEdit*>(widget))
            return edit->text();
        if (auto* label = qobject_cast<QLabel*>(widget))
            return label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(widget))
            return button->text();
        return QString();
    }

    void SetText(const MainDialog& dialog, int controlId, const QString& text)
    {
        Control<QLineEdit>(dialog, controlId)->setText(text);
    }

    void Click(const MainDialog& dialog, int controlId)
    {
        Control<QPushButton>(dialog, controlId)->click();
    }

    // Makes the members follow the controls without starting a run: a start
    // with no zone file reads the fields, then stops.
    void ReadFieldsThroughStart(const MainDialog& dialog)
    {
        Click(dialog, id::kExtractDomainsButton);
    }

    const QString kSettings = QStringLiteral("Settings");
    const QString kFilePath = QStringLiteral("File Path");
}

class MainDialogTests final : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void firstStartShowsDefaults();
    void storedSettingsAreShown();
    void closeSavesWhatTheFieldsLastRead();
    void storedValuesAreTakenWithoutRangeCheck();
    void escapeClosesKeepingWhatIsShown();
    void typedSettingsSurviveCloseAndRestart();
    void standardZoneItemIsStoredAndRestored();

    void invalidNumberIsRefused_data();
    void invalidNumberIsRefused();

    void openZoneShowsAndStoresPath();
    void zoneFiltersListTheirGzipForms();
    void systemFoldersAreNeitherRememberedNorOpened();
    void openZoneCancelledChangesNothing();
    void openZoneKeepsTypedTextWhenNumberInvalid();
    void rememberedFoldersAreKeptPerExtension();
    void longZonePathIsKeptWhole();
    void droppedZoneFile_data();
    void droppedZoneFile();

    void tabOrderFollowsTemplate();
    void arrowsAttachToTheirFields();
    void everyControlHasAnAccessibleName();
    void aboutEntryPoints();
    void viewOutputOpensThePath();
    void viewOutputSaysWhenNoViewerOpens();
    void lineLimitEntrySetsTheStoredLimit_data();
    void lineLimitEntrySetsTheStoredLimit();
    void enterInFieldStartsNothing();
    void comparisonRowFitsAndKeepsItsChoices();
};

void MainDialogTests::init()
{
    ResetRunState();
}

void MainDialogTests::firstStartShowsDefaults()
{
    DialogFixture fixture;
    const MainDialog& dialog = fixture.Open();

    QCOMPARE(Text(dialog, id::kMinCharsEdit), QStringLiteral("5"));
    QCOMPARE(Text(dialog, id::kMaxCharsEdit), QStringLiteral("18"));
    QCOMPARE(Text(dialog, id::kExcludeCharsEdit), QStringLiteral("xyz-"));
    QCOMPARE(Text(dialog, id::kIncludeWordsEdit), QString());
    QCOMPARE(Text(dialog, id::kNameServersEdit), QString());
    QCOMPARE(Text(dialog, id::kZoneFileName), QString());
    QCOMPARE(Text(dialog, id::kStatusLine), QString());
    QVERIFY(!Control<QCheckBox>(dialog, id::kAppendNameServersCheck)->isChecked());

    const auto* zoneType = Control<QComboBox>(dialog, id::kZoneTypeCombo);
    QCOMPARE(zoneType->count(), 3);
    QCOMPARE(zoneType->itemText(0), QStringLiteral("Com,Net,Edu Zone"));
    QCOMPARE(zoneType->itemText(1), QStringLiteral("Se Zone"));
    QCOMPARE(zoneType->itemText(2), QStringLiteral("Standard Zone"));
    const QString toolTip = zoneType->itemData(2, Qt::ToolTipRole).toString();
    QVERIFY2(toolTip.contains(QStringLiteral("ICANN CZDS")) && toolTip.contains(QStringLiteral("zone transfer")),
             qPrintable(toolTip));
    // Every item fits the closed box without clipping.
    QVERIFY2(zoneType->sizeHint().width() <= zoneType->width(),
             qPrintable(QStringLiteral("%1 > %2").arg(zoneType->sizeHint().width()).arg(zoneType->width())));
    QCOMPARE(zoneType->currentIndex(), 0);

    QVERIFY(!Control<QPushButton>(dialog, id::kPauseButton)->isEnabled());
    QVERIFY(!Control<QPushButton>(dialog, id::kAbortButton)->isEnabled());
    QCOMPARE(Text(dialog, id::kPauseButton), QStringLiteral("&Pause"));
    QCOMPARE(dialog.windowTitle(), QString::fromStdString(ProductName()));
    QVERIFY(!dialog.windowIcon().isNull());
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QCOMPARE(dialog.focusWidget(), dialog.ControlById(id::kOpenZoneButton));
    QVERIFY(fixture.messages.messages.empty());
}

void MainDialogTests::storedSettingsAreShown()
{
    DialogFixture fixture;
    SettingsStore& store = *fixture.store;
    store.WriteSettingInt(kSettings, QStringLiteral("Max Chars"), 30);
    store.WriteSettingInt(kSettings, QStringLiteral("Min Chars"), 0);
    store.WriteSettingString(kSettings, QStringLiteral("NS List"), QStringLiteral("ns1.host.net"));
    store.WriteSettingString(kSettings, QStringLiteral("Include Words"), QStringLiteral("shop,buy"));
    store.WriteSettingString(kSettings, QStringLiteral("Exclude Chars"), QString());
    store.WriteSettingString(kSettings, QStringLiteral("Zone File Name"), QStringLiteral("/zones/se.txt"));
    store.WriteSettingInt(kSettings, QStringLiteral("Append Name Servers"), 1);
    store.WriteSettingInt(kSettings, QStringLiteral("Zone Type"), 1);
    store.WriteSettingString(kSettings, QStringLiteral("Output File"), QStringLiteral("/out/names.txt"));
    const MainDialog& dialog = fixture.Open();

    QCOMPARE(Text(dialog, id::kMaxCharsEdit), QStringLiteral("30"));
    QCOMPARE(Text(dialog, id::kMinCharsEdit), QStringLiteral("0"));
    QCOMPARE(Text(dialog, id::kNameServersEdit), QStringLiteral("ns1.host.net"));
    QCOMPARE(Text(dialog, id::kIncludeWordsEdit), QStringLiteral("shop,buy"));
    QCOMPARE(Text(dialog, id::kExcludeCharsEdit), QString());
    QCOMPARE(Text(dialog, id::kZoneFileName), QStringLiteral("/zones/se.txt"));
    QVERIFY(Control<QCheckBox>(dialog, id::kAppendNameServersCheck)->isChecked());
    QCOMPARE(Control<QComboBox>(dialog, id::kZoneTypeCombo)->currentIndex(), 1);
    QCOMPARE(dialog.OutputPath(), QStringLiteral("/out/names.txt"));
}

void MainDialogTests::closeSavesWhatTheFieldsLastRead()
{
    DialogFixture fixture;
    fixture.store->WriteSettingString(kSettings, QStringLiteral("Zone File Name"), QStringLiteral("/zones/a.zone"));
    fixture.store->WriteSettingString(kSettings, QStringLiteral("Output File"), QStringLiteral("/out/old.txt"));
    MainDialog& dialog = fixture.Open();

    SetText(dialog, id::kMaxCharsEdit, QStringLiteral(" 40 "));
    SetText(dialog, id::kMinCharsEdit, QStringLiteral("-3"));
    SetText(dialog, id::kNameServersEdit, QStringLiteral("ns1.a.net,ns2.b.net"));
    SetText(dialog, id::kIncludeWordsEdit, QStringLiteral("shop"));
    SetText(dialog, id::kExcludeCharsEdit, QStringLiteral("0123"));
    Control<QCheckBox>(dialog, id::kAppendNameServersCheck)->setChecked(true);
    Control<QComboBox>(dialog, id::kZoneTypeCombo)->setCurrentIndex(1);
    // Reads the fields, asks for the output file, which is cancelled.
    Click(dialog, id::kExtractNameServersButton);
    QCOMPARE(fixture.files.requests.size(), std::size_t {1});

    Click(dialog, id::kCloseButton);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int {QDialog::Rejected});

    const auto saved = fixture.Reopened();
    QCOMPARE(saved->ReadSettingInt(kSettings, QStringLiteral("Max Chars"), 0), 40);
    QCOMPARE(saved->ReadSettingInt(kSettings, QStringLiteral("Min Chars"), 0), -3);
    QCOMPARE(saved->ReadSettingString(kSettings, QStringLiteral("NS List")), QStringLiteral("ns1.a.net,ns2.b.net"));
    QCOMPARE(saved->ReadSettingString(kSettings, QStringLiteral("Include Words")), QStringLiteral("shop"));
    QCOMPARE(saved->ReadSettingString(kSettings, QStringLiteral("Exclude Chars")), QStringLiteral("0123"));
    QCOMPARE(saved->ReadSettingInt(kSettings, QStringLiteral("Append Name Servers"), 0), 1);
    QCOMPARE(saved->ReadSettingInt(kSettings, QStringLiteral("Zone Type"), 0), 1);
    QCOMPARE(saved->ReadSettingString(kSettings, QStringLiteral("Output File")), QStringLiteral("/out/old.txt"));
    QCOMPARE(saved->ReadSettingString(kSettings, QStringLiteral("Zone File Name")), QStringLiteral("/zones/a.zone"));
    // A cancelled Save dialog remembers no folder and starts no run.
    QCOMPARE(saved->ReadSettingString(kFilePath, QStringLiteral("TXT")), QString());
    QCOMPARE(saved->ReadSettingString(kSettings, QStringLiteral("Zone Output File"), QStringLiteral("unset")),
             QStringLiteral("unset"));
}

void MainDialogTests::storedValuesAreTakenWithoutRangeCheck()
{
    DialogFixture fixture;
    fixture.store->WriteSettingInt(kSettings, QStringLiteral("Max Chars"), 200);
    // A zone type from before the third layout: any value but 0 and 2 means
    // .SE and shows as the .SE item.
    fixture.store->WriteSettingInt(kSettings, QStringLiteral("Zone Type"), 7);
    MainDialog& dialog = fixture.Open();
    QCOMPARE(Text(dialog, id::kMaxCharsEdit), QStringLiteral("200"));
    QCOMPARE(Control<QComboBox>(dialog, id::kZoneTypeCombo)->currentIndex(), 1);

    ReadFieldsThroughStart(dialog);
    QCOMPARE(fixture.messages.Texts(), QStringList {QStringLiteral("Please specify the zone file.")});
    QCOMPARE(dialog.CurrentFields().maxChars, 200);
    QCOMPARE(dialog.CurrentFields().zoneType, 1);
    dialog.CloseDialog();
    const auto saved = fixture.Reopened();
    QCOMPARE(saved->ReadSettingInt(kSettings, QStringLiteral("Max Chars"), 0), 200);
    QCOMPARE(saved->ReadSettingInt(kSettings, QStringLiteral("Zone Type"), 0), 1);
}

void MainDialogTests::escapeClosesKeepingWhatIsShown()
{
    DialogFixture fixture;
    fixture.store->WriteSettingInt(kSettings, QStringLiteral("Max Chars"), 25);
    fixture.store->WriteSettingInt(kSettings, QStringLiteral("Min Chars"), 6);
    MainDialog& dialog = fixture.Open();
    // Typed but never read by a command: Escape takes them, without a
    // message; a number field that holds no integer keeps its value.
    SetText(dialog, id::kMaxCharsEdit, QStringLiteral("30"));
    SetText(dialog, id::kMinCharsEdit, QStringLiteral("six"));
    SetText(dialog, id::kExcludeCharsEdit, QStringLiteral("q"));
    QTest::keyClick(dialog.ControlById(id::kExcludeCharsEdit), Qt::Key_Escape);

    QVERIFY(!dialog.isVisible());
    QVERIFY(fixture.messages.messages.empty());
    const auto saved = fixture.Reopened();
    QCOMPARE(saved->ReadSettingInt(kSettings, QStringLiteral("Max Chars"), 0), 30);
    QCOMPARE(saved->ReadSettingInt(kSettings, QStringLiteral("Min Chars"), 0), 6);
    QCOMPARE(saved->ReadSettingString(kSettings, QStringLiteral("Exclude Chars")), QStringLiteral("q"));
}

void MainDialogTests::typedSettingsSurviveCloseAndRestart()
{
    DialogFixture fixture;
    const QString zonePath = fixture.Path(QStringLiteral("com.zone"));
    QVERIFY(WriteFile(zonePath, QByteArrayLiteral("; zone\n")));
    fixture.files.answers.push_back(zonePath);
    MainDialog& dialog = fixture.Open();
    SetText(dialog, id::kMaxCharsEdit, QStringLiteral("40"));
    // Open Zone with a field that holds no integer: the window keeps what
    // was typed, and the next start shows what was kept.
    SetText(dialog, id::kMinCharsEdit, QStringLiteral("x7"));
    SetText(dialog, id::kNameServersEdit, QStringLiteral("ns1.a.net"));
    Click(dialog, id::kOpenZoneButton);
    QCOMPARE(fixture.messages.Texts(), QStringList {QStringLiteral("Please enter an integer.")});
    SetText(dialog, id::kIncludeWordsEdit, QStringLiteral("shop,buy"));
    SetText(dialog, id::kExcludeCharsEdit, QString());
    Control<QCheckBox>(dialog, id::kAppendNameServersCheck)->setChecked(true);
    Control<QComboBox>(dialog, id::kZoneTypeCombo)->setCurrentIndex(2);

    Click(dialog, id::kCloseButton);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(fixture.messages.messages.size(), std::size_t {1});

    // The next start, on the same settings file.
    const auto store = fixture.Reopened();
    FakeFileDialogs files;
    RecordingMessageBoxes messages;
    RecordingDesktopOpener desktop;
    RecordingAboutBox about;
    MainDialog next(MainDialogServices {*store, files, messages, desktop, about});
    QCOMPARE(Text(next, id::kMaxCharsEdit), QStringLiteral("40"));
    QCOMPARE(Text(next, id::kMinCharsEdit), QStringLiteral("5"));
    QCOMPARE(Text(next, id::kNameServersEdit), QStringLiteral("ns1.a.net"));
    QCOMPARE(Text(next, id::kIncludeWordsEdit), QStringLiteral("shop,buy"));
    QCOMPARE(Text(next, id::kExcludeCharsEdit), QString());
    QCOMPARE(Text(next, id::kZoneFileName), QDir::toNativeSeparators(zonePath));
    QVERIFY(Control<QCheckBox>(next, id::kAppendNameServersCheck)->isChecked());
    QCOMPARE(Control<QComboBox>(next, id::kZoneTypeCombo)->currentIndex(), 2);
}

void MainDialogTests::standardZoneItemIsStoredAndRestored()
{
    DialogFixture fixture;
    fixture.store->WriteSettingInt(kSettings, QStringLiteral("Zone Type"), 2);
    MainDialog& dialog = fixture.Open();
    QCOMPARE(Control<QComboBox>(dialog, id::kZoneTypeCombo)->currentIndex(), 2);
    QVERIFY(Control<QComboBox>(dialog, id::kZoneTypeCombo)->toolTip().contains(QStringLiteral("ICANN CZDS")));
    ReadFieldsThroughStart(dialog);
    QCOMPARE(dialog.CurrentFields().zoneType, static_cast<int>(ZoneType::Master));
    dialog.CloseDialog();
    QCOMPARE(fixture.Reopened()->ReadSettingInt(kSettings, QStringLiteral("Zone Type"), 0), 2);
}

void MainDialogTests::invalidNumberIsRefused_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    QTest::newRow("letters in max") << id::kMaxCharsEdit << QStringLiteral("abc");
    QTest::newRow("empty max") << id::kMaxCharsEdit << QString();
    QTest::newRow("minus zero in min") << id::kMinCharsEdit << QStringLiteral("-0");
    QTest::newRow("fraction in min") << id::kMinCharsEdit << QStringLiteral("7.5");
}

void MainDialogTests::invalidNumberIsRefused()
{
    QFETCH(int, field);
    QFETCH(QString, text);

    DialogFixture fixture;
    fixture.store->WriteSettingString(kSettings, QStringLiteral("Zone File Name"), QStringLiteral("/zones/a.zone"));
    MainDialog& dialog = fixture.Open();
    SetText(dialog, id::kMaxCharsEdit, QStringLiteral("33"));
    SetText(dialog, id::kMinCharsEdit, QStringLiteral("6"));
    SetText(dialog, field, text);
    SetText(dialog, id::kNameServersEdit, QStringLiteral("typed.ns"));
    Control<QCheckBox>(dialog, id::kAppendNameServersCheck)->setChecked(true);

    Click(dialog, id::kExtractDomainsButton);

    QCOMPARE(fixture.messages.messages.size(), std::size_t {1});
    const RecordedMessage& message = fixture.messages.messages.front();
    QCOMPARE(message.text, QStringLiteral("Please enter an integer."));
    QCOMPARE(message.caption, QCoreApplication::applicationName());
    QCOMPARE(message.owner, static_cast<QWidget*>(&dialog));
    // Nothing started: no Save dialog.
    QVERIFY(fixture.files.requests.empty());

    auto* edit = Control<QLineEdit>(dialog, field);
    QCOMPARE(dialog.focusWidget(), edit);
    QCOMPARE(edit->selectedText(), text);
    QCOMPARE(edit->text(), text);

    // Fields before the invalid one were read; it and all after it were not.
    const MainDialog::Fields& fields = dialog.CurrentFields();
    QCOMPARE(fields.maxChars, field == id::kMaxCharsEdit ? 18 : 33);
    QCOMPARE(fields.minChars, 5);
    QCOMPARE(fields.nameServerText, QString());
    QCOMPARE(fields.appendNameServers, 0);
}

void MainDialogTests::openZoneShowsAndStoresPath()
{
    DialogFixture fixture;
    QVERIFY(QDir(fixture.dir.path()).mkpath(QStringLiteral("zones")));
    const QString chosen = fixture.Path(QStringLiteral("zones/com.zone"));
    QVERIFY(WriteFile(chosen, QByteArrayLiteral("; zone\n")));
    fixture.files.answers.push_back(chosen);
    MainDialog& dialog = fixture.Open();

    Click(dialog, id::kOpenZoneButton);

    QCOMPARE(fixture.files.requests.size(), std::size_t {1});
    const FileDialogRequest& request = fixture.files.requests.front();
    QVERIFY(request.openForm);
    QCOMPARE(request.title, QString());
    QCOMPARE(request.defaultSuffix, QStringLiteral("zone"));
    QCOMPARE(request.initialLocation, QString());
    QCOMPARE(request.nameFilters.size(), 3);
    QCOMPARE(fixture.files.owners.front().data(), static_cast<QWidget*>(&dialog));

    const QString nativePath = QDir::toNativeSeparators(chosen);
    QCOMPARE(Text(dialog, id::kZoneFileName), nativePath);
    QCOMPARE(dialog.CurrentFields().zoneFileName, nativePath);
    // Stored at once, and the folder remembered for the zone extension.
    const auto saved = fixture.Reopened();
    QCOMPARE(saved->ReadSettingString(kSettings, QStringLiteral("Zone File Name")), nativePath);
    QCOMPARE(saved->ReadSettingString(kFilePath, QStringLiteral("zone")),
             QDir::toNativeSeparators(fixture.Path(QStringLiteral("zones/"))) + QStringLiteral("*.zone"));
    QCOMPARE(saved->ReadSettingString(kFilePath, QStringLiteral("TXT")), QString());
}

void MainDialogTests::zoneFiltersListTheirGzipForms()
{
    DialogFixture fixture;
    MainDialog& dialog = fixture.Open();
    Click(dialog, id::kOpenZoneButton);
    QCOMPARE(fixture.files.requests.front().nameFilters,
             (QStringList {QStringLiteral("Zone Files (*.zone *.zone.gz)"),
                           QStringLiteral("Text Files (*.txt *.txt.gz)"), QStringLiteral("All Files (*)")}));
}

void MainDialogTests::systemFoldersAreNeitherRememberedNorOpened()
{
#ifndef Q_OS_UNIX
    QSKIP("no /proc, /sys or /dev here");
#endif
    DialogFixture fixture;
    // Stored before such folders were refused: the file dialog starts in
    // its own default folder instead.
    fixture.store->WriteSettingString(kFilePath, QStringLiteral("TXT"), QStringLiteral("/proc/*.TXT"));
    fixture.store->WriteSettingString(kFilePath, QStringLiteral("zone"), QStringLiteral("/dev/fd/../*.zone"));
    const QString zonePath = fixture.Path(QStringLiteral("com.zone"));
    QVERIFY(WriteFile(zonePath, QByteArrayLiteral("; zone\n")));
    MainDialog& dialog = fixture.Open();
    fixture.files.answers.push_back(zonePath);
    Click(dialog, id::kOpenZoneButton);
    QCOMPARE(fixture.files.requests.back().initialLocation, QString());

    // An output file that cannot be created there is refused, and its
    // folder is not remembered.
    fixture.files.answers.push_back(QStringLiteral("/proc/x.txt"));
    Click(dialog, id::kExtractDomainsButton);
    QCOMPARE(fixture.files.requests.back().initialLocation, QString());
    QCOMPARE(fixture.messages.messages.size(), std::size_t {1});
    QVERIFY(fixture.messages.messages.front().text.startsWith(QStringLiteral("Error: Unable to open '/proc/x.txt'\n")));
    // Nor the folder of a file chosen in such a place.
    fixture.files.answers.push_back(QStringLiteral("/proc/self/status"));
    Click(dialog, id::kOpenZoneButton);
    const auto saved = fixture.Reopened();
    QCOMPARE(saved->ReadSettingString(kFilePath, QStringLiteral("TXT")), QStringLiteral("/proc/*.TXT"));
    QCOMPARE(saved->ReadSettingString(kFilePath, QStringLiteral("zone")),
             QDir::toNativeSeparators(fixture.dir.path() + QLatin1Char('/')) + QStringLiteral("*.zone"));

    // A folder in which the output was created is remembered.
    const QString outputPath = fixture.Path(QStringLiteral("out.txt"));
    fixture.files.answers.push_back(zonePath);
    Click(dialog, id::kOpenZoneButton);
    fixture.files.answers.push_back(outputPath);
    Click(dialog, id::kExtractDomainsButton);
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsRunActive(), 30000);
    QCOMPARE(fixture.Reopened()->ReadSettingString(kFilePath, QStringLiteral("TXT")),
             QDir::toNativeSeparators(fixture.dir.path() + QLatin1Char('/')) + QStringLiteral("*.TXT"));
}

void MainDialogTests::openZoneCancelledChangesNothing()
{
    DialogFixture fixture;
    fixture.store->WriteSettingString(kSettings, QStringLiteral("Zone File Name"), QStringLiteral("/zones/old.zone"));
    MainDialog& dialog = fixture.Open();
    SetText(dialog, id::kMaxCharsEdit, QStringLiteral("abc"));

    Click(dialog, id::kOpenZoneButton); // the fake cancels

    QCOMPARE(Text(dialog, id::kZoneFileName), QStringLiteral("/zones/old.zone"));
    QCOMPARE(Text(dialog, id::kMaxCharsEdit), QStringLiteral("abc"));
    QVERIFY(fixture.messages.messages.empty());
    QCOMPARE(fixture.Reopened()->ReadSettingString(kFilePath, QStringLiteral("zone")), QString());
}

void MainDialogTests::openZoneKeepsTypedTextWhenNumberInvalid()
{
    DialogFixture fixture;
    const QString chosen = fixture.Path(QStringLiteral("new.zone"));
    fixture.files.answers.push_back(chosen);
    MainDialog& dialog = fixture.Open();
    SetText(dialog, id::kMinCharsEdit, QStringLiteral("x7"));
    SetText(dialog, id::kNameServersEdit, QStringLiteral("typed.ns"));
    SetText(dialog, id::kExcludeCharsEdit, QStringLiteral("typed"));

    Click(dialog, id::kOpenZoneButton);

    QCOMPARE(fixture.messages.Texts(), QStringList {QStringLiteral("Please enter an integer.")});
    // The zone file is taken; what the user typed elsewhere stays.
    QCOMPARE(Text(dialog, id::kZoneFileName), QDir::toNativeSeparators(chosen));
    QCOMPARE(Text(dialog, id::kMinCharsEdit), QStringLiteral("x7"));
    QCOMPARE(Text(dialog, id::kNameServersEdit), QStringLiteral("typed.ns"));
    QCOMPARE(Text(dialog, id::kExcludeCharsEdit), QStringLiteral("typed"));
    QCOMPARE(dialog.focusWidget(), dialog.ControlById(id::kMinCharsEdit));
    QCOMPARE(fixture.Reopened()->ReadSettingString(kSettings, QStringLiteral("Zone File Name")),
             QDir::toNativeSeparators(chosen));
}

void MainDialogTests::rememberedFoldersAreKeptPerExtension()
{
    DialogFixture fixture;
    const QString zoneFolder = QDir::toNativeSeparators(fixture.Path(QStringLiteral("zones/")));
    const QString otherFolder = QDir::toNativeSeparators(fixture.Path(QStringLiteral("other/")));
    fixture.store->WriteSettingString(kFilePath, QStringLiteral("zone"), zoneFolder + QStringLiteral("*.zone"));
    fixture.store->WriteSettingString(kFilePath, QStringLiteral("TXT"), otherFolder + QStringLiteral("*.TXT"));
    MainDialog& dialog = fixture.Open();

    QString path = QStringLiteral("unchanged");
    QVERIFY(!dialog.PromptForFile(false, path, QString::fromLatin1(MainDialog::kOutputFileFilter),
                                  QStringLiteral("TXT"), QStringLiteral("Save Output To")));
    QCOMPARE(path, QStringLiteral("unchanged"));
    QCOMPARE(fixture.files.requests.back().initialLocation, otherFolder + QStringLiteral("*.TXT"));
    QVERIFY(!fixture.files.requests.back().openForm);
    QCOMPARE(fixture.files.requests.back().title, QStringLiteral("Save Output To"));

    fixture.files.answers.push_back(fixture.Path(QStringLiteral("zones/next.zone")));
    Click(dialog, id::kOpenZoneButton);
    QCOMPARE(fixture.files.requests.back().initialLocation, zoneFolder + QStringLiteral("*.zone"));

    // Choosing a zone file leaves the Save dialog's folder alone.
    QCOMPARE(fixture.Reopened()->ReadSettingString(kFilePath, QStringLiteral("TXT")),
             otherFolder + QStringLiteral("*.TXT"));
}

void MainDialogTests::longZonePathIsKeptWhole()
{
    DialogFixture fixture;
    const QString longPath = QStringLiteral("/") + QString(40, QLatin1Char('d')).append(QLatin1Char('/')).repeated(10)
                           + QStringLiteral("com.zone");
    QVERIFY(longPath.size() > 400);
    fixture.files.answers.push_back(longPath);
    MainDialog& dialog = fixture.Open();

    Click(dialog, id::kOpenZoneButton);

    QCOMPARE(Text(dialog, id::kZoneFileName), QDir::toNativeSeparators(longPath));
    QCOMPARE(fixture.Reopened()->ReadSettingString(kSettings, QStringLiteral("Zone File Name")),
             QDir::toNativeSeparators(longPath));
    // Shown shortened in the middle, so the file name stays visible.
    const QString shown = Control<ElidedLabel>(dialog, id::kZoneFileName)->DisplayedText();
    QVERIFY(shown.size() < longPath.size());
    QVERIFY(shown.endsWith(QStringLiteral("com.zone")));
}

void MainDialogTests::droppedZoneFile_data()
{
    QTest::addColumn<QStringList>("items"); // paths in the test folder, or whole URLs
    QTest::addColumn<bool>("onField");      // dropped on an edit field instead of the window
    QTest::addColumn<bool>("taken");
    const QString com = QStringLiteral("zones/com.zone");
    QTest::newRow("one file") << QStringList {com} << false << true;
    QTest::newRow("one file on a field") << QStringList {com} << true << true;
    QTest::newRow("two files on a field") << QStringList {com, com} << true << false;
    QTest::newRow("a folder") << QStringList {QStringLiteral("zones")} << false << false;
    QTest::newRow("a non-local URL") << QStringList {QStringLiteral("https://example.com/com.zone")} << false << false;
}

void MainDialogTests::droppedZoneFile()
{
    QFETCH(QStringList, items);
    QFETCH(bool, onField);
    QFETCH(bool, taken);
    DialogFixture fixture;
    QVERIFY(QDir(fixture.dir.path()).mkpath(QStringLiteral("zones")));
    QVERIFY(WriteFile(fixture.Path(QStringLiteral("zones/com.zone")), QByteArrayLiteral("; zone\n")));
    MainDialog& dialog = fixture.Open();
    QList<QUrl> urls;
    for (const QString& item : items)
        urls.append(item.contains(QLatin1Char(':')) ? QUrl(item) : QUrl::fromLocalFile(fixture.Path(item)));

    QCOMPARE(DropOn(onField ? dialog.ControlById(id::kIncludeWordsEdit) : &dialog, urls), taken);
    QCoreApplication::processEvents();
    // Taken as Open Zone takes a chosen file: shown, stored, its folder
    // remembered.
    const QString expected = taken ? QDir::toNativeSeparators(fixture.Path(items.front())) : QString();
    QCOMPARE(Text(dialog, id::kZoneFileName), expected);
    const auto saved = fixture.Reopened();
    QCOMPARE(saved->ReadSettingString(kSettings, QStringLiteral("Zone File Name")), expected);
    QCOMPARE(saved->ReadSettingString(kFilePath, QStringLiteral("zone")).isEmpty(), !taken);
}

void MainDialogTests::tabOrderFollowsTemplate()
{
    DialogFixture fixture;
    const MainDialog& dialog = fixture.Open();

    const QList<int> expected {id::kOpenZoneButton,        id::kOpenFolderButton,  id::kMinCharsEdit,      id::kMaxCharsEdit,
                               id::kExcludeCharsEdit,      id::kIncludeWordsEdit,  id::kNameServersEdit,
                               id::kExtractDomainsButton,  id::kExtractNameServersButton,
                               id::kPauseButton,           id::kAbortButton,       id::kViewOutputButton,
                               id::kCloseButton,           id::kAboutButton,       id::kAppendNameServersCheck,
                               id::kZoneTypeCombo,         id::kCompareCheck,      id::kChangesCombo,
                               id::kOpenOlderZoneButton,   id::kLookalikeTermsEdit, id::kLookalikeDistanceCombo,
                               id::kLookalikeExceptionsEdit, id::kOutputFormCombo, id::kProviderMapEdit,
                               id::kOpenProviderMapButton, id::kCountByCombo,  id::kCountServersButton};
    QList<int> order;
    QWidget* first = dialog.ControlById(id::kOpenZoneButton);
    QWidget* widget = first;
    do
    {
        if ((widget->focusPolicy() & Qt::TabFocus) != 0 && widget->window() == &dialog)
        {
            const QString name = widget->objectName();
            order.append(name.startsWith(QStringLiteral("control")) ? name.mid(7).toInt() : -1);
        }
        widget = widget->nextInFocusChain();
    } while (widget != first && order.size() < 50);
    QCOMPARE(order, expected);
}

void MainDialogTests::arrowsAttachToTheirFields()
{
    DialogFixture fixture;
    const MainDialog& dialog = fixture.Open();

    for (const auto& [arrowsId, fieldId] : {std::pair {id::kMinCharsArrows, id::kMinCharsEdit},
                                            std::pair {id::kMaxCharsArrows, id::kMaxCharsEdit}})
    {
        auto* arrows = Control<UpDownControl>(dialog, arrowsId);
        auto* field = Control<QLineEdit>(dialog, fieldId);
        QCOMPARE(arrows->Buddy(), field);
        QCOMPARE(arrows->Lower(), 5);
        QCOMPARE(arrows->Upper(), 67);
        // At the field's right edge, not over it.
        QCOMPARE(arrows->geometry().left(), field->geometry().right() + 1);
        QCOMPARE(arrows->geometry().top(), field->geometry().top());
    }

    // 18 in "Not more than": one click up gives 19, typed 100 is accepted.
    Control<UpDownControl>(dialog, id::kMaxCharsArrows)->UpButton()->click();
    QCOMPARE(Text(dialog, id::kMaxCharsEdit), QStringLiteral("19"));
    SetText(dialog, id::kMaxCharsEdit, QStringLiteral("100"));
    ReadFieldsThroughStart(dialog);
    QCOMPARE(dialog.CurrentFields().maxChars, 100);
}

void MainDialogTests::everyControlHasAnAccessibleName()
{
    DialogFixture fixture;
    const MainDialog& dialog = fixture.Open();
    const QList<QWidget*> widgets = dialog.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    QVERIFY(widgets.size() >= 28);
    for (QWidget* widget : widgets)
        QVERIFY2(!widget->accessibleName().isEmpty(), qPrintable(widget->objectName()));
    for (int arrowsId : {id::kMinCharsArrows, id::kMaxCharsArrows})
    {
        auto* arrows = Control<UpDownControl>(dialog, arrowsId);
        QVERIFY(!arrows->UpButton()->accessibleName().isEmpty());
        QVERIFY(!arrows->DownButton()->accessibleName().isEmpty());
    }
}

void MainDialogTests::aboutEntryPoints()
{
    DialogFixture fixture;
    MainDialog& dialog = fixture.Open();

    Click(dialog, id::kAboutButton);
    QVERIFY(dialog.AboutAction() != nullptr);
    QCOMPARE(dialog.AboutAction()->text(), QStringLiteral("&About Plexor2..."));
#ifndef Q_OS_WIN
    QCOMPARE(dialog.contextMenuPolicy(), Qt::ActionsContextMenu);
    QVERIFY(dialog.actions().contains(dialog.AboutAction()));
#endif
    dialog.AboutAction()->trigger();

    QCOMPARE(fixture.about.owners, (QList<QWidget*> {&dialog, &dialog}));
}

void MainDialogTests::viewOutputOpensThePath()
{
    DialogFixture fixture;
    MainDialog& dialog = fixture.Open();
    Click(dialog, id::kViewOutputButton);
    QVERIFY(fixture.desktop.opened.isEmpty());

    DialogFixture remembered;
    const QString stored = remembered.Path(QStringLiteral("never-written.txt"));
    remembered.store->WriteSettingString(kSettings, QStringLiteral("Output File"), stored);
    MainDialog& second = remembered.Open();
    Click(second, id::kViewOutputButton);
    QCOMPARE(remembered.desktop.opened, QStringList {stored});
    QVERIFY(remembered.messages.messages.empty());
}

void MainDialogTests::viewOutputSaysWhenNoViewerOpens()
{
    DialogFixture fixture;
    const QString stored = fixture.Path(QStringLiteral("names.txt"));
    fixture.store->WriteSettingString(kSettings, QStringLiteral("Output File"), stored);
    fixture.desktop.opens = false;
    MainDialog& dialog = fixture.Open();
    Click(dialog, id::kViewOutputButton);
    QCOMPARE(fixture.desktop.opened, QStringList {stored});
    QCOMPARE(fixture.messages.Texts(),
             QStringList {QStringLiteral("Error: Unable to open '%1' in a viewer.").arg(stored)});
    QCOMPARE(fixture.messages.messages.front().caption, QCoreApplication::applicationName());
}

void MainDialogTests::lineLimitEntrySetsTheStoredLimit_data()
{
    QTest::addColumn<QString>("stored"); // empty: nothing stored
    QTest::addColumn<QString>("shownFirst");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<int>("storedAfter"); // -1: nothing stored

    QTest::newRow("default, then none") << QString() << "2000000" << "0" << false << 0;
    QTest::newRow("a number with blanks") << "100" << "100" << " 5000 " << false << 5000;
    QTest::newRow("the largest") << QString() << "2000000" << "2147483647" << false << 2147483647;
    QTest::newRow("plus sign and leading zeros") << QString() << "2000000" << "+000000000000750" << false << 750;
    QTest::newRow("negative stored gives the default") << "-4" << "2000000" << "7" << false << 7;
    QTest::newRow("letters stored give the default") << "many" << "2000000" << "7" << false << 7;
    QTest::newRow("letters") << "300" << "300" << "12a" << true << 300;
    QTest::newRow("negative") << "300" << "300" << "-1" << true << 300;
    QTest::newRow("a fraction") << "300" << "300" << "1.5" << true << 300;
    QTest::newRow("past 2^31 - 1") << "300" << "300" << "2147483648" << true << 300;
    QTest::newRow("far past") << QString() << "2000000" << "99999999999999999999" << true << -1;
    QTest::newRow("empty") << "300" << "300" << "" << true << 300;
}

void MainDialogTests::lineLimitEntrySetsTheStoredLimit()
{
    QFETCH(QString, stored);
    QFETCH(QString, shownFirst);
    QFETCH(QString, typed);
    QFETCH(bool, refused);
    QFETCH(int, storedAfter);

    DialogFixture fixture;
    if (!stored.isEmpty())
        fixture.store->WriteSettingString(kSettings, QStringLiteral("Line Limit"), stored);
    MainDialog& dialog = fixture.Open();
    QVERIFY(dialog.LineLimitAction() != nullptr);
    QCOMPARE(dialog.LineLimitAction()->text(), QStringLiteral("Line Limit..."));
#ifndef Q_OS_WIN
    QVERIFY(dialog.actions().contains(dialog.LineLimitAction()));
#endif

    fixture.messages.textAnswers.push_back(typed);
    dialog.LineLimitAction()->trigger();

    QCOMPARE(fixture.messages.prompts.size(), std::size_t {1});
    const QString prompt = fixture.messages.prompts.front().text;
    QVERIFY2(prompt.contains(QStringLiteral("0 means no limit")), qPrintable(prompt));
    QVERIFY(prompt.endsWith(QLatin1Char('|') + shownFirst));
    QCOMPARE(fixture.messages.Texts(),
             refused ? QStringList {QStringLiteral("Please enter an integer.")} : QStringList());
    QCOMPARE(fixture.Reopened()->ReadSettingInt(kSettings, QStringLiteral("Line Limit"), -1), storedAfter);

    // Cancelled: nothing changes, nothing is said.
    dialog.LineLimitAction()->trigger();
    QCOMPARE(fixture.messages.messages.size(), std::size_t {refused ? 1u : 0u});
}

void MainDialogTests::enterInFieldStartsNothing()
{
    DialogFixture fixture;
    fixture.store->WriteSettingString(kSettings, QStringLiteral("Zone File Name"), QStringLiteral("/zones/a.zone"));
    MainDialog& dialog = fixture.Open();
    for (int fieldId : {id::kMaxCharsEdit, id::kNameServersEdit})
    {
        QTest::keyClick(dialog.ControlById(fieldId), Qt::Key_Return);
        QTest::keyClick(dialog.ControlById(fieldId), Qt::Key_Enter);
    }
    QVERIFY(dialog.isVisible());
    QVERIFY(fixture.files.requests.empty());
    QVERIFY(fixture.messages.messages.empty());
}

void MainDialogTests::comparisonRowFitsAndKeepsItsChoices()
{
    DialogFixture fixture;
    const QString older = fixture.Path(QStringLiteral("yesterday.zone.gz"));
    QVERIFY(WriteFile(older, QByteArrayLiteral("; zone\n")));
    fixture.files.answers.push_back(older);
    MainDialog& dialog = fixture.Open();

    // Off at first start, its choices unavailable.
    auto* compare = Control<QCheckBox>(dialog, id::kCompareCheck);
    auto* writes = Control<QComboBox>(dialog, id::kChangesCombo);
    auto* openOlder = Control<QPushButton>(dialog, id::kOpenOlderZoneButton);
    QVERIFY(!compare->isChecked());
    QCOMPARE(writes->currentIndex(), 0);
    QCOMPARE(writes->itemText(0), QStringLiteral("New names"));
    QCOMPARE(writes->itemText(1), QStringLiteral("Dropped names"));
    QVERIFY(!writes->isEnabled() && !openOlder->isEnabled());
    QCOMPARE(Text(dialog, id::kOlderZoneFileName), QString());

    // Nothing is clipped: every control lies inside the window and each
    // text fits its control.
    for (QWidget* widget : dialog.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        QVERIFY2(dialog.rect().contains(widget->geometry()), qPrintable(widget->objectName()));
    // (A push button's size hint has a style minimum beyond its text.)
    QVERIFY(openOlder->fontMetrics().horizontalAdvance(openOlder->text()) + 8 <= openOlder->width());
    for (QWidget* widget : {static_cast<QWidget*>(compare), static_cast<QWidget*>(writes)})
        QVERIFY2(widget->sizeHint().width() <= widget->width(),
                 qPrintable(QStringLiteral("%1: %2 > %3")
                                .arg(widget->accessibleName())
                                .arg(widget->sizeHint().width())
                                .arg(widget->width())));

    compare->setChecked(true);
    QVERIFY(writes->isEnabled() && openOlder->isEnabled());
    openOlder->click();
    const FileDialogRequest& request = fixture.files.requests.back();
    QVERIFY(request.openForm);
    QCOMPARE(request.defaultSuffix, QStringLiteral("zone"));
    QCOMPARE(request.nameFilters.size(), 3);
    const QString nativePath = QDir::toNativeSeparators(older);
    QCOMPARE(Text(dialog, id::kOlderZoneFileName), nativePath);
    QCOMPARE(fixture.Reopened()->ReadSettingString(kSettings, QStringLiteral("Older Zone File Name")), nativePath);
    writes->setCurrentIndex(1);
    Click(dialog, id::kCloseButton);

    const auto saved = fixture.Reopened();
    QCOMPARE(saved->ReadSettingInt(kSettings, QStringLiteral("Compare With Older Zone"), -1), 1);
    QCOMPARE(saved->ReadSettingInt(kSettings, QStringLiteral("Comparison Writes"), -1), 2);
    fixture.dialog.reset();
    fixture.store = fixture.Reopened();
    const MainDialog& reopened = fixture.Open();
    QVERIFY(Control<QCheckBox>(reopened, id::kCompareCheck)->isChecked());
    QCOMPARE(Control<QComboBox>(reopened, id::kChangesCombo)->currentIndex(), 1);
    QCOMPARE(Text(reopened, id::kOlderZoneFileName), nativePath);
}

QTEST_MAIN(MainDialogTests)
#include "main_dialog_tests.moc"
