#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "platform/command_line.h"
#include "platform/unicode_text.h"

namespace quorvel::platform {

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    int n = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &n);
    if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> arguments;
    for (int i = 0; i < n; ++i) {
        arguments.push_back(Utf8OfUtf16(reinterpret_cast<const char16_t*>(wide[i])));
    }
    ::LocalFree(wide);
    return arguments;
}

}  // namespace quorvel::platform
