#include "engine/reading/point_input.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/errors.h"
#include "core/messages.h"
#include "engine/reading/sheet_rows.h"
#include "engine/run/refusal.h"
#include "engine/writers/gdal_writer.h"

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

namespace {

// The Windows build has no GDAL to read workbooks with.
std::string NoWorkbooksHere(const std::string& path) {
    return CannotRead(path, Tr("this build cannot read Excel workbooks; save the sheet as CSV "
                               "(UTF-8) and read that"));
}

// A workbook's rows, counted for the progress: the rows handed on of the sheet's.
class WatchedSheet : public ByteSource {
  public:
    WatchedSheet(SheetRows& rows, const ReadProgress& progress)
        : rows_(rows), progress_(progress) {}
    std::size_t Read(char* buffer, std::size_t size) override {
        if (progress_ && !progress_(rows_.LastRow(), rows_.RowCount())) throw InputCancelled();
        return rows_.Read(buffer, size);
    }

  private:
    SheetRows& rows_;
    const ReadProgress& progress_;
};

}  // namespace

namespace {

// Standard input, refused when it starts as a workbook does (a zip, or an old .xls's compound
// file): GDAL reads a workbook from its file alone, and as text its bytes are nothing.
class PipedText : public ByteSource {
  public:
    explicit PipedText(ByteSource& in) : in_(in) {}
    std::size_t Read(char* buffer, std::size_t size) override {
        if (checked_) return Pending(buffer, size);
        checked_ = true;
        // Four bytes tell, and no more are waited for: a line typed at a terminal has them.
        char head[4];
        std::size_t got = 0;
        while (got < sizeof head) {
            const std::size_t n = in_.Read(head + got, sizeof head - got);
            if (n == 0) break;
            got += n;
        }
        const std::string_view start(head, got);
        if (start == "PK\x03\x04" || start == "\xD0\xCF\x11\xE0") {
            throw IoError(
                Tr("standard input is an Excel workbook, which is read from its file "
                   "alone: name the file"));
        }
        pending_.assign(start);
        return Pending(buffer, size);
    }

  private:
    std::size_t Pending(char* buffer, std::size_t size) {
        if (at_ == pending_.size()) return in_.Read(buffer, size);
        const std::size_t n = std::min(size, pending_.size() - at_);
        std::memcpy(buffer, pending_.data() + at_, n);
        at_ += n;
        return n;
    }

    ByteSource& in_;
    std::string pending_;
    std::size_t at_ = 0;
    bool checked_ = false;
};

}  // namespace

PointInput::PointInput() = default;
PointInput::~PointInput() = default;

std::string PointInput::Open(const InputChoice& choice, int stdinFd) {
    choice_ = choice;
    fd_ = stdinFd;
    const bool workbook = choice.path != "-" && IsWorkbookPath(choice.path);
    if (!workbook && !choice.sheet.empty()) {
        return Fill(Tr("--sheet is for Excel workbooks (.xlsx, .xls): {0} is read as text"),
                    {choice.path == "-" ? Tr("standard input") : choice.path});
    }
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
    return workbook ? OpenWorkbook() : std::string();
}

std::string PointInput::OpenWorkbook() {
    const std::string& path = choice_.path;
    if (!choice_.encoding.empty()) {
        return Fill(Tr("--encoding is for text files: {0} is an Excel workbook, which carries its "
                       "own encoding; leave --encoding out"),
                    {path});
    }
    if (!GisFormatsBuilt()) return NoWorkbooksHere(path);
    try {
        sheets_ = std::make_unique<SheetRows>(path);
    } catch (const IoError& e) {
        return e.what();
    }
    const std::vector<std::string>& names = sheets_->Sheets();
    std::size_t index = 0;
    if (!choice_.sheet.empty()) {
        index = static_cast<std::size_t>(std::find(names.begin(), names.end(), choice_.sheet) -
                                         names.begin());
    }
    if (index >= names.size()) {
        std::string list;
        for (const std::string& n : names) list += (list.empty() ? "" : ", ") + Quoted(n);
        const std::string why = names.empty() ? Fill(Tr("{0} holds no sheet"), {path})
                                              : Fill(Tr("{0} has no sheet {1}: its sheets are {2}"),
                                                     {path, Quoted(choice_.sheet), list});
        sheets_.reset();
        return why;
    }
    try {
        sheets_->Select(index);
    } catch (const IoError& e) {
        sheets_.reset();
        return e.what();
    }
    return {};
}

ByteSource& PointInput::Source() {
    if (raw_) return decoded_ ? static_cast<ByteSource&>(*decoded_) : *raw_;
    if (sheets_) {
        raw_ = std::make_unique<WatchedSheet>(*sheets_, progress_);
        return *raw_;
    }
    const std::uint64_t total = info_.kind == platform::FileKind::Regular ? info_.size : 0;
    raw_ = std::make_unique<Watched>(fd_, name_, total, progress_);
    if (choice_.path == "-") {
        piped_ = std::move(raw_);
        raw_ = std::make_unique<PipedText>(*piped_);
    }
    if (!choice_.encoding.empty()) decoded_.emplace(*raw_, choice_.encoding);
    return decoded_ ? static_cast<ByteSource&>(*decoded_) : *raw_;
}

bool PointInput::ReadsUtf8Mark() const {
    return decoded_ && decoded_->ReadsUtf8();
}

HeadBytes ReadInputBytes(const InputChoice& choice, std::size_t limit) {
    if (!IsWorkbookPath(choice.path)) return ReadHeadBytes(choice.path, limit);
    PointInput input;
    if (const std::string why = input.Open(choice, -1); !why.empty()) throw IoError(why);
    ByteSource& rows = input.Source();
    HeadBytes head;
    head.bytes.resize(limit + 1);  // one byte more tells whether the rows go on
    std::size_t got = 0;
    while (got < head.bytes.size()) {
        const std::size_t n = rows.Read(head.bytes.data() + got, head.bytes.size() - got);
        if (n == 0) break;
        got += n;
    }
    head.whole = got <= limit;
    head.bytes.resize(std::min(got, limit));
    return head;
}

FileHead ReadInputHead(const InputChoice& choice, bool decimalComma, std::size_t maxLines,
                       std::size_t limit) {
    // A workbook's rows are UTF-8 whatever the encoding chosen for text.
    InputChoice read = choice;
    if (IsWorkbookPath(choice.path)) read.encoding.clear();
    return ReadHead(ReadInputBytes(read, limit), read.encoding, decimalComma, maxLines);
}

std::vector<std::string> WorkbookSheets(const std::string& path) {
    if (!GisFormatsBuilt()) throw IoError(NoWorkbooksHere(path));
    return SheetRows(path).Sheets();
}

}  // namespace quorvel::engine
