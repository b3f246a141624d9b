#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/files.h"

namespace quorvel::platform {
namespace {

namespace fs = std::filesystem;

constexpr int kMaxLinks = 40;  // the kernel's MAXSYMLINKS

FileInfo Info(const struct stat& st) {
    FileInfo info;
    info.kind = S_ISREG(st.st_mode)   ? FileKind::Regular
                : S_ISDIR(st.st_mode) ? FileKind::Folder
                                      : FileKind::Other;
    info.volume = static_cast<std::uint64_t>(st.st_dev);
    info.index = static_cast<std::uint64_t>(st.st_ino);
    info.size = static_cast<std::uint64_t>(st.st_size);
    info.modified = static_cast<std::int64_t>(st.st_mtime);
    info.mode = static_cast<unsigned>(st.st_mode & 07777);
    info.owner = static_cast<unsigned>(st.st_uid);
    info.group = static_cast<unsigned>(st.st_gid);
    return info;
}

// N of /dev/fd/N, /proc/self/fd/N or /proc/<own pid>/fd/N, 0–2 of /dev/stdin, stdout, stderr;
// else −1.
int InheritedDescriptor(const fs::path& path) {
    std::error_code ec;
    const std::string p = fs::absolute(path, ec).lexically_normal().string();
    if (p == "/dev/stdin") return 0;
    if (p == "/dev/stdout") return 1;
    if (p == "/dev/stderr") return 2;
    const std::string own = "/proc/" + std::to_string(::getpid()) + "/fd/";
    for (const std::string& folder : {std::string("/dev/fd/"), std::string("/proc/self/fd/"),
                                      std::string("/proc/thread-self/fd/"), own}) {
        if (p.rfind(folder, 0) != 0) continue;
        const std::string n = p.substr(folder.size());
        if (n.empty() || n.size() > 9 || n.find_first_not_of("0123456789") != std::string::npos)
            return -1;
        return std::stoi(n);
    }
    return -1;
}

// Whether the kernel follows the link `link` (lstat'ed as `st`) for this user with
// fs.protected_symlinks on, as Linux distributions set it; kept to whatever the setting, so that
// no one can lead a run of root's through a shared folder such as /tmp to another file.
bool MayFollow(const fs::path& link, const struct stat& st) {
    if (st.st_uid == ::geteuid()) return true;
    const fs::path folder = link.has_parent_path() ? link.parent_path() : fs::path(".");
    struct stat dir {};
    if (::stat(folder.c_str(), &dir) != 0) return true;
    const bool stickyShared = (dir.st_mode & S_ISVTX) != 0 && (dir.st_mode & S_IWOTH) != 0;
    return !stickyShared || dir.st_uid == st.st_uid;
}

}  // namespace

int OpenToRead(const std::string& path) {
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

int OpenToWrite(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
}

int Duplicate(int fd) {
    return ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
}

int OpenTemporary(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
    // A file system without unnamed files: a named one, unlinked at once.
    std::string name = folder + "/.quorvel-report-XXXXXX";
    const int named = ::mkostemp(name.data(), O_CLOEXEC);
    if (named >= 0) ::unlink(name.c_str());
    return named;
}

int CreateUnique(std::string& name, std::size_t suffixLength) {
    return ::mkstemps(name.data(), static_cast<int>(suffixLength));
}

int CreateUniqueFolder(std::string& name) {
    return ::mkdtemp(name.data()) == nullptr ? -1 : 0;
}

long ReadSome(int fd, void* buffer, std::size_t size) {
    for (;;) {
        const ssize_t got = ::read(fd, buffer, size);
        if (got >= 0 || errno != EINTR) return static_cast<long>(got);
    }
}

long WriteSome(int fd, const void* data, std::size_t size) {
    for (;;) {
        const ssize_t put = ::write(fd, data, size);
        if (put >= 0 || errno != EINTR) return static_cast<long>(put);
    }
}

int CloseFile(int fd) {
    return ::close(fd);
}

int SyncFile(int fd) {
    return ::fsync(fd) != 0 && errno != EINVAL ? -1 : 0;
}

void StartWriteback(int fd, std::uint64_t offset, std::uint64_t size) {
    ::sync_file_range(fd, static_cast<off64_t>(offset), static_cast<off64_t>(size),
                      SYNC_FILE_RANGE_WRITE);
}

int SeekToStart(int fd) {
    return ::lseek(fd, 0, SEEK_SET) == 0 ? 0 : -1;
}

bool InfoOf(int fd, FileInfo& info) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return false;
    info = Info(st);
    return true;
}

bool InfoAt(const std::string& path, FileInfo& info) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    info = Info(st);
    return true;
}

bool EntryInfoAt(const std::string& path, FileInfo& info) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return false;
    info = Info(st);
    return true;
}

bool OwnedByUser(const FileInfo& info) {
    return info.owner == static_cast<unsigned>(::geteuid());
}

bool SameFile(const FileInfo& a, const FileInfo& b) {
    return a.kind == FileKind::Regular && b.kind == FileKind::Regular && a.volume == b.volume &&
           a.index == b.index;
}

bool MayWrite(const std::string& path) {
    return ::access(path.c_str(), W_OK) == 0;
}

unsigned NewFileMode() {
    // The umask, read without setting it, which would change it for a moment for every thread.
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("Umask:", 0) == 0)
            return 0666 & ~static_cast<unsigned>(std::stoul(line.substr(6), nullptr, 8));
    }
    return 0600;  // unknown: keep the file private
}

int SetMode(int fd, unsigned mode) {
    return ::fchmod(fd, static_cast<mode_t>(mode));
}

void KeepOwner(int fd, const FileInfo& of) {
    struct stat st {};
    const auto uid = static_cast<uid_t>(of.owner);
    const auto gid = static_cast<gid_t>(of.group);
    if (::fstat(fd, &st) != 0 || (st.st_uid == uid && st.st_gid == gid)) return;
    if (::fchown(fd, uid, gid) == 0) return;
    if (::fchown(fd, static_cast<uid_t>(-1), gid) == 0) return;
    // Neither: the file is the user's, in the user's group, as a copy of theirs would be.
}

std::size_t NameMax(const std::string& folder) {
    const long max = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    return max > 0 ? static_cast<std::size_t>(max) : NAME_MAX;
}

long ProcessId() {
    return static_cast<long>(::getpid());
}

bool ProcessGone(long pid) {
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

int FollowLinks(const std::string& target, std::string& resolved, int& inherited) {
    fs::path p(target);
    inherited = -1;
    for (int depth = 0;; ++depth) {
        if (const int fd = InheritedDescriptor(p); fd >= 0) {
            resolved = p.string();
            inherited = fd;
            return 0;
        }
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
        if (depth == kMaxLinks) return ELOOP;
        if (!MayFollow(p, st)) return EACCES;
        std::error_code ec;
        const fs::path next = fs::read_symlink(p, ec);
        if (ec) return ec.value();
        p = next.is_absolute() ? next : p.parent_path() / next;
    }
    // The kernel has the last word: a loop through the folders on the way, say.
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0 && (errno == ELOOP || errno == EACCES)) return errno;
    resolved = p.string();
    return 0;
}

}  // namespace quorvel::platform
