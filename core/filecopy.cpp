#include "filecopy.h"

#include "longpath.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <filesystem>
#include <system_error>

#ifdef Q_OS_WIN
#include <qt_windows.h>

#include <algorithm>
#include <vector>
#endif

using namespace Qt::StringLiterals;

namespace {

const QString temporaryPrefix = u".ivl-install-"_s;
const QString temporarySuffix = u".part"_s;
constexpr int temporaryDigits = 16;

// A short hidden name (on Windows also the hidden attribute), so it fits even beside
// a mod whose own name is close to the file system's limit, and a game scanning the
// folder does not pick it up.
QString unusedTemporaryName(const QDir &folder)
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

#ifdef Q_OS_WIN
class Handle
{
public:
    explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE)
        : m_handle(handle)
    { }
    ~Handle() { close(); }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;

    bool isValid() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return m_handle; }
    void reset(HANDLE handle)
    {
        close();
        m_handle = handle;
    }
    void close()
    {
        if (isValid())
            CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }

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

// Virus scanners, the search indexer and cloud-sync clients open new and replaced
// files for a moment; what they hold makes a call fail with one of these errors.
bool isPassingLock(DWORD error)
{
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION
        || error == ERROR_LOCK_VIOLATION;
}

// Runs `attempt` again while it fails for a lock that may pass and `worthRetrying`
// agrees, waiting 10 ms, doubling up to 160 ms, for about a second in all: a glance
// is over by then, a lock held by the game is not. GetLastError tells why it failed.
template<typename Attempt, typename Condition>
bool retryWhileLocked(Attempt attempt, Condition worthRetrying)
{
    int wait = 10;
    for (int waited = 0;; waited += wait, wait = std::min(wait * 2, 160)) {
        if (attempt())
            return true;
        const DWORD error = GetLastError();
        if (!isPassingLock(error) || waited + wait > 1000 || !worthRetrying()) {
            SetLastError(error);
            return false;
        }
        Sleep(DWORD(wait));
    }
}

// A read-only file or a folder refuses for good; only a plain file's lock can pass.
bool isReplaceableFile(const std::wstring &path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES
        && !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY));
}

bool setDeleteMark(HANDLE file, bool on)
{
    FILE_DISPOSITION_INFO info{BOOLEAN(on)};
    return SetFileInformationByHandle(file, FileDispositionInfo, &info, sizeof info);
}

bool clearHiddenAttribute(HANDLE file)
{
    FILE_BASIC_INFO info{};
    if (!GetFileInformationByHandleEx(file, FileBasicInfo, &info, sizeof info))
        return false;
    // Zero times leave the file's times as they are.
    info.CreationTime.QuadPart = info.LastAccessTime.QuadPart = 0;
    info.LastWriteTime.QuadPart = info.ChangeTime.QuadPart = 0;
    info.FileAttributes &= ~DWORD(FILE_ATTRIBUTE_HIDDEN);
    if (info.FileAttributes == 0)
        info.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(file, FileBasicInfo, &info, sizeof info);
}

bool renameOver(HANDLE file, const std::wstring &destination)
{
    // FILE_RENAME_INFO ends in the name; the buffer's spare bytes hold its terminator.
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + destination.size() * sizeof(wchar_t));
    auto *info = reinterpret_cast<FILE_RENAME_INFO *>(buffer.data());
    info->ReplaceIfExists = TRUE;
    info->RootDirectory = nullptr;
    info->FileNameLength = DWORD(destination.size() * sizeof(wchar_t));
    std::copy(destination.begin(), destination.end(), info->FileName);
    return SetFileInformationByHandle(file, FileRenameInfo, info, DWORD(buffer.size()));
}

bool copyContent(HANDLE in, HANDLE out)
{
    std::vector<char> buffer(1 << 20);
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(in, buffer.data(), DWORD(buffer.size()), &got, nullptr))
            return false;
        if (got == 0)
            break;
        DWORD put = 0;
        if (!WriteFile(out, buffer.data(), got, &put, nullptr) || put != got)
            return false;
    }
    LARGE_INTEGER inSize{}, outSize{};
    // A short write that goes unreported would otherwise become the installed copy.
    return FlushFileBuffers(out) && GetFileSizeEx(in, &inSize) && GetFileSizeEx(out, &outSize)
        && inSize.QuadPart == outSize.QuadPart;
}

// The copy goes through one handle that nobody else can open, from creating the
// temporary to renaming it over the destination: no scanner gets in between. The
// temporary is marked for deletion from its first moment, so a player who ends the
// program mid-copy leaves nothing behind; only the rename takes the mark off. The
// content is flushed before the rename, so after a power cut the folder shows the
// old copy or the new one, complete either way.
bool copyAndReplace(const QString &source, const QString &temporary, const QString &destination)
{
    Handle in;
    retryWhileLocked(
        [&] {
            in.reset(CreateFileW(win32Path(source).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
            return in.isValid();
        },
        [] { return true; });
    if (!in.isValid())
        return false;

    const std::wstring temporaryW = win32Path(temporary);
    const std::wstring destinationW = win32Path(destination);
    // CREATE_NEW: a name taken since it was chosen makes this fail instead of
    // overwriting somebody's file.
    Handle out(CreateFileW(temporaryW.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES | DELETE, 0,
                           nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_SEQUENTIAL_SCAN,
                           nullptr));
    if (!out.isValid())
        return false;
    // Some drives (network shares among them) refuse the mark. Then the temporary is
    // deleted by name on failure, and the next install sweeps one left by an ended run.
    const bool marked = setDeleteMark(out.get(), true);

    const bool ok = copyContent(in.get(), out.get()) && clearHiddenAttribute(out.get())
        && retryWhileLocked(
                        [&] {
                            if (marked && !setDeleteMark(out.get(), false))
                                return false;
                            if (renameOver(out.get(), destinationW))
                                return true;
                            const DWORD error = GetLastError();
                            if (marked)
                                setDeleteMark(out.get(), true);
                            SetLastError(error);
                            return false;
                        },
                        [&] { return isReplaceableFile(destinationW); });
    if (!ok && marked)
        setDeleteMark(out.get(), true); // a failure after the mark came off
    out.close();
    if (!ok && !marked) {
        retryWhileLocked([&] { return DeleteFileW(temporaryW.c_str()) != 0; }, [] { return true; });
    }
    return ok;
}

// One that another running copy of the program still writes is open and cannot be
// deleted; it is left to that copy.
void removeLeftover(const QString &path)
{
    DeleteFileW(win32Path(path).c_str());
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

// QFile::copy writes an unnamed file (O_TMPFILE) and gives it the temporary's name
// only when it is complete, so a program ended mid-copy leaves nothing. It refuses
// an existing target, so a name taken since it was chosen makes it fail instead of
// overwriting somebody's file; it syncs the copy. The rename then replaces the old
// copy in one step.
bool copyAndReplace(const QString &source, const QString &temporary, const QString &destination)
{
    if (!QFile::copy(source, temporary))
        return false;
    std::error_code ec;
    if (QFileInfo(temporary).size() == QFileInfo(source).size()) {
        std::filesystem::rename(toFsPath(temporary), toFsPath(destination), ec);
        if (!ec)
            return true;
    }
    QFile::remove(temporary);
    return false;
}

// A temporary stands under its name only for the moment before its rename: one
// that is older was left by a run that ended there (a kill, a power cut).
void removeLeftover(const QString &path)
{
    if (QFileInfo(path).lastModified() < QDateTime::currentDateTime().addSecs(-10 * 60))
        QFile::remove(path);
}
#endif

void removeLeftovers(const QDir &folder)
{
    const QStringList names
        = folder.entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
    for (const QString &name : names) {
        if (isOwnTemporaryName(name))
            removeLeftover(folder.filePath(name));
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
    // user's; the rename would refuse it anyway, so fail before copying.
    const QFileInfo destinationInfo(destination);
    if (destinationInfo.exists() && !destinationInfo.isFile() && !destinationInfo.isSymLink())
        return false;

    removeLeftovers(destinationInfo.dir());
    return copyAndReplace(source, unusedTemporaryName(destinationInfo.dir()), destination);
}
