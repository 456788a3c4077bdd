// Installing one mod file: the outcome, the message, and what is left on disk,
// above all when the copy fails. Real failures only: CI runs as root.
#include "corefixture.h"
#include "longpath.h"
#include "modinstallerapp.h"
#ifdef Q_OS_LINUX
#include "testvolumes.h"
#endif

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <filesystem>
#include <system_error>

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

// Mods/<modName> and an install of it into `folder` of a scratch working directory.
struct Install
{
    explicit Install(const QString &mod = "mod.zip", const QString &folder = "game/res_mods/1.0")
        : modName(mod)
        , source(work.filePath("Mods/" + mod))
        , target(work.filePath(folder))
        , installed(target + '/' + mod)
    {
        makeDirs(target);
        writeFile(source, newBytes);
    }

    // Installs; says "installed" or the error message, and whatever broke the rules of
    // every install: one signal that agrees with the result, the mod library untouched.
    QString run()
    {
        const QStringList mods = listing(work.filePath("Mods"));
        const QByteArray modBytes = readFile(source);
        QSignalSpy done(&installer, &ModInstallerApp::installationComplete);
        QSignalSpy failed(&installer, &ModInstallerApp::errorOccurred);
        const bool result = installer.installModFile(modName, target);
        if (done.count() + failed.count() != 1 || result != (done.count() == 1))
            return "not one signal that agrees with the result";
        if (listing(work.filePath("Mods")) != mods || readFile(source) != modBytes)
            return "the mod library changed";
        return result ? (done.first().first() == modName ? "installed" : "another name")
                      : failed.first().first().toString();
    }

    // Succeeds, and the mod's bytes are all that stands there, not hidden.
    void installsAlone()
    {
        QCOMPARE(run(), "installed");
        QCOMPARE(listing(target), QStringList{modName});
        QCOMPARE(readFile(installed), newBytes);
        QVERIFY(!QFileInfo(installed).isHidden());
    }

    // Fails with `message`, the destination folder as it was.
    void failsKeepingAll(const QString &message)
    {
        const QStringList before = listing(target);
        const QByteArray oldBytes = readFile(installed);
        QCOMPARE(run(), message);
        QCOMPARE(listing(target), before);
        QCOMPARE(readFile(installed), oldBytes);
    }

    ScratchDir work;
    ModInstallerApp installer;
    const QByteArray newBytes = randomBytes(300 * 1024);
    const QString modName, source, target, installed;
};

} // namespace

class TestFileInstall : public QObject
{
    Q_OBJECT

private slots:
    void installsAndReplaces_data();
    void installsAndReplaces();
    void hardLinkToTheSourceStays();
#ifdef Q_OS_UNIX
    void linkAtTheModsName_data();
    void linkAtTheModsName();
#endif
#ifdef Q_OS_LINUX
    void readOnlyVolumeKeepsTheOldCopy();
#endif
    void sourceMissing();
    void sourceReplacedByAFolder();
    void folderAtTheModsNameStays();
    void destinationFolderMissing();
    void sweepsAnEndedRunsLeftover();
    void leavesALeftoverInUse();
#ifdef Q_OS_WIN
    void oldCopyHeldByAnotherProgram_data();
    void oldCopyHeldByAnotherProgram();
    void scannerOpensEveryNewFile();
    void readOnlyOldCopyStays();
    void endedMidCopyLeavesTheOldCopy();
#endif
    void win32CallsGetLongPaths_data();
    void win32CallsGetLongPaths();
};

void TestFileInstall::installsAndReplaces_data()
{
    QTest::addColumn<QString>("modName");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("oldCopy");

    const QString game = "game/res_mods/1.0";
    QTest::newRow("new copy replaces the old") << "mod.zip" << game << true;
    QTest::newRow("nothing installed before") << "mod.zip" << game << false;
    QTest::newRow("Cyrillic name with spaces") << "Мій мод для Ironvale v2.zip" << game << true;
    QTest::newRow("250-byte name") << QString(123, u'я') + ".zip" << game << true;
    // Beyond MAX_PATH (260), where Windows wants the \\?\ form of the path.
    QString deep = game;
    for (char folder = 'a'; deep.size() <= 300; ++folder)
        deep += '/' + QString(60, QLatin1Char(folder));
    QTest::newRow("destination path over 300 characters") << "mod.zip" << deep << true;
    QTest::newRow("Mods is the destination") << "mod.zip"
                                             << "Mods" << false;
}

void TestFileInstall::installsAndReplaces()
{
    QFETCH(QString, modName);
    QFETCH(QString, folder);
    QFETCH(bool, oldCopy);

    Install install(modName, folder);
    if (oldCopy)
        writeFile(install.installed, ::oldCopy);
    install.installsAlone();
}

// The same file reached by another name is left alone, link and all.
void TestFileInstall::hardLinkToTheSourceStays()
{
    Install install;
    std::error_code error;
    std::filesystem::create_hard_link(QFileInfo(install.source).filesystemFilePath(),
                                      QFileInfo(install.installed).filesystemFilePath(), error);
    QVERIFY2(!error, error.message().c_str());
    QCOMPARE(install.run(), "installed");
    QCOMPARE(std::filesystem::hard_link_count(QFileInfo(install.source).filesystemFilePath()), 2u);
    QCOMPARE(readFile(install.installed), install.newBytes);
}

#ifdef Q_OS_UNIX
void TestFileInstall::linkAtTheModsName_data()
{
    QTest::addColumn<QString>("leadsTo");
    QTest::addColumn<bool>("succeeds");
    QTest::newRow("link to the source") << "Mods/mod.zip" << true;
    QTest::newRow("link to another file, which stays") << "elsewhere/other.zip" << true;
    QTest::newRow("link to a folder, refused") << "elsewhere" << false;
}

// A link's target is never written: a link to a file is replaced, one to a folder refused.
void TestFileInstall::linkAtTheModsName()
{
    QFETCH(QString, leadsTo);
    QFETCH(bool, succeeds);

    Install install;
    const QString other = install.work.filePath("elsewhere/other.zip");
    writeFile(other, oldCopy);
    QVERIFY(QFile::link(install.work.filePath(leadsTo), install.installed));
    if (succeeds) {
        QCOMPARE(install.run(), "installed");
        QCOMPARE(readFile(install.installed), install.newBytes);
    } else {
        install.failsKeepingAll(copyFailedMessage("mod.zip"));
    }
    QCOMPARE(readFile(other), oldCopy);
    QCOMPARE(readFile(install.source), install.newBytes);
}
#endif

#ifdef Q_OS_LINUX
void TestFileInstall::readOnlyVolumeKeepsTheOldCopy()
{
    Install install;
    TestVolumes volumes;
    QString why;
    if (!volumes.mount("tmpfs", install.target, 4 << 20, &why))
        QSKIP(qPrintable("cannot mount a tmpfs here: " + why));
    writeFile(install.installed, oldCopy);
    QVERIFY2(volumes.makeReadOnly(install.target, &why), qPrintable(why));
    install.failsKeepingAll(copyFailedMessage("mod.zip"));
}
#endif

void TestFileInstall::sourceMissing()
{
    Install install;
    QVERIFY(QFile::remove(install.source));
    writeFile(install.installed, oldCopy);
    install.failsKeepingAll("Вихідний файл мода не знайдено.");
}

void TestFileInstall::sourceReplacedByAFolder()
{
    Install install;
    QVERIFY(QFile::remove(install.source));
    makeDirs(install.source + "/inner");
    writeFile(install.installed, oldCopy);
    install.failsKeepingAll(copyFailedMessage("mod.zip"));
}

void TestFileInstall::folderAtTheModsNameStays()
{
    Install install;
    writeFile(install.installed + "/keep.txt", oldCopy);
    install.failsKeepingAll(copyFailedMessage("mod.zip"));
    QCOMPARE(readFile(install.installed + "/keep.txt"), oldCopy);
}

void TestFileInstall::destinationFolderMissing()
{
    Install install;
    QVERIFY(QDir(install.target).removeRecursively());
    QCOMPARE(install.run(), copyFailedMessage("mod.zip"));
    QVERIFY(!QFileInfo::exists(install.target));
}

// The sweep takes the program's own temporaries, once old enough to be an ended run's,
// and never a player's file named almost alike.
void TestFileInstall::sweepsAnEndedRunsLeftover()
{
    Install install;
    writeFile(install.installed, oldCopy);
    writeFile(install.target + '/' + leftover, "an ended run's partial copy");
    hideFile(install.target + '/' + leftover);
    makeOld(install.target + '/' + leftover);
    for (const QString &name : lookAlikes) {
        writeFile(install.target + '/' + name, "the player's");
        makeOld(install.target + '/' + name);
    }
    QCOMPARE(install.run(), "installed");
    QCOMPARE(listing(install.target), QStringList(lookAlikes) << "mod.zip");
}

// Another running copy of the program is writing it: on Windows it holds the file
// unshared; on Linux the name stands only a moment, so a fresh one stays.
void TestFileInstall::leavesALeftoverInUse()
{
    Install install;
    writeFile(install.installed, oldCopy);
    writeFile(install.target + '/' + leftover, "another run's partial copy");
    hideFile(install.target + '/' + leftover);
#ifdef Q_OS_WIN
    OtherPrograms others;
    QVERIFY(others.hold(install.target + '/' + leftover, 0, -1));
#endif
    QCOMPARE(install.run(), "installed");
    QCOMPARE(listing(install.target), QStringList({leftover, "mod.zip"}));
}

#ifdef Q_OS_WIN
void TestFileInstall::oldCopyHeldByAnotherProgram_data()
{
    QTest::addColumn<int>("heldMs"); // -1: for good
    QTest::addColumn<bool>("shareDelete");
    QTest::addColumn<bool>("succeeds");
    QTest::newRow("held open by the game") << -1 << false << false;
    QTest::newRow("held 200 ms by a scanner") << 200 << false << true;
    QTest::newRow("held 200 ms, delete shared") << 200 << true << true;
}

// What Windows will not let anyone replace while another program holds it open: the
// game for good, a scanner for a moment.
void TestFileInstall::oldCopyHeldByAnotherProgram()
{
    QFETCH(int, heldMs);
    QFETCH(bool, shareDelete);
    QFETCH(bool, succeeds);

    Install install;
    writeFile(install.installed, oldCopy);
    OtherPrograms others;
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | (shareDelete ? FILE_SHARE_DELETE : 0);
    QVERIFY(others.hold(install.installed, share, heldMs));
    if (succeeds)
        install.installsAlone();
    else
        install.failsKeepingAll(copyFailedMessage("mod.zip"));
}

void TestFileInstall::scannerOpensEveryNewFile()
{
    Install install;
    writeFile(install.installed, oldCopy);
    OtherPrograms others;
    others.scan(install.target);
    install.installsAlone();
}

void TestFileInstall::readOnlyOldCopyStays()
{
    Install install;
    writeFile(install.installed, oldCopy);
    const std::wstring installed = QDir::toNativeSeparators(install.installed).toStdWString();
    QVERIFY(SetFileAttributesW(installed.c_str(), FILE_ATTRIBUTE_READONLY));
    // Writable again before the scratch folder goes, which it would outlive.
    const auto unlock
        = qScopeGuard([&] { SetFileAttributesW(installed.c_str(), FILE_ATTRIBUTE_NORMAL); });
    install.failsKeepingAll(copyFailedMessage("mod.zip"));
}

// Ended mid-copy (Windows offers to after 5 s without an answer): only the old copy stays.
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
#endif

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

IVL_TEST_MAIN_WITH_CHILD(TestFileInstall)

#include "tst_fileinstall.moc"
