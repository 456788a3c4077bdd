// Installing one mod file: the outcome, the message, and what is left on disk,
// above all when the copy fails. Real failures only: CI runs as root.
#include "corefixture.h"
#include "longpath.h"
#include "modinstallerapp.h"
#ifdef Q_OS_LINUX
#include "testvolumes.h"
#endif

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <filesystem>
#include <optional>
#include <system_error>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <QScopeGuard>

#include <qt_windows.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>
#endif

namespace {

// A temporary that an ended run left, and names of the player's that only look like one.
const QString leftover = ".ivl-install-0123456789abcdef.part";
const QStringList lookAlikes
    = {".ivl-install-0123456789abcdef.part.txt", "ivl-install-0123456789abcdef.part"};

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

#ifdef Q_OS_WIN
// Other programs' handles on files. A thread's handle counts as another program's:
// share modes hold per handle. Every handle is closed when this object goes.
class OtherPrograms
{
public:
    ~OtherPrograms()
    {
        m_stop = true;
        for (std::thread &t : m_threads)
            t.join();
    }

    // Opens `path` for reading, sharing `share`, and holds it for `ms` milliseconds
    // from the moment this returns (for good: -1).
    bool hold(const QString &path, DWORD share, int ms)
    {
        const HANDLE file = CreateFileW(QDir::toNativeSeparators(path).toStdWString().c_str(),
                                        GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        const ULONGLONG until = GetTickCount64() + ULONGLONG(ms < 0 ? 0 : ms);
        m_threads.emplace_back([this, file, ms, until] {
            while (!m_stop && (ms < 0 || GetTickCount64() < until))
                Sleep(1);
            CloseHandle(file);
        });
        return true;
    }

    // A virus scanner: opens every entry that appears in `folder` as soon as it can
    // (sharing reading and writing) and holds it for 200 ms.
    void scan(const QString &folder)
    {
        auto seen = std::make_shared<QStringList>(listing(folder));
        m_threads.emplace_back([this, folder, seen] {
            while (!m_stop) {
                for (const QString &name : listing(folder)) {
                    if (seen->contains(name) || m_stop)
                        continue;
                    const HANDLE file = CreateFileW(
                        QDir::toNativeSeparators(folder + u'/' + name).toStdWString().c_str(),
                        GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                        nullptr);
                    if (file == INVALID_HANDLE_VALUE)
                        continue;
                    seen->append(name);
                    Sleep(200);
                    CloseHandle(file);
                }
            }
        });
    }

private:
    std::atomic<bool> m_stop{false};
    std::vector<std::thread> m_threads;
};
#endif

} // namespace

class TestFileInstall : public QObject
{
    Q_OBJECT

private slots:
    void outcomeAndWhatIsLeft_data();
    void outcomeAndWhatIsLeft();
    void endedMidCopyLeavesTheOldCopy();
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
    QTest::newRow("destination is a hard link to the source")
        << "hard link to source" << mod << true << "";
    QTest::newRow("destination name links to another file, which stays")
        << "link to a file" << mod << true << "";
    QTest::newRow("source missing")
        << "no source" << mod << false << "Вихідний файл мода не знайдено.";
    QTest::newRow("source replaced by a folder")
        << "source is folder" << mod << false << copyFailedMessage(mod);
    QTest::newRow("destination name taken by a folder")
        << "destination is folder" << mod << false << copyFailedMessage(mod);
    QTest::newRow("destination name links to a folder")
        << "link to a folder" << mod << false << copyFailedMessage(mod);
    QTest::newRow("destination folder missing")
        << "no target folder" << mod << false << copyFailedMessage(mod);
    QTest::newRow("disk full") << "file size limit" << mod << false << copyFailedMessage(mod);
    QTest::newRow("read-only destination")
        << "read-only mount" << mod << false << copyFailedMessage(mod);
    QTest::newRow("old copy held open by the game")
        << "held open" << mod << false << copyFailedMessage(mod);
    QTest::newRow("old copy read-only")
        << "read-only attribute" << mod << false << copyFailedMessage(mod);
    QTest::newRow("old copy held 200 ms by a scanner") << "held briefly" << mod << true << "";
    QTest::newRow("old copy held 200 ms, delete shared")
        << "held briefly, delete shared" << mod << true << "";
    QTest::newRow("scanner opens every new file") << "scanner" << mod << true << "";
    QTest::newRow("leftover of an ended run swept") << "stale leftover" << mod << true << "";
    QTest::newRow("leftover still being written stays") << "leftover in use" << mod << true << "";
}

void TestFileInstall::outcomeAndWhatIsLeft()
{
    QFETCH(QString, situation);
    QFETCH(QString, modName);
    QFETCH(bool, succeeds);
    QFETCH(QString, message);

    ScratchDir work;
#ifdef Q_OS_LINUX
    TestVolumes mounts;
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
    // A read-only copy is made writable again before the scratch folder goes, which
    // it would outlive; the other programs let go of their files before that too.
    const std::wstring installedW = QDir::toNativeSeparators(installed).toStdWString();
    const auto unlock
        = qScopeGuard([&] { SetFileAttributesW(installedW.c_str(), FILE_ATTRIBUTE_NORMAL); });
    OtherPrograms others;
#endif
    QStringList kept; // the player's files that a successful install leaves beside the mod
    const QString elsewhere = work.filePath("elsewhere/other.zip"); // where a link leads

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
    } else if (situation == u"hard link to source") {
        std::error_code error;
        std::filesystem::create_hard_link(QFileInfo(source).filesystemFilePath(),
                                          QFileInfo(installed).filesystemFilePath(), error);
        QVERIFY2(!error, error.message().c_str());
    } else if (situation == u"link to a file" || situation == u"link to a folder") {
#ifdef Q_OS_WIN
        QSKIP("QFile::link makes shell shortcuts on Windows, not symbolic links");
#endif
        const bool toFolder = situation.endsWith(u"folder");
        writeFile(toFolder ? elsewhere + "/keep.txt" : elsewhere, oldCopy);
        QVERIFY(QFile::link(elsewhere, installed));
    } else if (situation.startsWith(u"held") || situation == u"read-only attribute"
               || situation == u"scanner") {
#ifdef Q_OS_WIN
        // What Windows will not let anyone replace: a copy that another program holds
        // open (the game for good, a scanner for a moment), or one marked read-only.
        writeFile(installed, oldCopy);
        const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE
            | (situation.endsWith(u"delete shared") ? FILE_SHARE_DELETE : 0);
        if (situation == u"held open")
            QVERIFY(others.hold(installed, share, -1));
        else if (situation.startsWith(u"held briefly"))
            QVERIFY(others.hold(installed, share, 200));
        else if (situation == u"scanner")
            others.scan(target);
        else
            QVERIFY(SetFileAttributesW(installedW.c_str(), FILE_ATTRIBUTE_READONLY));
#else
        QSKIP("only Windows refuses to replace a file that is open or read-only");
#endif
    } else if (situation == u"stale leftover" || situation == u"leftover in use") {
        writeFile(installed, oldCopy);
        writeFile(target + u'/' + leftover, "an ended run's partial copy");
        hideFile(target + u'/' + leftover);
        if (situation == u"stale leftover") {
            for (const QString &name : lookAlikes) {
                writeFile(target + u'/' + name, "the player's");
                makeOld(target + u'/' + name);
            }
            makeOld(target + u'/' + leftover);
            kept = lookAlikes;
        } else {
            // Another running copy of the program is writing it: on Windows it holds the
            // file unshared; on Linux the name stands only a moment, so a fresh one stays.
#ifdef Q_OS_WIN
            QVERIFY(others.hold(target + u'/' + leftover, 0, -1));
#endif
            kept = QStringList{leftover};
        }
    } else if (situation == u"read-only mount") {
#ifdef Q_OS_LINUX
        QString why;
        if (!mounts.mount("tmpfs", target, 4 << 20, &why))
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
    kept.append(modName);
    kept.sort();
    QCOMPARE(listing(target), succeeds ? kept : targetBefore);
    if (situation == u"no target folder")
        QVERIFY(!QFileInfo::exists(target));
    else if (situation == u"destination is folder" || situation == u"link to a folder")
        QCOMPARE(readFile(installed + "/keep.txt"), oldCopy);
    else if (!succeeds)
        QCOMPARE(readFile(installed), oldCopy);
    else
        QCOMPARE(readFile(installed), newBytes);
    // The copy is hidden only while it is being written.
    QVERIFY(!QFileInfo(installed).isHidden());
    // A link's target is never written: the link itself is replaced.
    if (situation == u"link to a file")
        QCOMPARE(readFile(elsewhere), oldCopy);
    // The same file reached by another name is left alone, link and all.
    if (situation == u"hard link to source")
        QCOMPARE(std::filesystem::hard_link_count(QFileInfo(source).filesystemFilePath()), 2u);
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

// A player ends the program while it copies a large mod (Windows offers to, once the
// window has not answered for 5 s): the old copy stays and nothing is left beside it.
void TestFileInstall::endedMidCopyLeavesTheOldCopy()
{
    ScratchDir work;
    const QString target = work.filePath("game/res_mods/1.0");
    writeFile(target + "/big.mod", oldCopy);
    writeLargeMod(work.filePath("Mods/big.mod"));

    QString why;
    QVERIFY2(killInstallMidCopy("big.mod", target, &why), qPrintable(why));

    QCOMPARE(listing(target), QStringList{"big.mod"});
    QCOMPARE(readFile(target + "/big.mod"), oldCopy);
}

int main(int argc, char *argv[])
{
    if (const int code = installAsChildIfAsked(argc, argv); code >= 0)
        return code;
    QCoreApplication app(argc, argv);
    TestFileInstall test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_fileinstall.moc"
