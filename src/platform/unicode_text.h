#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Pieces of text handling that every system shares; the Windows side builds its conversions from
// them, and the tests check them on Linux.
namespace quorvel::platform {

// What a look at the bytes starting a character finds.
enum class Sequence { Complete, Incomplete, Invalid };

struct SequenceAt {
    Sequence kind = Sequence::Invalid;
    std::size_t length = 0;  // bytes of a complete character
};

// The UTF-8 character at the start of `text` (non-empty): strict, so no overlong forms, no
// surrogates, nothing above U+10FFFF. `code` is its code point when complete.
SequenceAt Utf8At(std::string_view text, char32_t& code);

// The GBK or GB18030 (`fourByte`) character at the start of `text` (non-empty), by its byte
// ranges: ASCII; a lead byte 81-FE with a trail 40-7E or 80-FE; for GB18030 also lead, digit,
// lead, digit. Whether the code page maps a well-formed pair is the code page's to say.
SequenceAt GbAt(std::string_view text, bool fourByte);

// The code point of a four-byte GB18030 sequence for the planes above the first, which the
// standard maps linearly (90 30 81 30 is U+10000); 0 for the four-byte sequences of the first
// plane, which only the full table maps.
char32_t Gb18030Supplementary(std::string_view four);
// The four-byte GB18030 sequence of a code point above U+FFFF.
std::string Gb18030OfSupplementary(char32_t code);

// `code` (a valid code point) appended as UTF-8.
void AppendUtf8(char32_t code, std::string& out);

// UTF-16 as UTF-8 and back, as Windows' wide strings meet the program's UTF-8. A lone surrogate
// becomes U+FFFD; invalid UTF-8 bytes each become U+FFFD.
std::string Utf8OfUtf16(std::u16string_view text);
std::u16string Utf16OfUtf8(std::string_view text);

}  // namespace quorvel::platform
