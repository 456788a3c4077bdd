// Which files of Mods are mods, and in which order they are listed.
#include "corefixture.h"
#include "modinstallerapp.h"

#include <QDir>
#include <QFile>
#include <QTest>

class TestModCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void ordersByCodeUnits_data();
    void ordersByCodeUnits();
    void listsFilesOnly();
    void linksCountByTheirTarget();
    void isReadAfreshAndNeverFails();
};

void TestModCatalogue::ordersByCodeUnits_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("expected");

    // No two names differ only in letter case: on Windows they would be one file.
    QTest::newRow("upper before lower")
        << QStringList{"b.zip", "A.zip", "c.zip"} << QStringList{"A.zip", "b.zip", "c.zip"};
    QTest::newRow("every upper before any lower")
        << QStringList{"B.zip", "a.zip", "C.zip"} << QStringList{"B.zip", "C.zip", "a.zip"};
    QTest::newRow("digits are not numbers")
        << QStringList{"mod2.zip", "mod10.zip"} << QStringList{"mod10.zip", "mod2.zip"};
    QTest::newRow("full stop before digit")
        << QStringList{"mod2.zip", "mod.zip"} << QStringList{"mod.zip", "mod2.zip"};
    QTest::newRow("digits first, underscore between cases")
        << QStringList{"zeta", "_under", "9lives", "Alpha"}
        << QStringList{"9lives", "Alpha", "_under", "zeta"};
    QTest::newRow("Cyrillic after Latin")
        << QStringList{"Яблуко.zip", "абетка.zip", "zz.zip", "1.zip"}
        << QStringList{"1.zip", "zz.zip", "Яблуко.zip", "абетка.zip"};
    QTest::newRow("prefix first") << QStringList{"modpack-extra", "modpack"}
                                  << QStringList{"modpack", "modpack-extra"};
}

void TestModCatalogue::ordersByCodeUnits()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, expected);

    ScratchDir work(files);
    const ModInstallerApp installer;
    QCOMPARE(installer.getAvailableMods().keys(), expected);
}

void TestModCatalogue::listsFilesOnly()
{
    ScratchDir work({"plain.zip", "NOEXTENSION", ".hidden.zip"});
    hideFile(work.filePath("Mods/.hidden.zip"));
    makeDirs(work.filePath("Mods/subfolder"));
    writeFile(work.filePath("Mods/subfolder/inner.zip"), "x");

    const ModInstallerApp installer;
    const QMap<QString, QString> mods = installer.getAvailableMods();

    QCOMPARE(mods.keys(), (QStringList{"NOEXTENSION", "plain.zip"}));
    // Relative paths with a forward slash, never absolute or resolved.
    QCOMPARE(mods.values(), (QStringList{"Mods/NOEXTENSION", "Mods/plain.zip"}));
}

void TestModCatalogue::linksCountByTheirTarget()
{
#ifdef Q_OS_WIN
    QSKIP("QFile::link makes shell shortcuts on Windows, not symbolic links");
#else
    ScratchDir work;
    makeDirs(work.filePath("Mods"));
    writeFile(work.filePath("elsewhere/target.zip"), "x");
    QVERIFY(
        QFile::link(work.filePath("elsewhere/target.zip"), work.filePath("Mods/link-to-file.zip")));
    QVERIFY(QFile::link(work.filePath("elsewhere"), work.filePath("Mods/link-to-folder")));
    QVERIFY(QFile::link(work.filePath("nowhere.zip"), work.filePath("Mods/broken-link.zip")));

    const ModInstallerApp installer;
    QCOMPARE(installer.getAvailableMods(),
             (QMap<QString, QString>{{"link-to-file.zip", "Mods/link-to-file.zip"}}));
#endif
}

void TestModCatalogue::isReadAfreshAndNeverFails()
{
    ScratchDir work({"first.zip"});
    const ModInstallerApp installer;
    QCOMPARE(installer.getAvailableMods().keys(), QStringList{"first.zip"});

    writeFile(work.filePath("Mods/second.zip"), "x");
    QFile::remove(work.filePath("Mods/first.zip"));
    QCOMPARE(installer.getAvailableMods().keys(), QStringList{"second.zip"});

    // Mods gone, or a plain file in its place: empty, and not re-created here.
    QVERIFY(QDir(work.filePath("Mods")).removeRecursively());
    QVERIFY(installer.getAvailableMods().isEmpty());
    QVERIFY(!QFileInfo::exists(work.filePath("Mods")));
    writeFile(work.filePath("Mods"), "not a folder");
    QVERIFY(installer.getAvailableMods().isEmpty());
}

QTEST_GUILESS_MAIN(TestModCatalogue)
#include "tst_modcatalogue.moc"
