#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/replace.h"

namespace quorvel::platform {

int ExchangeNames(const std::string& a, const std::string& b) {
    return ::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE);
}

int MoveReplacing(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str());
}

int MoveToNewName(const std::string& from, const std::string& to) {
    // A hard link fails when the name is taken, so no race with another writer can clobber a
    // file; the temporary name then goes.
    if (::link(from.c_str(), to.c_str()) == 0) return ::unlink(from.c_str());
    struct stat st {};
    if (errno == EEXIST || ::lstat(to.c_str(), &st) == 0) {
        errno = EEXIST;
        return -1;
    }
    // A file system without hard links: check and move, the best it allows.
    return ::rename(from.c_str(), to.c_str());
}

int RemoveFile(const std::string& path) {
    return ::unlink(path.c_str());
}

int RemoveFolder(const std::string& path) {
    return ::rmdir(path.c_str());
}

}  // namespace quorvel::platform
