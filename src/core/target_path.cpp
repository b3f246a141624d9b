#include "core/target_path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "core/errors.h"
#include "core/messages.h"

namespace quorvel {
namespace {

namespace fs = std::filesystem;

constexpr int kMaxLinks = 40;  // the kernel's MAXSYMLINKS

IoError Refused(const std::string& target, int err) {
    return IoError(CannotWrite(target, std::strerror(err)), err);
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

WriteTarget ResolveTarget(const std::string& target) {
    fs::path p(target);
    for (int depth = 0;; ++depth) {
        if (const int fd = InheritedDescriptor(p); fd >= 0) return {p.string(), fd};
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
        if (depth == kMaxLinks) throw Refused(target, ELOOP);
        if (!MayFollow(p, st)) throw Refused(target, EACCES);
        std::error_code ec;
        const fs::path next = fs::read_symlink(p, ec);
        if (ec) throw Refused(target, ec.value());
        p = next.is_absolute() ? next : p.parent_path() / next;
    }
    // The kernel has the last word: a loop through the folders on the way, say.
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0 && (errno == ELOOP || errno == EACCES))
        throw Refused(target, errno);
    return {p.string(), -1};
}

std::string TemporaryName(const std::string& filename, const std::string& middle,
                          const std::string& ending, std::size_t nameMax) {
    const std::string tail = middle + "XXXXXX";
    std::string end = ending.size() <= 16 ? ending : std::string();
    const std::size_t fixed = 1 + tail.size() + end.size();
    std::size_t keep = filename.size();
    if (fixed + keep > nameMax) {
        keep = nameMax > fixed ? nameMax - fixed : 0;
        // Not cutting a UTF-8 character.
        while (keep > 0 && (static_cast<unsigned char>(filename[keep]) & 0xC0) == 0x80) --keep;
    }
    return "." + filename.substr(0, keep) + tail + end;
}

std::size_t NameMax(const std::string& folder) {
    const long max = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    return max > 0 ? static_cast<std::size_t>(max) : NAME_MAX;
}

}  // namespace quorvel
