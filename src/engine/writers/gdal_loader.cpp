#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "core/messages.h"
#include "engine/reading/text_io.h"
#include "engine/writers/gdal_reader.h"
#include "engine/writers/gdal_writer.h"
#include "platform/module_loader.h"
#include "platform/program_folder.h"

namespace quorvel::engine {
namespace {

// The module's entry point `symbol`, or null with `why`. Loaded once and never unloaded: GDAL
// keeps state that outlives its calls.
void* LoadModule(const std::string& module, const char* symbol, std::string& why) {
    std::vector<std::filesystem::path> candidates;
    if (const char* path = std::getenv("QUORVEL_GDAL_MODULE"); path != nullptr && *path != '\0') {
        candidates.emplace_back(path);
    } else {
        const std::filesystem::path folder = platform::ProgramFolder();
        if (folder.empty()) {
            why = Tr("the program's folder is unknown");
            return nullptr;
        }
#ifdef QUORVEL_GDAL_MODULE_RELATIVE
        candidates.push_back(folder / QUORVEL_GDAL_MODULE_RELATIVE / module);
#endif
        candidates.push_back(folder / module);
    }
    for (const std::filesystem::path& candidate : candidates) {
        std::error_code ec;
        if (!std::filesystem::exists(candidate, ec) && candidate != candidates.back()) continue;
        return platform::LoadModuleSymbol(candidate, symbol, why);
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
        const std::string module = platform::ModuleFileName("quorvel-gdal");
        why.clear();
        make = reinterpret_cast<NewGdalWriter>(LoadModule(module, kGdalWriterSymbol, why));
        if (make == nullptr) {
            throw IoError(
                Fill(Tr("cannot load GDAL, which writes this format ({0}): {1}"), {module, why}));
        }
    }
    return std::unique_ptr<GdalWriter>(make());
}

std::unique_ptr<GdalSheetReader> LoadGdalSheetReader() {
    static std::mutex mutex;
    static NewGdalSheetReader make = nullptr;
    static std::string why;
    const std::lock_guard<std::mutex> lock(mutex);
    if (make == nullptr) {
        const std::string module = platform::ModuleFileName("quorvel-gdal");
        why.clear();
        make =
            reinterpret_cast<NewGdalSheetReader>(LoadModule(module, kGdalSheetReaderSymbol, why));
        if (make == nullptr) {
            throw IoError(Fill(Tr("cannot load GDAL, which reads Excel workbooks ({0}): {1}"),
                               {module, why}));
        }
    }
    return std::unique_ptr<GdalSheetReader>(make());
}

}  // namespace quorvel::engine
