#include <windows.h>

#include <string>

#include "platform/program_folder.h"

namespace quorvel::platform {

std::filesystem::path ProgramFolder() {
    // Paths may exceed MAX_PATH; grow until the whole name fits.
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (n == 0) return {};
        if (n < name.size()) {
            name.resize(n);
            return std::filesystem::path(name).parent_path();
        }
        name.resize(name.size() * 2);
    }
}

const char* ProgramFileEnding() {
    return ".exe";
}

}  // namespace quorvel::platform
