// The automatic game search: the rules over volume records, and the real search
// over tmpfs volumes mounted in a private mount namespace.
#include "corefixture.h"
#include "modinstallerapp.h"
#ifdef Q_OS_LINUX
#include "testvolumes.h"
#endif
#include "volumes.h"
#include "volumescan.h"

#include <QFile>
#include <QSignalSpy>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>

class TestVolumeScan : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void rulesOverVolumeRecords_data();
    void rulesOverVolumeRecords();
    void emitsOncePerSearch();
    void findsOnMountedVolumes();
    void sameVolumesAsQt();
    void passesOverAVolumeThatStopsAnswering();

private:
    QTemporaryDir m_roots;
};

void TestVolumeScan::initTestCase()
{
    const QString base = m_roots.path() + u'/';
    makeDirs(base + "hit/Ironvale_EU");
    makeDirs(base + "caps/IRONVALE_EU");
    makeDirs(base + "near/Ironvale_EU_old");
    makeDirs(base + "near/Ironvale");
    makeDirs(base + "near/.hidden");
    writeFile(base + "near/Ironvale_EU.txt", "x");
    writeFile(base + "plainfile/Ironvale_EU", "a file, not a folder");
    makeDirs(base + "deep/Games/Ironvale_EU");
    makeDirs(base + "link");
#ifndef Q_OS_WIN // QFile::link makes a shell shortcut there, not a link to a folder
    QVERIFY(QFile::link(base + "hit/Ironvale_EU", base + "link/Ironvale_EU"));
#endif
    makeDirs(base + "empty");
}

void TestVolumeScan::rulesOverVolumeRecords_data()
{
    // A volume is "<root below the scratch folder>:<flags>", flags r = ready, o = read-only.
    QTest::addColumn<QStringList>("volumes");
    QTest::addColumn<QStringList>("expected"); // below the scratch folder

    QTest::newRow("found") << QStringList{"empty:r", "hit:r"} << QStringList{"hit/Ironvale_EU"};
    QTest::newRow("name as stored on disk")
        << QStringList{"caps:r"} << QStringList{"caps/IRONVALE_EU"};
    QTest::newRow("not ready is skipped") << QStringList{"hit:", "hit:o"} << QStringList{};
    QTest::newRow("read-only is skipped")
        << QStringList{"hit:ro", "caps:r"} << QStringList{"caps/IRONVALE_EU"};
    QTest::newRow("whole name only") << QStringList{"near:r"} << QStringList{};
    QTest::newRow("a plain file is no match") << QStringList{"plainfile:r"} << QStringList{};
    QTest::newRow("not below the root") << QStringList{"deep:r"} << QStringList{};
    QTest::newRow("a link to a folder counts")
        << QStringList{"link:r"} << QStringList{"link/Ironvale_EU"};
    QTest::newRow("volume order is kept") << QStringList{"caps:r", "empty:r", "hit:r"}
                                          << QStringList{"caps/IRONVALE_EU", "hit/Ironvale_EU"};
    QTest::newRow("same root twice, first place kept")
        << QStringList{"hit:r", "caps:r", "hit:r"}
        << QStringList{"hit/Ironvale_EU", "caps/IRONVALE_EU"};
    QTest::newRow("root ending in a slash")
        << QStringList{"hit/:r"} << QStringList{"hit//Ironvale_EU"};
    QTest::newRow("missing root") << QStringList{"no-such-root:r"} << QStringList{};
}

void TestVolumeScan::rulesOverVolumeRecords()
{
    QFETCH(QStringList, volumes);
    QFETCH(QStringList, expected);
#ifdef Q_OS_WIN
    if (volumes.contains("link:r"))
        QSKIP("symbolic links to folders are made on Linux only");
#endif

    QList<VolumeRoot> records;
    for (const QString &volume : volumes) {
        const QString flags = volume.section(u':', 1);
        records.append({m_roots.path() + u'/' + volume.section(u':', 0, 0), flags.contains(u'r'),
                        flags.contains(u'o')});
    }
    for (QString &path : expected)
        path.prepend(m_roots.path() + u'/');

    QCOMPARE(findIvlDirsOnRoots(records), expected);
}

void TestVolumeScan::emitsOncePerSearch()
{
    ScratchDir work;
    ModInstallerApp installer;
    QSignalSpy spy(&installer, &ModInstallerApp::ivlDirsFound);
    installer.findIvlDirs();
    installer.findIvlDirs();
    QCOMPARE(spy.count(), 2); // also when nothing is found
}

void TestVolumeScan::findsOnMountedVolumes()
{
#if defined(Q_OS_WIN)
    if (!haveScratchDriveD())
        QSKIP("needs a scratch drive D:, which the tst_volumescan_drive_d run maps under Wine");
    // A drive's root path ends in a slash, and the separator is added all the same.
    makeDirs("D:/ironvale_EU/res_mods");
    makeDirs("D:/Games/Ironvale_EU");
    writeFile("D:/Ironvale_EU_old", "a file");
    const QString base = "D:";
    const QStringList expected{"D://ironvale_EU"};
#elif defined(Q_OS_LINUX)
    QTemporaryDir scratch;
    const QString base = scratch.path();
    TestVolumes mounts;
    QString why;
    for (const char *name : {"v1", "v2", "v3", "v4", "v5"}) {
        if (!mounts.mount("tmpfs", scratch.filePath(name), 1 << 20, &why))
            QSKIP(qPrintable("cannot mount tmpfs volumes here: " + why));
    }
    makeDirs(scratch.filePath("v1/IRONVALE_EU"));
    writeFile(scratch.filePath("v2/Ironvale_EU"), "a file");
    makeDirs(scratch.filePath("v2/Ironvale_EU_old"));
    makeDirs(scratch.filePath("v3/Ironvale_EU"));
    QVERIFY2(mounts.makeReadOnly(scratch.filePath("v3"), &why), qPrintable(why));
    makeDirs(scratch.filePath("v4/Games/Ironvale_EU"));
    makeDirs(scratch.filePath("v5/ironvale_eu"));
    const QStringList expected{scratch.filePath("v1/IRONVALE_EU"),
                               scratch.filePath("v5/ironvale_eu")};
#else
    QSKIP("volumes are made on Linux and under Wine only");
#endif

    ScratchDir work;
    ModInstallerApp installer;
    QSignalSpy spy(&installer, &ModInstallerApp::ivlDirsFound);
    installer.findIvlDirs();

    QCOMPARE(spy.count(), 1);
    QStringList ours;
    for (const QString &path : spy.first().first().toStringList()) {
        if (path.startsWith(base + u'/'))
            ours.append(path);
    }
    QCOMPARE(ours, expected);
}

// Where every volume answers, the roots read without touching them are Qt's own.
void TestVolumeScan::sameVolumesAsQt()
{
    auto line = [](const QString &root, bool ready, bool readOnly) {
        return QString("%1 ready %2 read-only %3").arg(root).arg(ready).arg(readOnly);
    };
    QStringList qts, ours;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes())
        qts.append(
            line(volume.rootPath(), volume.isReady(), volume.isReady() && volume.isReadOnly()));
    for (const QString &root : Volumes::mountedRoots()) {
        bool listed = false;
        const VolumeRoot volume = Volumes::probe(root, &listed);
        if (listed)
            ours.append(line(volume.rootPath, volume.ready, volume.readOnly));
    }
#if QT_VERSION < QT_VERSION_CHECK(6, 8, 0)
    // Where no mount holds "/" (a bare chroot) Qt 6.4 lists nothing or a root it cannot
    // place, and 6.8 names "/": the roots alone are compared there.
    if (qts.isEmpty() || qts == QStringList{line(QString(), false, false)}) {
        qts = QStringList{"/"};
        for (QString &volume : ours)
            volume = volume.section(u' ', 0, 0);
    }
#endif
    QCOMPARE(ours, qts);
}

// A share whose server is gone: passed over after 8 s, the window alive meanwhile, and
// the program quits at once with its probe still waiting.
void TestVolumeScan::passesOverAVolumeThatStopsAnswering()
{
#ifndef Q_OS_LINUX
    QSKIP("the tests' own FUSE volumes are made on Linux only");
#else
    QTemporaryDir scratch;
    TestVolumes mounts;
    QString why;
    if (!mounts.mount("tmpfs", scratch.filePath("healthy"), 1 << 20, &why)
        || !mounts.mount("bindfs", scratch.filePath("gone"), 0, &why))
        QSKIP(qPrintable("cannot mount the volumes here: " + why));
    makeDirs(scratch.filePath("healthy/Ironvale_EU"));
    makeDirs(scratch.filePath("gone/Ironvale_EU"));
    mounts.stopAnswering(scratch.filePath("gone"));
    QVERIFY2(searchInChildAndQuit(&why), qPrintable(why));

    ScratchDir work;
    ModInstallerApp installer;
    for (int search = 1; search <= 2; ++search) { // the second while the first probe hangs
        QSignalSpy spy(&installer, &ModInstallerApp::ivlDirsFound);
        LoopStallMeter stalls;
        QElapsedTimer took;
        took.start();
        installer.findIvlDirs();
        QCOMPARE(spy.count(), 1);
        QVERIFY2(
            spy.first().first().toStringList().contains(scratch.filePath("healthy/Ironvale_EU")),
            qPrintable(spy.first().first().toStringList().join(", ")));
        QVERIFY2(took.elapsed() < 30000, "the search waited on the volume that stopped answering");
        QCOMPARE_LE(stalls.longestMs(), 250);
    }
#endif
}

IVL_TEST_MAIN_WITH_CHILD(TestVolumeScan)
#include "tst_volumescan.moc"
