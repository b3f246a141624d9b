#pragma once

#include <filesystem>
#include <string>

#include "platform/interrupts.h"

namespace quorvel {

// A file written under a temporary name in the target's folder and renamed over the target only
// by Commit(), so that a failed or interrupted run leaves the target as it was. The temporary
// file is removed when the object is destroyed uncommitted, and on SIGINT, SIGTERM, SIGHUP or
// SIGPIPE (on Windows Ctrl-C, Ctrl-Break and the console closed). Throws IoError when the temporary
// file cannot be created. A target that exists and is not a regular file (a device, a pipe), and
// /dev/stdout, /dev/fd/N and the like (the program's own descriptor, appending where it appends),
// are written directly when `allowDirect`, and refused otherwise. A regular file that its user may
// not write, or that has no write permission for anyone, is refused (IoError), as cp refuses it.
// Symbolic links are followed as open() follows them (see ResolveTarget). A replaced file keeps its
// mode, less any set-user or set-group ID, and its owner and group where the user may give them.
// Every file Quorvel writes whole is written through it.
class AtomicFile {
  public:
    explicit AtomicFile(const std::string& target, bool allowDirect = false);
    // A new file, never put over another: written beside `target` and put in place by
    // PublishNew, with the mode any new file of the user's gets.
    struct NewName {};
    AtomicFile(const std::string& target, NewName);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    int fd() const { return fd_; }
    const std::string& Target() const { return target_; }
    const std::string& TempPath() const { return tempPath_; }  // empty when written directly

    // Flushes to disk, closes and renames over the target (closes a direct one). Throws IoError.
    void Commit() {
        Finish();
        Publish();
        Settle();
    }
    // The steps of Commit, so that several files are all written before any is renamed, and
    // renamed all or none: Finish flushes and closes; Publish puts the file in place, keeping
    // the file it replaces (exchanged with the temporary name) until Settle drops it or Undo
    // puts it back (or removes a file that replaced none). Where the file system cannot
    // exchange two names, Publish renames and the replaced file is gone.
    void Finish();
    void Publish();
    void Settle();
    void Undo();

    // Finish for a file a library wrote at `written`, in the same file system: it takes the
    // temporary file's place, mode and owner. False, and nothing done, when there is no such file.
    bool FinishWith(const std::string& written);

    // Finishes the file of a NewName and gives it `path`, in the same folder, when no file has
    // that name; false, and the file kept for another name, when one has. Throws IoError.
    bool PublishNew(const std::string& path);

  private:
    void Create(const std::string& target, const std::filesystem::path& resolved, unsigned mode);
    void Discard();

    std::string target_;  // a symbolic link is followed, so the link stays a link
    std::string tempPath_;
    int fd_ = -1;
    int slot_ = -1;  // in the table the signal handler clears
    bool finished_ = false;
    bool published_ = false;
    bool exchanged_ = false;  // the replaced file is at tempPath_
    bool createdNew_ = false;
    bool committed_ = false;
    bool direct_ = false;
};

// A path that a library writes under a name of its own (a file, or an empty folder), removed as
// AtomicFile's temporary files are should a signal end the program while the object lives.
class RemovedOnSignal {
  public:
    explicit RemovedOnSignal(const std::string& path);
    ~RemovedOnSignal();
    RemovedOnSignal(const RemovedOnSignal&) = delete;
    RemovedOnSignal& operator=(const RemovedOnSignal&) = delete;

  private:
    int slot_ = -1;
};

// While one lives, SIGINT, SIGTERM, SIGHUP and SIGPIPE (Ctrl-C and the like on Windows) wait, in
// every thread, and come once the last is gone: files exchanged together are all settled or all
// put back before a signal removes the temporary files and ends the program, never half.
using SignalsDeferred = platform::InterruptsDeferred;

// Whether two paths name the same file, including paths to files that do not exist yet.
bool SamePath(const std::string& a, const std::string& b);

}  // namespace quorvel
