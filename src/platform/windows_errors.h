#pragma once

// Windows only: errno for the last Win32 error, so that callers word failures as on POSIX.
namespace quorvel::platform {

void SetErrnoFromLastError();

}  // namespace quorvel::platform
