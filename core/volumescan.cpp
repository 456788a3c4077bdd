#include "volumescan.h"

#include <QDir>

using namespace Qt::StringLiterals;

QStringList findIvlDirsOnRoots(const QList<VolumeRoot> &volumes)
{
    QStringList found;
    for (const VolumeRoot &volume : volumes) {
        if (!volume.ready || volume.readOnly)
            continue;
        const QStringList names
            = QDir(volume.rootPath).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::NoSort);
        for (const QString &name : names) {
            if (name.compare("Ironvale_EU"_L1, Qt::CaseInsensitive) == 0)
                found.append(volume.rootPath + u'/' + name);
        }
    }
    found.removeDuplicates();
    return found;
}
