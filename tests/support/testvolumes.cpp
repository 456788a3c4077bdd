#include "testvolumes.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QStorageInfo>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

#include <sched.h>
#include <sys/mount.h>
#include <sys/prctl.h>

using namespace Qt::StringLiterals;

namespace {

bool failWithErrno(QString *why, const char *what)
{
    *why = QString::fromLatin1("%1: %2").arg(QLatin1StringView(what),
                                             QString::fromLocal8Bit(std::strerror(errno)));
    return false;
}

QString program(const QString &name)
{
    return QStandardPaths::findExecutable(name,
                                          {u"/usr/sbin"_s, u"/sbin"_s, u"/usr/bin"_s, u"/bin"_s});
}

// Runs a tool to its end; on failure `why` gets what it printed.
bool run(const QString &name, const QStringList &args, QString *why, QString *output = nullptr)
{
    const QString path = program(name);
    if (path.isEmpty()) {
        *why = name + u" is not installed"_s;
        return false;
    }
    QProcess tool;
    tool.setProcessChannelMode(output ? QProcess::SeparateChannels : QProcess::MergedChannels);
    tool.start(path, args);
    const bool ok = tool.waitForFinished(60000) && tool.exitStatus() == QProcess::NormalExit
        && tool.exitCode() == 0;
    const QString said = QString::fromLocal8Bit(tool.readAll()).trimmed();
    if (!ok)
        *why = name + u' ' + args.join(u' ') + u": "_s + said.section(u'\n', 0, 2);
    else if (output)
        *output = said;
    return ok;
}

bool isMountPoint(const QString &where)
{
    QStorageInfo volume(where);
    return volume.isValid() && volume.rootPath() == where;
}

// How each kind is made: the tool that formats an image, and whether a loop mount
// or a FUSE server then mounts it.
struct Kind
{
    QString name;
    QString format; // empty: a folder, not an image
    QStringList formatArgs;
    bool fuse;
    qint64 smallest = 0; // what the formatting tool accepts
    QString fault = {}; // a share's: what support/refusingshare.py gets wrong
};

const Kind *findKind(const QString &name)
{
    static const std::vector<Kind> kinds = {
        {u"ext4"_s, u"mkfs.ext4"_s, {u"-q"_s, u"-F"_s}, false},
        {u"btrfs"_s, u"mkfs.btrfs"_s, {u"-q"_s}, false, 128 << 20},
        {u"xfs"_s, u"mkfs.xfs"_s, {u"-q"_s}, false, 320 << 20},
        {u"ntfs-3g"_s, u"mkntfs"_s, {u"-q"_s, u"-F"_s, u"-f"_s}, true},
        {u"exfat"_s, u"mkfs.exfat"_s, {}, true},
        {u"fat32"_s, u"mkfs.vfat"_s, {u"-F"_s, u"32"_s}, true},
        {u"bindfs"_s, {}, {}, true},
        {u"share refusing at fsync"_s, {}, {}, true, 0, u"fsync"_s},
        {u"share refusing at close"_s, {}, {}, true, 0, u"close"_s},
        {u"share keeping less"_s, {}, {}, true, 0, u"short"_s},
        {u"share without rename over"_s, {}, {}, true, 0, u"rename-over"_s},
        {u"share writing slowly"_s, {}, {}, true, 0, u"slow"_s},
    };
    for (const Kind &kind : kinds) {
        if (kind.name == name)
            return &kind;
    }
    return nullptr;
}

bool enterPrivateMountNamespace(QString *why)
{
    static int state = 0; // 0 not tried, 1 inside, -1 refused
    static QString refusal;
    if (state == 0) {
        state = -1;
        if (::unshare(CLONE_NEWNS) != 0)
            failWithErrno(&refusal, "unshare(CLONE_NEWNS)");
        else if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            failWithErrno(&refusal, "making / private");
        else
            state = 1;
    }
    *why = refusal;
    return state == 1;
}

} // namespace

TestVolumes::TestVolumes() = default;

TestVolumes::~TestVolumes()
{
    for (auto volume = m_volumes.rbegin(); volume != m_volumes.rend(); ++volume) {
        const QByteArray where = QFile::encodeName(volume->where);
        if (volume->server)
            ::kill(pid_t(volume->server->processId()), SIGCONT);
        if (::umount2(where.constData(), 0) != 0)
            ::umount2(where.constData(), MNT_DETACH);
        // A FUSE server ends once its volume is gone.
        if (volume->server && !volume->server->waitForFinished(60000))
            volume->server->kill();
    }
}

bool TestVolumes::mount(const QString &kindName, const QString &where, qint64 bytes, QString *why)
{
    if (!enterPrivateMountNamespace(why))
        return false;
    QDir().mkpath(where);
    if (kindName == u"tmpfs") {
        const QByteArray options = "size=" + QByteArray::number(bytes);
        if (::mount("tmpfs", QFile::encodeName(where).constData(), "tmpfs", 0, options.constData())
            != 0)
            return failWithErrno(why, "mount tmpfs");
        m_volumes.push_back({where, {}, nullptr});
        return true;
    }

    const Kind *kind = findKind(kindName);
    if (!kind)
        qFatal("test set-up: no volume kind %s", qPrintable(kindName));
    const QString needed = kind->fuse ? u"/dev/fuse"_s : u"/dev/loop-control"_s;
    if (!QFileInfo::exists(needed)) {
        *why = needed + u" is missing: the machine offers no "_s
            + (kind->fuse ? u"FUSE"_s : u"loop devices"_s);
        return false;
    }
    const QString file = m_files.filePath(QString::number(m_volumes.size()) + u'-'
                                          + QString(kindName).replace(u' ', u'-'));
    Volume volume{where, {}, nullptr};
    if (kind->format.isEmpty()) {
        volume.backing = file;
        QDir().mkpath(file);
    } else {
        QFile image(file);
        if (!image.open(QIODevice::WriteOnly) || !image.resize(std::max(bytes, kind->smallest))) {
            *why = u"cannot make the image "_s + file;
            return false;
        }
        image.close();
        if (!run(kind->format, kind->formatArgs + QStringList{file}, why))
            return false;
    }

    bool ok = false;
    if (!kind->fuse) {
        ok = run(u"mount"_s, {u"-o"_s, u"loop"_s, file, where}, why);
    } else if (kindName == u"ntfs-3g") {
        ok = startServer(kindName, {u"-o"_s, u"no_detach"_s, file, where}, &volume, why);
    } else if (kindName == u"exfat") {
        // exfat-fuse takes only a block device; the loop device goes with the volume.
        QString device;
        ok = run(u"losetup"_s, {u"--find"_s, u"--show"_s, file}, why, &device);
        if (ok) {
            ok = startServer(u"mount.exfat-fuse"_s, {u"-d"_s, device, where}, &volume, why);
            QString ignored; // detached at once, it is freed when the server lets go
            run(u"losetup"_s, {u"--detach"_s, device}, &ignored);
        }
    } else if (kindName == u"fat32") {
        ok = startServer(u"fusefat"_s, {u"-f"_s, u"-o"_s, u"rw+"_s, file, where}, &volume, why);
    } else if (kindName == u"bindfs") {
        ok = startServer(kindName, {u"-f"_s, volume.backing, where}, &volume, why);
    } else {
        ok = startServer(u"python3"_s,
                         {QStringLiteral(IVL_REFUSING_SHARE), kind->fault, volume.backing, where},
                         &volume, why);
    }
    if (ok)
        m_volumes.push_back(std::move(volume));
    return ok;
}

bool TestVolumes::startServer(const QString &name, const QStringList &args, Volume *volume,
                              QString *why)
{
    // Debian's own Python, which has the FUSE bindings.
    const QString path = name == u"python3" ? u"/usr/bin/python3"_s : program(name);
    if (path.isEmpty() || !QFileInfo(path).isExecutable()) {
        *why = name + u" is not installed"_s;
        return false;
    }
    auto server = std::make_unique<QProcess>();
    server->setStandardOutputFile(QProcess::nullDevice());
    server->setStandardErrorFile(QProcess::nullDevice());
    // A test that dies takes its servers with it, and with them their volumes.
    server->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    server->start(path, args);
    const QDeadlineTimer deadline(60000);
    while (!isMountPoint(volume->where)) {
        if (deadline.hasExpired() || server->waitForFinished(10)) {
            *why = name + u' ' + args.join(u' ') + u": no volume appeared (exit code "_s
                + QString::number(server->exitCode()) + u')';
            return false;
        }
    }
    volume->server = std::move(server);
    return true;
}

bool TestVolumes::makeReadOnly(const QString &where, QString *why)
{
    if (::mount(nullptr, QFile::encodeName(where).constData(), nullptr, MS_REMOUNT | MS_RDONLY,
                nullptr)
        != 0)
        return failWithErrno(why, "remount read-only");
    return true;
}

void TestVolumes::stopAnswering(const QString &where)
{
    for (const Volume &volume : m_volumes) {
        if (volume.where == where && volume.server) {
            const qint64 pid = volume.server->processId();
            ::kill(pid_t(pid), SIGSTOP);
            // SIGCONT harms no process, should the server be gone by then.
            QProcess resumer;
            resumer.setStandardOutputFile(QProcess::nullDevice());
            resumer.setStandardErrorFile(QProcess::nullDevice());
            resumer.setProgram(u"/bin/sh"_s);
            resumer.setArguments({u"-c"_s, u"sleep 30; kill -CONT $0"_s, QString::number(pid)});
            resumer.startDetached();
            return;
        }
    }
    qFatal("test set-up: no FUSE volume at %s", qPrintable(where));
}

QString TestVolumes::backing(const QString &where) const
{
    for (const Volume &volume : m_volumes) {
        if (volume.where == where)
            return volume.backing;
    }
    return {};
}
