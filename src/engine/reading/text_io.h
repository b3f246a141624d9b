#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/errors.h"
#include "platform/files.h"
#include "platform/text_encoding.h"

namespace quorvel::engine {

// A read or write that failed: the run cannot finish.
using quorvel::IoError;

class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // Up to `size` bytes into `buffer`; 0 at the end. Throws IoError.
    virtual std::size_t Read(char* buffer, std::size_t size) = 0;
};

class ByteSink {
  public:
    virtual ~ByteSink() = default;
    // All `size` bytes or IoError.
    virtual void Write(const char* data, std::size_t size) = 0;
};

// A file descriptor the caller owns; `name` is used in error messages.
class FdSource : public ByteSource {
  public:
    FdSource(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}
    std::size_t Read(char* buffer, std::size_t size) override;

  private:
    int fd_;
    std::string name_;
};

class FdSink : public ByteSink {
  public:
    // `synced`: the file is flushed to disk once written whole, so its writeback is started
    // as it grows and the final flush has little left to wait for.
    FdSink(int fd, std::string name, bool synced = false)
        : fd_(fd), name_(std::move(name)), synced_(synced) {}
    void Write(const char* data, std::size_t size) override;

  private:
    int fd_;
    std::string name_;
    bool synced_;
    std::uint64_t written_ = 0;
    std::uint64_t flushed_ = 0;  // writeback started up to here
};

class StringSource : public ByteSource {
  public:
    explicit StringSource(std::string text, std::size_t chunk = 1 << 20)
        : text_(std::move(text)), chunk_(chunk) {}
    std::size_t Read(char* buffer, std::size_t size) override;

  private:
    std::string text_;
    std::size_t pos_ = 0;
    std::size_t chunk_;  // at most this much per read, to exercise refills in tests
};

// Another source in a legacy encoding such as GB18030, handed on as UTF-8 (the system's
// conversion). A byte that starts no character of the encoding comes out as 0xFF, which is never
// UTF-8, so that its line is refused rather than changed. A source that starts with a UTF-8 byte
// order mark is UTF-8 whatever the encoding named, and is handed on as it is.
class DecodingSource : public ByteSource {
  public:
    // Reads the first bytes of `source` to look for the mark. Throws IoError when the system
    // does not know `encoding`, or when reading fails.
    DecodingSource(ByteSource& source, const std::string& encoding);
    ~DecodingSource() override;
    DecodingSource(const DecodingSource&) = delete;
    DecodingSource& operator=(const DecodingSource&) = delete;
    std::size_t Read(char* buffer, std::size_t size) override;

    // Whether the source starts with a UTF-8 byte order mark and is read as UTF-8.
    bool ReadsUtf8() const { return utf8_; }

  private:
    void Refill();

    ByteSource& source_;
    std::unique_ptr<platform::TextConverter> converter_;
    std::vector<char> in_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool eof_ = false;
    bool utf8_ = false;
};

class StringSink : public ByteSink {
  public:
    void Write(const char* data, std::size_t size) override { text.append(data, size); }
    std::string text;
};

// Splits a byte stream into lines with a fixed buffer, so memory does not grow with the input.
// Line breaks are LF (a CR before it stays in the line); a UTF-8 byte order mark at the very
// start is dropped.
class LineReader {
  public:
    static constexpr std::size_t kMaxLine = 64 * 1024;

    explicit LineReader(ByteSource& source, std::size_t bufferSize = 1 << 20);

    enum class Result { Line, TooLong, End };
    // The next line; the view stays valid until the next call. For TooLong the rest of the
    // line has been skipped and `line` is empty.
    Result Next(std::string_view& line);

    // 1-based number of the line last returned.
    std::size_t LineNumber() const { return lineNumber_; }

  private:
    bool Fill();
    Result Deliver(std::string_view text, bool tooLong, std::string_view& line);

    ByteSource& source_;
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    std::size_t lineNumber_ = 0;
    bool eof_ = false;
    bool atStart_ = true;
};

// Collects output and hands it to the sink in large blocks. Records are written straight into
// the buffer: Reserve room, write, Commit the end.
class OutputBuffer {
  public:
    explicit OutputBuffer(ByteSink& sink, std::size_t blockSize = 1 << 18);

    // Room for at least `size` more bytes.
    char* Reserve(std::size_t size) {
        if (used_ + size > data_.size()) data_.resize(used_ + size + blockSize_);
        return data_.data() + used_;
    }
    void Commit(const char* end) { used_ = static_cast<std::size_t>(end - data_.data()); }
    void Append(std::string_view text);

    // Writes out a full block; call after each record.
    void MaybeFlush() {
        if (used_ >= blockSize_) Flush();
    }
    void Flush();

  private:
    ByteSink& sink_;
    std::size_t blockSize_;
    std::vector<char> data_;
    std::size_t used_ = 0;
};

// Writes a field as RFC 4180 has it: quoted, with quotes doubled, when it holds a comma, a quote
// or a line break, starts or ends with a blank that a reader might trim, or starts with '#',
// which would make a first field read back as a comment. With `forExcel`, a text that Excel
// would run as a formula (see LooksLikeFormula) gets a leading apostrophe. Needs room for
// 2 × size + 3 bytes; returns the end.
char* WriteCsvField(char* out, std::string_view field, bool forExcel = false);
void AppendCsvField(std::string& out, std::string_view field, bool forExcel = false);

// Whether Excel would take a cell as a formula: it starts with '=', '+', '-', '@', a tab or a
// carriage return and is not a plain number such as -12.5 or +3e2.
bool LooksLikeFormula(std::string_view field);

// Records end in CRLF, as RFC 4180 has them.
inline constexpr std::string_view kCsvLineEnd = "\r\n";

// Closes a descriptor a run opened.
struct FdCloser {
    int fd = -1;
    FdCloser() = default;
    explicit FdCloser(int descriptor) : fd(descriptor) {}
    FdCloser(const FdCloser&) = delete;
    FdCloser& operator=(const FdCloser&) = delete;
    ~FdCloser();
};

// Whether `path` is the very file the input is read from (`input`, its fstat): a run would
// replace its own input.
bool IsInputFile(const std::string& path, const platform::FileInfo& input);

}  // namespace quorvel::engine
