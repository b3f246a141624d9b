#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/reading/line_parser.h"

namespace quorvel::engine {

// What the window and the encoding guess look at of a point file: its first 64 KiB.
inline constexpr std::size_t kHeadBytes = 64 * 1024;

// The start of a file: its first bytes, and whether they are all of it.
struct HeadBytes {
    std::string bytes;
    bool whole = true;
};

// The first `limit` bytes of the file at `path`. Throws IoError when it cannot be read.
HeadBytes ReadHeadBytes(const std::string& path, std::size_t limit = kHeadBytes);

// The encoding a file's start is written in, as an iconv name: empty for UTF-8 (with or without
// a byte order mark), "GB18030" for text that is not UTF-8 but reads as GB18030, as files saved
// by Chinese Windows programs do. Empty too for text that is neither: its lines are then
// refused as not UTF-8. A character cut at the end of a sample that is not `whole` is no sign.
std::string SniffEncoding(const HeadBytes& head);

// A line of a file's start that is neither empty nor a comment.
struct HeadLine {
    std::uint64_t number = 0;                // 1-based, in the file
    LineStatus status = LineStatus::Fields;  // Fields, or why the line does not read
    std::vector<std::string> fields;         // UTF-8, quotes undone, every field
};

// The first lines of a file as a run reads them: in `encoding` (an iconv name, empty for UTF-8;
// a byte order mark makes it UTF-8 whatever is named), split by ParseLine. A last line that the
// sample cuts is left out.
struct FileHead {
    bool utf8Mark = false;
    std::vector<HeadLine> lines;
};
FileHead ReadHead(const HeadBytes& head, const std::string& encoding, bool decimalComma,
                  std::size_t maxLines);

// The fields of a line that count for the columns: trailing empty ones, down to `needed`, do
// not.
std::size_t KeptFields(const std::vector<std::string>& fields, std::size_t needed);
// The same of a parsed line; none for a line that was not read as fields.
std::size_t KeptFields(const ParsedLine& line, std::size_t needed);

// Whether a field reads as a number, as a run reads a value.
bool ReadsAsNumber(std::string_view field, bool decimalComma);

// Whether the first line of `lines` names the columns: one of the value fields `values`
// (0-based) is missing or not a number there, and every one of them is a number in a later line.
bool FirstLineIsHeader(const std::vector<HeadLine>& lines, std::span<const std::size_t> values,
                       bool decimalComma);

}  // namespace quorvel::engine
