#include "engine/reading/text_io.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "core/errors.h"
#include "core/messages.h"
#include "platform/files.h"

namespace quorvel::engine {

std::size_t FdSource::Read(char* buffer, std::size_t size) {
    const long got = platform::ReadSome(fd_, buffer, size);
    if (got < 0) throw IoError(CannotRead(name_, std::strerror(errno)));
    return static_cast<std::size_t>(got);
}

void FdSink::Write(const char* data, std::size_t size) {
    while (size > 0) {
        const long put = platform::WriteSome(fd_, data, size);
        if (put < 0) {
            const int err = errno;
            throw IoError(CannotWrite(name_, std::strerror(err)), err);
        }
        data += put;
        size -= static_cast<std::size_t>(put);
        written_ += static_cast<std::uint64_t>(put);
    }
    constexpr std::uint64_t kWritebackStep = 8 << 20;
    if (synced_ && written_ - flushed_ >= kWritebackStep) {
        // Only a hint: where it fails (not a regular file) the final flush does it all.
        platform::StartWriteback(fd_, flushed_, written_ - flushed_);
        flushed_ = written_;
    }
}

std::size_t StringSource::Read(char* buffer, std::size_t size) {
    const std::size_t n = std::min({size, chunk_, text_.size() - pos_});
    std::memcpy(buffer, text_.data() + pos_, n);
    pos_ += n;
    return n;
}

DecodingSource::DecodingSource(ByteSource& source, const std::string& encoding)
    : source_(source), in_(1 << 16) {
    std::string why;
    converter_ = platform::TextConverter::Open("UTF-8", encoding, why);
    if (converter_ == nullptr)
        throw IoError(Fill(Tr("cannot read {0} text: {1}"), {encoding, why}));
    while (!eof_ && end_ < 3) Refill();
    utf8_ = std::string_view(in_.data(), end_).starts_with("\xEF\xBB\xBF");
}

DecodingSource::~DecodingSource() = default;

void DecodingSource::Refill() {
    if (begin_ > 0) {
        std::memmove(in_.data(), in_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    const std::size_t got = source_.Read(in_.data() + end_, in_.size() - end_);
    if (got == 0) eof_ = true;
    end_ += got;
}

std::size_t DecodingSource::Read(char* buffer, std::size_t size) {
    if (utf8_) {
        if (begin_ == end_) return eof_ ? 0 : source_.Read(buffer, size);
        const std::size_t n = std::min(size, end_ - begin_);
        std::memcpy(buffer, in_.data() + begin_, n);
        begin_ += n;
        return n;
    }
    char* out = buffer;
    std::size_t room = size;
    // Room for the longest UTF-8 character; returns as soon as something was decoded.
    while (out == buffer && room >= 4) {
        if (!eof_ && end_ - begin_ < 8) Refill();  // a character may be cut at the end
        if (begin_ == end_) break;
        const char* from = in_.data() + begin_;
        std::size_t left = end_ - begin_;
        using Step = platform::TextConverter::Step;
        const Step step = converter_->Convert(from, left, out, room);
        begin_ = end_ - left;
        if (step == Step::Done || step == Step::Full) continue;
        if (step == Step::Invalid || (step == Step::Incomplete && eof_)) {
            *out++ = '\xFF';
            --room;
            ++begin_;
        } else if (step == Step::Incomplete) {
            if (out == buffer) Refill();  // the rest of a character cut by the buffer
        } else {
            throw IoError(Fill(Tr("cannot read the input: {0}"), {converter_->Error()}));
        }
    }
    return static_cast<std::size_t>(out - buffer);
}

LineReader::LineReader(ByteSource& source, std::size_t bufferSize)
    : source_(source),
      buffer_(new char[std::max(bufferSize, kMaxLine + 1)]),
      capacity_(std::max(bufferSize, kMaxLine + 1)) {}

bool LineReader::Fill() {
    if (eof_) return false;
    if (begin_ > 0) {
        std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    if (end_ == capacity_) return false;
    const std::size_t got = source_.Read(buffer_.get() + end_, capacity_ - end_);
    if (got == 0) {
        eof_ = true;
        return false;
    }
    end_ += got;
    return true;
}

LineReader::Result LineReader::Deliver(std::string_view text, bool tooLong,
                                       std::string_view& line) {
    ++lineNumber_;
    const bool first = atStart_;
    atStart_ = false;
    if (tooLong) return Result::TooLong;
    if (first && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    line = text;
    return Result::Line;
}

LineReader::Result LineReader::Next(std::string_view& line) {
    line = {};
    std::size_t scanned = begin_;  // bytes before this are known to hold no LF
    bool tooLong = false;
    for (;;) {
        const char* base = buffer_.get();
        const void* lf = std::memchr(base + scanned, '\n', end_ - scanned);
        if (lf != nullptr) {
            const auto at = static_cast<std::size_t>(static_cast<const char*>(lf) - base);
            std::string_view text(base + begin_, at - begin_);
            begin_ = at + 1;
            return Deliver(text, tooLong || text.size() > kMaxLine, line);
        }
        if (end_ - begin_ > kMaxLine) {
            // Drop what is held of an overlong line and keep looking for its end.
            tooLong = true;
            begin_ = end_;
        }
        const std::size_t held = end_ - begin_;
        if (!Fill()) {
            if (held == 0 && !tooLong) return Result::End;
            // The last line has no line break.
            std::string_view text(buffer_.get() + begin_, end_ - begin_);
            begin_ = end_;
            return Deliver(text, tooLong, line);
        }
        scanned = begin_ + held;
    }
}

OutputBuffer::OutputBuffer(ByteSink& sink, std::size_t blockSize)
    : sink_(sink), blockSize_(blockSize), data_(2 * blockSize + 4096) {}

void OutputBuffer::Append(std::string_view text) {
    char* p = Reserve(text.size());
    std::memcpy(p, text.data(), text.size());
    Commit(p + text.size());
}

void OutputBuffer::Flush() {
    if (used_ == 0) return;
    sink_.Write(data_.data(), used_);
    used_ = 0;
}

namespace {

// The bytes that make a field quoted wherever they are.
constexpr auto kQuoteAnywhere = [] {
    std::array<bool, 256> table{};
    for (unsigned char c : {',', '"', '\r', '\n'}) table[c] = true;
    return table;
}();

}  // namespace

bool LooksLikeFormula(std::string_view field) {
    if (field.empty()) return false;
    const char lead = field.front();
    if (lead == '=' || lead == '@' || lead == '\t' || lead == '\r') return true;
    if (lead != '+' && lead != '-') return false;
    // A signed number is a number to Excel too: digits with one decimal point or comma, and
    // an exponent.
    std::size_t i = 1;
    auto run = [&] {
        const std::size_t from = i;
        while (i < field.size() && field[i] >= '0' && field[i] <= '9') ++i;
        return i - from;
    };
    std::size_t digits = run();
    if (i < field.size() && (field[i] == '.' || field[i] == ',')) {
        ++i;
        digits += run();
    }
    if (digits > 0 && i < field.size() && (field[i] == 'e' || field[i] == 'E')) {
        ++i;
        if (i < field.size() && (field[i] == '+' || field[i] == '-')) ++i;
        if (run() == 0) return true;
    }
    return digits == 0 || i != field.size();
}

char* WriteCsvField(char* out, std::string_view field, bool forExcel) {
    bool quote =
        !field.empty() && (field.front() == ' ' || field.front() == '\t' || field.front() == '#' ||
                           field.back() == ' ' || field.back() == '\t' ||
                           field.starts_with("\xE3\x80\x80") ||  // the ideographic space
                           field.ends_with("\xE3\x80\x80"));
    for (std::size_t i = 0; i < field.size() && !quote; ++i) {
        quote = kQuoteAnywhere[static_cast<unsigned char>(field[i])];
    }
    // The apostrophe makes Excel show the text instead of running it; Excel keeps it in the cell.
    const bool guard = forExcel && LooksLikeFormula(field);
    if (!quote) {
        if (guard) *out++ = '\'';
        return std::copy(field.begin(), field.end(), out);  // memcpy wants data() even for ""
    }
    *out++ = '"';
    if (guard) *out++ = '\'';
    for (char c : field) {
        if (c == '"') *out++ = '"';
        *out++ = c;
    }
    *out++ = '"';
    return out;
}

void AppendCsvField(std::string& out, std::string_view field, bool forExcel) {
    std::vector<char> buffer(2 * field.size() + 3);
    out.append(buffer.data(), WriteCsvField(buffer.data(), field, forExcel));
}

FdCloser::~FdCloser() {
    if (fd >= 0) platform::CloseFile(fd);
}

bool IsInputFile(const std::string& path, const platform::FileInfo& input) {
    platform::FileInfo st;
    return platform::InfoAt(path, st) && platform::SameFile(st, input);
}

}  // namespace quorvel::engine
