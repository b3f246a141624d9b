#include "core/target_path.h"

#include <cstring>

#include "core/errors.h"
#include "core/messages.h"
#include "platform/files.h"

namespace quorvel {
namespace {

IoError Refused(const std::string& target, int err) {
    return IoError(CannotWrite(target, std::strerror(err)), err);
}

}  // namespace

WriteTarget ResolveTarget(const std::string& target) {
    WriteTarget where;
    if (const int err = platform::FollowLinks(target, where.path, where.inheritedFd); err != 0)
        throw Refused(target, err);
    return where;
}

std::string TemporaryName(const std::string& filename, const std::string& middle,
                          const std::string& ending, std::size_t nameMax) {
    const std::string tail = middle + "XXXXXX";
    std::string end = ending.size() <= 16 ? ending : std::string();
    const std::size_t fixed = 1 + tail.size() + end.size();
    std::size_t keep = filename.size();
    if (fixed + keep > nameMax) {
        keep = nameMax > fixed ? nameMax - fixed : 0;
        // Not cutting a UTF-8 character.
        while (keep > 0 && (static_cast<unsigned char>(filename[keep]) & 0xC0) == 0x80) --keep;
    }
    return "." + filename.substr(0, keep) + tail + end;
}

std::size_t NameMax(const std::string& folder) {
    return platform::NameMax(folder);
}

}  // namespace quorvel
