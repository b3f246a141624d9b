#include "platform/paths.h"

namespace quorvel::platform {

std::filesystem::path PathFromUtf8(std::string_view utf8) {
    return std::filesystem::path(utf8);
}

std::string Utf8Path(const std::filesystem::path& path) {
    return path.string();
}

bool FileNamesAreUtf8() {
    return false;
}

}  // namespace quorvel::platform
