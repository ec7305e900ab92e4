#pragma once
// Everything the archive manager's logic works with, in one place: the application
// object, the prompts and launcher of the platform, the open archive's document
// with its engine wrapper, the main frame's operation state and handlers, and the
// outcome messages. The window program creates one and hands it its main window;
// the hidden command-line actions run on one without a window.

#include <functional>
#include <memory>

#include "archive/commands/BusyDialog.h"
#include "archive/commands/MainFrameActions.h"
#include "archive/commands/OutcomeMessages.h"
#include "archive/commands/ProgressHandler.h"
#include "archive/core/ArchiveFlags.h"
#include "archive/core/EngineControl.h"
#include "archive/core/FormatLibraryCalls.h"
#include "archive/core/QuarvaZipApp.h"
#include "archive/core/QuarvaZipDoc.h"
#include "platform/Launcher.h"
#include "platform/Prompts.h"

namespace quarva::archive {

class CArchiveSession {
public:
    // `engine` null (a test without one) makes zip operations fail with
    // OutcomeCode::LibraryNotLoaded. `library` null means the library at the
    // application's library path.
    CArchiveSession(CQuarvaZipApp& app, platform::Launcher& launcher, std::unique_ptr<IEngineControl> engine,
                    std::unique_ptr<IFormatLibrary> library = nullptr);
    CArchiveSession(const CArchiveSession&) = delete;
    CArchiveSession& operator=(const CArchiveSession&) = delete;

    CQuarvaZipApp& app;
    platform::Prompts& prompts;
    platform::Launcher& launcher;
    IBusyDialogFactory* busyFactory = nullptr;  // null: no busy dialog
    ArchiveFlags flags;

    CProgressHandler progress;
    COutcomeReporter outcome;
    CQuarvaZipDoc doc;

    // The main window, or null without one.
    void setFrame(IMainFrameActions* frame) { frame_ = frame; }
    IMainFrameActions& frame() { return frame_ ? *frame_ : quietFrame_; }
    bool hasFrame() const { return frame_ != nullptr; }

    ArchiveKind& archiveKind() { return app.archiveKind; }
    std::string& activityLog() { return app.activityLog; }
    // A file the run wrote into the temporary folder, deleted when the program ends.
    void recordTemporaryFile(const std::string& path) { app.deletionList.append(path); }

    // The busy dialog for one phase ("Opening...", "Refreshing...").
    std::unique_ptr<CBusyScope> busy(const std::string& phase = {});

    // Refresh: the document opens its own archive again under "Refreshing...".
    void refresh();
    // Opening from the Open command, the recent-file menu and the command line:
    // nothing when the path is the open archive, else "Opening..." while the
    // document opens it. True when the archive is open afterwards.
    bool openWithBusyDialog(const std::string& fullPath);
    // The user picked a filter: the open archive is listed again with the text's
    // patterns. False when the listing reported an error (what was listed is shown).
    bool applyFilter(const std::string& filterText);

private:
    IMainFrameActions* frame_ = nullptr;
    IMainFrameActions quietFrame_;
};

}  // namespace quarva::archive
