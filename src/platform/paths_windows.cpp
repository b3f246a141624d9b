#include "platform/paths.h"
#include "platform/wide_text.h"

namespace quorvel::platform {

std::filesystem::path PathFromUtf8(std::string_view utf8) {
    return std::filesystem::path(WideFromUtf8(utf8));
}

std::string Utf8Path(const std::filesystem::path& path) {
    return Utf8FromWide(path.native());
}

bool FileNamesAreUtf8() {
    return true;
}

}  // namespace quorvel::platform
