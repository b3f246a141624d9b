#pragma once

#include <string>

namespace quorvel::platform {

// The system's words for an error number (errno on Linux, GetLastError() on Windows), in UTF-8
// and without the trailing line break Windows adds.
std::string SystemErrorText(unsigned long code);

}  // namespace quorvel::platform
