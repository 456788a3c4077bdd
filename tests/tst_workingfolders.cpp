// The installer creates its working folders in the current working directory.
#include "corefixture.h"
#include "modinstallerapp.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

class TestWorkingFolders : public QObject
{
    Q_OBJECT

private slots:
    void createsWhatIsMissing_data();
    void createsWhatIsMissing();
    void followsTheWorkingDirectory();
};

void TestWorkingFolders::createsWhatIsMissing_data()
{
    QTest::addColumn<QStringList>("filesBefore"); // "name/" is a folder
    QTest::addColumn<QStringList>("listingAfter");
    QTest::addColumn<bool>("modsIsFolder");

    QTest::newRow("empty directory") << QStringList{} << QStringList{"Info", "Mods"} << true;
    QTest::newRow("both exist with content")
        << QStringList{"Mods/a.zip", "Info/notes.txt", "other.txt"}
        << QStringList{"Info", "Mods", "other.txt"} << true;
    QTest::newRow("Mods is a plain file")
        << QStringList{"Mods"} << QStringList{"Info", "Mods"} << false;
    QTest::newRow("only Info exists")
        << QStringList{"Info/"} << QStringList{"Info", "Mods"} << true;
}

void TestWorkingFolders::createsWhatIsMissing()
{
    QFETCH(QStringList, filesBefore);
    QFETCH(QStringList, listingAfter);
    QFETCH(bool, modsIsFolder);

    ScratchDir work;
    for (const QString &name : filesBefore) {
        if (name.endsWith(u'/'))
            makeDirs(work.filePath(name));
        else
            writeFile(work.filePath(name), name.toUtf8());
    }

    ModInstallerApp installer;

    QCOMPARE(listing(work.path()), listingAfter);
    QCOMPARE(QFileInfo(work.filePath(QStringLiteral("Mods"))).isDir(), modsIsFolder);
    QVERIFY(QFileInfo(work.filePath(QStringLiteral("Info"))).isDir());
    // Existing content is never touched.
    for (const QString &name : filesBefore) {
        if (!name.endsWith(u'/'))
            QCOMPARE(readFile(work.filePath(name)), name.toUtf8());
    }
}

void TestWorkingFolders::followsTheWorkingDirectory()
{
    ScratchDir first;
    ModInstallerApp installerInFirst;
    QCOMPARE(listing(first.path()), (QStringList{"Info", "Mods"}));

    ScratchDir second({QStringLiteral("only-here.zip")});
    ModInstallerApp installerInSecond;
    QCOMPARE(listing(second.path()), (QStringList{"Info", "Mods"}));
    // The catalogue is read from the directory that is current now.
    QCOMPARE(installerInFirst.getAvailableMods().keys(), QStringList{"only-here.zip"});
}

QTEST_GUILESS_MAIN(TestWorkingFolders)
#include "tst_workingfolders.moc"
