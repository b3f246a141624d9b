#pragma once

#include <string>

namespace quorvel::cli {

// A file written under a temporary name in the target's folder and renamed over the target only
// by Commit(), so that a failed or interrupted run leaves the target as it was. The temporary
// file is removed when the object is destroyed uncommitted, and on SIGINT, SIGTERM, SIGHUP or
// SIGPIPE. Throws IoError when the temporary file cannot be created.
class AtomicFile {
  public:
    explicit AtomicFile(const std::string& target);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    int fd() const { return fd_; }
    const std::string& TempPath() const { return tempPath_; }
    const std::string& Target() const { return target_; }

    // Flushes to disk, closes and renames over the target. Throws IoError.
    void Commit();

  private:
    void Discard();

    std::string target_;  // a symbolic link is followed, so the link stays a link
    std::string tempPath_;
    int fd_ = -1;
    int slot_ = -1;  // in the table the signal handler clears
    bool committed_ = false;
};

// Whether two paths name the same file, including paths to files that do not exist yet.
bool SamePath(const std::string& a, const std::string& b);

}  // namespace quorvel::cli
