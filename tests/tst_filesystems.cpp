// Installing on the file systems a player's game folder lives on (see TestVolumes).
// Real mounts, so Linux and root; where the machine does not allow one, a case skips.
#include "corefixture.h"
#include "modinstallerapp.h"
#include "testvolumes.h"

#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

#include <unistd.h>

namespace {

const QString modName = "mod.zip";
// File systems that keep unnamed files (O_TMPFILE) and Unix permission bits.
const QStringList unixKinds = {"ext4", "btrfs", "xfs", "tmpfs"};
// Players' drives of other systems, through FUSE.
const QStringList otherKinds = {"ntfs-3g", "exfat", "fat32", "bindfs"};

void addKinds(const QStringList &kinds)
{
    QTest::addColumn<QString>("kind");
    for (const QString &kind : kinds)
        QTest::newRow(qPrintable(kind)) << kind;
}

bool isOwnTemporary(const QString &name)
{
    return name.startsWith(".ivl-install-") && name.endsWith(".part");
}

} // namespace

// Mounts a fresh volume or skips the case with the machine's reason.
#define MOUNT_OR_SKIP(volumes, kind, where, bytes)                                                 \
    do {                                                                                           \
        QString why;                                                                               \
        if (!(volumes).mount(kind, where, bytes, &why))                                            \
            QSKIP(qPrintable("cannot mount " + kind + ": " + why));                                \
    } while (false)

class TestFileSystems : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void installsAndReplaces_data()
    {
        addKinds(unixKinds + otherKinds + QStringList{"share without rename over"});
    }
    void installsAndReplaces();
    void failureKeepsTheOldCopy_data();
    void failureKeepsTheOldCopy();
    void endedMidCopyLeavesNothingVisible_data() { addKinds(unixKinds + otherKinds); }
    void endedMidCopyLeavesNothingVisible();
    void reflinkSharesTheModsBlocks_data() { addKinds({"btrfs", "xfs"}); }
    void reflinkSharesTheModsBlocks();

private:
    QTemporaryDir m_shared;
    QString m_bigMod; // 1 GiB, written once for every case that kills a copy
};

void TestFileSystems::initTestCase()
{
    m_bigMod = m_shared.filePath("big.mod");
    writeLargeMod(m_bigMod);
}

void TestFileSystems::installsAndReplaces()
{
    QFETCH(QString, kind);
    ScratchDir work;
    TestVolumes volumes;
    MOUNT_OR_SKIP(volumes, kind, work.filePath("game"), 256 << 20);
    const QString target = work.filePath("game/res_mods/1.0");
    makeDirs(target);
    ModInstallerApp installer;
    const QString source = work.filePath("Mods/" + modName);
    const QString installed = target + '/' + modName;

    // A fresh install, then a smaller copy over it: nothing of the first may stay.
    for (const QByteArray &bytes : {randomBytes(3 << 20, 1), randomBytes((1 << 20) + 4, 2)}) {
        writeFile(source, bytes);
        QVERIFY(QFile::setPermissions(
            source, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadUser));
        QSignalSpy done(&installer, &ModInstallerApp::installationComplete);
        QVERIFY2(installer.installModFile(modName, target), "the install failed");
        QCOMPARE(done.count(), 1);
        QCOMPARE(listing(target), QStringList{modName});
        QCOMPARE(readFile(installed), bytes);
        if (unixKinds.contains(kind) || kind == "bindfs" || kind.startsWith("share"))
            QCOMPARE(QFile::permissions(installed), QFile::permissions(source));
    }
}

void TestFileSystems::failureKeepsTheOldCopy_data()
{
    QTest::addColumn<QString>("kind");
    for (const QString &kind : unixKinds + QStringList{"ntfs-3g", "exfat", "fat32"})
        QTest::newRow(qPrintable("disk full: " + kind)) << kind;
    for (const char *share :
         {"share refusing at fsync", "share refusing at close", "share keeping less"})
        QTest::newRow(share) << share;
}

void TestFileSystems::failureKeepsTheOldCopy()
{
    QFETCH(QString, kind);
    ScratchDir work;
    TestVolumes volumes;
    const QString game = work.filePath("game");
    MOUNT_OR_SKIP(volumes, kind, game, 64 << 20);
    const QString target = game + "/res_mods/1.0";
    if (kind.startsWith("share")) {
        // The old copy reached the server before its quota was full.
        writeFile(volumes.backing(game) + "/res_mods/1.0/" + modName, oldCopy);
    } else {
        writeFile(target + '/' + modName, oldCopy);
        QFile filler(game + "/filler");
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(1 << 20, 'f');
        while (filler.write(block) == block.size()) { }
    }
    ModInstallerApp installer;
    writeFile(work.filePath("Mods/" + modName), randomBytes(4 << 20, 3));
    const QStringList before = listing(target);

    QSignalSpy failed(&installer, &ModInstallerApp::errorOccurred);
    QVERIFY2(!installer.installModFile(modName, target),
             "the install reported success for a copy that did not arrive whole");
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.first().first().toString(), copyFailedMessage(modName));
    QCOMPARE(listing(target), before);
    QCOMPARE(readFile(target + '/' + modName), oldCopy);
}

// A player ends the program mid-copy: nothing is left but, where there are no unnamed
// files, the program's own hidden temporary, which the next install sweeps.
void TestFileSystems::endedMidCopyLeavesNothingVisible()
{
    QFETCH(QString, kind);
    ScratchDir work;
    TestVolumes volumes;
    MOUNT_OR_SKIP(volumes, kind, work.filePath("game"), qint64(1536) << 20);
    const QString target = work.filePath("game/res_mods/1.0");
    writeFile(target + "/big.mod", oldCopy);
    makeDirs(work.filePath("Mods"));
    QVERIFY(QFile::link(m_bigMod, work.filePath("Mods/big.mod")));

    QString why;
    QVERIFY2(killInstallMidCopy("big.mod", target, &why), qPrintable(why));
    QStringList visible, leftovers;
    for (const QString &name : listing(target))
        (isOwnTemporary(name) ? leftovers : visible).append(name);
    QCOMPARE(visible, QStringList{"big.mod"});
    QCOMPARE(readFile(target + "/big.mod"), oldCopy);
    QCOMPARE_LE(leftovers.size(), unixKinds.contains(kind) ? 0 : 1);

    // What the ended copy still had in the page cache reaches the file first.
    ::sync();
    for (const QString &name : leftovers)
        makeOld(target + '/' + name);
    writeFile(work.filePath("Mods/other.mod"), "another mod");
    ModInstallerApp installer;
    QVERIFY(installer.installModFile("other.mod", target));
    QCOMPARE(listing(target), QStringList({"big.mod", "other.mod"}));
}

// Mods and the game on one btrfs or xfs volume: the copy shares the mod's blocks.
void TestFileSystems::reflinkSharesTheModsBlocks()
{
    QFETCH(QString, kind);
    ScratchDir work;
    TestVolumes volumes;
    const QString volume = work.filePath("volume");
    MOUNT_OR_SKIP(volumes, kind, volume, 64 << 20);
    QDir::setCurrent(volume);
    const auto leave = qScopeGuard([&] { QDir::setCurrent(work.path()); });
    ModInstallerApp installer;
    const QByteArray bytes = randomBytes(8 << 20, 4);
    writeFile(volume + "/Mods/" + modName, bytes);
    const QString target = volume + "/game/res_mods/1.0";
    makeDirs(target);

    QVERIFY(installer.installModFile(modName, target));
    QCOMPARE(readFile(target + '/' + modName), bytes);
    QProcess filefrag;
    filefrag.start("filefrag", {"-v", target + '/' + modName});
    QVERIFY(filefrag.waitForFinished(60000));
    const QString extents = filefrag.readAllStandardOutput();
    QVERIFY2(extents.contains("shared"), qPrintable(extents));
}

IVL_TEST_MAIN_WITH_CHILD(TestFileSystems)

#include "tst_filesystems.moc"
