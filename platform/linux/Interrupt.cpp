#include "platform/Interrupt.h"

#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace quarva::platform {

namespace {

// A slot is free (0), being filled (1) or live (2). The handler only touches live
// slots, and only with async-signal-safe calls.
struct Slot {
    std::atomic<int> state{0};
    int dirFd = AT_FDCWD;
    char name[PATH_MAX] = {};
};

constexpr int kSlots = 128;
Slot g_slots[kSlots];
std::atomic<int> g_signal{0};

void removeTemporaries() {
    for (auto& slot : g_slots)
        if (slot.state.load() == 2) unlinkat(slot.dirFd, slot.name, 0);
}

void onSignal(int sig) {
    int expected = 0;
    if (g_signal.compare_exchange_strong(expected, sig)) return;  // first one: ask politely
    removeTemporaries();
    _exit(128 + sig);
}

int claim(int dirFd, const char* name) {
    if (std::strlen(name) >= PATH_MAX) return -1;
    for (int i = 0; i < kSlots; ++i) {
        int expected = 0;
        if (!g_slots[i].state.compare_exchange_strong(expected, 1)) continue;
        g_slots[i].dirFd = dirFd;
        std::strcpy(g_slots[i].name, name);
        g_slots[i].state.store(2);
        return i;
    }
    return -1;
}

}  // namespace

void installInterruptHandlers() {
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &sa, nullptr);
}

bool interruptRequested() { return g_signal.load() != 0; }
int interruptSignal() { return g_signal.load(); }
void clearInterrupt() { g_signal.store(0); }

int registerTemporary(const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::path abs = path.is_absolute() ? path : std::filesystem::absolute(path, ec);
    if (ec) return -1;
    return claim(AT_FDCWD, abs.c_str());
}

int registerTemporaryAt(int dirFd, const std::string& name) { return claim(dirFd, name.c_str()); }

void unregisterTemporary(int slot) {
    if (slot < 0 || slot >= kSlots) return;
    g_slots[slot].state.store(1);
    g_slots[slot].name[0] = '\0';
    g_slots[slot].state.store(0);
}

}  // namespace quarva::platform
