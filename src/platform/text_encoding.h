#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace quorvel::platform {

// A conversion between UTF-8 and a legacy encoding (GB18030, GBK), fed in pieces: the C
// library's iconv on Linux, the code page API on Windows (54936 for GB18030, 936 for GBK).
class TextConverter {
  public:
    enum class Step {
        Done,        // all the input converted
        Full,        // the output has no room for the next character
        Invalid,     // the input stops at bytes that are no character of the encoding
        Incomplete,  // the input ends inside a character
        Failed,      // the system failed; Error() says why
    };

    // From `from` to `to` ("UTF-8", "GB18030", "GBK"); null with `why` when the system cannot.
    static std::unique_ptr<TextConverter> Open(const std::string& to, const std::string& from,
                                               std::string& why);
    virtual ~TextConverter() = default;

    // Converts from `in` into `out` as far as it can, moving both on and counting down `inLeft`
    // and `room`: after Invalid and Incomplete `in` points at the character that stopped it.
    virtual Step Convert(const char*& in, std::size_t& inLeft, char*& out, std::size_t& room) = 0;
    // Why the last step Failed, in the system's words.
    virtual std::string Error() const = 0;
};

// Whether GB18030's four-byte characters of the first plane convert (U+0080 to U+FFFF beyond
// GBK). Always on Linux and on Windows; Wine 8 lacks code page 54936, and there such a character
// counts as invalid bytes.
bool ReadsAllOfGb18030();

// Whether the conversions are the C library's iconv (for the about box's credits).
bool ConvertsWithIconv();

}  // namespace quorvel::platform
