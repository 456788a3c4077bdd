#include "filecopy.h"

#include "filecopy_p.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

using namespace Qt::StringLiterals;

namespace {

const QString temporaryPrefix = u".ivl-install-"_s;
const QString temporarySuffix = u".part"_s;
constexpr int temporaryDigits = 16;

// Exactly the names unusedTemporaryName makes, nothing a player named almost alike.
bool isOwnTemporaryName(const QString &name)
{
    if (name.size() != temporaryPrefix.size() + temporaryDigits + temporarySuffix.size()
        || !name.startsWith(temporaryPrefix) || !name.endsWith(temporarySuffix))
        return false;
    for (const QChar c : QStringView(name).mid(temporaryPrefix.size(), temporaryDigits)) {
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F')))
            return false;
    }
    return true;
}

void removeLeftovers(const QDir &folder)
{
    const QStringList names
        = folder.entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
    for (const QString &name : names) {
        if (isOwnTemporaryName(name))
            FileCopy::removeLeftover(folder.filePath(name));
    }
}

} // namespace

// Short, so it fits beside a mod whose name nears the limit; hidden from the game.
QString FileCopy::unusedTemporaryName(const QDir &folder)
{
    for (;;) {
        const QString candidate = temporaryPrefix
            + u"%1"_s.arg(QRandomGenerator::global()->generate64(), temporaryDigits, 16,
                          QLatin1Char('0'))
            + temporarySuffix;
        if (!QFileInfo::exists(folder.filePath(candidate)))
            return folder.filePath(candidate);
    }
}

bool FileCopy::replaceWithCopy(const QString &source, const QString &destination,
                               WorkProgress *progress)
{
    const QFileInfo sourceInfo(source);
    if (!sourceInfo.isFile())
        return false;

    if (FileCopy::isSameFile(source, destination))
        return true;

    // A folder (or a link to one) is the player's; a link to a file is replaced, not followed.
    const QFileInfo destinationInfo(destination);
    if (destinationInfo.exists() && !destinationInfo.isFile())
        return false;

    removeLeftovers(destinationInfo.dir());
    return FileCopy::copyAndReplace(source, destination, progress);
}
