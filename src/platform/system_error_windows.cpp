#include <windows.h>

#include "platform/system_error.h"
#include "platform/unicode_text.h"

namespace quorvel::platform {

std::string SystemErrorText(unsigned long code) {
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string words;
    if (n > 0 && text != nullptr) {
        words = Utf8OfUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(text),
                                                static_cast<std::size_t>(n)));
    }
    ::LocalFree(text);
    while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == ' '))
        words.pop_back();
    if (words.empty()) words = "error " + std::to_string(code);
    return words;
}

}  // namespace quorvel::platform
