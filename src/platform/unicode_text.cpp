#include "platform/unicode_text.h"

namespace quorvel::platform {
namespace {

unsigned Byte(std::string_view text, std::size_t i) {
    return static_cast<unsigned char>(text[i]);
}

bool InRange(unsigned b, unsigned low, unsigned high) {
    return b >= low && b <= high;
}

constexpr char32_t kReplacement = 0xFFFD;

}  // namespace

SequenceAt Utf8At(std::string_view text, char32_t& code) {
    const unsigned b0 = Byte(text, 0);
    if (b0 < 0x80) {
        code = b0;
        return {Sequence::Complete, 1};
    }
    std::size_t length = 0;
    unsigned low = 0x80, high = 0xBF;  // the second byte's range, which excludes what is invalid
    if (InRange(b0, 0xC2, 0xDF)) {
        length = 2;
    } else if (InRange(b0, 0xE0, 0xEF)) {
        length = 3;
        if (b0 == 0xE0) low = 0xA0;   // overlong
        if (b0 == 0xED) high = 0x9F;  // surrogates
    } else if (InRange(b0, 0xF0, 0xF4)) {
        length = 4;
        if (b0 == 0xF0) low = 0x90;   // overlong
        if (b0 == 0xF4) high = 0x8F;  // above U+10FFFF
    } else {
        return {Sequence::Invalid, 0};
    }
    char32_t value = b0 & (0xFFu >> (length + 1));
    for (std::size_t i = 1; i < length; ++i) {
        if (i >= text.size()) return {Sequence::Incomplete, 0};
        const unsigned b = Byte(text, i);
        if (i == 1 ? !InRange(b, low, high) : !InRange(b, 0x80, 0xBF)) {
            return {Sequence::Invalid, 0};
        }
        value = (value << 6) | (b & 0x3F);
    }
    code = value;
    return {Sequence::Complete, length};
}

SequenceAt GbAt(std::string_view text, bool fourByte) {
    const unsigned b0 = Byte(text, 0);
    if (b0 < 0x80) return {Sequence::Complete, 1};
    if (!InRange(b0, 0x81, 0xFE)) return {Sequence::Invalid, 0};
    if (text.size() < 2) return {Sequence::Incomplete, 0};
    const unsigned b1 = Byte(text, 1);
    if (InRange(b1, 0x40, 0x7E) || InRange(b1, 0x80, 0xFE)) return {Sequence::Complete, 2};
    if (!fourByte || !InRange(b1, 0x30, 0x39)) return {Sequence::Invalid, 0};
    if (text.size() < 3) return {Sequence::Incomplete, 0};
    if (!InRange(Byte(text, 2), 0x81, 0xFE)) return {Sequence::Invalid, 0};
    if (text.size() < 4) return {Sequence::Incomplete, 0};
    if (!InRange(Byte(text, 3), 0x30, 0x39)) return {Sequence::Invalid, 0};
    return {Sequence::Complete, 4};
}

char32_t Gb18030Supplementary(std::string_view four) {
    const unsigned b0 = Byte(four, 0);
    if (!InRange(b0, 0x90, 0xE3)) return 0;
    const char32_t linear = (b0 - 0x90) * 12600 + (Byte(four, 1) - 0x30) * 1260 +
                            (Byte(four, 2) - 0x81) * 10 + (Byte(four, 3) - 0x30);
    return linear < 0x100000 ? 0x10000 + linear : 0;
}

std::string Gb18030OfSupplementary(char32_t code) {
    char32_t linear = code - 0x10000;
    std::string four(4, '\0');
    four[3] = static_cast<char>(0x30 + linear % 10);
    linear /= 10;
    four[2] = static_cast<char>(0x81 + linear % 126);
    linear /= 126;
    four[1] = static_cast<char>(0x30 + linear % 10);
    four[0] = static_cast<char>(0x90 + linear / 10);
    return four;
}

void AppendUtf8(char32_t code, std::string& out) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

std::string Utf8OfUtf16(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t unit = text[i];
        char32_t code = unit;
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((unit - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            code = kReplacement;
        }
        AppendUtf8(code, out);
    }
    return out;
}

std::u16string Utf16OfUtf8(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    while (!text.empty()) {
        char32_t code = kReplacement;
        const SequenceAt at = Utf8At(text, code);
        if (at.kind != Sequence::Complete) code = kReplacement;
        if (code >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(code);
        }
        text.remove_prefix(at.kind == Sequence::Complete ? at.length : 1);
    }
    return out;
}

}  // namespace quorvel::platform
