#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace quorvel::platform {

// Why a hand-over failed.
struct HandoffFailure {
    bool missing = false;  // no program at that place: another place is worth a try
    std::string why;       // in the system's words
};

// Runs `program` with `arguments` (its name first) in place of this process, with the same
// standard streams: exec on Linux; on Windows the program is started, waited for, and this
// process exits with its status. Returns only when the program cannot start.
HandoffFailure HandOver(const std::filesystem::path& program,
                        const std::vector<std::string>& arguments);

}  // namespace quorvel::platform
