#pragma once

#include <QString>

// The form of `path` that Win32 file calls take beyond the 260-character limit
// (MAX_PATH), as Qt's own file engine hands paths to Windows: absolute (a relative
// path is resolved against `workingDir`, itself absolute), without "." and ".."
// parts or doubled separators (the prefix turns off Windows' own clean-up of them),
// with backslashes, and prefixed with \\?\ (\\?\UNC\ for a \\server\share path).
// A path that has the prefix already, or a device path (\\.\), is only given
// backslashes. Plain string work, so it behaves the same on every platform.
QString extendedLengthPath(const QString &path, const QString &workingDir);
