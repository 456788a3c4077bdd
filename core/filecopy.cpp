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

// Exactly the names unusedTemporaryName makes, and nothing a player could have
// named almost alike.
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

// A short hidden name (on Windows also the hidden attribute), so it fits even beside
// a mod whose own name is close to the file system's limit, and a game scanning the
// folder does not pick it up.
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

bool FileCopy::replaceWithCopy(const QString &source, const QString &destination)
{
    const QFileInfo sourceInfo(source);
    if (!sourceInfo.isFile())
        return false;

    if (FileCopy::isSameFile(source, destination))
        return true;

    // A folder under the mod's name, or a link to one (or anything else that is not
    // a file), is the player's: fail before copying. A link to a file, or one that
    // leads nowhere, is replaced itself; its target is never written.
    const QFileInfo destinationInfo(destination);
    if (destinationInfo.exists() && !destinationInfo.isFile())
        return false;

    removeLeftovers(destinationInfo.dir());
    return FileCopy::copyAndReplace(source, destination);
}
