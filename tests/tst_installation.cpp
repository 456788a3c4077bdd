// One press of the install button: the boxes in order and the status text after.
#include "modaldriver.h"
#include "windowfixture.h"

#include <QDir>
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

// Mods/mod.zip, a game folder with res_mods/1.0, the path set and the mod selected.
struct Ready
{
    WindowFixture app{QStringList{"mod.zip"}};
    Ready()
    {
        makeDirs(app.work.filePath("game/res_mods/1.0"));
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
    void outcomes_data();
    void outcomes();
    void opensInTheVersionThatSortsLast_data();
    void opensInTheVersionThatSortsLast();
    void rootDestinationHasAnEmptyName();
    void reinstallReplacesTheCopy();
    void installsOnTheFoundDrive();
};

void TestInstallation::cleanup()
{
    QVERIFY2(!closeStrayWindows(), "a test left a window or dialog open");
}

void TestInstallation::outcomes_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<Answers>("answers");
    QTest::addColumn<QStringList>("dialogs");
    QTest::addColumn<QString>("status"); // empty: unchanged

    const QString target = "pick:game/res_mods/1.0";
    auto warning = [](const QString &text) { return "warning | Помилка | " + text + " | OK"; };
    const QString noResMods = warning("Вказана папка не містить res_mods. Будь ласка, виберіть "
                                      "правильну папку Ironvale_EU.");

    QTest::newRow("no mod selected")
        << "no selection" << Answers{"ok"}
        << QStringList{warning("Будь ласка, оберіть мод зі списку.")} << "";
    QTest::newRow("game path empty")
        << "no path" << Answers{"ok"} << QStringList{warning("Будь ласка, вкажіть шлях до гри.")}
        << "";
    QTest::newRow("no res_mods") << "no res_mods" << Answers{"ok"} << QStringList{noResMods} << "";
    QTest::newRow("res_mods is a file")
        << "res_mods file" << Answers{"ok"} << QStringList{noResMods} << "";
    QTest::newRow("res_mods holds only files")
        << "no versions" << Answers{"ok"}
        << QStringList{warning("Не знайдено папок з версіями гри в res_mods. Будь ласка, "
                               "переконайтеся, що ви оновили гру хоча б один раз.")}
        << "";
    QTest::newRow("folder dialog cancelled")
        << "" << Answers{"cancel"} << QStringList{folderDialog} << "Встановлення скасовано.";
    QTest::newRow("answered No") << "" << Answers{target, "no"}
                                 << QStringList{folderDialog, question} << "";
    QTest::newRow("source missing")
        << "source deleted" << Answers{target, "yes", "ok"}
        << QStringList{folderDialog, question,
                       "critical | Помилка | Вихідний файл мода не знайдено. | OK"}
        << "Помилка: Вихідний файл мода не знайдено.";
    QTest::newRow("copy failed")
        << "folder in the way" << Answers{target, "yes", "ok"}
        << QStringList{folderDialog, question,
                       "critical | Помилка | Не вдалося скопіювати файл: mod.zip | OK"}
        << "Помилка: Не вдалося скопіювати файл: mod.zip";
    QTest::newRow("installed")
        << "" << Answers{target, "yes", "ok"}
        << QStringList{folderDialog, question,
                       "information | Успіх | Мод 'mod.zip' успішно встановлено! | OK"}
        << "Встановлення 'mod.zip' завершено.";
    QTest::newRow("destination outside the game")
        << "elsewhere" << Answers{"pick:elsewhere", "yes", "ok"}
        << QStringList{folderDialog,
                       "question | Підтвердження | Ви дійсно хочете встановити мод 'mod.zip' в "
                       "папку 'elsewhere'? | Так Ні",
                       "information | Успіх | Мод 'mod.zip' успішно встановлено! | OK"}
        << "Встановлення 'mod.zip' завершено.";
}

void TestInstallation::outcomes()
{
    QFETCH(QString, situation);
    QFETCH(Answers, answers);
    QFETCH(QStringList, dialogs);
    QFETCH(QString, status);

    Ready ready;
    WindowFixture &app = ready.app;
    const QString game = app.work.filePath("game");
    if (situation == u"no selection") {
        app.modList()->clearSelection();
    } else if (situation == u"no path") {
        // As in a fresh window, where nothing has written the path yet.
        app.window.findChild<QLineEdit *>()->clear();
    } else if (situation == u"no res_mods") {
        QVERIFY(QDir(game + "/res_mods").removeRecursively());
    } else if (situation == u"res_mods file") {
        QVERIFY(QDir(game + "/res_mods").removeRecursively());
        writeFile(game + "/res_mods", "x");
    } else if (situation == u"no versions") {
        QVERIFY(QDir(game + "/res_mods/1.0").removeRecursively());
        writeFile(game + "/res_mods/readme.txt", "x");
    } else if (situation == u"source deleted") {
        QVERIFY(QFile::remove(app.work.filePath("Mods/mod.zip")));
    } else if (situation == u"folder in the way") {
        makeDirs(game + "/res_mods/1.0/mod.zip");
    } else if (situation == u"elsewhere") {
        makeDirs(app.work.filePath("elsewhere"));
    }

    ModalDriver driver;
    driver.thenAll(answers, app.work.path());
    ready.press();

    QCOMPARE(driver.log(), dialogs);
    QCOMPARE(driver.unansweredCount(), 0);
    QCOMPARE(app.status(), status.isEmpty() ? sentinel : status);
    // Nothing is refreshed afterwards: the list and its selection stay.
    QCOMPARE(app.mods(), QStringList{"mod.zip"});
    QCOMPARE(app.modList()->selectedItems().size(), situation == u"no selection" ? 0 : 1);
}

void TestInstallation::opensInTheVersionThatSortsLast_data()
{
    QTest::addColumn<QStringList>("versions");
    QTest::addColumn<QString>("opened");

    QTest::newRow("digits are not numbers") << QStringList{"1.10.0", "1.9.0"} << "1.9.0";
    QTest::newRow("lower case after upper") << QStringList{"Beta", "alpha"} << "alpha";
    QTest::newRow("files do not count") << QStringList{"0.1", "zz.txt:file"} << "0.1";
}

void TestInstallation::opensInTheVersionThatSortsLast()
{
    QFETCH(QStringList, versions);
    QFETCH(QString, opened);

    Ready ready;
    const QString resMods = ready.app.work.filePath("game/res_mods");
    QVERIFY(QDir(resMods + "/1.0").removeRecursively());
    for (const QString &v : versions) {
        if (v.endsWith(":file"))
            writeFile(resMods + u'/' + v.chopped(5), "x");
        else
            makeDirs(resMods + u'/' + v);
    }

    ModalDriver driver;
    driver.then(ModalDriver::cancel());
    ready.press();

    QCOMPARE(driver.seen().size(), 1);
    QCOMPARE(driver.seen().first().directory, resMods + u'/' + opened);
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

QTEST_MAIN(TestInstallation)
#include "tst_installation.moc"
