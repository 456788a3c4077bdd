#include "filecopy_p.h"

#include "longpath.h"

#include <QDir>
#include <QFileInfo>

#include <qt_windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

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

// The long form, as Qt's file engine uses, so paths deeper than MAX_PATH work.
std::wstring win32Path(const QString &path)
{
    return extendedLengthPath(path, QDir::currentPath()).toStdWString();
}

// What scanners, the indexer and sync clients cause while they glance at a file.
bool isPassingLock(DWORD error)
{
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION
        || error == ERROR_LOCK_VIOLATION;
}

// Retries `attempt` for about a second while a lock may pass: a glance is over by then,
// the game's lock is not. GetLastError tells why it failed.
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
    info.CreationTime.QuadPart = info.LastAccessTime.QuadPart = 0;
    info.LastWriteTime.QuadPart = info.ChangeTime.QuadPart = 0;
    info.FileAttributes &= ~DWORD(FILE_ATTRIBUTE_HIDDEN);
    if (info.FileAttributes == 0)
        info.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(file, FileBasicInfo, &info, sizeof info);
}

bool renameOver(HANDLE file, const std::wstring &destination)
{
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + destination.size() * sizeof(wchar_t));
    auto *info = reinterpret_cast<FILE_RENAME_INFO *>(buffer.data());
    info->ReplaceIfExists = TRUE;
    info->RootDirectory = nullptr;
    info->FileNameLength = DWORD(destination.size() * sizeof(wchar_t));
    std::copy(destination.begin(), destination.end(), info->FileName);
    return SetFileInformationByHandle(file, FileRenameInfo, info, DWORD(buffer.size()));
}

// Empty where the file system does not tell.
std::wstring currentFileName(HANDLE file)
{
    std::vector<char> buffer(sizeof(FILE_NAME_INFO) + 32768 * sizeof(wchar_t));
    auto *info = reinterpret_cast<FILE_NAME_INFO *>(buffer.data());
    if (!GetFileInformationByHandleEx(file, FileNameInfo, info, DWORD(buffer.size())))
        return {};
    const std::wstring name(info->FileName, info->FileNameLength / sizeof(wchar_t));
    return name.substr(name.find_last_of(L'\\') + 1);
}

bool copyContent(HANDLE in, HANDLE out, WorkProgress *progress)
{
    LARGE_INTEGER inSize{}, outSize{};
    if (!GetFileSizeEx(in, &inSize))
        return false;
    if (progress)
        progress->total.store(inSize.QuadPart);
    std::vector<char> buffer(1 << 20);
    for (qint64 done = 0;;) {
        if (FileCopy::isCanceled(progress)) {
            SetLastError(ERROR_CANCELLED);
            return false;
        }
        DWORD got = 0;
        if (!ReadFile(in, buffer.data(), DWORD(buffer.size()), &got, nullptr))
            return false;
        if (got == 0)
            break;
        DWORD put = 0;
        if (!WriteFile(out, buffer.data(), got, &put, nullptr) || put != got)
            return false;
        done += got;
        if (progress)
            progress->done.store(done);
    }
    return FlushFileBuffers(out) && GetFileSizeEx(out, &outSize)
        && inSize.QuadPart == outSize.QuadPart && !FileCopy::isCanceled(progress);
}

// On failure the delete mark is back on, or *deleteByName says to delete it by name.
bool renameIntoPlace(HANDLE out, bool marked, const std::wstring &destination,
                     const std::wstring &temporaryName, bool *deleteByName)
{
    if (marked && !setDeleteMark(out, false))
        return false;
    if (renameOver(out, destination))
        return true;
    const DWORD error = GetLastError();
    // A reconnected drive may report a rename that took effect.
    const std::wstring now = currentFileName(out);
    if (!now.empty() && now != temporaryName)
        return true;
    if (marked && !now.empty())
        setDeleteMark(out, true);
    else
        *deleteByName = true; // only ever the temporary's own name
    SetLastError(error);
    return false;
}

} // namespace

bool FileCopy::isSameFile(const QString &a, const QString &b)
{
    auto open = [](const QString &path) {
        return CreateFileW(win32Path(path).c_str(), 0,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    };
    const Handle first(open(a));
    const Handle second(open(b));
    if (!first.isValid() || !second.isValid())
        return false;
    // The 128-bit id is unique on ReFS; the 64-bit index serves where there is none (FAT).
    FILE_ID_INFO x{}, y{};
    if (GetFileInformationByHandleEx(first.get(), FileIdInfo, &x, sizeof x)
        && GetFileInformationByHandleEx(second.get(), FileIdInfo, &y, sizeof y))
        return x.VolumeSerialNumber == y.VolumeSerialNumber
            && std::memcmp(&x.FileId, &y.FileId, sizeof x.FileId) == 0;
    BY_HANDLE_FILE_INFORMATION u{}, v{};
    return GetFileInformationByHandle(first.get(), &u)
        && GetFileInformationByHandle(second.get(), &v)
        && u.dwVolumeSerialNumber == v.dwVolumeSerialNumber && u.nFileIndexHigh == v.nFileIndexHigh
        && u.nFileIndexLow == v.nFileIndexLow;
}

// One unshared handle from creation to rename, marked for deletion until the rename: no
// scanner gets in between, and a program ended mid-copy leaves nothing.
bool FileCopy::copyAndReplace(const QString &source, const QString &destination,
                              WorkProgress *progress)
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

    const QString temporary = unusedTemporaryName(QFileInfo(destination).dir());
    const std::wstring temporaryW = win32Path(temporary);
    const std::wstring temporaryName = QFileInfo(temporary).fileName().toStdWString();
    const std::wstring destinationW = win32Path(destination);
    Handle out(CreateFileW(temporaryW.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES | DELETE, 0,
                           nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_SEQUENTIAL_SCAN,
                           nullptr));
    if (!out.isValid())
        return false;
    // Some shares refuse the mark: then it is deleted by name, or swept by the next install.
    const bool marked = setDeleteMark(out.get(), true);
    bool deleteByName = !marked;

    const bool ok = copyContent(in.get(), out.get(), progress) && clearHiddenAttribute(out.get())
        && retryWhileLocked(
                        [&] {
                            return renameIntoPlace(out.get(), marked, destinationW, temporaryName,
                                                   &deleteByName);
                        },
                        [&] { return isReplaceableFile(destinationW); });
    out.close();
    if (!ok && deleteByName) {
        retryWhileLocked([&] { return DeleteFileW(temporaryW.c_str()) != 0; }, [] { return true; });
    }
    return ok;
}

// One that another running copy still writes is open and cannot be deleted.
void FileCopy::removeLeftover(const QString &path)
{
    DeleteFileW(win32Path(path).c_str());
}
