#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quorvel::platform {

// The file name of the program's module `stem`: quorvel-gdal.so, quorvel-gdal.dll.
std::string ModuleFileName(std::string_view stem);

// Loads the module at `path` and returns its entry point `symbol`, or null with `why` in the
// system's words. A module once loaded stays loaded for the rest of the run.
void* LoadModuleSymbol(const std::filesystem::path& path, const char* symbol, std::string& why);

}  // namespace quorvel::platform
