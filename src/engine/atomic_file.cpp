#include "engine/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "core/messages.h"
#include "engine/text_io.h"

namespace quorvel::engine {
namespace {

namespace fs = std::filesystem;

// Temporary files (and folders) the signal handler removes. Fixed storage: a handler may not
// allocate.
constexpr int kSlots = 16;
constexpr std::size_t kPathMax = 4096;
char gPaths[kSlots][kPathMax];
volatile std::sig_atomic_t gUsed[kSlots];
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

extern "C" void RemoveTempFilesAndDie(int sig) {
    for (int i = 0; i < kSlots; ++i) {
        if (gUsed[i]) ::unlink(gPaths[i]);
    }
    for (int i = 0; i < kSlots; ++i) {  // folders, once the files in them are gone
        if (gUsed[i]) ::rmdir(gPaths[i]);
    }
    std::signal(sig, SIG_DFL);
    std::raise(sig);
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

std::string ErrnoText() {
    return std::strerror(errno);
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
    const fs::path resolved = Resolve(target);
    target_ = resolved.string();
    struct stat st {};
    const bool exists = ::stat(target_.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) throw IoError(Fill(Tr("{0} is a folder"), {target}));
    if (exists && !S_ISREG(st.st_mode)) {
        // A device or a pipe (/dev/null, /dev/stdout) is written as it is: renaming a file over
        // it would replace the device itself.
        if (!allowDirect) throw IoError(Fill(Tr("{0} is not a regular file"), {target}));
        fd_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd_ < 0) throw IoError(Fill(Tr("cannot write {0}: {1}"), {target, ErrnoText()}));
        direct_ = true;
        return;
    }

    // Renaming over a file needs only the folder's permission: refuse, as cp does, a file its
    // user may not write, and a file nobody may write even when root runs this.
    if (exists && (st.st_mode & 0222) == 0) {
        throw IoError("cannot write " + target + ": the file is read-only");
    }
    if (exists && ::access(target_.c_str(), W_OK) != 0) {
        throw IoError("cannot write " + target + ": " + ErrnoText());
    }

    const fs::path dir = resolved.has_parent_path() ? resolved.parent_path() : fs::path(".");
    const std::string ext = resolved.extension().string();
    std::string pattern = (dir / ("." + resolved.filename().string() + ".XXXXXX")).string() + ext;
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');

    InstallHandlersOnce();
    // Signals wait until the temporary name is in the table, so none is left behind.
    sigset_t block, old;
    sigemptyset(&block);
    for (int sig : kSignals) sigaddset(&block, sig);
    sigprocmask(SIG_BLOCK, &block, &old);
    fd_ = ::mkstemps(name.data(), static_cast<int>(ext.size()));
    const int mkErrno = errno;
    if (fd_ >= 0) {
        tempPath_ = name.data();
        slot_ = Register(tempPath_);
    }
    sigprocmask(SIG_SETMASK, &old, nullptr);
    if (fd_ < 0) {
        errno = mkErrno;
        throw IoError(Fill(Tr("cannot write {0}: {1}"), {target, ErrnoText()}));
    }

    // Keep the mode of the file being replaced; a new file gets the usual 0666 less the umask
    // (mkstemp makes it 0600).
    mode_t mode = 0;
    if (exists) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(fd_, mode) != 0) {
        const std::string why = ErrnoText();
        Discard();
        throw IoError(Fill(Tr("cannot write {0}: {1}"), {target, why}));
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
        if (::close(fd) != 0)
            throw IoError(Fill(Tr("cannot write {0}: {1}"), {target_, ErrnoText()}));
        return;
    }
    if (::fsync(fd) != 0 && errno != EINVAL) {
        const std::string why = ErrnoText();
        ::close(fd);
        throw IoError(Fill(Tr("cannot write {0}: {1}"), {target_, why}));
    }
    if (::close(fd) != 0) throw IoError(Fill(Tr("cannot write {0}: {1}"), {target_, ErrnoText()}));
}

void AtomicFile::Publish() {
    Finish();
    if (committed_ || published_) return;
    if (::renameat2(AT_FDCWD, tempPath_.c_str(), AT_FDCWD, target_.c_str(), RENAME_EXCHANGE) == 0) {
        exchanged_ = true;
    } else {
        const bool noTarget = errno == ENOENT;
        if (::rename(tempPath_.c_str(), target_.c_str()) != 0) {
            throw IoError(Fill(Tr("cannot replace {0}: {1}"), {target_, ErrnoText()}));
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

RemovedOnSignal::RemovedOnSignal(const std::string& path) {
    InstallHandlersOnce();
    sigset_t block, old;
    sigemptyset(&block);
    for (int sig : kSignals) sigaddset(&block, sig);
    sigprocmask(SIG_BLOCK, &block, &old);
    slot_ = Register(path);
    sigprocmask(SIG_SETMASK, &old, nullptr);
}

RemovedOnSignal::~RemovedOnSignal() {
    Unregister(slot_);
}

bool SamePath(const std::string& a, const std::string& b) {
    std::error_code ec1, ec2;
    const fs::path pa = fs::weakly_canonical(fs::absolute(Resolve(a)), ec1);
    const fs::path pb = fs::weakly_canonical(fs::absolute(Resolve(b)), ec2);
    if (ec1 || ec2) return Resolve(a) == Resolve(b);
    return pa == pb;
}

}  // namespace quorvel::engine
