#include "modinstallerapp.h"

#include "filecopy.h"
#include "volumescan.h"

#include <QDir>
#include <QFile>
#include <QStorageInfo>

using namespace Qt::StringLiterals;

ModInstallerApp::ModInstallerApp(QObject *parent)
    : QObject(parent)
{
    ensureFolders();
}

void ModInstallerApp::ensureFolders()
{
    // Where the program is started; a failed mkdir shows later, where the folder is used.
    QDir workingDir;
    if (!workingDir.exists(u"Mods"_s))
        workingDir.mkdir(u"Mods"_s);
    if (!workingDir.exists(u"Info"_s))
        workingDir.mkdir(u"Info"_s);
}

void ModInstallerApp::findIvlDirs()
{
    emit ivlDirsFound(scanVolumesForIvlDirs());
}

QStringList ModInstallerApp::scanVolumesForIvlDirs() const
{
    QList<VolumeRoot> roots;
    const QList<QStorageInfo> volumes = QStorageInfo::mountedVolumes();
    for (const QStorageInfo &volume : volumes) {
        const bool ready = volume.isReady();
        // Read-only state means nothing for a volume that is not ready.
        roots.append({volume.rootPath(), ready, ready && volume.isReadOnly()});
    }
    return findIvlDirsOnRoots(roots);
}

QMap<QString, QString> ModInstallerApp::getAvailableMods() const
{
    QMap<QString, QString> mods;
    const QDir modsDir(u"Mods"_s);
    const QStringList names = modsDir.entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QString &name : names)
        mods.insert(name, modsDir.filePath(name));
    return mods;
}

bool ModInstallerApp::installModFile(const QString &modName, const QString &targetDir)
{
    const QString sourcePath = u"Mods/"_s + modName;
    const QFile source(sourcePath);
    if (!source.exists()) {
        emit errorOccurred(u"Вихідний файл мода не знайдено."_s);
        return false;
    }

    const QString destinationPath = targetDir + u'/' + modName;
    if (!FileCopy::replaceWithCopy(sourcePath, destinationPath)) {
        emit errorOccurred(u"Не вдалося скопіювати файл: "_s + modName);
        return false;
    }

    emit installationComplete(modName);
    return true;
}
