#include <windows.h>

#include <cstring>

#include "platform/text_encoding.h"
#include "platform/unicode_text.h"

namespace quorvel::platform {
namespace {

constexpr UINT kGbk = 936;
constexpr UINT kGb18030 = 54936;

// The code page API converts whole strings; the converters walk the characters themselves so
// that they can stop where iconv stops, and copy ASCII as it is.
class CodePageConverter : public TextConverter {
  public:
    // `table`: the code page, which is 936 for GB18030 where the system lacks 54936 (Wine 8).
    CodePageConverter(UINT table, bool gb18030)
        : table_(table), gb18030_(gb18030), fullTable_(!gb18030 || table == kGb18030) {}
    std::string Error() const override { return {}; }

  protected:
    static bool Put(std::string_view bytes, char*& out, std::size_t& room) {
        if (bytes.size() > room) return false;
        std::memcpy(out, bytes.data(), bytes.size());
        out += bytes.size();
        room -= bytes.size();
        return true;
    }

    UINT table_;
    bool gb18030_;
    bool fullTable_;  // the code page maps all of GB18030 (or the encoding is GBK)
};

class Decoder : public CodePageConverter {
  public:
    using CodePageConverter::CodePageConverter;

    Step Convert(const char*& in, std::size_t& inLeft, char*& out, std::size_t& room) override {
        std::string utf8;
        while (inLeft > 0) {
            const SequenceAt at = GbAt(std::string_view(in, inLeft), gb18030_);
            if (at.kind == Sequence::Invalid) return Step::Invalid;
            if (at.kind == Sequence::Incomplete) return Step::Incomplete;
            utf8.clear();
            if (at.length == 1) {
                utf8 += *in;
            } else if (!Decode(std::string_view(in, at.length), utf8)) {
                return Step::Invalid;
            }
            if (!Put(utf8, out, room)) return Step::Full;
            in += at.length;
            inLeft -= at.length;
        }
        return Step::Done;
    }

  private:
    bool Decode(std::string_view character, std::string& utf8) const {
        if (character.size() == 4 && !fullTable_) {
            // Without the full table only the planes above the first, which are linear.
            const char32_t code = Gb18030Supplementary(character);
            if (code == 0) return false;
            AppendUtf8(code, utf8);
            return true;
        }
        wchar_t wide[2];
        const int n = ::MultiByteToWideChar(table_, MB_ERR_INVALID_CHARS, character.data(),
                                            static_cast<int>(character.size()), wide, 2);
        if (n <= 0) return false;
        utf8 = Utf8OfUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(wide),
                                               static_cast<std::size_t>(n)));
        return true;
    }
};

class Encoder : public CodePageConverter {
  public:
    using CodePageConverter::CodePageConverter;

    Step Convert(const char*& in, std::size_t& inLeft, char*& out, std::size_t& room) override {
        std::string bytes;
        while (inLeft > 0) {
            char32_t code = 0;
            const SequenceAt at = Utf8At(std::string_view(in, inLeft), code);
            if (at.kind == Sequence::Invalid) return Step::Invalid;
            if (at.kind == Sequence::Incomplete) return Step::Incomplete;
            bytes.clear();
            if (at.length == 1) {
                bytes += *in;
            } else if (!Encode(std::string_view(in, at.length), code, bytes)) {
                return Step::Invalid;
            }
            if (!Put(bytes, out, room)) return Step::Full;
            in += at.length;
            inLeft -= at.length;
        }
        return Step::Done;
    }

  private:
    bool Encode(std::string_view character, char32_t code, std::string& bytes) const {
        if (code >= 0x10000 && gb18030_ && !fullTable_) {
            bytes = Gb18030OfSupplementary(code);
            return true;
        }
        const std::u16string wide = Utf16OfUtf8(character);
        char buffer[8];
        BOOL lost = FALSE;
        // 54936 takes no default character and maps every code point.
        const int n = ::WideCharToMultiByte(
            table_, 0, reinterpret_cast<const wchar_t*>(wide.data()), static_cast<int>(wide.size()),
            buffer, sizeof buffer, nullptr, table_ == kGb18030 ? nullptr : &lost);
        if (n <= 0 || lost) return false;
        bytes.assign(buffer, static_cast<std::size_t>(n));
        return true;
    }
};

std::string Upper(const std::string& name) {
    std::string upper;
    for (char c : name) upper += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return upper;
}

}  // namespace

std::unique_ptr<TextConverter> TextConverter::Open(const std::string& to, const std::string& from,
                                                   std::string& why) {
    const bool decoding = Upper(to) == "UTF-8";
    const std::string legacy = Upper(decoding ? from : to);
    const bool gb18030 = legacy == "GB18030";
    if ((!decoding && Upper(from) != "UTF-8") || (!gb18030 && legacy != "GBK")) {
        why = "no conversion from " + from + " to " + to;
        return nullptr;
    }
    const UINT table = gb18030 && ReadsAllOfGb18030() ? kGb18030 : kGbk;
    if (decoding) return std::make_unique<Decoder>(table, gb18030);
    return std::make_unique<Encoder>(table, gb18030);
}

bool ReadsAllOfGb18030() {
    return ::IsValidCodePage(kGb18030) != 0;
}

bool ConvertsWithIconv() {
    return false;
}

}  // namespace quorvel::platform
