// Every command of the main dialog can be given from the keyboard alone: by
// Tab to its control and Space (or an arrow key for the zone layout), or by
// its Alt mnemonic. Key presses go through Qt's key and shortcut handling,
// as a user's would. A mnemonic presses its button at once and releases it,
// which gives the command, on a short timer, so its effect is awaited.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "control_ids.h"
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

    QWidget* FocusedControl(const MainDialog& dialog)
    {
        return dialog.focusWidget();
    }

    // Presses Tab until the control has the focus; false if it never does
    // (not in the tab chain, or disabled).
    bool TabTo(const MainDialog& dialog, int controlId)
    {
        QWidget* target = dialog.ControlById(controlId);
        for (int presses = 0; presses < 40; ++presses)
        {
            if (FocusedControl(dialog) == target)
                return true;
            QTest::keyClick(FocusedControl(dialog), Qt::Key_Tab);
        }
        return FocusedControl(dialog) == target;
    }

    void PressSpace(const MainDialog& dialog)
    {
        QTest::keyClick(FocusedControl(dialog), Qt::Key_Space);
    }

    // Alt plus the letter, sent where the focus is, so it goes through the
    // window's shortcut map like a real key press.
    void PressMnemonic(const MainDialog& dialog, Qt::Key letter)
    {
        QTest::keyClick(FocusedControl(dialog), letter, Qt::AltModifier);
    }

    // A fixture whose dialog has a zone file and an output file from earlier
    // use, shown as the active window so that mnemonics reach it.
    MainDialog& OpenActive(DialogFixture& fixture, const QString& zonePath)
    {
        fixture.store->WriteSettingString(kSettings, QStringLiteral("Zone File Name"), zonePath);
        fixture.store->WriteSettingString(kSettings, QStringLiteral("Output File"), fixture.Path(QStringLiteral("old.txt")));
        MainDialog& dialog = fixture.Open();
#if QT_VERSION < QT_VERSION_CHECK(6, 5, 0)
        QApplication::setActiveWindow(&dialog);
#else
        // Deprecated there: let the platform activate the window instead.
        dialog.activateWindow();
        if (!QTest::qWaitForWindowActive(&dialog))
            qWarning("the dialog did not become the active window");
#endif
        return dialog;
    }

}

class KeyboardAccessTests final : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void commandsReachableByTabAndSpace();
    void zoneLayoutChangesWithArrowKeys();
    void sharedMnemonicMovesFocusWithoutActing();
    void closeMnemonicClosesTheDialog();
    void runControlsReachableFromKeyboard();
    void lookalikeRowReachableFromKeyboard();
    void countRowReachableFromKeyboard();
    void openFolderReachableFromKeyboard();
};

void KeyboardAccessTests::init()
{
    ResetRunState();
}

void KeyboardAccessTests::commandsReachableByTabAndSpace()
{
    DialogFixture fixture;
    MainDialog& dialog = OpenActive(fixture, fixture.Path(QStringLiteral("zone.zone")));

    // Open Zone has the focus at the start; the file dialog is cancelled.
    QVERIFY(TabTo(dialog, id::kOpenZoneButton));
    PressSpace(dialog);
    QCOMPARE(fixture.files.requests.size(), std::size_t {1});
    QVERIFY(fixture.files.requests.back().openForm);

    // Both start commands ask for the output file (cancelled: no run).
    QVERIFY(TabTo(dialog, id::kExtractDomainsButton));
    PressSpace(dialog);
    QCOMPARE(fixture.files.requests.size(), std::size_t {2});
    QVERIFY(!fixture.files.requests.back().openForm);
    QVERIFY(TabTo(dialog, id::kExtractNameServersButton));
    PressSpace(dialog);
    QCOMPARE(fixture.files.requests.size(), std::size_t {3});
    QVERIFY(!fixture.files.requests.back().openForm);

    // Without a run, Tab passes over the disabled Pause and Abort.
    QVERIFY(!TabTo(dialog, id::kPauseButton));
    QVERIFY(!TabTo(dialog, id::kAbortButton));

    QVERIFY(TabTo(dialog, id::kViewOutputButton));
    PressSpace(dialog);
    QCOMPARE(fixture.desktop.opened, QStringList {fixture.Path(QStringLiteral("old.txt"))});

    QVERIFY(TabTo(dialog, id::kAboutButton));
    PressSpace(dialog);
    QCOMPARE(fixture.about.owners, QList<QWidget*> {&dialog});

    QVERIFY(TabTo(dialog, id::kAppendNameServersCheck));
    PressSpace(dialog);
    QVERIFY(qobject_cast<QCheckBox*>(dialog.ControlById(id::kAppendNameServersCheck))->isChecked());

    QVERIFY(fixture.messages.messages.empty());
    QVERIFY(TabTo(dialog, id::kCloseButton));
    PressSpace(dialog);
    QVERIFY(!dialog.isVisible());
}

void KeyboardAccessTests::zoneLayoutChangesWithArrowKeys()
{
    DialogFixture fixture;
    MainDialog& dialog = OpenActive(fixture, QString());
    auto* layout = qobject_cast<QComboBox*>(dialog.ControlById(id::kZoneTypeCombo));
    QCOMPARE(layout->currentIndex(), 0);

    QVERIFY(TabTo(dialog, id::kZoneTypeCombo));
    QTest::keyClick(layout, Qt::Key_Down);
    QCOMPARE(layout->currentIndex(), 1);
    QTest::keyClick(layout, Qt::Key_Up);
    QCOMPARE(layout->currentIndex(), 0);
}

void KeyboardAccessTests::sharedMnemonicMovesFocusWithoutActing()
{
#ifdef Q_OS_MACOS
    QSKIP("macOS has no Alt mnemonics");
#endif
    // "&About..." and "&Append name servers..." share Alt+A (with "&Abort",
    // disabled without a run). A shared mnemonic only moves the focus from
    // one to the next; Space then gives the command.
    DialogFixture fixture;
    MainDialog& dialog = OpenActive(fixture, QString());
    QWidget* about = dialog.ControlById(id::kAboutButton);
    auto* append = qobject_cast<QCheckBox*>(dialog.ControlById(id::kAppendNameServersCheck));

    QList<QWidget*> reached;
    for (int presses = 0; presses < 2; ++presses)
    {
        PressMnemonic(dialog, Qt::Key_A);
        reached.append(FocusedControl(dialog));
    }
    QVERIFY(reached.contains(about));
    QVERIFY(reached.contains(append));
    QVERIFY(fixture.about.owners.isEmpty());
    QVERIFY(!append->isChecked());

    while (FocusedControl(dialog) != append)
        PressMnemonic(dialog, Qt::Key_A);
    PressSpace(dialog);
    QVERIFY(append->isChecked());
    while (FocusedControl(dialog) != about)
        PressMnemonic(dialog, Qt::Key_A);
    PressSpace(dialog);
    QCOMPARE(fixture.about.owners, QList<QWidget*> {&dialog});
}

void KeyboardAccessTests::closeMnemonicClosesTheDialog()
{
#ifdef Q_OS_MACOS
    QSKIP("macOS has no Alt mnemonics");
#endif
    DialogFixture fixture;
    MainDialog& dialog = OpenActive(fixture, QString());
    auto* close = qobject_cast<QPushButton*>(dialog.ControlById(id::kCloseButton));
    PressMnemonic(dialog, Qt::Key_C);
    QVERIFY(close->isDown());
    QTRY_VERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int {QDialog::Rejected});
    // The close command saved the fields.
    QCOMPARE(fixture.Reopened()->ReadSettingInt(kSettings, QStringLiteral("Min Chars"), 0), 5);
}

void KeyboardAccessTests::runControlsReachableFromKeyboard()
{
#if !defined(Q_OS_UNIX) || defined(Q_OS_MACOS)
    QSKIP("needs a named pipe as the zone file and Alt mnemonics");
#else
    DialogFixture fixture;
    const QString zonePath = fixture.Path(QStringLiteral("zone.pipe"));
    ZonePipe pipe(zonePath, QByteArrayLiteral("; waiting for more\n"));
    QVERIFY(pipe.IsOpen());
    MainDialog& dialog = OpenActive(fixture, zonePath);
    auto* pause = qobject_cast<QPushButton*>(dialog.ControlById(id::kPauseButton));
    QWidget* abort = dialog.ControlById(id::kAbortButton);

    fixture.files.answers.push_back(fixture.Path(QStringLiteral("out.txt")));
    QVERIFY(TabTo(dialog, id::kExtractDomainsButton));
    PressSpace(dialog);
    QVERIFY(dialog.IsRunActive());

    // Alt+P pauses; the button then reads "&Go", and Alt+G resumes.
    PressMnemonic(dialog, Qt::Key_P);
    QTRY_VERIFY(IsPaused());
    QCOMPARE(pause->text(), QStringLiteral("&Go"));
    PressMnemonic(dialog, Qt::Key_G);
    QTRY_VERIFY(!IsPaused());
    QCOMPARE(pause->text(), QStringLiteral("&Pause"));

    // During a run Tab reaches Pause and Abort.
    QVERIFY(TabTo(dialog, id::kPauseButton));
    PressSpace(dialog);
    QVERIFY(IsPaused());
    QVERIFY(TabTo(dialog, id::kAbortButton));

    // Alt+A, shared with About and Append, also reaches Abort.
    QVERIFY(TabTo(dialog, id::kCloseButton));
    for (int presses = 0; presses < 3 && FocusedControl(dialog) != abort; ++presses)
        PressMnemonic(dialog, Qt::Key_A);
    QCOMPARE(FocusedControl(dialog), abort);
    QVERIFY(!IsAbortRequested());
    PressSpace(dialog);
    QVERIFY(IsAbortRequested());
    QVERIFY(!IsPaused());

    // The worker stops once it gets past the read it waits in.
    pipe.Close();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsRunActive(), kRunTimeoutMs);
    QVERIFY(fixture.messages.messages.empty());
#endif
}

void KeyboardAccessTests::lookalikeRowReachableFromKeyboard()
{
    DialogFixture fixture;
    MainDialog& dialog = OpenActive(fixture, QString());
    auto* terms = qobject_cast<QLineEdit*>(dialog.ControlById(id::kLookalikeTermsEdit));
    auto* distance = qobject_cast<QComboBox*>(dialog.ControlById(id::kLookalikeDistanceCombo));
    auto* exceptions = qobject_cast<QLineEdit*>(dialog.ControlById(id::kLookalikeExceptionsEdit));
    auto* form = qobject_cast<QComboBox*>(dialog.ControlById(id::kOutputFormCombo));

    // After the comparison row, in reading order: the terms, the distance,
    // the exceptions, the output form.
    QVERIFY(TabTo(dialog, id::kCompareCheck));
    QVERIFY(TabTo(dialog, id::kLookalikeTermsEdit));
    QTest::keyClicks(terms, QStringLiteral("paypal"));
    QTest::keyClick(terms, Qt::Key_Tab);
    QCOMPARE(FocusedControl(dialog), distance);
    QTest::keyClick(distance, Qt::Key_Down);
    QCOMPARE(distance->currentText(), QStringLiteral("0"));
    QTest::keyClick(distance, Qt::Key_Tab);
    QCOMPARE(FocusedControl(dialog), exceptions);
    QTest::keyClicks(exceptions, QStringLiteral("paypal.com"));
    QTest::keyClick(exceptions, Qt::Key_Tab);
    QCOMPARE(FocusedControl(dialog), form);
    QTest::keyClick(form, Qt::Key_Down);
    QCOMPARE(form->currentText(), QStringLiteral("Table (TSV)"));

#ifndef Q_OS_MACOS
    // Alt+L goes back to the terms field from anywhere.
    QVERIFY(TabTo(dialog, id::kOpenZoneButton));
    PressMnemonic(dialog, Qt::Key_L);
    QCOMPARE(FocusedControl(dialog), terms);
#endif
    QVERIFY(TabTo(dialog, id::kCloseButton));
    PressSpace(dialog);
    QVERIFY(!dialog.isVisible());
    const auto saved = fixture.Reopened();
    QCOMPARE(saved->ReadSettingString(kSettings, QStringLiteral("Lookalike Terms")), QStringLiteral("paypal"));
    QCOMPARE(saved->ReadSettingString(kSettings, QStringLiteral("Lookalike Exceptions")), QStringLiteral("paypal.com"));
    QCOMPARE(saved->ReadSettingInt(kSettings, QStringLiteral("Lookalike Distance"), -9), 0);
    QCOMPARE(saved->ReadSettingString(kSettings, QStringLiteral("Output Form")), QStringLiteral("tsv"));
}

void KeyboardAccessTests::countRowReachableFromKeyboard()
{
    DialogFixture fixture;
    const QString zonePath = fixture.Path(QStringLiteral("com.zone"));
    QFile zone(zonePath);
    QVERIFY(zone.open(QIODevice::WriteOnly));
    // Names the default filters pass.
    zone.write("$ORIGIN com.\nalpha NS ns1.host.net.\nbravo NS ns2.host.net.\n");
    zone.close();
    fixture.store->WriteSettingInt(kSettings, QStringLiteral("Zone Type"), 2);
    MainDialog& dialog = OpenActive(fixture, zonePath);
    auto* map = qobject_cast<QLineEdit*>(dialog.ControlById(id::kProviderMapEdit));
    auto* countBy = qobject_cast<QComboBox*>(dialog.ControlById(id::kCountByCombo));
    QWidget* openMap = dialog.ControlById(id::kOpenProviderMapButton);
    QWidget* count = dialog.ControlById(id::kCountServersButton);

    // After the output form, in reading order: the map, Open Map, the count
    // box, Count Servers.
    QVERIFY(TabTo(dialog, id::kOutputFormCombo));
    QTest::keyClick(FocusedControl(dialog), Qt::Key_Tab);
    QCOMPARE(FocusedControl(dialog), map);
    QTest::keyClick(map, Qt::Key_Tab);
    QCOMPARE(FocusedControl(dialog), openMap);
    const QString mapPath = fixture.Path(QStringLiteral("providers.map"));
    fixture.files.answers.push_back(mapPath);
    PressSpace(dialog);
    QCOMPARE(map->text(), QDir::toNativeSeparators(mapPath));
    map->clear();
    QTest::keyClick(openMap, Qt::Key_Tab);
    QCOMPARE(FocusedControl(dialog), countBy);
    QTest::keyClick(countBy, Qt::Key_Down);
    QCOMPARE(countBy->currentText(), QStringLiteral("By server"));
    QTest::keyClick(countBy, Qt::Key_Tab);
    QCOMPARE(FocusedControl(dialog), count);

#ifndef Q_OS_MACOS
    // Alt+R reaches the map field, Alt+U the count box, and Alt+S starts
    // the count.
    QVERIFY(TabTo(dialog, id::kOpenZoneButton));
    PressMnemonic(dialog, Qt::Key_R);
    QCOMPARE(FocusedControl(dialog), map);
    PressMnemonic(dialog, Qt::Key_U);
    QCOMPARE(FocusedControl(dialog), countBy);
    const QString outputPath = fixture.Path(QStringLiteral("servers.txt"));
    fixture.files.answers.push_back(outputPath);
    PressMnemonic(dialog, Qt::Key_S);
    QTRY_VERIFY(dialog.CountChartWindow() != nullptr);
    QFile table(outputPath);
    QVERIFY(table.open(QIODevice::ReadOnly));
    QCOMPARE(table.readAll(), QByteArray("ns1.host.net 1 50.00%\nns2.host.net 1 50.00%\n"));
#endif
}

void KeyboardAccessTests::openFolderReachableFromKeyboard()
{
    DialogFixture fixture;
    MainDialog& dialog = OpenActive(fixture, QString());
    QVERIFY(QDir().mkpath(fixture.Path(QStringLiteral("zones"))));
    QVERIFY(WriteFile(fixture.Path(QStringLiteral("zones/com.zone")), "x"));

    // Next after Open Zone in the tab order; Space opens the folder dialog.
    QVERIFY(TabTo(dialog, id::kOpenZoneButton));
    QTest::keyClick(FocusedControl(dialog), Qt::Key_Tab);
    QCOMPARE(FocusedControl(dialog), dialog.ControlById(id::kOpenFolderButton));
    PressSpace(dialog);
    QCOMPARE(fixture.files.folderRequests.size(), std::size_t {1});

#ifndef Q_OS_MACOS
    // Alt+F from anywhere, here with the folder chosen.
    QVERIFY(TabTo(dialog, id::kMinCharsEdit));
    fixture.files.folderAnswers.push_back(fixture.Path(QStringLiteral("zones")));
    PressMnemonic(dialog, Qt::Key_F);
    QTRY_COMPARE(fixture.files.folderRequests.size(), std::size_t {2});
    QTRY_VERIFY(dialog.CurrentZoneChoice().IsList());
#endif
}

QTEST_MAIN(KeyboardAccessTests)
#include "keyboard_access_tests.moc"
