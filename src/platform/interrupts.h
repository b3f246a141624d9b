#pragma once

#include <cstdint>
#include <string>

// Temporary files removed when the program is interrupted (SIGINT, SIGTERM, SIGHUP, SIGPIPE; on
// Windows Ctrl-C, Ctrl-Break and the console closed), before it ends as it would have.
namespace quorvel::platform {

// The table is fixed (a signal handler may not allocate): −1 when it is full or the path too
// long, and the path then stays behind on an interruption.
int RemoveOnInterrupt(const std::string& path);
void KeepOnInterrupt(int slot);

// While one lives, an interruption waits, in every thread, and comes once the last is gone: files
// exchanged together are all settled or all put back before the temporary files go, never half.
class InterruptsDeferred {
  public:
    InterruptsDeferred();
    ~InterruptsDeferred();
    InterruptsDeferred(const InterruptsDeferred&) = delete;
    InterruptsDeferred& operator=(const InterruptsDeferred&) = delete;

  private:
    alignas(8) unsigned char saved_[128];  // the thread's signal mask, where signals are masked
};

}  // namespace quorvel::platform
