#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Files by descriptor, named by UTF-8 paths, on both systems. Failures return −1 (or false) with
// errno set as POSIX sets it, so that callers word them with std::strerror as they always have.
// Every file is binary: no system translates line ends behind Quorvel's back.
namespace quorvel::platform {

enum class FileKind { Regular, Folder, Other };

struct FileInfo {
    FileKind kind = FileKind::Other;
    // The file's identity: device and inode, or a Windows volume's serial and the file's index.
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // seconds since 1970
    unsigned mode = 0;          // permission bits; on Windows 0666, or 0444 for a read-only file
    unsigned owner = 0;
    unsigned group = 0;
};

int OpenToRead(const std::string& path);
// An existing file or device, written where it stands (no temporary name).
int OpenToWrite(const std::string& path);
// A new descriptor for the same open file, above the standard streams.
int Duplicate(int fd);
// A file in `folder` that nobody else can open and that is gone once closed.
int OpenTemporary(const std::string& folder);
// `name` ends in "XXXXXX" and `suffixLength` more bytes: the X become a name no file has, and
// that file is created and opened, readable and writable by its user alone (mkstemps).
int CreateUnique(std::string& name, std::size_t suffixLength);
// The same for a folder (mkdtemp); 0 on success.
int CreateUniqueFolder(std::string& name);

long ReadSome(int fd, void* buffer, std::size_t size);  // 0 at the end; interruptions retried
long WriteSome(int fd, const void* data, std::size_t size);
int CloseFile(int fd);
// Written data on disk. A descriptor that cannot be flushed (a pipe, a device) is no failure.
int SyncFile(int fd);
// Starts writing back `size` bytes from `offset` to disk: a hint, where the system takes one.
void StartWriteback(int fd, std::uint64_t offset, std::uint64_t size);
int SeekToStart(int fd);

bool InfoOf(int fd, FileInfo& info);
bool InfoAt(const std::string& path, FileInfo& info);  // links followed
// The entry itself: a symbolic link (or a Windows reparse point) is of kind Other.
bool EntryInfoAt(const std::string& path, FileInfo& info);
// Whether the user running the program owns it (always, on Windows).
bool OwnedByUser(const FileInfo& info);
// The same file on disk (two names, a link, the same name twice): regular files only.
bool SameFile(const FileInfo& a, const FileInfo& b);
// Whether the user may write the existing file `path` (false with errno when not).
bool MayWrite(const std::string& path);
// The mode a new file of the user's gets: 0666 less the umask.
unsigned NewFileMode();
int SetMode(int fd, unsigned mode);
// The file of `fd` gets the owner and group `of` has, where the user may give them (cp -p).
void KeepOwner(int fd, const FileInfo& of);
// The longest file name, in bytes, that `folder` takes.
std::size_t NameMax(const std::string& folder);

long ProcessId();
// Whether no process has the id `pid` any more.
bool ProcessGone(long pid);

}  // namespace quorvel::platform

namespace quorvel::platform {

// `target` with its symbolic links followed as open() follows them, into `resolved`; into
// `inherited` the descriptor N that /dev/stdout, /dev/stderr, /dev/fd/N or /proc/self/fd/N
// (also through a link) stand for, else −1 (always on Windows, which has no such names). Returns
// 0, or the errno open() would fail with: ELOOP for a loop, EACCES for a link the kernel's
// fs.protected_symlinks stops (whether that setting is on or not).
int FollowLinks(const std::string& target, std::string& resolved, int& inherited);

}  // namespace quorvel::platform
