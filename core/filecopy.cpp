#include "filecopy.h"

#include "longpath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <filesystem>
#include <system_error>

#ifdef Q_OS_WIN
#include <qt_windows.h>

#include <vector>
#endif

using namespace Qt::StringLiterals;

namespace {

// A short hidden name (on Windows also the hidden attribute, see writeCopy), so it
// fits even beside a mod whose own name is close to the file system's limit, and a
// game scanning the folder does not pick it up.
QString unusedTemporaryName(const QDir &folder)
{
    for (;;) {
        const QString candidate = u".ivl-install-%1.part"_s.arg(
            QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
        if (!QFileInfo::exists(folder.filePath(candidate)))
            return folder.filePath(candidate);
    }
}

#ifdef Q_OS_WIN
class Handle
{
public:
    explicit Handle(HANDLE handle)
        : m_handle(handle)
    { }
    ~Handle()
    {
        if (isValid())
            CloseHandle(m_handle);
    }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;

    bool isValid() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return m_handle; }

private:
    HANDLE m_handle;
};

// Win32 calls get the long form of every path, as Qt's file engine gives them, so
// a destination deeper than MAX_PATH works.
std::wstring win32Path(const QString &path)
{
    return extendedLengthPath(path, QDir::currentPath()).toStdWString();
}

bool isSameFile(const QString &a, const QString &b)
{
    auto open = [](const QString &path) {
        // No access rights asked: only the file's identity is read.
        return CreateFileW(win32Path(path).c_str(), 0,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    };
    const Handle first(open(a));
    const Handle second(open(b));
    BY_HANDLE_FILE_INFORMATION x{}, y{};
    return first.isValid() && second.isValid() && GetFileInformationByHandle(first.get(), &x)
        && GetFileInformationByHandle(second.get(), &y)
        && x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh
        && x.nFileIndexLow == y.nFileIndexLow;
}

// CopyFile gives the copy the source's attributes and cannot make it hidden, and
// nothing flushes it, so on Windows the copy is streamed into a file that is hidden
// from its first moment and is on the disk before it replaces anything.
bool writeCopy(const QString &source, const QString &temporary)
{
    const Handle in(CreateFileW(win32Path(source).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!in.isValid())
        return false;
    // CREATE_NEW: a name taken since it was chosen makes this fail instead of
    // overwriting somebody's file.
    const Handle out(CreateFileW(win32Path(temporary).c_str(), GENERIC_WRITE, 0, nullptr,
                                 CREATE_NEW, FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_SEQUENTIAL_SCAN,
                                 nullptr));
    if (!out.isValid())
        return false;

    std::vector<char> buffer(1 << 20);
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(in.get(), buffer.data(), DWORD(buffer.size()), &got, nullptr))
            return false;
        if (got == 0)
            break;
        DWORD put = 0;
        if (!WriteFile(out.get(), buffer.data(), got, &put, nullptr) || put != got)
            return false;
    }
    return FlushFileBuffers(out.get());
}

// One step that either leaves the old copy or puts the new one in its place. A file
// that the game holds open (no FILE_SHARE_DELETE) or that is read-only makes it
// fail. The new file's content is on the disk already (writeCopy flushed it), but
// MOVEFILE_WRITE_THROUGH waits only for a move done as copy and delete across
// volumes, never for a rename within one volume, as this one is: after a power cut
// the folder may still show the old copy, complete, never a broken one.
bool moveOver(const QString &temporary, const QString &destination)
{
    const std::wstring from = win32Path(temporary);
    // The installed mod must not stay hidden.
    const DWORD attributes = GetFileAttributesW(from.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    const DWORD visible = attributes & ~DWORD(FILE_ATTRIBUTE_HIDDEN);
    if (!SetFileAttributesW(from.c_str(), visible ? visible : FILE_ATTRIBUTE_NORMAL))
        return false;
    return MoveFileExW(from.c_str(), win32Path(destination).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}
#else
std::filesystem::path toFsPath(const QString &path)
{
    return QFileInfo(path).filesystemFilePath();
}

bool isSameFile(const QString &a, const QString &b)
{
    std::error_code ec;
    return std::filesystem::equivalent(toFsPath(a), toFsPath(b), ec) && !ec;
}

bool writeCopy(const QString &source, const QString &temporary)
{
    // QFile::copy refuses an existing target, so a name taken since it was chosen
    // makes it fail instead of overwriting somebody's file; it syncs the copy.
    return QFile::copy(source, temporary);
}

bool moveOver(const QString &temporary, const QString &destination)
{
    std::error_code ec;
    std::filesystem::rename(toFsPath(temporary), toFsPath(destination), ec);
    return !ec;
}
#endif

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
    const bool ok = writeCopy(source, temporary)
        // A short write that goes unreported would otherwise become the installed copy.
        && QFileInfo(temporary).size() == sourceInfo.size() && moveOver(temporary, destination);
    if (!ok)
        QFile::remove(temporary);
    return ok;
}
