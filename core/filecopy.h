#pragma once

#include <QString>

struct WorkProgress;

// Puts a byte copy of the regular file `source` at `destination`, replacing a
// file that is already there. The copy is written to a temporary file beside the
// destination and renamed over it in one step, so on any failure the old
// destination stays exactly as it was and no temporary file is left behind. On
// Windows a lock that another program holds for a moment is waited out, for about
// a second. Temporaries that an ended run left in the folder are removed first.
// When `destination` already is `source` (same file, reached by another path),
// nothing is touched and the call succeeds. With `progress`, the bytes copied are counted
// there, and a wish to stop ends the copy as a failure would, before the rename.
namespace FileCopy {
bool replaceWithCopy(const QString &source, const QString &destination,
                     WorkProgress *progress = nullptr);
}
