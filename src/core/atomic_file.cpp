#include "core/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include "core/errors.h"
#include "core/messages.h"
#include "core/target_path.h"

namespace quorvel {
namespace {

namespace fs = std::filesystem;

// Temporary files (and folders) the signal handler removes. Fixed storage: a handler may not
// allocate.
constexpr int kSlots = 16;
constexpr std::size_t kPathMax = 4096;
char gPaths[kSlots][kPathMax];
volatile std::sig_atomic_t gUsed[kSlots];
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
// The number of SignalsDeferred alive, or −1 once the handler has begun to clean up; and a
// signal that came meanwhile.
std::atomic<int> gPublishing{0};
std::atomic<int> gDeferred{0};
static_assert(std::atomic<int>::is_always_lock_free, "used by a signal handler");

extern "C" void RemoveTempFilesAndDie(int sig) {
    int idle = 0;
    if (!gPublishing.compare_exchange_strong(idle, -1)) {
        if (idle > 0) {  // files are being exchanged (in another thread): after that
            gDeferred.store(sig);
            return;
        }
        for (;;) ::pause();  // another thread cleans up and ends the program
    }
    for (int i = 0; i < kSlots; ++i) {
        if (gUsed[i]) ::unlink(gPaths[i]);
    }
    for (int i = 0; i < kSlots; ++i) {  // folders, once the files in them are gone
        if (gUsed[i]) ::rmdir(gPaths[i]);
    }
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

void BlockSignals(sigset_t& old) {
    sigset_t block;
    sigemptyset(&block);
    for (int sig : kSignals) sigaddset(&block, sig);
    pthread_sigmask(SIG_BLOCK, &block, &old);
}

void InstallHandlersOnce() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    for (int sig : kSignals) {
        struct sigaction current {};
        sigaction(sig, nullptr, &current);
        if (current.sa_handler == SIG_IGN) continue;  // e.g. started with nohup
        struct sigaction action {};
        action.sa_handler = RemoveTempFilesAndDie;
        sigemptyset(&action.sa_mask);
        for (int other : kSignals) sigaddset(&action.sa_mask, other);
        sigaction(sig, &action, nullptr);
    }
}

int Register(const std::string& path) {
    if (path.size() >= kPathMax) return -1;
    for (int i = 0; i < kSlots; ++i) {
        if (!gUsed[i]) {
            std::memcpy(gPaths[i], path.c_str(), path.size() + 1);
            gUsed[i] = 1;
            return i;
        }
    }
    return -1;
}

void Unregister(int slot) {
    if (slot >= 0) gUsed[slot] = 0;
}

// `name` failed to be written or replaced, for the reason the last system call gave.
IoError WriteFailure(const std::string& name) {
    const int err = errno;
    return IoError(CannotWrite(name, std::strerror(err)), err);
}
IoError CannotReplace(const std::string& name) {
    const int err = errno;
    return IoError(Fill(Tr("cannot replace {0}: {1}"), {name, std::strerror(err)}), err);
}

// The umask, read without setting it, which would change it for a moment for every thread.
mode_t CurrentUmask() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
    }
    return 077;  // unknown: keep the file private
}

// The file of `fd` gets the owner and group of the file it replaces, where the user may give it
// them (root; a user a group of theirs), as cp -p does.
void KeepOwner(int fd, uid_t uid, gid_t gid) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || (st.st_uid == uid && st.st_gid == gid)) return;
    if (::fchown(fd, uid, gid) == 0) return;
    if (::fchown(fd, static_cast<uid_t>(-1), gid) == 0) return;
    // Neither: the file is the user's, in the user's group, as a copy of theirs would be.
}

// The file a path leads to once symbolic links are followed; for a path that does not exist
// yet, the path itself.
fs::path Resolve(const std::string& target) {
    std::error_code ec;
    fs::path p(target);
    for (int depth = 0; depth < 40 && fs::is_symlink(fs::symlink_status(p, ec)); ++depth) {
        fs::path next = fs::read_symlink(p, ec);
        if (ec) break;
        p = next.is_absolute() ? next : p.parent_path() / next;
    }
    return p;
}

}  // namespace

AtomicFile::AtomicFile(const std::string& target, bool allowDirect) {
    const WriteTarget where = ResolveTarget(target);
    const fs::path resolved = where.path;
    target_ = where.path;
    struct stat st {};
    const bool exists = where.inheritedFd < 0 && ::stat(target_.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) throw IoError(Fill(Tr("{0} is a folder"), {target}), EISDIR);
    if (where.inheritedFd >= 0 || (exists && !S_ISREG(st.st_mode))) {
        // A device or a pipe (/dev/null) is written as it is: renaming a file over it would
        // replace the device itself; /dev/stdout is the descriptor the program was given.
        if (!allowDirect) throw IoError(Fill(Tr("{0} is not a regular file"), {target}), ENOTSUP);
        fd_ = where.inheritedFd >= 0 ? ::fcntl(where.inheritedFd, F_DUPFD_CLOEXEC, 3)
                                     : ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd_ < 0) throw WriteFailure(target);
        direct_ = true;
        return;
    }
    // Renaming over a file needs only the folder's permission: refuse, as cp does, a file its
    // user may not write, and a file nobody may write even when root runs this.
    if (exists && (st.st_mode & 0222) == 0) {
        throw IoError(CannotWrite(target, Tr("the file is read-only")), EACCES);
    }
    if (exists && ::access(target_.c_str(), W_OK) != 0) throw WriteFailure(target);
    // Keep the mode of the file being replaced, never its set-user and set-group ID, which would
    // make a program of what may be any data; a new file gets the usual 0666 less the umask
    // (mkstemp makes it 0600).
    Create(target, resolved, exists ? st.st_mode & 01777 : 0666 & ~CurrentUmask());
    if (exists) KeepOwner(fd_, st.st_uid, st.st_gid);
}

AtomicFile::AtomicFile(const std::string& target, NewName) {
    target_ = target;
    Create(target, target, 0666 & ~CurrentUmask());
}

void AtomicFile::Create(const std::string& target, const fs::path& resolved, mode_t mode) {
    const fs::path dir = resolved.has_parent_path() ? resolved.parent_path() : fs::path(".");
    std::string ext = resolved.extension().string();
    const std::string base =
        TemporaryName(resolved.filename().string(), ".", ext, NameMax(dir.string()));
    if (!base.ends_with(ext)) ext.clear();
    const std::string pattern = (dir / base).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');

    InstallHandlersOnce();
    // Signals wait until the temporary name is in the table, so none is left behind.
    sigset_t old;
    BlockSignals(old);
    fd_ = ::mkstemps(name.data(), static_cast<int>(ext.size()));
    const int mkErrno = errno;
    if (fd_ >= 0) {
        tempPath_ = name.data();
        slot_ = Register(tempPath_);
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    if (fd_ < 0) {
        errno = mkErrno;
        throw WriteFailure(target);
    }
    if (::fchmod(fd_, mode) != 0) {
        const IoError error = WriteFailure(target);
        Discard();
        throw error;
    }
}

AtomicFile::~AtomicFile() {
    if (!committed_) Discard();
}

void AtomicFile::Discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!tempPath_.empty()) ::unlink(tempPath_.c_str());
    Unregister(slot_);
    slot_ = -1;
}

void AtomicFile::Finish() {
    if (finished_) return;
    const int fd = fd_;
    fd_ = -1;
    finished_ = true;
    if (direct_) {
        committed_ = true;
        if (::close(fd) != 0) throw WriteFailure(target_);
        return;
    }
    if (::fsync(fd) != 0 && errno != EINVAL) {
        const IoError error = WriteFailure(target_);
        ::close(fd);
        throw error;
    }
    if (::close(fd) != 0) throw WriteFailure(target_);
}

void AtomicFile::Publish() {
    Finish();
    if (committed_ || published_) return;
    if (::renameat2(AT_FDCWD, tempPath_.c_str(), AT_FDCWD, target_.c_str(), RENAME_EXCHANGE) == 0) {
        exchanged_ = true;
    } else {
        const bool noTarget = errno == ENOENT;
        if (::rename(tempPath_.c_str(), target_.c_str()) != 0) {
            throw CannotReplace(target_);
        }
        createdNew_ = noTarget;
        Unregister(slot_);
        slot_ = -1;
    }
    published_ = true;
}

void AtomicFile::Settle() {
    Publish();
    if (committed_) return;
    if (exchanged_) ::unlink(tempPath_.c_str());  // the file replaced
    committed_ = true;
    Unregister(slot_);
    slot_ = -1;
}

void AtomicFile::Undo() {
    if (!published_ || committed_) return;
    if (exchanged_) {
        if (::renameat2(AT_FDCWD, tempPath_.c_str(), AT_FDCWD, target_.c_str(), RENAME_EXCHANGE) ==
            0) {
            ::unlink(tempPath_.c_str());  // the new file, back under the temporary name
        }
    } else if (createdNew_) {
        ::unlink(target_.c_str());
    }
    committed_ = true;
    Unregister(slot_);
    slot_ = -1;
}

bool AtomicFile::FinishWith(const std::string& written) {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) throw WriteFailure(target_);
    if (::rename(written.c_str(), tempPath_.c_str()) != 0) {
        if (errno == ENOENT) return false;
        throw WriteFailure(target_);
    }
    // The file takes the place of the empty temporary one, with its owner and mode.
    const int fd = ::open(tempPath_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw WriteFailure(target_);
    KeepOwner(fd, st.st_uid, st.st_gid);
    if (::fchmod(fd, st.st_mode & 07777) != 0) {
        const IoError error = WriteFailure(target_);
        ::close(fd);
        throw error;
    }
    ::close(fd_);
    fd_ = fd;
    Finish();
    return true;
}

bool AtomicFile::PublishNew(const std::string& path) {
    Finish();
    // A hard link fails when the name is taken, so no race with another writer can clobber a
    // file; the temporary name then goes.
    if (::link(tempPath_.c_str(), path.c_str()) == 0) {
        ::unlink(tempPath_.c_str());
    } else {
        struct stat st {};
        if (errno == EEXIST || ::lstat(path.c_str(), &st) == 0) return false;
        // A file system without hard links: check and move, the best it allows.
        if (::rename(tempPath_.c_str(), path.c_str()) != 0) throw WriteFailure(path);
    }
    target_ = path;
    committed_ = true;
    Unregister(slot_);
    slot_ = -1;
    return true;
}

RemovedOnSignal::RemovedOnSignal(const std::string& path) {
    InstallHandlersOnce();
    sigset_t old;
    BlockSignals(old);
    slot_ = Register(path);
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

RemovedOnSignal::~RemovedOnSignal() {
    Unregister(slot_);
}

SignalsDeferred::SignalsDeferred() {
    InstallHandlersOnce();
    BlockSignals(old_);
    int n = gPublishing.load();
    do {
        if (n < 0) {  // a signal is ending the program
            for (;;) ::pause();
        }
    } while (!gPublishing.compare_exchange_weak(n, n + 1));
}

SignalsDeferred::~SignalsDeferred() {
    const bool last = gPublishing.fetch_sub(1) == 1;
    pthread_sigmask(SIG_SETMASK, &old_, nullptr);  // a signal to this thread comes now
    const int deferred = last ? gDeferred.exchange(0) : 0;
    if (deferred != 0) std::raise(deferred);
}

bool SamePath(const std::string& a, const std::string& b) {
    std::error_code ec1, ec2;
    const fs::path pa = fs::weakly_canonical(fs::absolute(Resolve(a)), ec1);
    const fs::path pb = fs::weakly_canonical(fs::absolute(Resolve(b)), ec2);
    if (ec1 || ec2) return Resolve(a) == Resolve(b);
    return pa == pb;
}

}  // namespace quorvel
