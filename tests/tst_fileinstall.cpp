// Installing one mod file: the outcome, the message, and what is left on disk,
// above all when the copy fails. Real failures only: CI runs as root.
#include "longpath.h"
#include "modinstallerapp.h"
#include "testenv.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <optional>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif
#ifdef Q_OS_WIN
#include <QScopeGuard>

#include <qt_windows.h>
#endif

namespace {

const QByteArray oldCopy = "the copy that was installed before";
const QString copyFailed = "Не вдалося скопіювати файл: ";

QByteArray randomBytes(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator rng(42);
    for (char &c : bytes)
        c = char(rng.bounded(256));
    return bytes;
}

#ifdef Q_OS_UNIX
// Lowers the largest file this process may write, as a full disk would stop it.
// SIGXFSZ is ignored so the write fails with EFBIG instead of killing the test.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_saved{};
    void (*m_oldHandler)(int) = nullptr;
};
#endif

} // namespace

class TestFileInstall : public QObject
{
    Q_OBJECT

private slots:
    void outcomeAndWhatIsLeft_data();
    void outcomeAndWhatIsLeft();
    void win32CallsGetLongPaths_data();
    void win32CallsGetLongPaths();
};

void TestFileInstall::outcomeAndWhatIsLeft_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("modName");
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<QString>("message"); // errorOccurred's text; empty on success

    const QString mod = "mod.zip";
    QTest::newRow("new copy replaces the old") << "plain" << mod << true << "";
    QTest::newRow("nothing installed before") << "no old copy" << mod << true << "";
    QTest::newRow("Cyrillic name with spaces") << "plain"
                                               << "Мій мод для Ironvale v2.zip" << true << "";
    QTest::newRow("250-byte name") << "plain" << QString(123, u'я') + ".zip" << true << "";
    QTest::newRow("destination path over 300 characters") << "deep" << mod << true << "";
    QTest::newRow("Mods is the destination") << "into Mods" << mod << true << "";
    QTest::newRow("destination links to the source") << "link to source" << mod << true << "";
    QTest::newRow("source missing")
        << "no source" << mod << false << "Вихідний файл мода не знайдено.";
    QTest::newRow("source replaced by a folder")
        << "source is folder" << mod << false << copyFailed + mod;
    QTest::newRow("destination name taken by a folder")
        << "destination is folder" << mod << false << copyFailed + mod;
    QTest::newRow("destination folder missing")
        << "no target folder" << mod << false << copyFailed + mod;
    QTest::newRow("disk full") << "file size limit" << mod << false << copyFailed + mod;
    QTest::newRow("read-only destination") << "read-only mount" << mod << false << copyFailed + mod;
    QTest::newRow("old copy held open by the game")
        << "held open" << mod << false << copyFailed + mod;
    QTest::newRow("old copy read-only")
        << "read-only attribute" << mod << false << copyFailed + mod;
}

void TestFileInstall::outcomeAndWhatIsLeft()
{
    QFETCH(QString, situation);
    QFETCH(QString, modName);
    QFETCH(bool, succeeds);
    QFETCH(QString, message);

    ScratchDir work;
#ifdef Q_OS_LINUX
    TmpfsMounts mounts;
#endif
    ModInstallerApp installer;
    const QByteArray newBytes = randomBytes(situation == u"file size limit" ? 1 << 20 : 300 * 1024);
    const QString source = work.filePath("Mods/" + modName);
    QString target = work.filePath(situation == u"into Mods" ? "Mods" : "game/res_mods/1.0");
    if (situation == u"deep") {
        // Beyond MAX_PATH (260), where Windows wants the \\?\ form of the path.
        for (char folder = 'a'; target.size() <= 300; ++folder)
            target += u'/' + QString(60, QLatin1Char(folder));
    }
    const QString installed = target + u'/' + modName;
    makeDirs(target);
#ifdef Q_OS_WIN
    // What Windows will not let anyone replace: a copy that a running game holds
    // open (no FILE_SHARE_DELETE), or one marked read-only. Undone before the
    // scratch folder goes, which a read-only file would outlive.
    const std::wstring installedW = QDir::toNativeSeparators(installed).toStdWString();
    HANDLE held = INVALID_HANDLE_VALUE;
    const auto unlock = qScopeGuard([&] {
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
        SetFileAttributesW(installedW.c_str(), FILE_ATTRIBUTE_NORMAL);
    });
#endif

    if (situation == u"source is folder")
        makeDirs(source + "/inner");
    else if (situation != u"no source")
        writeFile(source, newBytes);

    if (situation == u"destination is folder") {
        writeFile(installed + "/keep.txt", oldCopy);
    } else if (situation == u"link to source") {
#ifdef Q_OS_WIN
        QSKIP("QFile::link makes shell shortcuts on Windows, not symbolic links");
#endif
        QVERIFY(QFile::link(source, installed));
    } else if (situation == u"held open" || situation == u"read-only attribute") {
#ifdef Q_OS_WIN
        writeFile(installed, oldCopy);
        if (situation == u"held open")
            held = CreateFileW(installedW.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
        QVERIFY(held != INVALID_HANDLE_VALUE
                || SetFileAttributesW(installedW.c_str(), FILE_ATTRIBUTE_READONLY));
#else
        QSKIP("only Windows refuses to replace a file that is open or read-only");
#endif
    } else if (situation == u"read-only mount") {
#ifdef Q_OS_LINUX
        QString why;
        if (!mounts.mount(target, "4m", &why))
            QSKIP(qPrintable("cannot mount a tmpfs here: " + why));
        writeFile(installed, oldCopy);
        QVERIFY2(mounts.makeReadOnly(target, &why), qPrintable(why));
#else
        QSKIP("read-only tmpfs volumes are made on Linux only");
#endif
    } else if (situation == u"no target folder") {
        QVERIFY(QDir(target).removeRecursively());
    } else if (situation != u"no old copy" && situation != u"into Mods") {
        writeFile(installed, oldCopy);
    }
    const QStringList targetBefore = listing(target);
    const QStringList modsBefore = listing(work.filePath("Mods"));

    QSignalSpy done(&installer, &ModInstallerApp::installationComplete);
    QSignalSpy failed(&installer, &ModInstallerApp::errorOccurred);
    bool result = false;
    {
#ifdef Q_OS_UNIX
        std::optional<FileSizeLimit> limit;
        if (situation == u"file size limit")
            limit.emplace(64 * 1024);
#else
        if (situation == u"file size limit")
            QSKIP("the file size limit is a POSIX resource limit");
#endif
        result = installer.installModFile(modName, target);
    }

    QCOMPARE(result, succeeds);
    QCOMPARE(done.count() + failed.count(), 1);
    if (succeeds)
        QCOMPARE(done.first().first().toString(), modName);
    else
        QCOMPARE(failed.first().first().toString(), message);

    // The mod library is never changed.
    QCOMPARE(listing(work.filePath("Mods")), modsBefore);
    if (situation != u"source is folder" && situation != u"no source")
        QCOMPARE(readFile(source), newBytes);

    // Nothing is left behind: exactly the mod's entry, or what was there before.
    QCOMPARE(listing(target), succeeds ? QStringList{modName} : targetBefore);
    if (situation == u"no target folder")
        QVERIFY(!QFileInfo::exists(target));
    else if (situation == u"destination is folder")
        QCOMPARE(readFile(installed + "/keep.txt"), oldCopy);
    else if (!succeeds)
        QCOMPARE(readFile(installed), oldCopy);
    else
        QCOMPARE(readFile(installed), newBytes);
    // The copy is hidden only while it is being written.
    QVERIFY(!QFileInfo(installed).isHidden());
}

void TestFileInstall::win32CallsGetLongPaths_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("workingDir");
    QTest::addColumn<QString>("expected");

    const QString home = "C:/Users/Гравець/Documents/Ironvale Mod Installer";
    QTest::newRow("drive path") << "C:/Games/Ironvale_EU/res_mods/1.0/mod.zip" << home
                                << R"(\\?\C:\Games\Ironvale_EU\res_mods\1.0\mod.zip)";
    QTest::newRow("doubled slash of a found drive root")
        << "D://Ironvale_EU/res_mods" << home << R"(\\?\D:\Ironvale_EU\res_mods)";
    QTest::newRow("relative to the working folder")
        << "Mods/mod.zip" << home
        << R"(\\?\C:\Users\Гравець\Documents\Ironvale Mod Installer\Mods\mod.zip)";
    QTest::newRow(". and ..") << R"(C:\Games\.\Old\..\Ironvale_EU\res_mods\1.0\)" << home
                              << R"(\\?\C:\Games\Ironvale_EU\res_mods\1.0)";
    QTest::newRow(".. stops at the drive root")
        << "C:/../../mod.zip" << home << R"(\\?\C:\mod.zip)";
    QTest::newRow("rooted on the working folder's drive") << "/Games/mod.zip"
                                                          << "D:/Mods"
                                                          << R"(\\?\D:\Games\mod.zip)";
    QTest::newRow("UNC path") << R"(\\nas\games\Ironvale_EU\res_mods)" << home
                              << R"(\\?\UNC\nas\games\Ironvale_EU\res_mods)";
    QTest::newRow("relative to a UNC working folder") << "Mods/mod.zip"
                                                      << "//nas/home/player"
                                                      << R"(\\?\UNC\nas\home\player\Mods\mod.zip)";
    QTest::newRow("prefix already there")
        << R"(\\?\C:\Games\mod.zip)" << home << R"(\\?\C:\Games\mod.zip)";
}

void TestFileInstall::win32CallsGetLongPaths()
{
    QFETCH(QString, path);
    QFETCH(QString, workingDir);
    QFETCH(QString, expected);
    QCOMPARE(extendedLengthPath(path, workingDir), expected);
}

QTEST_GUILESS_MAIN(TestFileInstall)
#include "tst_fileinstall.moc"
