#pragma once

// Windows only: UTF-8 to and from the UTF-16 of the wide system calls.

#include <string>
#include <string_view>

namespace quorvel::platform {

std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);

}  // namespace quorvel::platform
