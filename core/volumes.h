#pragma once

#include "volumescan.h"

#include <QStringList>

// The platform's side of the game search, split so that a volume that stops answering
// holds up only the probe of its own root.
namespace Volumes {

// The roots of the mounted volumes, in the order of QStorageInfo::mountedVolumes() and
// with its rules, read from the platform's table without touching any volume.
QStringList mountedRoots();

// What QStorageInfo::mountedVolumes() tells of `rootPath`; `listed` is false where it
// leaves the volume out. Asks the volume, so it may wait on it.
VolumeRoot probe(const QString &rootPath, bool *listed);

} // namespace Volumes
