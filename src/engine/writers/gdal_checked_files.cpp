#include "engine/writers/gdal_checked_files.h"

#include <cpl_vsi.h>
#include <cpl_vsi_virtual.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

namespace quorvel::engine {
namespace {

constexpr char kPrefix[] = "/vsiquorvel/";

std::mutex gMutex;
std::map<int, int> gFailures;  // by token: errno of the first failure, or 0
int gNextToken = 0;

void Record(int token, int err) {
    const std::lock_guard<std::mutex> lock(gMutex);
    const auto found = gFailures.find(token);
    if (found != gFailures.end() && found->second == 0) found->second = err != 0 ? err : EIO;
}

// "/vsiquorvel/7/a/b.kml" → token 7 and "a/b.kml"; "/vsiquorvel/7//t/b.kml" → "/t/b.kml".
std::string Split(const char* name, int& token) {
    const std::string path(name);
    std::size_t at = sizeof kPrefix - 1;
    char* end = nullptr;
    token = static_cast<int>(std::strtol(path.c_str() + at, &end, 10));
    at = static_cast<std::size_t>(end - path.c_str());
    if (at < path.size() && path[at] == '/') ++at;
    return path.substr(at);
}

// Whether opening with `access` makes the file: a driver may look for one to update ("r+").
bool Makes(const char* access) {
    for (const char* c = access; *c != '\0'; ++c) {
        if (*c == 'w' || *c == 'a') return true;
    }
    return false;
}

// GDAL's file of the C library buffers, and a write that fails when the buffer goes out inside a
// seek or a read is seen by no one: the handle keeps a buffer of its own, written out and
// flushed, both checked, before anything else is done with the file.
class CheckedHandle final : public VSIVirtualHandle {
  public:
    CheckedHandle(VSILFILE* inner, int token) : inner_(inner), token_(token) {}
    ~CheckedHandle() override { CheckedHandle::Close(); }

    int Seek(vsi_l_offset offset, int whence) override {
        Drain();
        return VSIFSeekL(inner_, offset, whence);
    }
    vsi_l_offset Tell() override { return VSIFTellL(inner_) + pending_.size(); }
    size_t Read(void* buffer, size_t size, size_t count) override {
        Drain();
        const size_t done = VSIFReadL(buffer, size, count, inner_);
        // What was not read reads as line ends: the DXF driver, reading back a header that a
        // full disk cut short, looks for a line end past what it read and overruns its buffer.
        if (done < count) {
            std::memset(static_cast<char*>(buffer) + done * size, '\n', (count - done) * size);
        }
        return done;
    }
    size_t Write(const void* buffer, size_t size, size_t count) override {
        pending_.append(static_cast<const char*>(buffer), size * count);
        if (pending_.size() >= kBuffer) Drain();
        return count;
    }
    int Eof() override {
        Drain();
        return VSIFEofL(inner_);
    }
    int Flush() override {
        Drain();
        return 0;
    }
    int Truncate(vsi_l_offset size) override {
        Drain();
        return Checked(VSIFTruncateL(inner_, size));
    }
    int Close() override {
        if (inner_ == nullptr) return 0;
        Drain();
        errno = 0;
        VSILFILE* inner = inner_;
        inner_ = nullptr;
        return Checked(VSIFCloseL(inner));
    }

  private:
    static constexpr std::size_t kBuffer = 1 << 16;

    void Drain() {
        if (pending_.empty() || inner_ == nullptr) return;
        errno = 0;
        if (VSIFWriteL(pending_.data(), 1, pending_.size(), inner_) != pending_.size()) {
            Record(token_, errno);
        } else {
            Checked(VSIFFlushL(inner_));
        }
        pending_.clear();
    }
    int Checked(int result) const {
        if (result != 0) Record(token_, errno);
        return result;
    }

    VSILFILE* inner_;
    int token_;
    std::string pending_;
};

class CheckedHandler final : public VSIFilesystemHandler {
  public:
    VSIVirtualHandle* Open(const char* name, const char* access, bool setError,
                           CSLConstList options) override {
        int token = 0;
        const std::string path = Split(name, token);
        errno = 0;
        VSILFILE* f = VSIFOpenEx2L(path.c_str(), access, setError, options);
        if (f == nullptr) {
            // A driver may skip a file it cannot make (a Shapefile's .prj): still a failure.
            if (Makes(access)) Record(token, errno);
            return nullptr;
        }
        return new CheckedHandle(f, token);
    }
    int Stat(const char* name, VSIStatBufL* buffer, int flags) override {
        int token = 0;
        return VSIStatExL(Split(name, token).c_str(), buffer, flags);
    }
    int Unlink(const char* name) override {
        int token = 0;
        return VSIUnlink(Split(name, token).c_str());
    }
    int Rename(const char* from, const char* to) override {
        int token = 0;
        return VSIRename(Split(from, token).c_str(), Split(to, token).c_str());
    }
    int Mkdir(const char* name, long mode) override {
        int token = 0;
        return VSIMkdir(Split(name, token).c_str(), mode);
    }
    int Rmdir(const char* name) override {
        int token = 0;
        return VSIRmdir(Split(name, token).c_str());
    }
    char** ReadDirEx(const char* name, int maxFiles) override {
        int token = 0;
        return VSIReadDirEx(Split(name, token).c_str(), maxFiles);
    }
};

}  // namespace

CheckedFiles::CheckedFiles() {
    static std::once_flag installed;
    std::call_once(installed, [] { VSIFileManager::InstallHandler(kPrefix, new CheckedHandler); });
    const std::lock_guard<std::mutex> lock(gMutex);
    token_ = ++gNextToken;
    gFailures[token_] = 0;
}

CheckedFiles::~CheckedFiles() {
    const std::lock_guard<std::mutex> lock(gMutex);
    gFailures.erase(token_);
}

std::string CheckedFiles::Path(const std::string& path) const {
    return kPrefix + std::to_string(token_) + "/" + path;
}

int CheckedFiles::Failure() const {
    const std::lock_guard<std::mutex> lock(gMutex);
    return gFailures.at(token_);
}

}  // namespace quorvel::engine
