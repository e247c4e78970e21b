#include "platform/signal_cleanup.h"
#include "platform/signal_slots.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace tarnwick::platform {

namespace {

// Only lock-free atomics and unlink() are touched in the handler: both are safe there.
SignalSlots<char> g_slots;
std::atomic<void (*)(int)> g_quitWhenIdle{nullptr};

void onSignal(int signal) {
    const int savedErrno = errno;
    const bool removed = g_slots.removeAll([](const char* path) { ::unlink(path); });
    void (*quit)(int) = g_quitWhenIdle.load();
    if (!removed && quit) {
        quit(signal);
        errno = savedErrno;
        return;
    }
    // Ends as the signal would have: the shell's "interrupted" and exit status 128+N.
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    sigaction(signal, &byDefault, nullptr);
    raise(signal);
}

} // namespace

int RemoveOnSignal(const char* path) {
    return g_slots.add(path);
}

void ForgetTemporary(int slot) {
    g_slots.forget(slot);
}

void InstallSignalCleanup(void (*quitWhenIdle)(int signal)) {
    g_quitWhenIdle.store(quitWhenIdle);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // The other two wait while one runs, so a file is never removed twice at once.
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&action.sa_mask, signal);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        // A signal the caller's parent set to be ignored (nohup) stays ignored.
        struct sigaction previous {};
        if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;
        sigaction(signal, &action, nullptr);
    }
}

namespace {

int g_quitPipe[2] = {-1, -1};

void quitByPipe(int) {
    const char byte = 0;
    (void)!::write(g_quitPipe[1], &byte, 1);
}

} // namespace

int InstallSignalCleanupWithQuitPipe() {
    if (::pipe2(g_quitPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        InstallSignalCleanup();
        return -1;
    }
    InstallSignalCleanup(quitByPipe);
    return g_quitPipe[0];
}

} // namespace tarnwick::platform
