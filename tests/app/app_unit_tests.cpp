// The dialog's building blocks that need no window: the number-field parser,
// the file-dialog helpers, the application name and the settings store.

#include <cstdint>
#include <limits>
#include <optional>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "extractor_app.h"
#include "file_filters.h"
#include "integer_field.h"
#include "run_notes.h"
#include "settings_keys.h"
#include "settings_store.h"
#include "up_down_control.h"

using plexor::ParseIntegerField;

namespace
{
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t kInvalid = 0x7EADBEEF; // marks "no integer" in the table
}

class AppUnitTests final : public QObject
{
    Q_OBJECT

private slots:
    void parseIntegerField_data();
    void parseIntegerField();

    void nameFiltersFromPairs_data();
    void nameFiltersFromPairs();

    void applicationNameFromPath_data();
    void applicationNameFromPath();
    void applicationNameComesFromTheExecutable();

    void endOfRunMessage_data();
    void endOfRunMessage();

    void settingsUnreadableValuesGiveDefaults_data();
    void settingsUnreadableValuesGiveDefaults();
    void settingsCorruptFileGivesDefaults();

    void upDownStepsWithinRange_data();
    void upDownStepsWithinRange();
};

void AppUnitTests::parseIntegerField_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("expected");

    // Valid forms.
    QTest::newRow("plain") << QByteArray("18") << 18;
    QTest::newRow("leading blanks and tabs") << QByteArray(" \t 42") << 42;
    QTest::newRow("trailing blanks and tabs") << QByteArray("42 \t ") << 42;
    QTest::newRow("plus sign") << QByteArray("+7") << 7;
    QTest::newRow("minus sign") << QByteArray("-7") << -7;
    QTest::newRow("leading zeros") << QByteArray("007") << 7;
    QTest::newRow("zero") << QByteArray("0") << 0;
    QTest::newRow("zeros") << QByteArray("000") << 0;
    QTest::newRow("zero after blanks") << QByteArray("  0  ") << 0;
    QTest::newRow("large but in range") << QByteArray("2147483647") << kMax;
    QTest::newRow("lowest in range") << QByteArray("-2147483648") << kMin;

    // Invalid forms.
    QTest::newRow("empty") << QByteArray("") << kInvalid;
    QTest::newRow("blanks only") << QByteArray("  \t ") << kInvalid;
    QTest::newRow("letters") << QByteArray("abc") << kInvalid;
    QTest::newRow("trailing letter") << QByteArray("12a") << kInvalid;
    QTest::newRow("inner blank") << QByteArray("1 2") << kInvalid;
    QTest::newRow("sign only") << QByteArray("-") << kInvalid;
    QTest::newRow("blank after sign") << QByteArray("- 5") << kInvalid;
    QTest::newRow("two signs") << QByteArray("+-5") << kInvalid;
    QTest::newRow("minus zero") << QByteArray("-0") << kInvalid;
    QTest::newRow("plus zero") << QByteArray("+0") << kInvalid;
    QTest::newRow("minus zeros") << QByteArray("-000") << kInvalid;
    QTest::newRow("decimal point") << QByteArray("1.5") << kInvalid;
    QTest::newRow("hexadecimal") << QByteArray("0x10") << kInvalid;
    QTest::newRow("line break") << QByteArray("5\n") << kInvalid;
    QTest::newRow("non-ASCII digit") << QByteArray("\xd9\xa3") << kInvalid; // ARABIC-INDIC DIGIT THREE

    // Beyond the 32-bit range: the nearest limit.
    QTest::newRow("just above") << QByteArray("2147483648") << kMax;
    QTest::newRow("just below") << QByteArray("-2147483649") << kMin;
    QTest::newRow("huge") << QByteArray("99999999999999999999999999") << kMax;
    QTest::newRow("huge negative") << QByteArray("-99999999999999999999999999") << kMin;

    // Only the first 31 characters count.
    QTest::newRow("junk after 31 characters") << (QByteArray("12345") + QByteArray(26, ' ') + "junk") << 12345;
    QTest::newRow("junk at character 31") << (QByteArray("12345") + QByteArray(25, ' ') + "x") << kInvalid;
    QTest::newRow("digit at character 31") << (QByteArray(30, ' ') + "9") << 9;
    QTest::newRow("digit after 31 characters") << (QByteArray(31, ' ') + "9") << kInvalid;
    QTest::newRow("digits cut at 31, still huge") << QByteArray(40, '1') << kMax;
    QTest::newRow("number cut to its first digits") << (QByteArray(29, ' ') + "12345") << 12;
}

void AppUnitTests::parseIntegerField()
{
    QFETCH(QByteArray, text);
    QFETCH(int, expected);
    const std::optional<std::int32_t> value = ParseIntegerField(std::string_view(text.constData(), text.size()));
    if (expected == kInvalid)
    {
        QVERIFY2(!value.has_value(), qPrintable(QStringLiteral("got %1").arg(value.value_or(0))));
    }
    else
    {
        QVERIFY(value.has_value());
        QCOMPARE(*value, expected);
    }
}

void AppUnitTests::nameFiltersFromPairs_data()
{
    QTest::addColumn<QString>("filterText");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("zone file filter")
        << QStringLiteral("Zone Files (*.zone)|*.zone|Text Files (*.txt)|*.txt|All Files (*.*)|*.* ||")
        << QStringList {QStringLiteral("Zone Files (*.zone)"), QStringLiteral("Text Files (*.txt)"),
                        QStringLiteral("All Files (*)")};
    QTest::newRow("blanks around the bars")
        << QStringLiteral("Text Files (*.txt) | *.txt | All Files (*.*) | *.* ||")
        << QStringList {QStringLiteral("Text Files (*.txt)"), QStringLiteral("All Files (*)")};
    QTest::newRow("several patterns")
        << QStringLiteral("Zones|*.zone;*.txt||")
        << QStringList {QStringLiteral("Zones (*.zone *.txt)")};
    QTest::newRow("pairs after the closing pair are ignored")
        << QStringLiteral("A (*.a)|*.a|||B (*.b)|*.b||") << QStringList {QStringLiteral("A (*.a)")};
    QTest::newRow("empty") << QString() << QStringList {};
}

void AppUnitTests::nameFiltersFromPairs()
{
    QFETCH(QString, filterText);
    QFETCH(QStringList, expected);
    QCOMPARE(plexor::NameFiltersFromPairs(filterText), expected);
}

void AppUnitTests::applicationNameFromPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Unix path") << QStringLiteral("/usr/local/bin/Plexor2") << QStringLiteral("Plexor2");
    QTest::newRow("Windows path") << QStringLiteral("C:\\Tools\\Plexor2.exe") << QStringLiteral("Plexor2");
    QTest::newRow("renamed copy") << QStringLiteral("/opt/Plexor2-copy") << QStringLiteral("Plexor2-copy");
    QTest::newRow("dotted name") << QStringLiteral("C:\\x\\my.tool.exe") << QStringLiteral("my.tool");
    QTest::newRow("relative") << QStringLiteral("./Plexor2") << QStringLiteral("Plexor2");
    QTest::newRow("empty") << QString() << QStringLiteral("Plexor2");
}

void AppUnitTests::applicationNameFromPath()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(plexor::ApplicationNameFromPath(path), expected);
}

void AppUnitTests::applicationNameComesFromTheExecutable()
{
    // Started through a link of another name, the program keeps the name of
    // its executable file: the same settings key and captions.
    if (qEnvironmentVariableIsSet("PLEXOR_STARTED_THROUGH_LINK"))
    {
        QVERIFY(QCoreApplication::arguments().constFirst().endsWith(QStringLiteral("Renamed")));
        QCOMPARE(plexor::ApplicationNameFromExecutable(),
                 QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
        QVERIFY(plexor::ApplicationNameFromExecutable() != QStringLiteral("Renamed"));
        return;
    }
#ifndef Q_OS_UNIX
    QSKIP("needs a symbolic link");
#else
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("Renamed"));
    QVERIFY(QFile::link(QCoreApplication::applicationFilePath(), link));
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PLEXOR_STARTED_THROUGH_LINK"), QStringLiteral("1"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(link, {QStringLiteral("applicationNameComesFromTheExecutable")});
    QVERIFY(child.waitForFinished(120000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
#endif
}

void AppUnitTests::endOfRunMessage_data()
{
    QTest::addColumn<bool>("failed");
    QTest::addColumn<bool>("stoppedAtLineLimit");
    QTest::addColumn<qulonglong>("unreadable");
    QTest::addColumn<QString>("hint");
    QTest::addColumn<QStringList>("expected");

    const QString failure = QStringLiteral("Error: Unable to read 'z'");
    const QString hint = QStringLiteral("This looks like a .SE zone.");
    QTest::newRow("clean run: nothing") << false << false << 0ULL << QString() << QStringList();
    QTest::newRow("stopped at the limit")
        << false << true << 0ULL << QString() << QStringList {plexor::LineLimitNote(2000000)};
    QTest::newRow("every note, in order")
        << false << true << 2ULL << hint
        << QStringList {plexor::LineLimitNote(2000000), plexor::UnreadableRecordsNote(2), hint};
    QTest::newRow("a failure comes first and is no stop at the limit")
        << true << true << 1ULL << QString() << QStringList {failure, plexor::UnreadableRecordsNote(1)};
}

void AppUnitTests::endOfRunMessage()
{
    QFETCH(bool, failed);
    QFETCH(bool, stoppedAtLineLimit);
    QFETCH(qulonglong, unreadable);
    QFETCH(QString, hint);
    QFETCH(QStringList, expected);

    plexor::RunOutcome outcome;
    if (failed)
        outcome.failure = QStringLiteral("Error: Unable to read 'z'");
    outcome.stoppedAtLineLimit = stoppedAtLineLimit;
    outcome.lineLimit = 2000000;
    outcome.unreadableRecords = unreadable;
    if (!hint.isEmpty())
        outcome.layoutHint = hint.toStdString();
    QCOMPARE(plexor::EndOfRunMessage(outcome), expected.join(QStringLiteral("\n\n")));
    QCOMPARE(plexor::UnreadableRecordsNote(1),
             QStringLiteral("1 record of the zone file could not be read and was skipped."));
    QCOMPARE(plexor::UnreadableRecordsNote(5000000000ULL),
             QStringLiteral("5000000000 records of the zone file could not be read and were skipped."));
}

void AppUnitTests::settingsUnreadableValuesGiveDefaults_data()
{
    QTest::addColumn<QByteArray>("storedText");
    QTest::newRow("letters") << QByteArray("abc");
    QTest::newRow("number with junk") << QByteArray("12abc");
    QTest::newRow("fraction") << QByteArray("1.5");
    QTest::newRow("beyond 32 bits") << QByteArray("4294967296");
    QTest::newRow("empty") << QByteArray("");
    QTest::newRow("list") << QByteArray("1, 2");
}

void AppUnitTests::settingsUnreadableValuesGiveDefaults()
{
    QFETCH(QByteArray, storedText);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("settings.ini"));
    QFile ini(file);
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[Settings]\nMax%20Chars=" + storedText + "\n");
    ini.close();

    const auto store = plexor::SettingsStore::OpenFile(file);
    QCOMPARE(plexor::settings::Read(*store, plexor::settings::kMaxChars), 18);
}

void AppUnitTests::settingsCorruptFileGivesDefaults()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("settings.ini"));
    QFile ini(file);
    QVERIFY(ini.open(QIODevice::WriteOnly));
    QByteArray corrupt(1, '\0');
    corrupt += "\xff[[[Settings\n=\n\x01\x02 Max Chars";
    ini.write(corrupt);
    ini.write(QByteArray(4096, '\xfe'));
    ini.close();

    const auto store = plexor::SettingsStore::OpenFile(file);
    using namespace plexor::settings;
    QCOMPARE(Read(*store, kMaxChars), 18);
    QCOMPARE(Read(*store, kExcludeChars), QStringLiteral("xyz-"));
}

void AppUnitTests::upDownStepsWithinRange_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("delta");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("byKey"); // the Up or Down key in the field instead of a click
    QTest::newRow("up") << QStringLiteral("18") << 1 << QStringLiteral("19") << false;
    QTest::newRow("down") << QStringLiteral("18") << -1 << QStringLiteral("17") << false;
    QTest::newRow("Up key") << QStringLiteral("18") << 1 << QStringLiteral("19") << true;
    QTest::newRow("Down key at the bottom") << QStringLiteral("5") << -1 << QStringLiteral("5") << true;
    QTest::newRow("up at the top") << QStringLiteral("67") << 1 << QStringLiteral("67") << false;
    QTest::newRow("down at the bottom") << QStringLiteral("5") << -1 << QStringLiteral("5") << false;
    QTest::newRow("typed above the range") << QStringLiteral("200") << -1 << QStringLiteral("67") << false;
    QTest::newRow("typed below the range") << QStringLiteral("0") << 1 << QStringLiteral("5") << false;
    QTest::newRow("typed at the 32-bit limit") << QStringLiteral("2147483647") << 1 << QStringLiteral("67") << false;
    QTest::newRow("no number: from the last position") << QStringLiteral("abc") << 1 << QStringLiteral("6") << false;
}

void AppUnitTests::upDownStepsWithinRange()
{
    QFETCH(QString, start);
    QFETCH(int, delta);
    QFETCH(QString, expected);
    QFETCH(bool, byKey);

    QWidget window;
    QLineEdit field(&window);
    plexor::UpDownControl arrows(&window);
    arrows.SetBuddy(&field);
    arrows.SetRange(5, 67);
    field.setText(start);
    if (byKey)
        QTest::keyClick(&field, delta > 0 ? Qt::Key_Up : Qt::Key_Down);
    else if (delta > 0)
        arrows.UpButton()->click();
    else
        arrows.DownButton()->click();
    QCOMPARE(field.text(), expected);
}

QTEST_MAIN(AppUnitTests)
#include "app_unit_tests.moc"
