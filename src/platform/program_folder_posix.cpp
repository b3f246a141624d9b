#include "platform/program_folder.h"

namespace quorvel::platform {

std::filesystem::path ProgramFolder() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : self.parent_path();
}

const char* ProgramFileEnding() {
    return "";
}

}  // namespace quorvel::platform
