#include "engine/reading/line_parser.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <optional>

namespace quorvel::engine {
namespace {

// The separator of a line: a comma, semicolon or tab outside quotes, or none when runs of blanks
// separate. Quotes are only counted, which is exact for well-formed lines; a stray quote inside
// an unquoted field is reported later anyway.
std::optional<char> DetectSeparator(std::string_view line, bool decimalComma) {
    bool inQuotes = false;
    bool tab = false, semicolon = false;
    for (char c : line) {
        if (c == '"') {
            inQuotes = !inQuotes;
        } else if (!inQuotes) {
            if (c == ',' && !decimalComma) return ',';
            if (c == ';') semicolon = true;
            if (c == '\t') tab = true;
        }
    }
    if (semicolon) return ';';
    if (tab) return '\t';
    return std::nullopt;
}

// The ideographic space, typed by Chinese input methods in full-width mode.
constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";

// The length of the blank at `i` (0 when there is none): a space, a tab that does not separate,
// or an ideographic space.
std::size_t BlankAt(std::string_view line, std::size_t i, char sep) {
    const char c = line[i];
    if (c == ' ' || (c == '\t' && sep != '\t')) return 1;
    if (c == '\xE3' && line.substr(i, 3) == kIdeographicSpace) return 3;
    return 0;
}

// Whether the field text ends in a blank, and how long it is.
std::size_t BlankBefore(std::string_view line, std::size_t end, char sep) {
    if (end == 0) return 0;
    const char c = line[end - 1];
    if (c == ' ' || (c == '\t' && sep != '\t')) return 1;
    if (end >= 3 && line.substr(end - 3, 3) == kIdeographicSpace) return 3;
    return 0;
}

void Unescape(std::string_view quotedBody, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < quotedBody.size(); ++i) {
        out.push_back(quotedBody[i]);
        if (quotedBody[i] == '"') ++i;  // the second of a doubled pair
    }
}

void SkipBlanks(std::string_view line, std::size_t& i, char sep) {
    while (i < line.size()) {
        const std::size_t b = BlankAt(line, i, sep);
        if (b == 0) break;
        i += b;
    }
}

// A line with nothing to read (Skip) or not UTF-8 (InvalidUtf8); Fields otherwise.
LineStatus Screen(std::string_view line, ParsedLine& out) {
    std::size_t first = 0;
    SkipBlanks(line, first, '\0');
    if (first == line.size() || line[first] == '#') return LineStatus::Skip;
    if (std::size_t bad = FindInvalidUtf8(line); bad != std::string_view::npos) {
        out.errorColumn = bad + 1;
        return LineStatus::InvalidUtf8;
    }
    return LineStatus::Fields;
}

// The field whose opening quote is at `i`: `value` between the quotes, doubled quotes left
// doubled (`quoted` is then 2), `i` past the closing quote and the blanks before a separator.
LineStatus ReadQuoted(std::string_view line, std::size_t& i, char sep, bool blanksSeparate,
                      std::string_view& value, char& quoted) {
    const std::size_t n = line.size();
    quoted = 1;
    const std::size_t start = ++i;
    for (;;) {
        const std::size_t q = line.find('"', i);
        if (q == std::string_view::npos) return LineStatus::UnclosedQuote;
        if (q + 1 < n && line[q + 1] == '"') {
            quoted = 2;
            i = q + 2;
            continue;
        }
        value = line.substr(start, q - start);
        i = q + 1;
        break;
    }
    if (!blanksSeparate) SkipBlanks(line, i, sep);
    if (i < n && (blanksSeparate ? BlankAt(line, i, sep) == 0 : line[i] != sep)) {
        return LineStatus::TextAfterQuote;
    }
    return LineStatus::Fields;
}

// The field that starts at `i` without a quote, blanks around it dropped; `i` at its end.
LineStatus ReadUnquoted(std::string_view line, std::size_t& i, char sep, bool blanksSeparate,
                        std::string_view& value) {
    const std::size_t n = line.size();
    const std::size_t start = i;
    if (blanksSeparate) {
        while (i < n && BlankAt(line, i, sep) == 0) {
            if (line[i] == '"') return LineStatus::QuoteInUnquoted;
            ++i;
        }
    } else {
        while (i < n && line[i] != sep) {
            if (line[i] == '"') return LineStatus::QuoteInUnquoted;
            ++i;
        }
    }
    std::size_t end = i;
    while (end > start) {
        const std::size_t b = BlankBefore(line, end, sep);
        if (b == 0 || end - b < start) break;
        end -= b;
    }
    value = line.substr(start, end - start);
    return LineStatus::Fields;
}

// The fields read: a blank row, or fields with their doubled quotes undone.
LineStatus Finish(ParsedLine& out, std::size_t doubledFields) {
    // A spreadsheet's blank row comes out as separators alone: it is an empty line, not a point.
    if (std::all_of(out.fields.begin(), out.fields.end(), [](auto f) { return f.empty(); }) &&
        std::all_of(out.quoted.begin(), out.quoted.end(), [](char q) { return q == 0; })) {
        return LineStatus::Skip;
    }
    if (doubledFields > 0) {
        if (out.storage.size() < out.count) out.storage.resize(out.count);
        for (std::size_t f = 0; f < out.count; ++f) {
            if (out.quoted[f] != 2) continue;
            Unescape(out.fields[f], out.storage[f]);
            out.fields[f] = out.storage[f];
        }
    }
    return LineStatus::Fields;
}

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

// The high bit of every byte of `word` that equals `c`, exactly, for words of ASCII bytes.
std::uint64_t BytesEqual(std::uint64_t word, char c) {
    const std::uint64_t v = word ^ (kOnes * static_cast<unsigned char>(c));
    return ~(((v & ~kHighBits) + ~kHighBits) | v) & kHighBits;
}

// A line of ASCII with a comma and no quote, as nearly every line of a coordinate file is, split
// as the general way would split it: at every comma, spaces and tabs around a field dropped.
// False, `out` untouched, for any other line. Eight bytes at a time: the commas' positions come
// from a bit mask of each word.
bool ParseCommaSeparated(std::string_view line, ParsedLine& out) {
    const std::size_t n = line.size();
    const char* const s = line.data();
    // Where the fields end: the commas, then the end of the line.
    std::size_t ends[64];
    std::size_t count = 0;
    for (std::size_t i = 0; i < n; i += 8) {
        std::uint64_t word = 0;
        if (i + 8 <= n) {
            std::memcpy(&word, s + i, 8);
        } else {
            for (std::size_t k = n; k-- > i;) word = word << 8 | static_cast<unsigned char>(s[k]);
        }
        if ((word & kHighBits) != 0 || BytesEqual(word, '"') != 0) return false;
        for (std::uint64_t commas = BytesEqual(word, ','); commas != 0; commas &= commas - 1) {
            if (count == std::size(ends) - 1) return false;  // many fields: the general way
            ends[count++] = i + static_cast<std::size_t>(std::countr_zero(commas)) / 8;
        }
    }
    if (count == 0) return false;
    ends[count++] = n;

    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    std::size_t start = 0;
    while (start < n && blank(s[start])) ++start;
    if (start == n || s[start] == '#') {
        out.status = LineStatus::Skip;
        return true;
    }
    bool any = false;
    std::size_t begin = 0;
    for (std::size_t f = 0; f < count; ++f) {
        std::size_t a = begin, b = ends[f];
        while (a < b && blank(s[a])) ++a;
        while (b > a && blank(s[b - 1])) --b;
        out.fields.push_back(line.substr(a, b - a));
        out.quoted.push_back(0);
        any = any || b > a;
        begin = ends[f] + 1;
    }
    out.count = count;
    // A spreadsheet's blank row comes out as separators alone.
    out.status = any ? LineStatus::Fields : LineStatus::Skip;
    return true;
}

}  // namespace

std::size_t FindInvalidUtf8(std::string_view text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        // Plain ASCII eight bytes at a time: the common case for files of coordinates.
        if (i + 8 <= n) {
            std::uint64_t word;
            std::memcpy(&word, s + i, 8);
            if ((word & 0x8080808080808080ULL) == 0) {
                i += 8;
                continue;
            }
        }
        const unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t len;
        unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            if (c == 0xE0) lo = 0xA0;  // overlong
            if (c == 0xED) hi = 0x9F;  // surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            if (c == 0xF0) lo = 0x90;  // overlong
            if (c == 0xF4) hi = 0x8F;  // beyond U+10FFFF
        } else {
            return i;
        }
        if (i + len > n || s[i + 1] < lo || s[i + 1] > hi) return i;
        for (std::size_t k = 2; k < len; ++k) {
            if (s[i + k] < 0x80 || s[i + k] > 0xBF) return i;
        }
        i += len;
    }
    return std::string_view::npos;
}

void ParseLine(std::string_view line, ParsedLine& out, bool decimalComma) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    out.count = 0;
    out.errorField = 0;
    out.errorColumn = 0;
    out.fields.clear();
    out.quoted.clear();
    if (!decimalComma && ParseCommaSeparated(line, out)) return;
    detail::ParseLineInGeneral(line, out, decimalComma);
}

namespace detail {

void ParseLineInGeneral(std::string_view line, ParsedLine& out, bool decimalComma) {
    out.count = 0;
    out.errorField = 0;
    out.errorColumn = 0;
    out.fields.clear();
    out.quoted.clear();
    out.status = Screen(line, out);
    if (out.status != LineStatus::Fields) return;

    // Any byte may occur in a line, NUL included, so "no separator" is not a character.
    const std::optional<char> separator = DetectSeparator(line, decimalComma);
    const bool blanksSeparate = !separator;
    const char sep = separator.value_or(' ');
    // Fields whose doubled quotes are undone once all are known, so that `storage` does not move
    // under a view.
    std::size_t doubledFields = 0;
    const std::size_t n = line.size();
    std::size_t i = 0;
    for (;;) {
        SkipBlanks(line, i, sep);
        if (blanksSeparate && i == n) break;
        const std::size_t field = out.count + 1;
        std::string_view value;
        char quoted = 0;  // 1 quoted, 2 with doubled quotes to undo
        const LineStatus read = i < n && line[i] == '"'
                                    ? ReadQuoted(line, i, sep, blanksSeparate, value, quoted)
                                    : ReadUnquoted(line, i, sep, blanksSeparate, value);
        if (read != LineStatus::Fields) {
            out.status = read;
            out.errorField = field;
            return;
        }
        out.fields.push_back(value);
        out.quoted.push_back(quoted);
        doubledFields += quoted == 2;
        out.count = field;
        if (i == n) break;
        if (blanksSeparate) {
            i += BlankAt(line, i, sep);
        } else {
            ++i;  // past the separator; a last one leaves an empty field
        }
    }
    out.status = Finish(out, doubledFields);
}

}  // namespace detail

}  // namespace quorvel::engine
