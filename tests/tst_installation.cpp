// One press of the install button: the boxes in order and the status text after.
#include "modaldriver.h"
#include "windowfixture.h"
#ifdef Q_OS_LINUX
#include "testvolumes.h"
#endif

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

using Answers = QStringList; // see ModalDriver::thenAll

namespace {

const QString sentinel = "before the press";
// Qt's own Yes and No read in Ukrainian, as the program shows them.
const QString question = "question | Підтвердження | Ви дійсно хочете встановити мод 'mod.zip' в "
                         "папку '1.0'? | Так Ні";
const QString folderDialog = "folder dialog | Оберіть папку для встановлення мода";

const QString pickVersion = "pick:game/res_mods/1.0";

// Mods/mod.zip, a game folder holding `game` ("x/" a folder, "x" a file), the path set and
// the mod selected.
struct Ready
{
    WindowFixture app{QStringList{"mod.zip"}};
    explicit Ready(const QStringList &game = {"res_mods/1.0/"})
    {
        makeDirs(app.work.filePath("game"));
        for (const QString &entry : game) {
            if (entry.endsWith('/'))
                makeDirs(app.work.filePath("game/" + entry));
            else
                writeFile(app.work.filePath("game/" + entry), "x");
        }
        app.setGamePath(app.work.filePath("game"));
        app.modList()->setCurrentRow(0);
        app.window.statusBar()->showMessage(sentinel);
    }
    void press() { app.button("Встановити вибраний мод")->click(); }
};

} // namespace

class TestInstallation : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void refusedBeforeAnyDialog_data();
    void refusedBeforeAnyDialog();
    void dialogsAndOutcome_data();
    void dialogsAndOutcome();
    void opensInTheVersionThatSortsLast_data();
    void opensInTheVersionThatSortsLast();
    void rootDestinationHasAnEmptyName();
    void reinstallReplacesTheCopy();
    void installsOnTheFoundDrive();
    void longInstallShowsItsProgress_data();
    void longInstallShowsItsProgress();
};

void TestInstallation::cleanup()
{
    QVERIFY2(!closeStrayWindows(), "a test left a window or dialog open");
}

void TestInstallation::refusedBeforeAnyDialog_data()
{
    QTest::addColumn<bool>("selected");
    QTest::addColumn<bool>("pathSet");
    QTest::addColumn<QStringList>("game");
    QTest::addColumn<QString>("text");

    const QStringList ready{"res_mods/1.0/"};
    const QString noResMods = "Вказана папка не містить res_mods. Будь ласка, виберіть правильну "
                              "папку Ironvale_EU.";
    QTest::newRow("no mod selected")
        << false << true << ready << "Будь ласка, оберіть мод зі списку.";
    QTest::newRow("game path empty")
        << true << false << ready << "Будь ласка, вкажіть шлях до гри.";
    QTest::newRow("no res_mods") << true << true << QStringList{"other/"} << noResMods;
    QTest::newRow("res_mods is a file") << true << true << QStringList{"res_mods"} << noResMods;
    QTest::newRow("res_mods holds only files")
        << true << true << QStringList{"res_mods/readme.txt"}
        << "Не знайдено папок з версіями гри в res_mods. Будь ласка, переконайтеся, що ви "
           "оновили гру хоча б один раз.";
}

void TestInstallation::refusedBeforeAnyDialog()
{
    QFETCH(bool, selected);
    QFETCH(bool, pathSet);
    QFETCH(QStringList, game);
    QFETCH(QString, text);

    Ready ready(game);
    if (!selected)
        ready.app.modList()->clearSelection();
    if (!pathSet) // as in a fresh window, where nothing has written the path yet
        ready.app.window.findChild<QLineEdit *>()->clear();
    ModalDriver driver;
    driver.thenAll({"ok"}, ready.app.work.path());
    ready.press();

    QCOMPARE(driver.log(), QStringList{"warning | Помилка | " + text + " | OK"});
    QCOMPARE(ready.app.status(), sentinel);
    QCOMPARE(ready.app.modList()->selectedItems().size(), selected ? 1 : 0);
}

void TestInstallation::dialogsAndOutcome_data()
{
    QTest::addColumn<QStringList>("game");
    QTest::addColumn<bool>("modKept"); // false: deleted after the list was read
    QTest::addColumn<Answers>("answers");
    QTest::addColumn<QStringList>("dialogs");
    QTest::addColumn<QString>("status"); // empty: unchanged

    const QStringList ready{"res_mods/1.0/"};
    const QString installed = "information | Успіх | Мод 'mod.zip' успішно встановлено! | OK";
    QTest::newRow("folder dialog cancelled")
        << ready << true << Answers{"cancel"} << QStringList{folderDialog}
        << "Встановлення скасовано.";
    QTest::newRow("answered No") << ready << true << Answers{pickVersion, "no"}
                                 << QStringList{folderDialog, question} << "";
    QTest::newRow("installed") << ready << true << Answers{pickVersion, "yes", "ok"}
                               << QStringList{folderDialog, question, installed}
                               << "Встановлення 'mod.zip' завершено.";
    QTest::newRow("destination outside the game")
        << ready << true << Answers{"pick:elsewhere", "yes", "ok"}
        << QStringList{folderDialog,
                       "question | Підтвердження | Ви дійсно хочете встановити мод 'mod.zip' в "
                       "папку 'elsewhere'? | Так Ні",
                       installed}
        << "Встановлення 'mod.zip' завершено.";
    QTest::newRow("source missing")
        << ready << false << Answers{pickVersion, "yes", "ok"}
        << QStringList{folderDialog, question,
                       "critical | Помилка | Вихідний файл мода не знайдено. | OK"}
        << "Помилка: Вихідний файл мода не знайдено.";
    QTest::newRow("copy failed: a folder in the way")
        << QStringList{"res_mods/1.0/mod.zip/"} << true << Answers{pickVersion, "yes", "ok"}
        << QStringList{folderDialog, question,
                       "critical | Помилка | Не вдалося скопіювати файл: mod.zip | OK"}
        << "Помилка: Не вдалося скопіювати файл: mod.zip";
}

void TestInstallation::dialogsAndOutcome()
{
    QFETCH(QStringList, game);
    QFETCH(bool, modKept);
    QFETCH(Answers, answers);
    QFETCH(QStringList, dialogs);
    QFETCH(QString, status);

    Ready ready(game);
    makeDirs(ready.app.work.filePath("elsewhere"));
    if (!modKept)
        QVERIFY(QFile::remove(ready.app.work.filePath("Mods/mod.zip")));
    ModalDriver driver;
    driver.thenAll(answers, ready.app.work.path());
    ready.press();

    QCOMPARE(driver.log(), dialogs);
    QCOMPARE(driver.unansweredCount(), 0);
    QCOMPARE(ready.app.status(), status.isEmpty() ? sentinel : status);
    // Nothing is refreshed afterwards: the list and its selection stay.
    QCOMPARE(ready.app.mods(), QStringList{"mod.zip"});
    QCOMPARE(ready.app.modList()->selectedItems().size(), 1);
}

void TestInstallation::opensInTheVersionThatSortsLast_data()
{
    QTest::addColumn<QStringList>("game");
    QTest::addColumn<QString>("opened");

    QTest::newRow("digits are not numbers")
        << QStringList{"res_mods/1.10.0/", "res_mods/1.9.0/"} << "1.9.0";
    QTest::newRow("lower case after upper")
        << QStringList{"res_mods/Beta/", "res_mods/alpha/"} << "alpha";
    QTest::newRow("files do not count") << QStringList{"res_mods/0.1/", "res_mods/zz.txt"} << "0.1";
}

void TestInstallation::opensInTheVersionThatSortsLast()
{
    QFETCH(QStringList, game);
    QFETCH(QString, opened);

    Ready ready(game);
    ModalDriver driver;
    driver.then(ModalDriver::cancel());
    ready.press();

    QCOMPARE(driver.seen().size(), 1);
    QCOMPARE(driver.seen().first().directory, ready.app.work.filePath("game/res_mods/" + opened));
}

void TestInstallation::rootDestinationHasAnEmptyName()
{
    Ready ready;
    ModalDriver driver;
    // "/" on Linux, the system drive's root such as "C:/" on Windows.
    driver.then(ModalDriver::chooseFolder(QDir::rootPath()))
        .then(ModalDriver::press(QMessageBox::No));
    ready.press();

    QCOMPARE(driver.seen().size(), 2);
    QCOMPARE(driver.seen().at(1).text, "Ви дійсно хочете встановити мод 'mod.zip' в папку ''?");
    QCOMPARE(ready.app.status(), sentinel);
}

void TestInstallation::reinstallReplacesTheCopy()
{
    Ready ready;
    const QString installed = ready.app.work.filePath("game/res_mods/1.0/mod.zip");
    for (const QByteArray &bytes :
         {QByteArray("first version"), QByteArray("second, longer version")}) {
        writeFile(ready.app.work.filePath("Mods/mod.zip"), bytes);
        ModalDriver driver;
        driver.then(ModalDriver::chooseFolder(ready.app.work.filePath("game/res_mods/1.0")))
            .then(ModalDriver::press(QMessageBox::Yes))
            .then(ModalDriver::press(QMessageBox::Ok));
        ready.press(); // the mod stays selected between the presses
        QCOMPARE(driver.unansweredCount(), 0);
        QCOMPARE(readFile(installed), bytes);
    }
    QCOMPARE(listing(ready.app.work.filePath("game/res_mods/1.0")), QStringList{"mod.zip"});
}

void TestInstallation::installsOnTheFoundDrive()
{
#ifndef Q_OS_WIN
    QSKIP("drive letters exist on Windows only");
#else
    if (!haveScratchDriveD())
        QSKIP("needs a scratch drive D:, which the tst_installation_drive_d run maps under Wine");
    WindowFixture app({"mod.zip"});
    makeDirs("D:/Ironvale_EU/res_mods/1.0");

    app.button("Автоматично знайти гру")->click();
    QCOMPARE(app.gamePath(), "D://Ironvale_EU"); // the drive's root "D:/", then "/" and the name
    QCOMPARE(app.status(), "Пошук завершено. Знайдено один шлях до гри.");

    app.modList()->setCurrentRow(0);
    ModalDriver driver;
    driver.then(ModalDriver::chooseFolder("D:/Ironvale_EU/res_mods/1.0"))
        .then(ModalDriver::press(QMessageBox::Yes))
        .then(ModalDriver::press(QMessageBox::Ok));
    app.button("Встановити вибраний мод")->click();

    QCOMPARE(driver.log(),
             (QStringList{folderDialog, question,
                          "information | Успіх | Мод 'mod.zip' успішно встановлено! | OK"}));
    QCOMPARE(driver.seen().first().directory, "D:/Ironvale_EU/res_mods/1.0");
    QCOMPARE(readFile("D:/Ironvale_EU/res_mods/1.0/mod.zip"), "mod.zip");
    QCOMPARE(listing("D:/Ironvale_EU/res_mods/1.0"), QStringList{"mod.zip"});
#endif
}

void TestInstallation::longInstallShowsItsProgress_data()
{
    QTest::addColumn<Answers>("answers");
    QTest::addColumn<QStringList>("dialogs");
    QTest::addColumn<QString>("status");

    const QString progress
        = "progress | Встановлення мода | Встановлення мода 'mod.zip'... | Скасувати";
    QTest::newRow("to its end") << Answers{pickVersion, "yes", "wait", "ok"}
                                << QStringList{folderDialog, question, progress,
                                               "information | Успіх | Мод 'mod.zip' успішно "
                                               "встановлено! | OK"}
                                << "Встановлення 'mod.zip' завершено.";
    QTest::newRow("canceled") << Answers{pickVersion, "yes", "cancel"}
                              << QStringList{folderDialog, question, progress}
                              << "Встановлення скасовано.";
}

// Onto a share that writes 20 MiB/s: the window stays alive, takes no click meanwhile,
// and a canceled install leaves the old copy and no temporary.
void TestInstallation::longInstallShowsItsProgress()
{
    QFETCH(Answers, answers);
    QFETCH(QStringList, dialogs);
    QFETCH(QString, status);
    const bool replaced = !answers.contains("cancel");
    Ready ready;
#if defined(Q_OS_WIN)
    if (qEnvironmentVariable("IVL_TEST_DRIVE_D") != "slow")
        QSKIP("needs drive D: on the slow share, which the tst_installation_slow_drive_d run maps");
    const QString game = "D:/game";
    makeDirs(game + "/res_mods/1.0");
    ready.app.setGamePath(game);
#elif defined(Q_OS_LINUX)
    const QString game = ready.app.work.filePath("game");
    TestVolumes volumes;
    QString why;
    if (!volumes.mount("share writing slowly", game + "/res_mods/1.0", 0, &why))
        QSKIP(qPrintable("cannot mount the slow share: " + why));
#else
    QSKIP("the tests' own slow share is made on Linux and under Wine only");
#endif
    const QString target = game + "/res_mods/1.0";
    writeFile(target + "/mod.zip", oldCopy);
    const QByteArray bytes = randomBytes(40 << 20, 5); // two seconds' worth
    writeFile(ready.app.work.filePath("Mods/mod.zip"), bytes);

    QTimer clicker; // a click on "Автоматично знайти гру" while the install runs
    QObject::connect(&clicker, &QTimer::timeout, [&] {
        if (ready.app.status() == "Встановлення мода...") {
            QTest::mouseClick(ready.app.button("Автоматично знайти гру"), Qt::LeftButton);
            clicker.stop();
        }
    });
    clicker.start(10);
    ModalDriver driver;
    driver.thenAll(answers, QFileInfo(game).path());
    LoopStallMeter stalls;
    ready.press();

    QCOMPARE(driver.log(), dialogs);
    QCOMPARE_LE(stalls.longestMs(), 250);
    QCOMPARE(ready.app.status(), status);
    QCOMPARE(listing(target), QStringList{"mod.zip"});
    QVERIFY2(readFile(target + "/mod.zip") == (replaced ? bytes : oldCopy),
             "the installed copy is not the one expected");
}

QTEST_MAIN(TestInstallation)
#include "tst_installation.moc"
