#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// What the game folder search needs to know about one mounted volume. The
// installer fills these from QStorageInfo; tests and benchmarks build their own.
struct VolumeRoot
{
    QString rootPath;
    bool ready = false;
    bool readOnly = false;
};

// Looks directly under each ready, writable root for a folder named
// "Ironvale_EU" (any letter case) and returns "<root>/<name as stored>" for
// every hit, in volume order, without duplicates.
QStringList findIvlDirsOnRoots(const QList<VolumeRoot> &volumes);
