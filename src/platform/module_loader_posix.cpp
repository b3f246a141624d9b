#include <dlfcn.h>

#include "platform/module_loader.h"

namespace quorvel::platform {

std::string ModuleFileName(std::string_view stem) {
    return std::string(stem) + ".so";
}

void* LoadModuleSymbol(const std::filesystem::path& path, const char* symbol, std::string& why) {
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        why = ::dlerror();
        return nullptr;
    }
    if (void* entry = ::dlsym(handle, symbol)) return entry;
    why = ::dlerror();
    return nullptr;
}

}  // namespace quorvel::platform
