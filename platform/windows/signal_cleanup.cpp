#include "platform/signal_cleanup.h"
#include "platform/signal_slots.h"

#include "wide.h"

#include <windows.h>

#include <atomic>

namespace tarnwick::platform {

namespace {

// Ctrl+C, Ctrl+Break and a closed console window arrive as console control events, on a
// thread of their own; the temporary files are deleted there. They are open with
// FILE_SHARE_DELETE, so the deletion is allowed and completes when the process ends.
SignalSlots<wchar_t> g_slots;
std::atomic<void (*)(int)> g_quitWhenIdle{nullptr};

BOOL WINAPI onControl(DWORD event) {
    const bool removed = g_slots.removeAll([](const wchar_t* path) { DeleteFileW(path); });
    void (*quit)(int) = g_quitWhenIdle.load();
    if (!removed && quit) {
        quit(static_cast<int>(event));
        return TRUE;
    }
    return FALSE; // on to the default handler, which ends the process
}

} // namespace

int RemoveOnSignal(const char* path) {
    return g_slots.add(windows::Widen(path));
}

void ForgetTemporary(int slot) {
    g_slots.forget(slot);
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
