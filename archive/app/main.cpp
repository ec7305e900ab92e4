// QuarvaZip: the archive manager. With a display it opens its main window; the
// hidden command-line actions also run without one.

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include <wx/app.h>

#include "archive/core/QuarvaZipApp.h"
#include "archive/ui/QuarvaZipWxApp.h"
#include "platform/Prompts.h"

namespace {

bool haveDisplay()
{
    const char* x = std::getenv("DISPLAY");
    const char* w = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (w && *w);
}

// Start-up without a window: the same steps, with questions answered on the console.
int runWithoutDisplay(const std::vector<std::string>& params)
{
    using namespace quarva::archive;
    quarva::platform::ConsolePrompts prompts(/*interactive=*/true);
    CQuarvaZipApp app(SettingsStore::fromEnvironment(), prompts);
    if (!app.readInstallation()) return 1;
    app.prepareFolders();
    app.openDeletionList();
    app.parseCommandLine(params);
    app.loadSettings();
    const std::string& sw = app.commandLine.switchName();
    std::cerr << "QuarvaZip: there is no display (DISPLAY is not set), so the main window cannot open"
              << (sw.empty() ? std::string() : " for the switch /" + sw) << ".\n";
    app.exitInstance();
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> params(argv + 1, argv + argc);
    if (!haveDisplay()) return runWithoutDisplay(params);
    wxApp::SetInstance(new quarva::archive::ui::CQuarvaZipWxApp(params));
    return wxEntry(argc, argv);
}
