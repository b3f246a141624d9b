#include "engine/writers/stage_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <vector>

#include "core/errors.h"
#include "core/messages.h"
#include "core/target_path.h"

namespace quorvel::engine {
namespace {

namespace fs = std::filesystem;

constexpr std::time_t kStaleAge = 24 * 60 * 60;

// The process id in a name ".NAME.PID.XXXXXX", or 0 for a name not made so.
pid_t StagePid(const std::string& name) {
    if (name.size() < 10 || name[0] != '.') return 0;
    const std::size_t end = name.size() - 7;
    if (name[end] != '.') return 0;
    for (std::size_t i = end + 1; i < name.size(); ++i) {
        if (!std::isalnum(static_cast<unsigned char>(name[i]))) return 0;
    }
    const std::size_t dot = name.rfind('.', end - 1);
    if (dot == std::string::npos || dot == 0 || dot + 1 == end || end - dot > 10) return 0;
    const std::string digits = name.substr(dot + 1, end - dot - 1);
    if (digits.find_first_not_of("0123456789") != std::string::npos) return 0;
    return static_cast<pid_t>(std::stol(digits));
}

bool Stale(pid_t pid, const struct stat& st) {
    if (pid == ::getpid()) return false;
    if (::kill(pid, 0) != 0 && errno == ESRCH) return true;
    return st.st_mtime + kStaleAge < std::time(nullptr);
}

// Removes the folder `name` of `parent` when it holds regular files named points.* alone.
void RemoveStage(int parent, const std::string& name) {
    const int fd = ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        ::close(fd);
        return;
    }
    std::vector<std::string> files;
    bool ours = true;
    while (const dirent* e = ::readdir(dir)) {
        const std::string file = e->d_name;
        if (file == "." || file == "..") continue;
        struct stat st {};
        ours = ours && file.rfind("points.", 0) == 0 &&
               ::fstatat(fd, file.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode);
        files.push_back(file);
    }
    if (ours) {
        for (const std::string& file : files) ::unlinkat(fd, file.c_str(), 0);
        ::unlinkat(parent, name.c_str(), AT_REMOVEDIR);
    }
    ::closedir(dir);
}

void RemoveStaleStages(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        ::close(fd);
        return;
    }
    std::vector<std::string> stale;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        const pid_t pid = StagePid(name);
        struct stat st {};
        if (pid <= 0 || ::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && Stale(pid, st))
            stale.push_back(name);
    }
    for (const std::string& name : stale) RemoveStage(fd, name);
    ::closedir(dir);
}

}  // namespace

std::string MakeStageFolder(const std::string& resolved, const std::string& shown) {
    const fs::path file(resolved);
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    RemoveStaleStages(folder);
    const std::string middle = "." + std::to_string(::getpid()) + ".";
    std::string pattern =
        (folder / TemporaryName(file.filename().string(), middle, "", NameMax(folder.string())))
            .string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        const int err = errno;
        throw IoError(CannotWrite(shown, std::strerror(err)), err);
    }
    return pattern;
}

}  // namespace quorvel::engine
