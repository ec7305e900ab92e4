#pragma once
// Ctrl-C and its friends. Programs call installInterruptHandlers() once at start:
// the first SIGINT, SIGTERM or SIGHUP sets a flag that long operations poll (and the
// engines' abort paths read), so they stop cooperatively and clean up; a second
// signal removes every temporary still registered here and ends the process at once.

#include <filesystem>
#include <string>

namespace quarva::platform {

void installInterruptHandlers();
// True once an interrupt arrived (SIGINT, SIGTERM, SIGHUP).
bool interruptRequested();
// The signal that arrived, 0 when none (for the exit status 128 + signal).
int interruptSignal();
// For tests: forget an interrupt.
void clearInterrupt();

// Temporaries that must not outlive the process (AtomicFile registers its own).
// Safe to call from any thread; the handler only reads a fixed-size table.
int registerTemporary(const std::filesystem::path& path);  // returns a slot, -1 when full
// The same for the entry `name` of the open folder `dirFd` (which must stay open
// while registered): removed with unlinkat, no path lookup.
int registerTemporaryAt(int dirFd, const std::string& name);
void unregisterTemporary(int slot);

}  // namespace quarva::platform
