// QuarvaZip: the archive manager. With a display it opens its main window. The
// hidden command-line actions (the shell extension's unattended add, extraction,
// mail and self-extractor) run without a window, and also without a display.

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/init.h>

#include "archive/core/Associations.h"
#include "archive/core/HiddenActions.h"
#include "archive/core/ListFile.h"
#include "archive/core/QuarvaZipApp.h"
#include "archive/ui/QuarvaZipWxApp.h"
#include "platform/Interrupt.h"
#include "platform/Launcher.h"
#include "platform/Prompts.h"
#include "platform/ui/WxPrompts.h"

namespace {

bool haveDisplay() {
    const char* x = std::getenv("DISPLAY");
    const char* w = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (w && *w);
}

// Start-up without a window: the same steps, then the switch's hidden action.
// A switch that needs the window ends with a note saying so.
int runWithoutWindow(const std::vector<std::string>& params, quarva::platform::Prompts& prompts) {
    using namespace quarva::archive;
    // A list the shell extension handed over is read by the action; when the run
    // ends before (not installed, refused), nobody else will read it either.
    struct HandedOverList {
        std::string path;
        ~HandedOverList() { removeHandedOverList(path); }
    } list{params.empty() ? std::string() : params.back()};
    CQuarvaZipApp app(SettingsStore::fromEnvironment(), prompts);
    if (!app.readInstallation()) return 1;
    app.prepareFolders();
    if (!app.openDeletionList()) return 1;
    if (!app.parseCommandLine(params)) {
        app.exitInstance();
        return 2;
    }
    app.loadSettings();
    registerAssociations(app.libraryPath, nullptr, prompts, app.store().registry());
    // Ctrl-C and its friends cancel the running operation, which removes its temporaries.
    quarva::platform::installInterruptHandlers();
    quarva::platform::ProcessLauncher launcher;
    int status = runHiddenAction(app, launcher);
    app.exitInstance();
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> params(argv + 1, argv + argc);
    quarva::archive::CCommandLine commandLine;
    // A command line that is refused is refused without a main window, as the
    // hidden actions run.
    const bool hidden = !commandLine.parse(params) || quarva::archive::isHiddenSwitch(commandLine.switchName());

    if (!haveDisplay()) {
        // Questions of a hidden run go to the terminal when there is one.
        quarva::platform::ConsolePrompts prompts(/*interactive=*/true);
        return runWithoutWindow(params, prompts);
    }
    if (hidden) {
        // wx is started for the dialogs the action may show, but no main window.
        if (!wxEntryStart(argc, argv)) return 1;
        int status;
        {
            quarva::platform::WxPrompts prompts;
            status = runWithoutWindow(params, prompts);
        }
        wxEntryCleanup();
        return status;
    }
    wxApp::SetInstance(new quarva::archive::ui::CQuarvaZipWxApp(params));
    return wxEntry(argc, argv);
}
