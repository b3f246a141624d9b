#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>

#include "platform/interrupts.h"

namespace quorvel::platform {
namespace {

// Fixed storage: a handler may not allocate.
constexpr int kSlots = 16;
constexpr std::size_t kPathMax = 4096;
char gPaths[kSlots][kPathMax];
volatile std::sig_atomic_t gUsed[kSlots];
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
// The number of InterruptsDeferred alive, or −1 once the handler has begun to clean up; and a
// signal that came meanwhile.
std::atomic<int> gPublishing{0};
std::atomic<int> gDeferred{0};
static_assert(std::atomic<int>::is_always_lock_free, "used by a signal handler");

extern "C" void RemoveTempFilesAndDie(int sig) {
    int idle = 0;
    if (!gPublishing.compare_exchange_strong(idle, -1)) {
        if (idle > 0) {  // files are being exchanged (in another thread): after that
            gDeferred.store(sig);
            return;
        }
        for (;;) ::pause();  // another thread cleans up and ends the program
    }
    for (int i = 0; i < kSlots; ++i) {
        if (gUsed[i]) ::unlink(gPaths[i]);
    }
    for (int i = 0; i < kSlots; ++i) {  // folders, once the files in them are gone
        if (gUsed[i]) ::rmdir(gPaths[i]);
    }
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

void BlockSignals(sigset_t& old) {
    sigset_t block;
    sigemptyset(&block);
    for (int sig : kSignals) sigaddset(&block, sig);
    pthread_sigmask(SIG_BLOCK, &block, &old);
}

void InstallHandlersOnce() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    for (int sig : kSignals) {
        struct sigaction current {};
        sigaction(sig, nullptr, &current);
        if (current.sa_handler == SIG_IGN) continue;  // e.g. started with nohup
        struct sigaction action {};
        action.sa_handler = RemoveTempFilesAndDie;
        sigemptyset(&action.sa_mask);
        for (int other : kSignals) sigaddset(&action.sa_mask, other);
        sigaction(sig, &action, nullptr);
    }
}

}  // namespace

int RemoveOnInterrupt(const std::string& path) {
    if (path.size() >= kPathMax) return -1;
    InstallHandlersOnce();
    // Signals wait until the name is in the table, so none is left behind half written.
    sigset_t old;
    BlockSignals(old);
    int slot = -1;
    for (int i = 0; i < kSlots && slot < 0; ++i) {
        if (!gUsed[i]) {
            std::memcpy(gPaths[i], path.c_str(), path.size() + 1);
            gUsed[i] = 1;
            slot = i;
        }
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    return slot;
}

void KeepOnInterrupt(int slot) {
    if (slot >= 0) gUsed[slot] = 0;
}

InterruptsDeferred::InterruptsDeferred() {
    static_assert(sizeof saved_ >= sizeof(sigset_t));
    InstallHandlersOnce();
    sigset_t old;
    BlockSignals(old);
    std::memcpy(saved_, &old, sizeof old);
    int n = gPublishing.load();
    do {
        if (n < 0) {  // a signal is ending the program
            for (;;) ::pause();
        }
    } while (!gPublishing.compare_exchange_weak(n, n + 1));
}

InterruptsDeferred::~InterruptsDeferred() {
    const bool last = gPublishing.fetch_sub(1) == 1;
    sigset_t old;
    std::memcpy(&old, saved_, sizeof old);
    pthread_sigmask(SIG_SETMASK, &old, nullptr);  // a signal to this thread comes now
    const int deferred = last ? gDeferred.exchange(0) : 0;
    if (deferred != 0) std::raise(deferred);
}

}  // namespace quorvel::platform
