#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::engine {

// A point line has at least three fields: the name and the two values.
inline constexpr std::size_t kPointFields = 3;

enum class LineStatus {
    Fields,           // fields were read; check `count`
    Skip,             // empty, blanks or separators only, or a comment
    InvalidUtf8,      // `errorColumn` is the 1-based byte of the first bad sequence
    UnclosedQuote,    // `errorField` is the field whose quote is never closed
    TextAfterQuote,   // text follows the closing quote of `errorField`
    QuoteInUnquoted,  // a quote inside an unquoted field (`errorField`)
};

// The fields of one line, every one of them. Views point into the line, or into `storage` for a
// quoted field whose doubled quotes had to be undone; the vectors are reused from line to line.
struct ParsedLine {
    LineStatus status = LineStatus::Skip;
    std::size_t count = 0;
    std::vector<std::string_view> fields;
    std::vector<char> quoted;     // nonzero for a quoted field
    std::size_t errorField = 0;   // 1-based
    std::size_t errorColumn = 0;  // 1-based byte
    std::vector<std::string> storage;
};

// Splits one line (no line break; a trailing CR is ignored). Fields are separated by commas if
// the line has a comma outside quotes, else by semicolons if it has one outside quotes, else by
// tabs if it has a tab outside quotes, else by runs of blanks (spaces, tabs, the ideographic
// space U+3000). With `decimalComma` a comma belongs to the number and never separates. With a
// separator character a field may be empty and blanks around a field are dropped. A field that
// starts with a double quote runs to the closing quote, a doubled quote standing for one. Lines
// whose first non-blank character is '#' are comments.
void ParseLine(std::string_view line, ParsedLine& out, bool decimalComma = false);

namespace detail {
// ParseLine without its shortcut for plain comma-separated lines (the line without its CR); the
// two must agree on every line.
void ParseLineInGeneral(std::string_view line, ParsedLine& out, bool decimalComma);
}  // namespace detail

// Index of the first byte that is not part of a well-formed UTF-8 sequence, or npos.
std::size_t FindInvalidUtf8(std::string_view text);

}  // namespace quorvel::engine
