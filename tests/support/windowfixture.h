#pragma once

#include "corefixture.h"
#include "mainwindow.h"
#include "modinstallerapp.h"

#include <QObject>
#include <QUrl>

class QAction;
class QListWidget;
class QPushButton;

// Catches what the program hands to QDesktopServices::openUrl, so no file
// manager is started by a test.
class UrlCatcher final : public QObject
{
    Q_OBJECT

public:
    UrlCatcher();
    ~UrlCatcher() override;
    // From now on openUrl fails, as where the desktop has no file manager to open it.
    void refuse();
    QList<QUrl> opened;

public slots:
    void open(const QUrl &url);
};

// The program as main() builds it, in a scratch working directory.
class WindowFixture
{
public:
    explicit WindowFixture(const QStringList &modFiles = {});

    QPushButton *button(const QString &text) const;
    QAction *action(const QString &text) const; // searched through all menus
    QListWidget *modList() const;
    QString status() const;
    QString gamePath() const;
    QStringList mods() const;
    // Sets the game path the way the search does when it finds one folder.
    void setGamePath(const QString &path);

    ScratchDir work;
    UrlCatcher urls;
    ModInstallerApp installer;
    MainWindow window;
};

// Closes any window or dialog a test left open and reports whether there was one.
bool closeStrayWindows();
