// The window's mod list, its count message and the open-folder button.
#include "modaldriver.h"
#include "windowfixture.h"

#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

class TestModList : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void filledAtStartUpWithCount_data();
    void filledAtStartUpWithCount();
    void refreshRereadsTheFolder();
    void openModsFolderHandsOverTheAbsoluteFolder_data();
    void openModsFolderHandsOverTheAbsoluteFolder();
    void openModsFolderWarnsWhenMissing_data();
    void openModsFolderWarnsWhenMissing();
};

void TestModList::cleanup()
{
    QVERIFY2(!closeStrayWindows(), "a test left a window or dialog open");
}

void TestModList::filledAtStartUpWithCount_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("status");

    QTest::newRow("none") << QStringList{} << "Список модів оновлено. Доступно: 0 модів.";
    QTest::newRow("one") << QStringList{"only.zip"} << "Список модів оновлено. Доступно: 1 модів.";
    QTest::newRow("several") << QStringList{"b.zip", "A.zip", "c.zip", "d", "e", "f",
                                            "g",     "h",     "i",     "j", "k", "l"}
                             << "Список модів оновлено. Доступно: 12 модів.";
}

void TestModList::filledAtStartUpWithCount()
{
    QFETCH(QStringList, files);
    QFETCH(QString, status);

    WindowFixture app(files);
    QStringList sorted = files;
    std::sort(sorted.begin(), sorted.end());
    QCOMPARE(app.mods(), sorted);
    // The count replaced the ready message before the window was first shown.
    QCOMPARE(app.status(), status);
}

void TestModList::refreshRereadsTheFolder()
{
    WindowFixture app({"a.zip", "b.zip"});
    app.modList()->setCurrentRow(1);
    writeFile(app.work.filePath("Mods/c.zip"), "x");
    QCOMPARE(app.mods(), (QStringList{"a.zip", "b.zip"})); // the list does not follow the folder

    app.window.statusBar()->showMessage("something else");
    app.button("Оновити список модів")->click();
    app.button("Оновити список модів")->click();

    QCOMPARE(app.mods(), (QStringList{"a.zip", "b.zip", "c.zip"}));
    QVERIFY(app.modList()->selectedItems().isEmpty());
    QCOMPARE(app.status(), "Список модів оновлено. Доступно: 3 модів.");
}

void TestModList::openModsFolderHandsOverTheAbsoluteFolder_data()
{
    QTest::addColumn<bool>("desktopOpensIt");
    QTest::newRow("the desktop opens it") << true;
    QTest::newRow("nothing opens it") << false;
}

void TestModList::openModsFolderHandsOverTheAbsoluteFolder()
{
    QFETCH(bool, desktopOpensIt);

    WindowFixture app;
    const QString folder = QDir(app.work.path()).absoluteFilePath("Mods");
    const QString statusBefore = app.status();
    if (!desktopOpensIt)
        app.urls.refuse();
    ModalDriver driver;
    if (!desktopOpensIt)
        driver.then(ModalDriver::press(QMessageBox::Ok));
    app.button("Відкрити папку з модами")->click();

    if (desktopOpensIt) {
        QCOMPARE(app.urls.opened.size(), 1);
        const QUrl url = app.urls.opened.first();
        QVERIFY(url.isLocalFile());
        QCOMPARE(url.toLocalFile(), folder);
        QCOMPARE(driver.log(), QStringList());
        QCOMPARE(app.status(), "Відкрито папку 'Mods'");
    } else { // the player is told where it is, so he can open it himself
        QCOMPARE(driver.log(),
                 QStringList{"warning | Помилка | Не вдалося відкрити папку 'Mods'. Відкрийте її "
                             "самостійно: "
                             + QDir::toNativeSeparators(folder) + " | OK"});
        QCOMPARE(app.status(), statusBefore);
    }
}

void TestModList::openModsFolderWarnsWhenMissing_data()
{
    QTest::addColumn<bool>("plainFile");
    QTest::newRow("deleted after start-up") << false;
    QTest::newRow("a plain file") << true;
}

void TestModList::openModsFolderWarnsWhenMissing()
{
    QFETCH(bool, plainFile);

    WindowFixture app({"a.zip"});
    QVERIFY(QDir(app.work.filePath("Mods")).removeRecursively());
    if (plainFile)
        writeFile(app.work.filePath("Mods"), "not a folder");
    const QString statusBefore = app.status();

    ModalDriver driver;
    driver.then(ModalDriver::press(QMessageBox::Ok));
    app.button("Відкрити папку з модами")->click();

    QCOMPARE(driver.log(), QStringList{"warning | Помилка | Папка 'Mods' не знайдена. | OK"});
    QVERIFY(app.urls.opened.isEmpty());
    QCOMPARE(app.status(), statusBefore);
    QCOMPARE(app.mods(), QStringList{"a.zip"}); // not refreshed
    QCOMPARE(QFileInfo(app.work.filePath("Mods")).isDir(), false);
}

QTEST_MAIN(TestModList)
#include "tst_modlist.moc"
