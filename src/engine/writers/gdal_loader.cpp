#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "core/messages.h"
#include "engine/reading/text_io.h"
#include "engine/writers/gdal_writer.h"

#ifndef QUORVEL_GDAL_MODULE_RELATIVE
#error "QUORVEL_GDAL_MODULE_RELATIVE must be defined by the build"
#endif

namespace quorvel::engine {
namespace {

constexpr const char* kModule = "quorvel-gdal.so";

// The module's entry point, or null with `why`. Loaded once and never unloaded: GDAL keeps
// state that outlives its calls.
NewGdalWriter LoadModule(std::string& why) {
    std::vector<std::filesystem::path> candidates;
    if (const char* path = std::getenv("QUORVEL_GDAL_MODULE"); path != nullptr && *path != '\0') {
        candidates.emplace_back(path);
    } else {
        std::error_code ec;
        const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
        if (ec) {
            why = ec.message();
            return nullptr;
        }
        candidates = {self.parent_path() / QUORVEL_GDAL_MODULE_RELATIVE / kModule,
                      self.parent_path() / kModule};
    }
    std::string tried;
    for (const std::filesystem::path& candidate : candidates) {
        std::error_code ec;
        if (!std::filesystem::exists(candidate, ec) && candidate != candidates.back()) continue;
        void* handle = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            why = ::dlerror();
            return nullptr;
        }
        if (void* entry = ::dlsym(handle, kGdalWriterSymbol)) {
            return reinterpret_cast<NewGdalWriter>(entry);
        }
        why = ::dlerror();
        return nullptr;
    }
    return nullptr;
}

}  // namespace

std::unique_ptr<GdalWriter> LoadGdalWriter() {
    static std::mutex mutex;
    static NewGdalWriter make = nullptr;
    static std::string why;
    const std::lock_guard<std::mutex> lock(mutex);
    if (make == nullptr) {
        why.clear();
        make = LoadModule(why);
        if (make == nullptr) {
            throw IoError(
                Fill(Tr("cannot load GDAL, which writes this format ({0}): {1}"), {kModule, why}));
        }
    }
    return std::unique_ptr<GdalWriter>(make());
}

}  // namespace quorvel::engine
