#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/reading/file_head.h"
#include "engine/reading/text_io.h"
#include "platform/files.h"

namespace quorvel::engine {

// The input of every command and of the window's file runs, opened one way: standard input, a
// text file in its encoding, or a sheet of an Excel workbook. The reading past it (lines into
// fields) is the same for all of them: a sheet's rows are handed on as lines of fields, line N
// being the sheet's row N (its empty rows empty lines), so that a message about a line names
// the row Excel shows. A number cell reads as the number stored, whatever its format shows; a
// text cell as its text, "007" staying "007"; a date as GDAL writes it (2024/01/01), text that
// no coordinate reads; a formula as the value the workbook last computed.

// What names an input.
struct InputChoice {
    std::string path = "-";  // "-": standard input
    std::string encoding;    // a text file's iconv name (ReadEncoding); empty: UTF-8
    std::string sheet;       // a workbook's sheet by name; empty: its first
};

// Whether `path` names an Excel workbook: it ends in .xlsx or .xls, in any case.
bool IsWorkbookPath(std::string_view path);

// Told the bytes read so far and the input's size (0 when unknown) as the reading goes on;
// returning false stops it with InputCancelled.
using ReadProgress = std::function<bool(std::uint64_t read, std::uint64_t total)>;

// The reading stopped because its ReadProgress said so.
class InputCancelled : public IoError {
  public:
    InputCancelled() : IoError("cancelled") {}
};

class SheetRows;

class PointInput {
  public:
    PointInput();
    ~PointInput();
    PointInput(const PointInput&) = delete;
    PointInput& operator=(const PointInput&) = delete;

    // Opens the input `choice` names, standard input being `stdinFd`. Returns why it cannot be
    // read ("cannot read NAME: REASON"), empty when it can. A workbook is opened through GDAL's
    // module and its sheet looked up; --sheet on text, --encoding on a workbook, an unknown
    // sheet and a build without the module are refused. No row or line is read yet.
    std::string Open(const InputChoice& choice, int stdinFd);

    // The input as messages name it: its path, or "<stdin>".
    const std::string& Name() const { return name_; }
    // The open file's identity, so that no output replaces it.
    const platform::FileInfo& Info() const { return info_; }

    // Told of the reading (a workbook's in rows, a text's in bytes); set before Source.
    void Watch(ReadProgress progress) { progress_ = std::move(progress); }

    // The input as UTF-8 lines, made at the first call: a text file converted from its encoding,
    // a workbook's sheet row by row. Throws IoError when it cannot be read or the encoding is
    // unknown.
    ByteSource& Source();

    // Whether a text file in another encoding starts with a UTF-8 byte order mark and is read as
    // UTF-8 (the caller says so); valid after Source.
    bool ReadsUtf8Mark() const;

    bool IsWorkbook() const { return sheets_ != nullptr; }

  private:
    class Watched;
    std::string OpenWorkbook();

    InputChoice choice_;
    FdCloser file_;
    int fd_ = -1;
    std::string name_ = "<stdin>";
    platform::FileInfo info_;
    ReadProgress progress_;
    std::unique_ptr<ByteSource> piped_;  // standard input, read through raw_
    std::unique_ptr<ByteSource> raw_;
    std::optional<DecodingSource> decoded_;
    std::unique_ptr<SheetRows> sheets_;  // a workbook's reader, on its sheet
};

// The start of the input `choice` names (not standard input), for a preview or a guess: the first
// `limit` bytes of a text file as they are, the lines of a workbook's first rows (`whole` when
// they are all). Throws IoError when it cannot be read or is refused (PointInput::Open).
HeadBytes ReadInputBytes(const InputChoice& choice, std::size_t limit = kHeadBytes);

// The first `maxLines` lines of that start as a run reads them (ReadHead): a text file's in its
// encoding, a workbook's rows as they are. Throws IoError as ReadInputBytes.
FileHead ReadInputHead(const InputChoice& choice, bool decimalComma, std::size_t maxLines,
                       std::size_t limit = kHeadBytes);

// The names of the workbook's sheets, in its order. Throws IoError when it cannot be read.
std::vector<std::string> WorkbookSheets(const std::string& path);

}  // namespace quorvel::engine
