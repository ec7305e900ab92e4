#include "archive/core/HiddenActions.h"

#include <iostream>

#include "archive/core/ArchiveSession.h"
#include "archive/core/CommandLineActions.h"

namespace quarva::archive {

bool isHiddenSwitch(const std::string& switchName)
{
    return switchName == "noadddialog" || switchName == "zipandmail" || switchName == "mail" ||
           switchName == "SFX" || switchName == "noextractdialog";
}

int runHiddenAction(CQuarvaZipApp& app, platform::Launcher& launcher)
{
    const std::string& sw = app.commandLine.switchName();
    if (!isHiddenSwitch(sw)) {
        std::cerr << "QuarvaZip: there is no display, so the main window cannot open"
                  << (sw.empty() ? std::string() : " for the switch /" + sw) << ".\n";
        return 1;
    }
    {
        CArchiveSession session(app, launcher, createZipEngineControl());
        CSilentBusyDialogFactory silent;
        session.busyFactory = &silent;
        ActionContext context{session, sw, app.commandLine.argument(), 5};
        runCommandLineAction(context);
    }
    // Nobody can open the log window here: what the operations reported goes to stdout.
    if (!app.activityLog.empty()) std::cout << app.activityLog << std::flush;
    return 0;
}

}  // namespace quarva::archive
