#include "volumes.h"

#include <QFile>
#include <QStorageInfo>

#include <algorithm>
#include <cerrno>

#include <sys/statvfs.h>

using namespace Qt::StringLiterals;

namespace {

#ifdef Q_OS_LINUX
bool isParentOf(const QString &parent, const QString &path)
{
    return path.startsWith(parent)
        && (path.size() == parent.size() || path.at(parent.size()) == u'/' || parent.size() == 1);
}

// The kernel writes a space, a tab, a newline and a backslash as \ and three octal digits.
QByteArray unmangled(const QByteArray &field)
{
    QByteArray path;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field.at(i) == '\\' && i + 3 < field.size()) {
            path.append(char(((field.at(i + 1) - '0') << 6) | ((field.at(i + 2) - '0') << 3)
                             | (field.at(i + 3) - '0')));
            i += 3;
        } else {
            path.append(field.at(i));
        }
    }
    return path;
}
#endif

} // namespace

QStringList Volumes::mountedRoots()
{
#ifdef Q_OS_LINUX
    QFile table(u"/proc/self/mountinfo"_s);
    if (!table.open(QIODevice::ReadOnly))
        return {u"/"_s};
    // 36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 - ext3 /dev/root rw,errors=continue
    QStringList mountPoints;
    for (const QByteArray &line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype separator = fields.indexOf("-", 6);
        if (fields.size() < 7 || separator < 0 || separator + 1 >= fields.size())
            continue;
        const QString mountPoint = QFile::decodeName(unmangled(fields.at(4)));
        // Qt's rules: special mounts and the initrd's root are no volumes of the player's.
        if (isParentOf(u"/dev"_s, mountPoint) || isParentOf(u"/proc"_s, mountPoint)
            || isParentOf(u"/sys"_s, mountPoint) || isParentOf(u"/var/run"_s, mountPoint)
            || isParentOf(u"/var/lock"_s, mountPoint) || fields.at(separator + 1) == "rootfs")
            continue;
        mountPoints.append(mountPoint);
    }
    // A volume mounted over at its place or above it cannot be reached.
    QStringList roots;
    for (qsizetype i = 0; i < mountPoints.size(); ++i) {
        const auto later = mountPoints.cbegin() + i + 1;
        if (std::none_of(later, mountPoints.cend(),
                         [&](const QString &over) { return isParentOf(over, mountPoints.at(i)); }))
            roots.append(mountPoints.at(i));
    }
    // Where no mount holds "/" (a chroot), Qt 6.8 names the root itself.
    return roots.isEmpty() ? QStringList{u"/"_s} : roots;
#else
    QStringList roots;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes())
        roots.append(volume.rootPath());
    return roots;
#endif
}

VolumeRoot Volumes::probe(const QString &rootPath, bool *listed)
{
    struct statvfs info
    {
    };
    int result;
    do {
        result = ::statvfs(QFile::encodeName(rootPath).constData(), &info);
    } while (result != 0 && errno == EINTR);
    const bool ready = result == 0;
    // As Qt does: a volume of no size is a pseudo file system, unless it is the root.
    *listed = (ready && info.f_blocks * info.f_frsize > 0) || rootPath == u"/";
    return {rootPath, ready, ready && (info.f_flag & ST_RDONLY)};
}
