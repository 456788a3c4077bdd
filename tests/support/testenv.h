#pragma once

#include "mainwindow.h"
#include "modinstallerapp.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

class QAction;
class QListWidget;
class QPushButton;

// A fresh temporary folder that is the working directory for as long as this
// object lives, optionally holding Mods/<name> files (content: the name).
class ScratchDir
{
public:
    explicit ScratchDir(const QStringList &modFiles = {});
    ~ScratchDir();
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;

    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

void writeFile(const QString &path, const QByteArray &bytes);
// Hides a file the platform's way: the leading dot of its name does it on Linux,
// the hidden attribute on Windows.
void hideFile(const QString &path);
QByteArray readFile(const QString &path);
void makeDirs(const QString &path);
// Dates a file's last change two days back, as one left by an ended run would be.
void makeOld(const QString &path);
// Every entry of a folder, hidden ones included, sorted: what a test expects to
// find there and nothing else.
QStringList listing(const QString &dir);

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

// True in the run where tests/wine-run.sh --drive-d has made an empty scratch
// folder drive D:; only then may a test write to D:.
inline bool haveScratchDriveD()
{
    return qEnvironmentVariableIsSet("IVL_TEST_DRIVE_D");
}

// A player who ends the program mid-copy, for the suites that try it: the test
// program is started again as a child that installs Mods/<modName> into `target`
// (in the current working directory) and is killed while the copy is under way.
// False, with why, if the copy ended before it could be interrupted. A suite that
// uses it begins its main() with installAsChildIfAsked.
bool killInstallMidCopy(const QString &modName, const QString &target, QString *why);
// In the child: installs as asked and returns the exit code; -1 in any other run.
int installAsChildIfAsked(int argc, char *argv[]);
