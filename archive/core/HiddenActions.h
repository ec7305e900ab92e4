#pragma once
// The command line's hidden actions without any window: the run a desktop shell
// starts for "noadddialog", "zipandmail", "mail", "SFX" and "noextractdialog",
// also where there is no display.

#include <memory>

#include "archive/commands/BusyDialog.h"
#include "archive/core/QuarvaZipApp.h"
#include "platform/Launcher.h"

namespace quarva::archive {

class CArchiveSession;

// The busy dialogs of a run without a window: they show nothing, and cancel their
// operation (the engine's abort, the format library's Abort) once an interrupt
// arrived (platform::interruptRequested()).
std::unique_ptr<IBusyDialogFactory> createInterruptWatchingBusyFactory(CArchiveSession& session);

// True for the switches whose action needs no window.
bool isHiddenSwitch(const std::string& switchName);

// After start-up steps 4-9: runs the switch's action on a session with our zip
// engine, the format library at the application's library path, no busy dialog
// and no window. An interrupt (see platform/Interrupt.h, installed by the caller)
// cancels the running operation as the busy dialog's "Cancel" would. The caller
// ends the run as usual (exitInstance). Returns the process exit status: 0 when a
// hidden action ran, 128 + the signal when an interrupt cut it short, 1 when the
// switch needs the main window (a note says so on stderr).
int runHiddenAction(CQuarvaZipApp& app, platform::Launcher& launcher);

}  // namespace quarva::archive
