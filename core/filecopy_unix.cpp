#include "filecopy_p.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/sendfile.h>
#endif

namespace {

class Fd
{
public:
    explicit Fd(int fd = -1)
        : m_fd(fd)
    { }
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;

    bool isValid() const { return m_fd >= 0; }
    int get() const { return m_fd; }
    void reset(int fd)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
    // A share or a FUSE drive may say only here that the data never arrived.
    bool close() { return ::close(std::exchange(m_fd, -1)) == 0; }

private:
    int m_fd;
};

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

std::filesystem::path toFsPath(const QString &path)
{
    return QFileInfo(path).filesystemFilePath();
}

// Not made for these files rather than failed: the next way of copying may work.
bool isUnsupported(int error)
{
    return error == EXDEV || error == EINVAL || error == EOPNOTSUPP || error == ENOSYS
        || error == ENOTTY;
}

enum class Transfer { Done, Unsupported, Failed };

// Moves `size` bytes by `step(offset, count)`, which returns how many it moved or -1.
// Only a refusal before the first byte lets the next kind of call try. Steps of 8 MiB: a
// wish to stop is heard within a fraction of a second, even on a slow stick.
template<typename Step> Transfer transfer(off_t size, WorkProgress *progress, Step step)
{
    off_t done = 0;
    while (done < size) {
        if (FileCopy::isCanceled(progress)) {
            errno = ECANCELED;
            return Transfer::Failed;
        }
        const ssize_t moved = step(done, size_t(std::min<off_t>(size - done, off_t(8) << 20)));
        if (moved > 0) {
            done += moved;
            if (progress)
                progress->done.store(done, std::memory_order_relaxed);
        } else if (moved < 0 && errno == EINTR) {
            continue;
        } else {
            const bool unsupported = moved == 0 || isUnsupported(errno);
            return done == 0 && unsupported ? Transfer::Unsupported : Transfer::Failed;
        }
    }
    return Transfer::Done;
}

// The cheapest copy there is: a reflink (btrfs, xfs), copy_file_range (on the server
// for NFS 4.2 and SMB 3), sendfile, and last plain reads and writes.
bool copyBytes(int in, int out, off_t size, WorkProgress *progress)
{
#ifdef Q_OS_LINUX
    if (::ioctl(out, FICLONE, in) == 0) {
        if (progress)
            progress->done.store(size);
        return true;
    }
    Transfer result = transfer(size, progress, [&](off_t at, size_t count) {
        loff_t from = at, to = at;
        return ::copy_file_range(in, &from, out, &to, count, 0);
    });
    if (result != Transfer::Unsupported)
        return result == Transfer::Done;
    result = transfer(size, progress, [&](off_t at, size_t count) {
        off_t from = at;
        return ::sendfile(out, in, &from, count);
    });
    if (result != Transfer::Unsupported)
        return result == Transfer::Done;
#endif
    std::vector<char> buffer(1 << 20);
    return transfer(size, progress,
                    [&](off_t at, size_t count) -> ssize_t {
                        const ssize_t got
                            = ::pread(in, buffer.data(), std::min(count, buffer.size()), at);
                        if (got <= 0)
                            return got;
                        const ssize_t put = ::pwrite(out, buffer.data(), size_t(got), at);
                        if (put == got)
                            return put;
                        if (put >= 0)
                            errno = ENOSPC;
                        return -1;
                    })
        == Transfer::Done;
}

// Unnamed where the file system allows (a program ended mid-copy leaves nothing), else
// under a hidden name of the sweep's kind.
class Temporary
{
public:
    explicit Temporary(const QString &destination)
        : m_folder(QFileInfo(destination).path())
    {
#ifdef O_TMPFILE
        static const bool canLinkUnnamed = ::access("/proc/self/fd", X_OK) == 0;
        if (canLinkUnnamed) {
            m_fd.reset(
                ::open(native(m_folder).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
            if (m_fd.isValid() || (errno != EOPNOTSUPP && errno != EISDIR))
                return;
        }
#endif
        // Never somebody's file or link that took the name meanwhile.
        nameIt();
        m_fd.reset(
            ::open(m_name.constData(), O_CREAT | O_EXCL | O_NOFOLLOW | O_WRONLY | O_CLOEXEC, 0600));
        if (!m_fd.isValid())
            m_name.clear();
    }
    ~Temporary()
    {
        if (!m_name.isEmpty())
            ::unlink(m_name.constData());
    }
    Temporary(const Temporary &) = delete;
    Temporary &operator=(const Temporary &) = delete;

    int fd() const
    {
        return m_fd.get();
    }
    bool isValid() const
    {
        return m_fd.isValid();
    }

    bool closeAndRenameOver(const QString &destination)
    {
        if (m_name.isEmpty()) {
            nameIt();
            const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_fd.get());
            if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, m_name.constData(),
                         AT_SYMLINK_FOLLOW)
                != 0) {
                m_name.clear();
                return false;
            }
        }
        if (!m_fd.close() || !renameOver(native(destination)))
            return false;
        m_name.clear();
        // So that a power cut does not bring the old copy back; the copy is in place anyway.
        const Fd folder(::open(native(m_folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (folder.isValid())
            ::fsync(folder.get());
        return true;
    }

private:
    bool renameOver(const QByteArray &destination) const
    {
        if (::rename(m_name.constData(), destination.constData()) == 0)
            return true;
        if (errno != EEXIST)
            return false;
        // fusefat 0.3 renames only onto a free name: the old copy steps aside meanwhile.
        const QByteArray aside = native(FileCopy::unusedTemporaryName(QDir(m_folder)));
        if (::rename(destination.constData(), aside.constData()) != 0)
            return false;
        if (::rename(m_name.constData(), destination.constData()) != 0) {
            ::rename(aside.constData(), destination.constData());
            return false;
        }
        ::unlink(aside.constData());
        return true;
    }

    void nameIt()
    {
        m_name = native(FileCopy::unusedTemporaryName(QDir(m_folder)));
    }

    QString m_folder;
    QByteArray m_name; // empty while the file has no name of its own
    Fd m_fd;
};

} // namespace

bool FileCopy::isSameFile(const QString &a, const QString &b)
{
    std::error_code ec;
    return std::filesystem::equivalent(toFsPath(a), toFsPath(b), ec) && !ec;
}

bool FileCopy::copyAndReplace(const QString &source, const QString &destination,
                              WorkProgress *progress)
{
    const Fd in(::open(native(source).constData(), O_RDONLY | O_CLOEXEC));
    struct stat info
    {
    };
    if (!in.isValid() || ::fstat(in.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;

    if (progress)
        progress->total.store(info.st_size);
    Temporary out(destination);
    if (!out.isValid() || !copyBytes(in.get(), out.fd(), info.st_size, progress))
        return false;
    // As a file manager's copy keeps them; FAT refuses, which costs nothing.
    ::fchmod(out.fd(), info.st_mode & 0777);

    // A full share or a failing disk may refuse the data only here; EINVAL: cannot sync.
    struct stat written
    {
    };
    if ((::fdatasync(out.fd()) != 0 && errno != EINVAL) || ::fstat(out.fd(), &written) != 0
        || written.st_size != info.st_size || isCanceled(progress))
        return false;
    return out.closeAndRenameOver(destination);
}

// A named temporary lives as long as its copy: one ten minutes old was left by an ended run.
void FileCopy::removeLeftover(const QString &path)
{
    if (QFileInfo(path).lastModified() < QDateTime::currentDateTime().addSecs(-10 * 60))
        QFile::remove(path);
}
