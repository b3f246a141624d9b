#include <windows.h>

#include "platform/module_loader.h"
#include "platform/system_error.h"

namespace quorvel::platform {

std::string ModuleFileName(std::string_view stem) {
    return std::string(stem) + ".dll";
}

void* LoadModuleSymbol(const std::filesystem::path& path, const char* symbol, std::string& why) {
    // The module's own dependencies are looked for beside it, not in the current folder.
    HMODULE module = ::LoadLibraryExW(
        path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    if (module == nullptr) {
        why = SystemErrorText(::GetLastError());
        return nullptr;
    }
    if (FARPROC entry = ::GetProcAddress(module, symbol)) {
        return reinterpret_cast<void*>(entry);
    }
    why = SystemErrorText(::GetLastError());
    return nullptr;
}

}  // namespace quorvel::platform
