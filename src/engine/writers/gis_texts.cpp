#include "engine/writers/gis_texts.h"

#include <cstdio>
#include <string>

#include "core/errors.h"
#include "core/messages.h"
#include "engine/run/diagnostics.h"

namespace quorvel::engine {
namespace {

// "U+0001", "U+20BB7".
std::string CodePointText(char32_t c) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
    return text;
}

// The code point of the UTF-8 sequence at `text[i]`, whose length goes to `size`. The input is
// valid UTF-8, checked when it was read.
char32_t CodePointAt(std::string_view text, std::size_t i, std::size_t& size) {
    const auto byte = [&](std::size_t k) {
        return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0u;
    };
    const unsigned lead = byte(0);
    if (lead < 0x80) {
        size = 1;
        return lead;
    }
    size = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    char32_t c = lead & (0x3Fu >> (size - 1));
    for (std::size_t k = 1; k < size; ++k) c = (c << 6) | (byte(k) & 0x3Fu);
    return c;
}

// What of `c` the format cannot keep, or empty.
std::string Unkept(char32_t c, OutputFormat format) {
    if (c == 0) return Tr("a NUL character");
    if (format == OutputFormat::Dxf) {
        if (c == '\r') return Tr("a carriage return");
        if (c > 0xFFFF) {
            return Fill(Tr("the character {0}, beyond U+FFFF"), {CodePointText(c)});
        }
    }
    if (format == OutputFormat::Kml && c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
        return Fill(Tr("the control character {0}"), {CodePointText(c)});
    }
    return {};
}

}  // namespace

void CheckGisText(std::string_view text, OutputFormat format, std::uint64_t line,
                  std::string_view column) {
    for (std::size_t i = 0, size = 1; i < text.size(); i += size) {
        const auto byte = static_cast<unsigned char>(text[i]);
        // Only these bytes start what a format may not keep.
        if (byte >= 0x20 && byte < 0xF0) {
            size = byte < 0x80 ? 1 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
            continue;
        }
        const std::string unkept = Unkept(CodePointAt(text, i, size), format);
        if (unkept.empty()) continue;
        throw IoError(Fill(
            Tr("line {0}: the {1} {2} holds {3}, which --format {4} cannot hold"),
            {std::to_string(line), column, QuoteForMessage(text), unkept, FormatName(format)}));
    }
}

}  // namespace quorvel::engine
