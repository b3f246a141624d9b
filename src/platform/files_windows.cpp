#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <random>

#include "platform/files.h"
#include "platform/wide_text.h"
#include "platform/windows_errors.h"

namespace quorvel::platform {
namespace {

constexpr char kNameChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

// A descriptor over a handle CreateFileW opened; the handle is the descriptor's from then on.
int Descriptor(HANDLE handle, int flags) {
    if (handle == INVALID_HANDLE_VALUE) {
        SetErrnoFromLastError();
        return -1;
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), flags | _O_BINARY);
    if (fd < 0) ::CloseHandle(handle);
    return fd;
}

// Others may read, write, rename and delete it meanwhile, as on POSIX: the temporary files
// an interruption removes are still open then.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE OpenHandle(const std::string& path, DWORD access, DWORD creation, DWORD flags) {
    return ::CreateFileW(WideFromUtf8(path).c_str(), access, kShareAll, nullptr, creation,
                         flags | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The X that end `name` before its last `suffixLength` bytes, each replaced at random.
bool Randomize(std::string& name, std::size_t suffixLength) {
    static thread_local std::mt19937_64 random{std::random_device{}() ^
                                               static_cast<std::uint64_t>(::GetTickCount64())};
    if (name.size() < 6 + suffixLength) return false;
    const std::size_t end = name.size() - suffixLength;
    if (name.compare(end - 6, 6, "XXXXXX") != 0) return false;
    for (std::size_t i = end - 6; i < end; ++i) name[i] = kNameChars[random() % 62];
    return true;
}

bool InfoOfHandle(HANDLE handle, FileInfo& info) {
    BY_HANDLE_FILE_INFORMATION data{};
    if (!::GetFileInformationByHandle(handle, &data)) {
        SetErrnoFromLastError();
        return false;
    }
    const DWORD type = ::GetFileType(handle);
    info.kind = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? FileKind::Folder
                : type == FILE_TYPE_DISK                           ? FileKind::Regular
                                                                   : FileKind::Other;
    info.volume = data.dwVolumeSerialNumber;
    info.index = (static_cast<std::uint64_t>(data.nFileIndexHigh) << 32) | data.nFileIndexLow;
    info.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
        data.ftLastWriteTime.dwLowDateTime;
    info.modified = static_cast<std::int64_t>(ticks / 10000000) - 11644473600LL;
    info.mode = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
    return true;
}

}  // namespace

int OpenToRead(const std::string& path) {
    return Descriptor(OpenHandle(path, GENERIC_READ, OPEN_EXISTING, 0), _O_RDONLY);
}

int OpenToWrite(const std::string& path) {
    return Descriptor(OpenHandle(path, GENERIC_WRITE, OPEN_EXISTING, 0), 0);
}

int Duplicate(int fd) {
    return ::_dup(fd);
}

int OpenTemporary(const std::string& folder) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = folder + "/.quorvel-report-XXXXXX";
        Randomize(name, 0);
        const HANDLE handle = ::CreateFileW(
            WideFromUtf8(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
            FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (handle != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS)
            return Descriptor(handle, 0);
    }
    errno = EEXIST;
    return -1;
}

int CreateUnique(std::string& name, std::size_t suffixLength) {
    const std::string pattern = name;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = pattern;
        if (!Randomize(name, suffixLength)) {
            errno = EINVAL;
            return -1;
        }
        const HANDLE handle = OpenHandle(name, GENERIC_READ | GENERIC_WRITE, CREATE_NEW, 0);
        if (handle != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS)
            return Descriptor(handle, 0);
    }
    errno = EEXIST;
    return -1;
}

int CreateUniqueFolder(std::string& name) {
    const std::string pattern = name;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = pattern;
        if (!Randomize(name, 0)) {
            errno = EINVAL;
            return -1;
        }
        if (::CreateDirectoryW(WideFromUtf8(name).c_str(), nullptr)) return 0;
        if (::GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    SetErrnoFromLastError();
    return -1;
}

long ReadSome(int fd, void* buffer, std::size_t size) {
    const unsigned n = size > (1u << 30) ? (1u << 30) : static_cast<unsigned>(size);
    return ::_read(fd, buffer, n);
}

long WriteSome(int fd, const void* data, std::size_t size) {
    const unsigned n = size > (1u << 30) ? (1u << 30) : static_cast<unsigned>(size);
    return ::_write(fd, data, n);
}

int CloseFile(int fd) {
    return ::_close(fd);
}

int SyncFile(int fd) {
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    if (::GetFileType(handle) != FILE_TYPE_DISK) return 0;  // a console or a pipe
    if (::FlushFileBuffers(handle)) return 0;
    SetErrnoFromLastError();
    return -1;
}

void StartWriteback(int, std::uint64_t, std::uint64_t) {}

int SeekToStart(int fd) {
    return ::_lseeki64(fd, 0, SEEK_SET) == 0 ? 0 : -1;
}

bool InfoOf(int fd, FileInfo& info) {
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE) {
        errno = EBADF;
        return false;
    }
    if (::GetFileType(handle) != FILE_TYPE_DISK) {  // a console or a pipe has no identity
        info = FileInfo{};
        return true;
    }
    return InfoOfHandle(handle, info);
}

bool InfoAt(const std::string& path, FileInfo& info) {
    const HANDLE handle = OpenHandle(path, 0, OPEN_EXISTING, 0);
    if (handle == INVALID_HANDLE_VALUE) {
        SetErrnoFromLastError();
        return false;
    }
    const bool ok = InfoOfHandle(handle, info);
    ::CloseHandle(handle);
    return ok;
}

bool EntryInfoAt(const std::string& path, FileInfo& info) {
    const HANDLE handle = OpenHandle(path, 0, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT);
    if (handle == INVALID_HANDLE_VALUE) {
        SetErrnoFromLastError();
        return false;
    }
    const bool ok = InfoOfHandle(handle, info);
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (ok && ::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) &&
        (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        info.kind = FileKind::Other;
    ::CloseHandle(handle);
    return ok;
}

bool OwnedByUser(const FileInfo&) {
    return true;
}

bool SameFile(const FileInfo& a, const FileInfo& b) {
    return a.kind == FileKind::Regular && b.kind == FileKind::Regular && a.volume == b.volume &&
           a.index == b.index;
}

bool MayWrite(const std::string& path) {
    const HANDLE handle = OpenHandle(path, GENERIC_WRITE, OPEN_EXISTING, 0);
    if (handle == INVALID_HANDLE_VALUE) {
        SetErrnoFromLastError();
        return false;
    }
    ::CloseHandle(handle);
    return true;
}

unsigned NewFileMode() {
    return 0666;
}

int SetMode(int, unsigned) {
    return 0;  // a new file gets its folder's permissions; a replaced one keeps its own
}

void KeepOwner(int, const FileInfo&) {}

std::size_t NameMax(const std::string&) {
    // 255 UTF-16 units, counted as bytes (which only ever shortens a name more), less the "~"
    // of the second name ExchangeNames gives the old file.
    return 254;
}

long ProcessId() {
    return static_cast<long>(::GetCurrentProcessId());
}

bool ProcessGone(long pid) {
    const HANDLE process = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                         static_cast<DWORD>(pid));
    if (process == nullptr) return ::GetLastError() == ERROR_INVALID_PARAMETER;
    const bool ended = ::WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    ::CloseHandle(process);
    return ended;
}

int FollowLinks(const std::string& target, std::string& resolved, int& inherited) {
    resolved = target;
    inherited = -1;
    return 0;
}

}  // namespace quorvel::platform
