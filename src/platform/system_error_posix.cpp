#include <cstring>

#include "platform/system_error.h"

namespace quorvel::platform {

std::string SystemErrorText(unsigned long code) {
    return std::strerror(static_cast<int>(code));
}

}  // namespace quorvel::platform
