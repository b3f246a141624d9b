#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace quorvel::cli {

// A point line has three fields; only that many are kept, but all are counted so that a message
// can say how many there were.
inline constexpr std::size_t kPointFields = 3;

enum class LineStatus {
    Fields,           // fields were read; check `count`
    Skip,             // empty, blanks only, or a comment
    InvalidUtf8,      // `errorColumn` is the 1-based byte of the first bad sequence
    UnclosedQuote,    // `errorField` is the field whose quote is never closed
    TextAfterQuote,   // text follows the closing quote of `errorField`
    QuoteInUnquoted,  // a quote inside an unquoted field (`errorField`)
};

// The fields of one line. Views point into the line, or into `storage` for a quoted field whose
// doubled quotes had to be undone; the storage is reused from line to line.
struct ParsedLine {
    LineStatus status = LineStatus::Skip;
    std::size_t count = 0;
    std::array<std::string_view, kPointFields> fields{};
    std::array<bool, kPointFields> quoted{};
    std::size_t errorField = 0;   // 1-based
    std::size_t errorColumn = 0;  // 1-based byte
    std::array<std::string, kPointFields> storage;
};

// Splits one line (no line break; a trailing CR is ignored). Fields are separated by commas if
// the line has a comma outside quotes, else by tabs if it has a tab outside quotes, else by runs
// of blanks. With commas or tabs a field may be empty and blanks around a field are dropped. A
// field that starts with a double quote runs to the closing quote, a doubled quote standing for
// one. Lines whose first non-blank character is '#' are comments.
void ParseLine(std::string_view line, ParsedLine& out);

// Index of the first byte that is not part of a well-formed UTF-8 sequence, or npos.
std::size_t FindInvalidUtf8(std::string_view text);

}  // namespace quorvel::cli
