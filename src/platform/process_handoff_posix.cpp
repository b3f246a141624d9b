#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/process_handoff.h"

namespace quorvel::platform {

HandoffFailure HandOver(const std::filesystem::path& program,
                        const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    const int err = errno;
    return {err == ENOENT || err == ENOTDIR, std::strerror(err)};
}

}  // namespace quorvel::platform
