#include "volumes.h"

#include <QStorageInfo>

#include <qt_windows.h>

QStringList Volumes::mountedRoots()
{
    // As Qt does: no "insert a disk" box for an empty drive.
    const UINT oldMode = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    const DWORD drives = ::GetLogicalDrives() & 0x3ffffff;
    ::SetErrorMode(oldMode);
    QStringList roots;
    for (int letter = 0; letter < 26; ++letter) {
        if (drives & (DWORD(1) << letter))
            roots.append(QChar(u'A' + letter) + QStringLiteral(":/"));
    }
    return roots;
}

VolumeRoot Volumes::probe(const QString &rootPath, bool *listed)
{
    const QStorageInfo volume(rootPath);
    *listed = !volume.rootPath().isEmpty(); // a drive letter with nothing mounted
    const bool ready = volume.isReady();
    return {volume.rootPath(), ready, ready && volume.isReadOnly()};
}
