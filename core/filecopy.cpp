#include "filecopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <filesystem>
#include <system_error>

using namespace Qt::StringLiterals;

namespace {

std::filesystem::path toFsPath(const QString &path)
{
    return QFileInfo(path).filesystemFilePath();
}

bool isSameFile(const QString &a, const QString &b)
{
    std::error_code ec;
    return std::filesystem::equivalent(toFsPath(a), toFsPath(b), ec) && !ec;
}

// A short hidden name, so it fits even beside a mod whose own name is close to
// the file system's limit, and a game scanning the folder does not pick it up.
QString unusedTemporaryName(const QDir &folder)
{
    for (;;) {
        const QString candidate = u".ivl-install-%1.part"_s.arg(
            QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
        if (!QFileInfo::exists(folder.filePath(candidate)))
            return folder.filePath(candidate);
    }
}

} // namespace

bool replaceWithCopy(const QString &source, const QString &destination)
{
    const QFileInfo sourceInfo(source);
    if (!sourceInfo.isFile())
        return false;

    if (isSameFile(source, destination))
        return true;

    // A folder (or anything else that is not a file) under the mod's name is the
    // user's; rename() would refuse it anyway, so fail before copying.
    const QFileInfo destinationInfo(destination);
    if (destinationInfo.exists() && !destinationInfo.isFile() && !destinationInfo.isSymLink())
        return false;

    const QString temporary = unusedTemporaryName(destinationInfo.dir());
    // QFile::copy refuses an existing target, so a name taken between the check
    // above and here makes it fail instead of overwriting somebody's file.
    bool ok = QFile::copy(source, temporary);
    // A short write that QFile does not report would otherwise become the
    // installed copy.
    ok = ok && QFileInfo(temporary).size() == sourceInfo.size();
    if (ok) {
        std::error_code ec;
        std::filesystem::rename(toFsPath(temporary), toFsPath(destination), ec);
        ok = !ec;
    }
    if (!ok)
        QFile::remove(temporary);
    return ok;
}
