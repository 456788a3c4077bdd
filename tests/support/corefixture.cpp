#include "corefixture.h"

#include "modinstallerapp.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>

#ifdef Q_OS_UNIX
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

ScratchDir::ScratchDir(const QStringList &modFiles)
    : m_previous(QDir::currentPath())
{
    QDir::setCurrent(m_dir.path());
    for (const QString &name : modFiles)
        writeFile(m_dir.filePath(QStringLiteral("Mods/") + name), name.toUtf8());
}

ScratchDir::~ScratchDir()
{
    QDir::setCurrent(m_previous);
}

LoopStallMeter::LoopStallMeter()
{
    m_clock.start();
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
        const qint64 now = m_clock.elapsed();
        m_longest = std::max(m_longest, now - m_lastTick);
        m_lastTick = now;
    });
    m_timer.start(10);
}

qint64 LoopStallMeter::longestMs() const
{
    return std::max(m_longest, m_clock.elapsed() - m_lastTick);
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("test set-up: cannot write %s", qPrintable(path));
}

void hideFile(const QString &path)
{
#ifdef Q_OS_WIN
    if (!SetFileAttributesW(
            reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(path).utf16()),
            FILE_ATTRIBUTE_HIDDEN))
        qFatal("test set-up: cannot hide %s", qPrintable(path));
#else
    if (!QFileInfo(path).fileName().startsWith(u'.'))
        qFatal("test set-up: %s needs a name that starts with a dot", qPrintable(path));
#endif
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void makeOld(const QString &path)
{
#ifdef Q_OS_UNIX
    // Both times at once: FUSE drives drop a change of the modification time alone
    // (QFile::setFileTime's) when they cache times in the kernel.
    const timespec old{::time(nullptr) - 2 * 24 * 3600, 0};
    const timespec times[2] = {old, old};
    if (::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) != 0)
        qFatal("test set-up: cannot date %s back", qPrintable(path));
#else
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite)
        || !file.setFileTime(QDateTime::currentDateTime().addDays(-2),
                             QFileDevice::FileModificationTime))
        qFatal("test set-up: cannot date %s back", qPrintable(path));
#endif
}

void makeDirs(const QString &path)
{
    if (!QDir().mkpath(path))
        qFatal("test set-up: cannot create %s", qPrintable(path));
}

QStringList listing(const QString &dir)
{
    return QDir(dir).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray randomBytes(qint64 size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator(seed).fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    return bytes;
}

void writeLargeMod(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile mod(path);
    if (!mod.open(QIODevice::WriteOnly))
        qFatal("test set-up: cannot write %s", qPrintable(path));
    for (quint32 mib = 0; mib < 1024; ++mib) {
        if (mod.write(randomBytes(1 << 20, mib)) != 1 << 20)
            qFatal("test set-up: cannot write %s", qPrintable(path));
    }
}

namespace {

// Tells the test program, started again, to install a mod or search as a child process.
const char childInstallFlag[] = "--install-as-child";
const char childSearchFlag[] = "--search-as-child";

#ifdef Q_OS_LINUX
// Whether process `pid` holds a file open in `folder`, as /proc shows it: the copy's
// temporary, named or not, while it is written.
bool holdsFileIn(qint64 pid, const QString &folder)
{
    const QString fds = QString::fromLatin1("/proc/%1/fd").arg(pid);
    const QStringList names
        = QDir(fds).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &fd : names) {
        char link[4096];
        const ssize_t size
            = ::readlink(QFile::encodeName(fds + u'/' + fd).constData(), link, sizeof link);
        if (size > 0 && QFile::decodeName(QByteArray(link, int(size))).startsWith(folder + u'/'))
            return true;
    }
    return false;
}
#endif

} // namespace

bool killInstallMidCopy(const QString &modName, const QString &target, QString *why)
{
#ifndef Q_OS_LINUX
    const int entriesBefore = listing(target).size();
#endif
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QString::fromLatin1(childInstallFlag), modName, target});
    if (!child.waitForStarted(60000)) {
        *why = QStringLiteral("the child did not start");
        return false;
    }
    // Killed while the copy is under way: on Linux as soon as its file is open (a
    // 1 GiB copy from the page cache can take less than 150 ms there); on Windows
    // 150 ms after the temporary appears.
    const QString folder = QFileInfo(target).canonicalFilePath();
    auto underWay = [&] {
#ifdef Q_OS_LINUX
        return holdsFileIn(child.processId(), folder);
#else
        return listing(target).size() > entriesBefore;
#endif
    };
    QElapsedTimer waited;
    waited.start();
    while (!underWay() && waited.elapsed() < 60000 && !child.waitForFinished(1)) { }
#ifndef Q_OS_LINUX
    child.waitForFinished(150);
#endif
    if (child.state() != QProcess::Running) {
        *why = QStringLiteral("the copy ended before it could be interrupted");
        return false;
    }
    child.kill();
    if (!child.waitForFinished(60000)) {
        *why = QStringLiteral("the child did not end when killed");
        return false;
    }
    return true;
}

bool searchInChildAndQuit(QString *why)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    // LeakSanitizer stops every thread at exit to scan it, and one that waits on a FUSE
    // server that is stopped cannot be stopped: the sanitizer would hang, not the program.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       environment.value(QStringLiteral("ASAN_OPTIONS"))
                           + QStringLiteral(":detect_leaks=0"));
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(childSearchFlag)});
    const bool ended = child.waitForFinished(20000);
    if (ended && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0)
        return true;
    *why = ended
        ? QStringLiteral("the child crashed or ended with exit code %1").arg(child.exitCode())
        : QStringLiteral("the child did not end within 20 s");
    child.kill();
    child.waitForFinished(60000);
    return false;
}

int installAsChildIfAsked(int argc, char *argv[])
{
    if (argc == 2 && qstrcmp(argv[1], childSearchFlag) == 0) {
        QCoreApplication app(argc, argv);
        ModInstallerApp installer;
        installer.findIvlDirs();
        return 0; // with a probe that may still wait on its volume
    }
    if (argc != 4 || qstrcmp(argv[1], childInstallFlag) != 0)
        return -1;
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    ModInstallerApp installer;
    return installer.installModFile(args.at(2), args.at(3)) ? 0 : 1;
}
