#pragma once

#include "workprogress.h"

#include <QString>

class QDir;

// Between the shared part of the copy and each platform's.
namespace FileCopy {

// Shared: an unused name for a temporary in `folder`, .ivl-install-<16 hex>.part,
// the only kind of name the sweep removes.
QString unusedTemporaryName(const QDir &folder);

bool isSameFile(const QString &a, const QString &b);
// Copies the regular file `source` into a temporary beside `destination` and
// renames it over `destination` once it is complete and on the disk; on failure
// the temporary is gone and `destination` is as it was. Counts into `progress`, if any.
bool copyAndReplace(const QString &source, const QString &destination, WorkProgress *progress);

inline bool isCanceled(const WorkProgress *progress)
{
    return progress && progress->cancelRequested.load(std::memory_order_relaxed);
}
// Removes a temporary of the sweep's kind unless a running copy of the program
// may still be writing it.
void removeLeftover(const QString &path);

} // namespace FileCopy
