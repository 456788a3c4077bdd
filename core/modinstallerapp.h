#pragma once

#include <QMap>
#include <QObject>
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

    // Scans the volume roots for the game folder and emits ivlDirsFound once.
    void findIvlDirs();

    // Mod file name -> relative path ("Mods/<name>"), read afresh on every call.
    QMap<QString, QString> getAvailableMods() const;

    // Copies Mods/<modName> into targetDir, replacing an older copy. Emits exactly
    // one of installationComplete or errorOccurred; returns true on success.
    bool installModFile(const QString &modName, const QString &targetDir);

signals:
    void ivlDirsFound(const QStringList &paths);
    void installationComplete(const QString &modName);
    void errorOccurred(const QString &message);

private:
    void ensureFolders();
    QStringList scanVolumesForIvlDirs() const;
};
