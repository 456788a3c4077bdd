#include "mainwindow.h"

#include "accessibility.h"
#include "modinstallerapp.h"
#include "theme.h"
#include "waitfeedback.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QUrl>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

const char aboutText[]
    = "Розробник: команда IVL Mod Tools\n"
      "Версія застосунку: " IVL_VERSION "\n"
      "Радимо також наш застосунок IVL Replay Viewer для перегляду записів боїв.\n"
      "Сайт: https://ivl-mod-tools.example.org\n";

void warn(QWidget *parent, const QString &text)
{
    QMessageBox::warning(parent, u"Помилка"_s, text);
}

// The window's icon and its minimise, maximise and close buttons, as Windows and the common
// Linux window managers draw them.
constexpr int titleBarButtonsWidth = 200;

const QString noResModsText
    = u"Вказана папка не містить res_mods. Будь ласка, виберіть правильну папку Ironvale_EU."_s;

} // namespace

MainWindow::MainWindow(ModInstallerApp *installer, QWidget *parent)
    : QMainWindow(parent)
    , installer(installer)
{
    setupUi();
    createMenus();

    connect(installer, &ModInstallerApp::ivlDirsFound, this, &MainWindow::updateUi);
    connect(installer, &ModInstallerApp::installationComplete, this,
            &MainWindow::handleInstallationComplete);
    connect(installer, &ModInstallerApp::errorOccurred, this, &MainWindow::handleError);
    installer->setWaitIndicator(new WaitFeedback(this));
}

MainWindow::~MainWindow() = default;

void MainWindow::setupUi()
{
    setWindowTitle(u"Ironvale Mod Installer"_s);
    setMinimumSize(600, 400);

    auto *central = new QWidget(this);
    setCentralWidget(central);
    auto *layout = new QVBoxLayout(central);

    pathEdit = new QLineEdit(this);
    pathEdit->setPlaceholderText(u"Шлях до папки Ironvale_EU"_s);
    // A placeholder only describes a field to screen readers; this names it.
    pathEdit->setAccessibleName(pathEdit->placeholderText());
    pathEdit->setReadOnly(true);
    layout->addWidget(pathEdit);

    autoFindButton = new QPushButton(u"Автоматично знайти гру"_s, this);
    layout->addWidget(autoFindButton);
    connect(autoFindButton, &QPushButton::clicked, this, &MainWindow::findIvlAutomatically);

    selectDirButton = new QPushButton(u"Обрати шлях вручну"_s, this);
    layout->addWidget(selectDirButton);
    connect(selectDirButton, &QPushButton::clicked, this, &MainWindow::selectIvlDirManually);

    modList = new QListWidget(this);
    modList->setAccessibleName(u"Список модів"_s);
    // Every item is one line of text: the list need not measure a thousand names to show.
    modList->setUniformItemSizes(true);
    layout->addWidget(modList);

    openModsFolderButton = new QPushButton(u"Відкрити папку з модами"_s, this);
    layout->addWidget(openModsFolderButton);
    connect(openModsFolderButton, &QPushButton::clicked, this, &MainWindow::openModsFolder);

    refreshButton = new QPushButton(u"Оновити список модів"_s, this);
    layout->addWidget(refreshButton);
    connect(refreshButton, &QPushButton::clicked, this, &MainWindow::updateModList);

    installButton = new QPushButton(u"Встановити вибраний мод"_s, this);
    layout->addWidget(installButton);
    connect(installButton, &QPushButton::clicked, this, &MainWindow::installMod);

    showStatus(u"Готовий до роботи"_s);
    updateModList();
}

void MainWindow::createMenus()
{
    QMenu *fileMenu = menuBar()->addMenu(u"Файл"_s);
    QAction *closeAction = fileMenu->addAction(u"Закрити"_s);
    connect(closeAction, &QAction::triggered, this, &MainWindow::closeApplication);

    QMenu *settingsMenu = menuBar()->addMenu(u"Налаштування"_s);
    QAction *settingsAction = settingsMenu->addAction(u"Налаштування"_s);
    connect(settingsAction, &QAction::triggered, this, &MainWindow::showSettingsDialog);

    QMenu *themeMenu = settingsMenu->addMenu(u"Тема"_s);
    QAction *lightAction = themeMenu->addAction(u"Світла"_s);
    connect(lightAction, &QAction::triggered, this, &MainWindow::setLightTheme);
    QAction *darkAction = themeMenu->addAction(u"Темна"_s);
    connect(darkAction, &QAction::triggered, this, &MainWindow::setDarkTheme);

    QMenu *helpMenu = menuBar()->addMenu(u"Довідка"_s);
    QAction *aboutAction = helpMenu->addAction(u"Про розробника"_s);
    connect(aboutAction, &QAction::triggered, this, &MainWindow::showAboutDialog);

    new WindowAccessibility(this, modList);
}

void MainWindow::showStatus(const QString &text)
{
    statusBar()->showMessage(text, 0);
    // Screen readers read a status bar only when it has the focus.
    if (auto *access = findChild<WindowAccessibility *>(QString(), Qt::FindDirectChildrenOnly))
        access->announce(text);
}

void MainWindow::findIvlAutomatically()
{
    showStatus(u"Пошук Ironvale, це може зайняти деякий час..."_s);
    // Painted before the scan starts, whatever the platform's event order.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    installer->findIvlDirs();
}

void MainWindow::updateUi(const QStringList &paths)
{
    if (paths.isEmpty()) {
        warn(this, u"Не знайдено папку Ironvale_EU. Будь ласка, оберіть її вручну."_s);
        showStatus(u"Пошук завершено. Гру не знайдено."_s);
    } else if (paths.size() == 1) {
        pathEdit->setText(paths.first());
        showStatus(u"Пошук завершено. Знайдено один шлях до гри."_s);
    } else {
        QMessageBox::information(this, u"Попередження"_s,
                                 u"Знайдено кілька папок Ironvale_EU. Оберіть потрібну вручну."_s,
                                 QMessageBox::Ok, QMessageBox::NoButton);
        selectDirButton->click();
        showStatus(u"Пошук завершено. Знайдено кілька шляхів до гри."_s);
    }
}

void MainWindow::selectIvlDirManually()
{
    QString startDir = u"C:/"_s;
    if (QDir(u"D:/"_s).exists())
        startDir = u"D:/"_s;

    const QString dir = QFileDialog::getExistingDirectory(this, u"Оберіть папку Ironvale_EU"_s,
                                                          startDir, QFileDialog::ShowDirsOnly);
    if (dir.isEmpty())
        return;

    if (QDir(dir).exists(u"res_mods"_s)) {
        pathEdit->setText(dir);
        return;
    }
    warn(this, noResModsText);
}

void MainWindow::updateModList()
{
    modList->clear();
    const QMap<QString, QString> mods = installer->getAvailableMods();
    modList->addItems(mods.keys()); // in one insertion, not one per mod

    showStatus(u"Список модів оновлено. Доступно: "_s + QString::number(mods.size())
               + u" модів."_s);
}

void MainWindow::openModsFolder()
{
    const QDir modsDir(u"Mods"_s);
    if (!modsDir.exists()) {
        warn(this, u"Папка 'Mods' не знайдена."_s);
        return;
    }
    // Where no file manager answers, the player gets the path to open it himself.
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(modsDir.absolutePath()))) {
        warn(this,
             u"Не вдалося відкрити папку 'Mods'. Відкрийте її самостійно: "_s
                 + QDir::toNativeSeparators(modsDir.absolutePath()));
        return;
    }
    showStatus(u"Відкрито папку 'Mods'"_s);
}

void MainWindow::installMod()
{
    if (modList->selectedItems().isEmpty()) {
        warn(this, u"Будь ласка, оберіть мод зі списку."_s);
        return;
    }
    if (pathEdit->text().isEmpty()) {
        warn(this, u"Будь ласка, вкажіть шлях до гри."_s);
        return;
    }

    const QDir resModsDir(pathEdit->text() + u"/res_mods"_s);
    if (!resModsDir.exists()) {
        warn(this, noResModsText);
        return;
    }

    const QStringList versions
        = resModsDir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    if (versions.isEmpty()) {
        warn(this,
             u"Не знайдено папок з версіями гри в res_mods. Будь ласка, "
             u"переконайтеся, що ви оновили гру хоча б один раз."_s);
        return;
    }

    const QString targetDir = QFileDialog::getExistingDirectory(
        this, u"Оберіть папку для встановлення мода"_s, resModsDir.filePath(versions.last()),
        QFileDialog::ShowDirsOnly);
    if (targetDir.isEmpty()) {
        showStatus(u"Встановлення скасовано."_s);
        return;
    }

    const QString modName = modList->selectedItems().first()->text();
    const QString question = u"Ви дійсно хочете встановити мод '"_s + modName + u"' в папку '"_s
        + QDir(targetDir).dirName() + u"'?"_s;
    if (QMessageBox::question(this, u"Підтвердження"_s, question) != QMessageBox::Yes)
        return;

    showStatus(u"Встановлення мода..."_s);
    installer->installModFile(modName, targetDir);
    if (installer->installCanceled())
        showStatus(u"Встановлення скасовано."_s);
}

void MainWindow::handleInstallationComplete(const QString &modName)
{
    QMessageBox::information(this, u"Успіх"_s, u"Мод '"_s + modName + u"' успішно встановлено!"_s);
    showStatus(u"Встановлення '"_s + modName + u"' завершено."_s);
}

void MainWindow::handleError(const QString &message)
{
    QMessageBox::critical(this, u"Помилка"_s, message);
    showStatus(u"Помилка: "_s + message);
}

void MainWindow::setLightTheme()
{
    Theme::applyLight();
    showStatus(u"Застосовано світлу тему."_s);
}

void MainWindow::setDarkTheme()
{
    Theme::applyDark();
    showStatus(u"Застосовано темну тему."_s);
}

void MainWindow::showSettingsDialog()
{
    QDialog dialog(this);
    dialog.setWindowTitle(u"Налаштування"_s);
    // Wide enough for the title bar to show its title beside the icon and the buttons.
    const QFontMetrics titleFont(QApplication::font("QMdiSubWindowTitleBar"));
    dialog.setMinimumWidth(titleFont.horizontalAdvance(dialog.windowTitle())
                           + titleBarButtonsWidth);
    QVBoxLayout layout(&dialog);
    layout.addWidget(new QLabel(u"?"_s));
    dialog.exec();
}

void MainWindow::showAboutDialog()
{
    QMessageBox::about(this, u"IVL Mod Installer"_s, QString::fromUtf8(aboutText));
}

void MainWindow::closeApplication()
{
    QCoreApplication::quit();
}
