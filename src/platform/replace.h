#pragma once

#include <string>

// Names put over others all at once: at no moment is an old file gone and its new one not yet in
// place. 0 on success, else −1 with errno.
namespace quorvel::platform {

// `a` and `b` swap names; ENOENT when `b` does not exist, EINVAL or ENOSYS where the file system
// cannot exchange (the caller then moves instead, and the old file is gone).
int ExchangeNames(const std::string& a, const std::string& b);
// `from` takes the name `to`, replacing the file there.
int MoveReplacing(const std::string& from, const std::string& to);
// `from` takes the name `to` only when no file has it (EEXIST otherwise).
int MoveToNewName(const std::string& from, const std::string& to);
int RemoveFile(const std::string& path);
int RemoveFolder(const std::string& path);

}  // namespace quorvel::platform
