// Choosing the game folder: the search's three outcomes and the manual pick.
#include "modaldriver.h"
#include "windowfixture.h"

#include <QDir>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

using Answers = QStringList; // see ModalDriver::thenAll

namespace {

const QString infoSeveral = "information | Попередження | Знайдено кілька папок Ironvale_EU. "
                            "Оберіть потрібну вручну. | OK";
const QString folderDialog = "folder dialog | Оберіть папку Ironvale_EU";
const QString noResMods = "warning | Помилка | Вказана папка не містить res_mods. Будь ласка, "
                          "виберіть правильну папку Ironvale_EU. | OK";

// Game folders to pick from: one with res_mods as a folder, one with a plain
// file of that name, one without it.
void makeGameFolders(const ScratchDir &work)
{
    makeDirs(work.filePath("good/res_mods/1.0"));
    writeFile(work.filePath("fileonly/res_mods"), "x");
    makeDirs(work.filePath("bare/other"));
}

} // namespace

class TestGameFolder : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void searchResult_data();
    void searchResult();
    void manualPick_data();
    void manualPick();
    void manualPickStartFolder_data();
    void manualPickStartFolder();
    void searchMessageShowsWhileSearching();
};

void TestGameFolder::cleanup()
{
    QVERIFY2(!closeStrayWindows(), "a test left a window or dialog open");
}

void TestGameFolder::searchResult_data()
{
    QTest::addColumn<QStringList>("found");
    QTest::addColumn<Answers>("answers");
    QTest::addColumn<QStringList>("dialogs");
    QTest::addColumn<QString>("pathAfter"); // below the scratch dir; "" keeps the earlier path
    QTest::addColumn<QString>("status");

    QTest::newRow("none: earlier path kept")
        << QStringList{} << Answers{"ok"}
        << QStringList{"warning | Помилка | Не знайдено папку Ironvale_EU. Будь ласка, оберіть "
                       "її "
                       "вручну. | OK"}
        << ""
        << "Пошук завершено. Гру не знайдено.";
    QTest::newRow("one, taken without a res_mods check")
        << QStringList{"bare"} << Answers{} << QStringList{} << "bare"
        << "Пошук завершено. Знайдено один шлях до гри.";
    QTest::newRow("two, pick with res_mods")
        << QStringList{"good", "bare"} << Answers{"ok", "pick:good"}
        << QStringList{infoSeveral, folderDialog} << "good"
        << "Пошук завершено. Знайдено кілька шляхів до гри.";
    QTest::newRow("two, dialog cancelled") << QStringList{"good", "bare"} << Answers{"ok", "cancel"}
                                           << QStringList{infoSeveral, folderDialog} << ""
                                           << "Пошук завершено. Знайдено кілька шляхів до гри.";
    QTest::newRow("two, pick without res_mods")
        << QStringList{"good", "bare"} << Answers{"ok", "pick:bare", "ok"}
        << QStringList{infoSeveral, folderDialog, noResMods} << ""
        << "Пошук завершено. Знайдено кілька шляхів до гри.";
}

void TestGameFolder::searchResult()
{
    QFETCH(QStringList, found);
    QFETCH(Answers, answers);
    QFETCH(QStringList, dialogs);
    QFETCH(QString, pathAfter);
    QFETCH(QString, status);

    WindowFixture app;
    makeGameFolders(app.work);
    const QString earlier = app.work.filePath("earlier");
    app.setGamePath(earlier);

    ModalDriver driver;
    driver.thenAll(answers, app.work.path());
    for (QString &path : found)
        path = app.work.filePath(path);
    emit app.installer.ivlDirsFound(found);

    QCOMPARE(driver.log(), dialogs);
    QCOMPARE(driver.unansweredCount(), 0);
    QCOMPARE(app.gamePath(), pathAfter.isEmpty() ? earlier : app.work.filePath(pathAfter));
    QCOMPARE(app.status(), status);
}

void TestGameFolder::manualPick_data()
{
    QTest::addColumn<Answers>("answers");
    QTest::addColumn<QStringList>("dialogs");
    QTest::addColumn<QString>("pathAfter"); // "" keeps the earlier path

    QTest::newRow("res_mods folder") << Answers{"pick:good"} << QStringList{folderDialog} << "good";
    QTest::newRow("res_mods plain file")
        << Answers{"pick:fileonly"} << QStringList{folderDialog} << "fileonly";
    QTest::newRow("no res_mods") << Answers{"pick:bare", "ok"}
                                 << QStringList{folderDialog, noResMods} << "";
    QTest::newRow("cancelled") << Answers{"cancel"} << QStringList{folderDialog} << "";
}

void TestGameFolder::manualPick()
{
    QFETCH(Answers, answers);
    QFETCH(QStringList, dialogs);
    QFETCH(QString, pathAfter);

    WindowFixture app;
    makeGameFolders(app.work);
    const QString earlier = app.work.filePath("earlier");
    app.setGamePath(earlier);
    app.window.statusBar()->showMessage("before the pick");

    ModalDriver driver;
    driver.thenAll(answers, app.work.path());
    app.button("Обрати шлях вручну")->click();

    QCOMPARE(driver.log(), dialogs);
    QCOMPARE(app.gamePath(), pathAfter.isEmpty() ? earlier : app.work.filePath(pathAfter));
    QCOMPARE(app.status(), "before the pick");
}

void TestGameFolder::manualPickStartFolder_data()
{
    QTest::addColumn<bool>("driveD");
    QTest::addColumn<QString>("opened");

    // Each run under Wine has one of the two; the tst_gamefolder_drive_d run maps D:.
    QTest::newRow("drive D: exists") << true << "D:/";
    QTest::newRow("no drive D:") << false << "C:/";
}

void TestGameFolder::manualPickStartFolder()
{
    QFETCH(bool, driveD);
    QFETCH(QString, opened);
#ifndef Q_OS_WIN
    QSKIP("drive letters exist on Windows only");
#endif
    if (QDir("D:/").exists() != driveD)
        QSKIP(driveD ? "this run has no drive D:" : "this run has a drive D:");

    WindowFixture app;
    ModalDriver driver;
    driver.then(ModalDriver::cancel());
    app.button("Обрати шлях вручну")->click();

    QCOMPARE(driver.seen().size(), 1);
    QCOMPARE(driver.seen().first().directory, opened);
}

void TestGameFolder::searchMessageShowsWhileSearching()
{
    WindowFixture app;
    QString statusDuringBox;
    ModalDriver driver;
    driver.then([&](QWidget *box) {
        statusDuringBox = app.status();
        ModalDriver::press(QMessageBox::Ok)(box);
    });
    app.button("Автоматично знайти гру")->click();
    if (driver.seen().isEmpty())
        QSKIP("this machine has an Ironvale_EU folder at a volume root");

    QCOMPARE(statusDuringBox, "Пошук Ironvale, це може зайняти деякий час...");
    QCOMPARE(app.status(), "Пошук завершено. Гру не знайдено.");
}

QTEST_MAIN(TestGameFolder)
#include "tst_gamefolder.moc"
