#include "cli/line_parser.h"

#include <cstdint>
#include <cstring>
#include <optional>

namespace quorvel::cli {
namespace {

// The separator of a line: a comma or tab outside quotes, or none when runs of blanks separate.
// Quotes are only counted, which is exact for well-formed lines; a stray quote inside an unquoted
// field is reported later anyway.
std::optional<char> DetectSeparator(std::string_view line) {
    bool inQuotes = false;
    bool tab = false;
    for (char c : line) {
        if (c == '"') {
            inQuotes = !inQuotes;
        } else if (!inQuotes) {
            if (c == ',') return ',';
            if (c == '\t') tab = true;
        }
    }
    if (tab) return '\t';
    return std::nullopt;
}

void Unescape(std::string_view quotedBody, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < quotedBody.size(); ++i) {
        out.push_back(quotedBody[i]);
        if (quotedBody[i] == '"') ++i;  // the second of a doubled pair
    }
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

void ParseLine(std::string_view line, ParsedLine& out) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    out.count = 0;
    out.errorField = 0;
    out.errorColumn = 0;
    out.fields = {};
    out.quoted = {};

    std::size_t first = 0;  // a loop: find_first_not_of calls memchr for every character
    while (first < line.size() && (line[first] == ' ' || line[first] == '\t')) ++first;
    if (first == line.size() || line[first] == '#') {
        out.status = LineStatus::Skip;
        return;
    }
    if (std::size_t bad = FindInvalidUtf8(line); bad != std::string_view::npos) {
        out.status = LineStatus::InvalidUtf8;
        out.errorColumn = bad + 1;
        return;
    }

    // Any byte may occur in a line, NUL included, so "no separator" is not a character.
    const std::optional<char> separator = DetectSeparator(line);
    const bool blanksSeparate = !separator;
    const char sep = separator.value_or(' ');
    auto isBlank = [sep](char c) { return c == ' ' || (c == '\t' && sep != '\t'); };
    auto isSeparator = [&](char c) { return blanksSeparate ? isBlank(c) : c == sep; };
    auto fail = [&out](LineStatus status, std::size_t field) {
        out.status = status;
        out.errorField = field;
    };
    const std::size_t n = line.size();
    std::size_t i = 0;
    for (;;) {
        while (i < n && isBlank(line[i])) ++i;
        if (blanksSeparate && i == n) break;
        const std::size_t field = out.count + 1;
        std::string_view value;
        bool quoted = false;
        if (i < n && line[i] == '"') {
            quoted = true;
            const std::size_t start = ++i;
            bool doubled = false;
            for (;;) {
                const std::size_t q = line.find('"', i);
                if (q == std::string_view::npos) return fail(LineStatus::UnclosedQuote, field);
                if (q + 1 < n && line[q + 1] == '"') {
                    doubled = true;
                    i = q + 2;
                    continue;
                }
                value = line.substr(start, q - start);
                i = q + 1;
                break;
            }
            if (doubled && field <= kPointFields) {
                Unescape(value, out.storage[field - 1]);
                value = out.storage[field - 1];
            }
            if (!blanksSeparate) {
                while (i < n && isBlank(line[i])) ++i;
            }
            if (i < n && !isSeparator(line[i])) return fail(LineStatus::TextAfterQuote, field);
        } else {
            const std::size_t start = i;
            while (i < n && !isSeparator(line[i])) {
                if (line[i] == '"') return fail(LineStatus::QuoteInUnquoted, field);
                ++i;
            }
            std::size_t end = i;
            while (end > start && isBlank(line[end - 1])) --end;
            value = line.substr(start, end - start);
        }
        if (field <= kPointFields) {
            out.fields[field - 1] = value;
            out.quoted[field - 1] = quoted;
        }
        out.count = field;
        if (i == n) break;
        if (!blanksSeparate) ++i;  // past the separator; a last one leaves an empty field
    }
    out.status = LineStatus::Fields;
}

}  // namespace quorvel::cli
