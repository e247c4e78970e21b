#include "platform/signal_cleanup.h"

#include "wide.h"

#include <windows.h>

#include <atomic>
#include <cwchar>

namespace tarnwick::platform {

namespace {

// Ctrl+C, Ctrl+Break and a closed console window arrive as console control events, on a
// thread of their own; the temporary files are deleted there. They are open with
// FILE_SHARE_DELETE, so the deletion is allowed and completes when the process ends.
constexpr int kSlots = 8;
constexpr std::size_t kPathRoom = 4096;

struct Slot {
    std::atomic<bool> used{false};
    std::atomic<bool> ready{false}; ///< the path is complete and may be removed
    wchar_t path[kPathRoom];
};

Slot g_slots[kSlots];
std::atomic<void (*)(int)> g_quitWhenIdle{nullptr};

BOOL WINAPI onControl(DWORD event) {
    bool removed = false;
    for (Slot& slot : g_slots)
        if (slot.ready.exchange(false)) {
            DeleteFileW(slot.path);
            removed = true;
        }
    void (*quit)(int) = g_quitWhenIdle.load();
    if (!removed && quit) {
        quit(static_cast<int>(event));
        return TRUE;
    }
    return FALSE; // on to the default handler, which ends the process
}

} // namespace

int RemoveOnSignal(const char* path) {
    const std::wstring wide = windows::Widen(path);
    if (wide.size() >= kPathRoom)
        return -1;
    for (int i = 0; i < kSlots; ++i) {
        bool expected = false;
        if (g_slots[i].used.compare_exchange_strong(expected, true)) {
            std::wmemcpy(g_slots[i].path, wide.c_str(), wide.size() + 1);
            g_slots[i].ready.store(true);
            return i;
        }
    }
    return -1;
}

void ForgetTemporary(int slot) {
    if (slot < 0 || slot >= kSlots)
        return;
    g_slots[slot].ready.store(false);
    g_slots[slot].used.store(false);
}

void InstallSignalCleanup(void (*quitWhenIdle)(int signal)) {
    g_quitWhenIdle.store(quitWhenIdle);
    SetConsoleCtrlHandler(onControl, TRUE);
}

int InstallSignalCleanupWithQuitPipe() {
    // A window has no console, so no console events to quit on; and an event loop cannot
    // watch an anonymous pipe here. The temporary files are still removed.
    InstallSignalCleanup();
    return -1;
}

} // namespace tarnwick::platform
