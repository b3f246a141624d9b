#include "engine/reading/point_input.h"

#include <cerrno>
#include <cstring>

#include "core/errors.h"

namespace quorvel::engine {

bool IsWorkbookPath(std::string_view path) {
    const auto endsWith = [path](std::string_view suffix) {
        if (path.size() < suffix.size()) return false;
        const std::string_view end = path.substr(path.size() - suffix.size());
        for (std::size_t i = 0; i < suffix.size(); ++i) {
            const char c = end[i];
            if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != suffix[i])
                return false;
        }
        return true;
    };
    return endsWith(".xlsx") || endsWith(".xls");
}

// The file's bytes, counted for the progress.
class PointInput::Watched : public ByteSource {
  public:
    Watched(int fd, const std::string& name, std::uint64_t total, const ReadProgress& progress)
        : file_(fd, name), total_(total), progress_(progress) {}
    std::size_t Read(char* buffer, std::size_t size) override {
        if (progress_ && !progress_(read_, total_)) throw InputCancelled();
        const std::size_t got = file_.Read(buffer, size);
        read_ += got;
        return got;
    }

  private:
    FdSource file_;
    std::uint64_t total_;
    std::uint64_t read_ = 0;
    const ReadProgress& progress_;
};

PointInput::PointInput() = default;
PointInput::~PointInput() = default;

std::string PointInput::Open(const InputChoice& choice, int stdinFd) {
    choice_ = choice;
    fd_ = stdinFd;
    if (choice.path == "-") {
        if (!platform::InfoOf(fd_, info_)) info_ = {};
        return {};
    }
    name_ = choice.path;
    file_.fd = platform::OpenToRead(choice.path);
    if (file_.fd < 0 || !platform::InfoOf(file_.fd, info_))
        return CannotRead(choice.path, std::strerror(errno));
    if (info_.kind == platform::FileKind::Folder) return CannotRead(choice.path, ItIsAFolder());
    fd_ = file_.fd;
    return {};
}

ByteSource& PointInput::Source() {
    if (raw_) return decoded_ ? static_cast<ByteSource&>(*decoded_) : *raw_;
    const std::uint64_t total = info_.kind == platform::FileKind::Regular ? info_.size : 0;
    raw_ = std::make_unique<Watched>(fd_, name_, total, progress_);
    if (!choice_.encoding.empty()) decoded_.emplace(*raw_, choice_.encoding);
    return decoded_ ? static_cast<ByteSource&>(*decoded_) : *raw_;
}

bool PointInput::ReadsUtf8Mark() const {
    return decoded_ && decoded_->ReadsUtf8();
}

HeadBytes ReadInputBytes(const InputChoice& choice, std::size_t limit) {
    return ReadHeadBytes(choice.path, limit);
}

FileHead ReadInputHead(const InputChoice& choice, bool decimalComma, std::size_t maxLines,
                       std::size_t limit) {
    return ReadHead(ReadInputBytes(choice, limit), choice.encoding, decimalComma, maxLines);
}

}  // namespace quorvel::engine
