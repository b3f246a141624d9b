#include <windows.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/interrupts.h"
#include "platform/wide_text.h"

namespace quorvel::platform {
namespace {

// Windows calls the handler in a thread of its own, which may lock and allocate; the table stays
// fixed so that it behaves as on POSIX.
constexpr int kSlots = 16;
constexpr std::size_t kPathMax = 4096;
std::mutex gMutex;
std::string gPaths[kSlots];
bool gUsed[kSlots];
// The number of InterruptsDeferred alive, or −1 once the handler has begun to clean up.
std::atomic<int> gPublishing{0};

BOOL WINAPI RemoveTempFiles(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT &&
        event != CTRL_LOGOFF_EVENT && event != CTRL_SHUTDOWN_EVENT)
        return FALSE;
    // Files being exchanged are all settled or all put back first.
    for (int idle = 0; !gPublishing.compare_exchange_weak(idle, -1); idle = 0) {
        if (idle < 0) return FALSE;  // another event cleans up
        ::Sleep(1);
    }
    const std::lock_guard lock(gMutex);
    for (int i = 0; i < kSlots; ++i) {
        if (gUsed[i]) ::DeleteFileW(WideFromUtf8(gPaths[i]).c_str());
    }
    for (int i = 0; i < kSlots; ++i) {  // folders, once the files in them are gone
        if (gUsed[i]) ::RemoveDirectoryW(WideFromUtf8(gPaths[i]).c_str());
    }
    return FALSE;  // the next handler, in the end the system's, ends the program
}

void InstallHandlerOnce() {
    static std::once_flag once;
    std::call_once(once, [] { ::SetConsoleCtrlHandler(RemoveTempFiles, TRUE); });
}

}  // namespace

int RemoveOnInterrupt(const std::string& path) {
    if (path.size() >= kPathMax) return -1;
    InstallHandlerOnce();
    const std::lock_guard lock(gMutex);
    for (int i = 0; i < kSlots; ++i) {
        if (!gUsed[i]) {
            gPaths[i] = path;
            gUsed[i] = true;
            return i;
        }
    }
    return -1;
}

void KeepOnInterrupt(int slot) {
    if (slot < 0) return;
    const std::lock_guard lock(gMutex);
    gUsed[slot] = false;
}

InterruptsDeferred::InterruptsDeferred() : saved_{} {
    InstallHandlerOnce();
    int n = gPublishing.load();
    do {
        if (n < 0) {  // an interruption is ending the program
            for (;;) ::Sleep(INFINITE);
        }
    } while (!gPublishing.compare_exchange_weak(n, n + 1));
}

InterruptsDeferred::~InterruptsDeferred() {
    gPublishing.fetch_sub(1);
}

}  // namespace quorvel::platform
