#pragma once

#include <QMainWindow>

class ModInstallerApp;
class QLineEdit;
class QListWidget;
class QPushButton;

// The program's only window: the game path, the mod list and the buttons that
// drive the installer core, plus the menus for themes, settings and About.
class MainWindow final : public QMainWindow
{
    Q_OBJECT

public:
    MainWindow(ModInstallerApp *installer, QWidget *parent = nullptr);
    ~MainWindow() override;

private slots:
    void updateUi(const QStringList &paths);
    void installMod();
    void selectIvlDirManually();
    void updateModList();
    void handleInstallationComplete(const QString &modName);
    void handleError(const QString &message);
    void openModsFolder();
    void findIvlAutomatically();
    void closeApplication();
    void showAboutDialog();
    void showSettingsDialog();
    void setLightTheme();
    void setDarkTheme();

private:
    void setupUi();
    void createMenus();
    // Every status message: shown until the next one, and told to screen readers.
    void showStatus(const QString &text);

    ModInstallerApp *installer; // not owned: main creates it before the window
    QLineEdit *pathEdit; // the one place where the chosen game folder lives
    QListWidget *modList;
    QPushButton *installButton;
    QPushButton *selectDirButton;
    QPushButton *openModsFolderButton;
    QPushButton *autoFindButton;
    QPushButton *refreshButton;
};
