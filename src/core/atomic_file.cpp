#include "core/atomic_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "core/errors.h"
#include "core/messages.h"
#include "core/target_path.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/replace.h"

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using platform::PathFromUtf8;
using platform::Utf8Path;

// `name` failed to be written or replaced, for the reason the last system call gave.
IoError WriteFailure(const std::string& name) {
    const int err = errno;
    return IoError(CannotWrite(name, std::strerror(err)), err);
}
IoError CannotReplace(const std::string& name) {
    const int err = errno;
    return IoError(Fill(Tr("cannot replace {0}: {1}"), {name, std::strerror(err)}), err);
}

// The file a path leads to once symbolic links are followed; for a path that does not exist
// yet, the path itself.
fs::path Resolve(const std::string& target) {
    std::error_code ec;
    fs::path p = PathFromUtf8(target);
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
    target_ = where.path;
    platform::FileInfo st;
    const bool exists = where.inheritedFd < 0 && platform::InfoAt(target_, st);
    if (exists && st.kind == platform::FileKind::Folder)
        throw IoError(Fill(Tr("{0} is a folder"), {target}), EISDIR);
    if (where.inheritedFd >= 0 || (exists && st.kind != platform::FileKind::Regular)) {
        // A device or a pipe (/dev/null) is written as it is: renaming a file over it would
        // replace the device itself; /dev/stdout is the descriptor the program was given.
        if (!allowDirect) throw IoError(Fill(Tr("{0} is not a regular file"), {target}), ENOTSUP);
        fd_ = where.inheritedFd >= 0 ? platform::Duplicate(where.inheritedFd)
                                     : platform::OpenToWrite(target);
        if (fd_ < 0) throw WriteFailure(target);
        direct_ = true;
        return;
    }
    // Renaming over a file needs only the folder's permission: refuse, as cp does, a file its
    // user may not write, and a file nobody may write even when root runs this.
    if (exists && (st.mode & 0222) == 0) {
        throw IoError(CannotWrite(target, Tr("the file is read-only")), EACCES);
    }
    if (exists && !platform::MayWrite(target_)) throw WriteFailure(target);
    // Keep the mode of the file being replaced, never its set-user and set-group ID, which would
    // make a program of what may be any data; a new file gets the usual 0666 less the umask
    // (mkstemp makes it 0600).
    Create(target, PathFromUtf8(where.path), exists ? st.mode & 01777 : platform::NewFileMode());
    if (exists) platform::KeepOwner(fd_, st);
}

AtomicFile::AtomicFile(const std::string& target, NewName) {
    target_ = target;
    Create(target, PathFromUtf8(target), platform::NewFileMode());
}

void AtomicFile::Create(const std::string& target, const fs::path& resolved, unsigned mode) {
    const fs::path dir = resolved.has_parent_path() ? resolved.parent_path() : fs::path(".");
    std::string ext = Utf8Path(resolved.extension());
    const std::string base =
        TemporaryName(Utf8Path(resolved.filename()), ".", ext, platform::NameMax(Utf8Path(dir)));
    if (!base.ends_with(ext)) ext.clear();
    std::string name = Utf8Path(dir / PathFromUtf8(base));
    {
        // Signals wait until the temporary name is in the table, so none is left behind.
        const SignalsDeferred registering;
        fd_ = platform::CreateUnique(name, ext.size());
        const int mkErrno = errno;
        if (fd_ >= 0) {
            tempPath_ = name;
            slot_ = platform::RemoveOnInterrupt(tempPath_);
        }
        errno = mkErrno;
    }
    if (fd_ < 0) throw WriteFailure(target);
    if (platform::SetMode(fd_, mode) != 0) {
        const IoError error = WriteFailure(target);
        Discard();
        throw error;
    }
}

AtomicFile::~AtomicFile() {
    if (!committed_) Discard();
}

void AtomicFile::Discard() {
    if (fd_ >= 0) platform::CloseFile(fd_);
    fd_ = -1;
    if (!tempPath_.empty()) platform::RemoveFile(tempPath_);
    platform::KeepOnInterrupt(slot_);
    slot_ = -1;
}

void AtomicFile::Finish() {
    if (finished_) return;
    const int fd = fd_;
    fd_ = -1;
    finished_ = true;
    if (direct_) {
        committed_ = true;
        if (platform::CloseFile(fd) != 0) throw WriteFailure(target_);
        return;
    }
    if (platform::SyncFile(fd) != 0) {
        const IoError error = WriteFailure(target_);
        platform::CloseFile(fd);
        throw error;
    }
    if (platform::CloseFile(fd) != 0) throw WriteFailure(target_);
}

void AtomicFile::Publish() {
    Finish();
    if (committed_ || published_) return;
    if (platform::ExchangeNames(tempPath_, target_) == 0) {
        exchanged_ = true;
    } else {
        const bool noTarget = errno == ENOENT;
        if (platform::MoveReplacing(tempPath_, target_) != 0) throw CannotReplace(target_);
        createdNew_ = noTarget;
        platform::KeepOnInterrupt(slot_);
        slot_ = -1;
    }
    published_ = true;
}

void AtomicFile::Settle() {
    Publish();
    if (committed_) return;
    if (exchanged_) platform::RemoveFile(tempPath_);  // the file replaced
    committed_ = true;
    platform::KeepOnInterrupt(slot_);
    slot_ = -1;
}

void AtomicFile::Undo() {
    if (!published_ || committed_) return;
    if (exchanged_) {
        if (platform::ExchangeNames(tempPath_, target_) == 0) {
            platform::RemoveFile(tempPath_);  // the new file, back under the temporary name
        }
    } else if (createdNew_) {
        platform::RemoveFile(target_);
    }
    committed_ = true;
    platform::KeepOnInterrupt(slot_);
    slot_ = -1;
}

bool AtomicFile::FinishWith(const std::string& written) {
    platform::FileInfo st;
    if (!platform::InfoOf(fd_, st)) throw WriteFailure(target_);
    // Windows renames no file that is open: the empty temporary one goes first.
    platform::CloseFile(fd_);
    fd_ = -1;
    if (platform::MoveReplacing(written, tempPath_) != 0) {
        if (errno == ENOENT) return false;
        throw WriteFailure(target_);
    }
    // The file takes the place of the empty temporary one, with its owner and mode.
    fd_ = platform::OpenToWrite(tempPath_);  // Windows flushes no file opened to read
    if (fd_ < 0) throw WriteFailure(target_);
    platform::KeepOwner(fd_, st);
    if (platform::SetMode(fd_, st.mode & 07777) != 0) throw WriteFailure(target_);
    Finish();
    return true;
}

bool AtomicFile::PublishNew(const std::string& path) {
    Finish();
    if (platform::MoveToNewName(tempPath_, path) != 0) {
        if (errno == EEXIST) return false;
        throw WriteFailure(path);
    }
    target_ = path;
    committed_ = true;
    platform::KeepOnInterrupt(slot_);
    slot_ = -1;
    return true;
}

RemovedOnSignal::RemovedOnSignal(const std::string& path)
    : slot_(platform::RemoveOnInterrupt(path)) {}

RemovedOnSignal::~RemovedOnSignal() {
    platform::KeepOnInterrupt(slot_);
}

bool SamePath(const std::string& a, const std::string& b) {
    std::error_code ec1, ec2;
    const fs::path pa = fs::weakly_canonical(fs::absolute(Resolve(a)), ec1);
    const fs::path pb = fs::weakly_canonical(fs::absolute(Resolve(b)), ec2);
    if (ec1 || ec2) return Resolve(a) == Resolve(b);
    return pa == pb;
}

}  // namespace quorvel
