// The main dialog on a settings file that is damaged or out of reach:
// random bytes, half an INI file, values of the wrong kind, a file without
// read permission, a read-only file, a folder in its place, a folder that
// cannot exist. The dialog must construct with the defaults for whatever it
// cannot read, close without complaint, and never damage what it cannot
// write.
//
// Root reads and writes any file whatever its mode, so when started as root
// the test gives up root before anything else (see main) and runs as an
// ordinary user, for whom the modes hold.

#include <cstdint>
#include <random>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "extraction/extraction_state.h"
#include "fake_services.h"
#include "settings_keys.h"

using namespace plexor;
using namespace plexor::test;

namespace
{
    bool g_runsAsRoot = false;

    enum class Place
    {
        File,         // the bytes in a file the user may read and write
        Unreadable,   // the bytes in a file of mode 000
        ReadOnly,     // the bytes in a file of mode 444
        Folder,       // a folder where the file should be
        UnderAFile,   // a path whose "folder" is a plain file
    };

    QByteArray RandomBytes(std::size_t count, std::uint32_t seed)
    {
        std::mt19937 random(seed);
        QByteArray bytes;
        for (std::size_t i = 0; i < count; ++i)
            bytes.append(static_cast<char>(random() & 0xFF));
        return bytes;
    }

    struct Expected
    {
        std::int32_t maxChars;
        std::int32_t minChars;
        QString excludedChars;
        std::int32_t zoneType;
    };

    const Expected kDefaults {kDefaultMaxChars, kDefaultMinChars, QString::fromLatin1(kDefaultExcludedChars.data()),
                              0};
}

Q_DECLARE_METATYPE(Place)
Q_DECLARE_METATYPE(Expected)

class SettingsFaultTests final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void damagedOrUnreachableSettings_data();
    void damagedOrUnreachableSettings();
};

void SettingsFaultTests::init()
{
    ResetRunState();
}

void SettingsFaultTests::damagedOrUnreachableSettings_data()
{
    QTest::addColumn<Place>("place");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<Expected>("expected");
    // Whether closing must leave the place exactly as it was (nothing can
    // be written there).
    QTest::addColumn<bool>("unchangedAfterClose");

    const QByteArray good = "[Settings]\nMax Chars=30\nMin Chars=7\nExclude Chars=q\nZone Type=1\n";
    const Expected fromGood {30, 7, QStringLiteral("q"), 1};

    QTest::newRow("random bytes") << Place::File << RandomBytes(4096, 1) << kDefaults << false;
    QTest::newRow("random bytes in a section")
        << Place::File << QByteArray("[Settings]\n") + RandomBytes(2048, 2) << kDefaults << false;
    QTest::newRow("half an INI file") << Place::File << good.left(good.indexOf("Zone Type") + 4)
                                      << Expected {30, 7, QStringLiteral("q"), 0} << false;
    QTest::newRow("half a section name") << Place::File << QByteArray("[Sett") << kDefaults << false;
    QTest::newRow("values of the wrong kind")
        << Place::File
        << QByteArray("[Settings]\nMax Chars=lots\nMin Chars=99999999999\nZone Type=1.5\n"
                      "Append Name Servers=@Variant(\\0\\0\\0\\x7f\\xff\\xff)\n"
                      "Exclude Chars=@ByteArray(qz)\nNS List=@Rect(1 2)\n"
                      "Include Words=@Variant(")
        << Expected {kDefaultMaxChars, kDefaultMinChars, QStringLiteral("qz"), 0} << false;
    // The INI reader ends a value at a NUL byte; the lines after it count.
    QTest::newRow("a NUL inside") << Place::File
                                  << QByteArray("[Settings]\nMax Chars=3") + '\0' + QByteArray("0\nMin Chars=7\n")
                                  << Expected {3, 7, kDefaults.excludedChars, 0} << false;
    QTest::newRow("a very long line")
        << Place::File << QByteArray("[Settings]\nExclude Chars=") + QByteArray(100000, 'e') + "\nMax Chars=30\n"
        << Expected {30, kDefaultMinChars, QString(100000, QLatin1Char('e')), 0} << false;
    QTest::newRow("no read permission") << Place::Unreadable << good << kDefaults << true;
    QTest::newRow("read-only") << Place::ReadOnly << good << fromGood << true;
    QTest::newRow("a folder in its place") << Place::Folder << QByteArray() << kDefaults << true;
    QTest::newRow("a file in place of its folder") << Place::UnderAFile << QByteArray() << kDefaults << true;
}

void SettingsFaultTests::damagedOrUnreachableSettings()
{
    QFETCH(Place, place);
    QFETCH(QByteArray, content);
    QFETCH(Expected, expected);
    QFETCH(bool, unchangedAfterClose);

    if ((place == Place::Unreadable || place == Place::ReadOnly) && g_runsAsRoot)
        QSKIP("file modes do not bind root, and giving up root failed");

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString path = dir.filePath(QStringLiteral("settings.ini"));
    switch (place)
    {
    case Place::File:
    case Place::Unreadable:
    case Place::ReadOnly:
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(content), content.size());
        file.close();
        if (place != Place::File)
        {
            const mode_t mode = place == Place::Unreadable ? 0 : 0444;
            QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode), 0);
        }
        break;
    }
    case Place::Folder:
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("settings.ini")));
        break;
    case Place::UnderAFile:
    {
        QFile blocker(dir.filePath(QStringLiteral("blocker")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        path = dir.filePath(QStringLiteral("blocker/settings.ini"));
        break;
    }
    }
    const QByteArray before = ReadFile(path);

    {
        std::unique_ptr<SettingsStore> store = SettingsStore::OpenFile(path);
        FakeFileDialogs files;
        RecordingMessageBoxes messages;
        RecordingDesktopOpener desktop;
        RecordingAboutBox about;
        MainDialog dialog(MainDialogServices {*store, files, messages, desktop, about});
        dialog.show();

        const MainDialog::Fields& fields = dialog.CurrentFields();
        QCOMPARE(fields.maxChars, expected.maxChars);
        QCOMPARE(fields.minChars, expected.minChars);
        QCOMPARE(fields.excludedChars, expected.excludedChars);
        QCOMPARE(fields.zoneType, expected.zoneType);

        // Closing saves what it can and never complains.
        dialog.CloseDialog();
        QVERIFY(!dialog.isVisible());
        QVERIFY(messages.messages.empty());
    }

    if (unchangedAfterClose)
    {
        QCOMPARE(ReadFile(path), before);
        if (place == Place::Folder)
            QVERIFY(QFileInfo(path).isDir());
    }
    else
    {
        // A file that could be written now holds the dialog's values: the
        // next start reads what this one showed.
        const auto reopened = SettingsStore::OpenFile(path);
        const QString section = QString::fromLatin1(settings::kSettingsSection);
        QCOMPARE(reopened->ReadSettingInt(section, QStringLiteral("Max Chars"), -1), expected.maxChars);
        QCOMPARE(reopened->ReadSettingInt(section, QStringLiteral("Min Chars"), -1), expected.minChars);
        QCOMPARE(reopened->ReadSettingString(section, QStringLiteral("Exclude Chars")), expected.excludedChars);
        QCOMPARE(reopened->ReadSettingInt(section, QStringLiteral("Zone Type"), -1), expected.zoneType);
    }
}

int main(int argc, char** argv)
{
#ifdef Q_OS_UNIX
    // Run as an ordinary user (nobody), for whom file modes hold. The
    // process stays dumpable so that the leak checker can still inspect it.
    if (geteuid() == 0)
    {
        const bool dropped = setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0;
        prctl(PR_SET_DUMPABLE, 1, 0, 0, 0);
        g_runsAsRoot = !dropped || geteuid() == 0;
        if (!g_runsAsRoot)
            qputenv("HOME", QByteArrayLiteral("/tmp"));
    }
#endif
    QApplication app(argc, argv);
    SettingsFaultTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "settings_fault_tests.moc"
