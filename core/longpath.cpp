#include "longpath.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace {

bool isDriveLetter(QChar c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

// "C:" or "//server/share", empty otherwise; what follows goes to `rest`.
QString splitRoot(const QString &path, QString *rest)
{
    if (path.startsWith(u"//"_s)) {
        const QStringList parts = path.mid(2).split(u'/');
        const int shareEnd = parts.size() > 1 ? 2 : int(parts.size());
        *rest = parts.mid(shareEnd).join(u'/');
        return u"//"_s + parts.mid(0, shareEnd).join(u'/');
    }
    if (path.size() >= 2 && isDriveLetter(path.at(0)) && path.at(1) == u':') {
        *rest = path.mid(2);
        return path.left(2);
    }
    *rest = path;
    return QString();
}

} // namespace

QString extendedLengthPath(const QString &path, const QString &workingDir)
{
    QString slashed = path;
    slashed.replace(u'\\', u'/');
    if (slashed.startsWith(u"//?/"_s) || slashed.startsWith(u"//./"_s))
        return slashed.replace(u'/', u'\\');

    QString rest;
    QString root = splitRoot(slashed, &rest);
    if (root.isEmpty() || (!root.startsWith(u'/') && !rest.startsWith(u'/'))) {
        // Relative, "/x" on the working folder's drive, or "C:x" (the working folder there).
        QString baseRest;
        const QString baseRoot = splitRoot(QString(workingDir).replace(u'\\', u'/'), &baseRest);
        if (root.isEmpty() && rest.startsWith(u'/'))
            baseRest.clear();
        else if (!root.isEmpty() && root.compare(baseRoot, Qt::CaseInsensitive) != 0)
            baseRest.clear();
        if (root.isEmpty())
            root = baseRoot;
        rest = baseRest + u'/' + rest;
    }

    QStringList parts;
    for (const QString &part : rest.split(u'/', Qt::SkipEmptyParts)) {
        if (part == u"..") {
            if (!parts.isEmpty())
                parts.removeLast();
        } else if (part != u".") {
            parts.append(part);
        }
    }
    const QString tail = parts.join(u'\\');
    if (root.startsWith(u"//"_s))
        return u"\\\\?\\UNC\\"_s + root.mid(2).replace(u'/', u'\\') + u'\\' + tail;
    return u"\\\\?\\"_s + root + u'\\' + tail;
}
