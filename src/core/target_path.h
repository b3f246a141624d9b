#pragma once

#include <string>

namespace quorvel {

// Where a file named by the user is written.
struct WriteTarget {
    // The file to replace, its symbolic links followed as open() would follow them (the path
    // itself when it names no link).
    std::string path;
    // /dev/stdout, /dev/stderr, /dev/fd/N or /proc/self/fd/N, also through a link: the program's
    // descriptor N, written as it is (appending where it appends), never replaced; else −1.
    int inheritedFd = -1;
};

// Throws IoError naming `target`: ELOOP for a link loop; EACCES for a link that the kernel's
// fs.protected_symlinks stops open() following (one in a sticky folder that anyone may write,
// owned neither by the folder's owner nor by the user), whether that setting is on or not.
WriteTarget ResolveTarget(const std::string& target);

// The name of a temporary file or folder beside `filename`, for mkstemps or mkdtemp: "." and
// the name, `middle`, "XXXXXX" and `ending`, the name shortened so that the whole is no longer
// than `nameMax` bytes, so that any name the file system takes can be replaced.
std::string TemporaryName(const std::string& filename, const std::string& middle,
                          const std::string& ending, std::size_t nameMax);

// The longest file name the folder `folder` takes.
std::size_t NameMax(const std::string& folder);

}  // namespace quorvel
