#pragma once

// Named temporary files that an interrupted program must not leave behind. The atomic writer
// registers its temporary file while the file has a name; a handler for SIGINT, SIGTERM and
// SIGHUP removes every registered file and then ends the process by the same signal, so the
// shell still sees how it ended. SIGKILL cannot be caught: where the system allows, the
// writer's temporary file has no name until it is complete, and nothing is left to remove.
// On Windows the signals are the console's Ctrl+C, Ctrl+Break and close events, and the
// writer's file is marked for deletion until commit, so a killed process leaves none either.

namespace tarnwick::platform {

/// Registers `path` for removal on a signal. Returns a slot for ForgetTemporary, or -1 when
/// every slot is taken or the path is too long (the file is then only removed as usual).
int RemoveOnSignal(const char* path);

/// Takes the file of `slot` off the list: it was renamed into place or removed.
void ForgetTemporary(int slot);

/// Installs the handlers. With `quitWhenIdle`, a signal that finds no temporary file
/// registered (no write under way) calls it from the handler instead of ending the process,
/// so a program with an event loop can end cleanly; it must only do what a signal handler
/// may (write a byte to a pipe). A signal during a write always ends the process.
void InstallSignalCleanup(void (*quitWhenIdle)(int signal) = nullptr);

/// Installs the handlers for a program with an event loop: a signal that finds no write
/// under way writes a byte to a pipe instead of ending the process. Returns the pipe's read
/// end, which the program watches to end cleanly, or -1 when no pipe could be made (a
/// signal then ends the process at once).
int InstallSignalCleanupWithQuitPipe();

} // namespace tarnwick::platform
