#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quorvel::platform {

// Quorvel keeps every file name as UTF-8 text. On Windows std::filesystem::path(std::string) and
// path::string() go through the ANSI code page, which loses Chinese names: these two do not.
std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string Utf8Path(const std::filesystem::path& path);

// Whether the names handed to the engine are UTF-8 (Windows, whose names are Unicode) rather
// than the file system's own bytes (Linux, where a name need not be text at all).
bool FileNamesAreUtf8();

}  // namespace quorvel::platform
