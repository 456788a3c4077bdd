#pragma once

#include "offthread.h"

#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

// The non-visual half of the program: it owns the working folders, searches the
// volumes for the game, lists the mods and copies a mod into place. It never
// refers to the window and reports results only through its signals.
class ModInstallerApp final : public QObject
{
    Q_OBJECT

public:
    explicit ModInstallerApp(QObject *parent = nullptr);

    // Scans the volume roots for the game folder and emits ivlDirsFound once. A volume that
    // has not answered within 8 seconds is passed over, as one that is not ready is.
    void findIvlDirs();

    // Mod file name -> relative path ("Mods/<name>"), read afresh on every call.
    QMap<QString, QString> getAvailableMods() const;

    // Copies Mods/<modName> into targetDir, replacing an older copy. Emits exactly
    // one of installationComplete or errorOccurred; returns true on success. Canceled
    // by the player through the wait indicator, it emits nothing and returns false.
    bool installModFile(const QString &modName, const QString &targetDir);
    bool installCanceled() const { return m_installCanceled; } // the last install's

    // Shows the waits of the search and the install (busy cursor, progress, cancel).
    void setWaitIndicator(WaitIndicator *indicator) { m_waitIndicator = indicator; }

signals:
    void ivlDirsFound(const QStringList &paths);
    void installationComplete(const QString &modName);
    void errorOccurred(const QString &message);

private:
    void ensureFolders();
    QStringList scanVolumesForIvlDirs() const;

    QPointer<WaitIndicator> m_waitIndicator; // the window's, gone with it
    bool m_installCanceled = false;
};
