#pragma once
// The one action the command line's switch names, carried out once the main
// window exists (or, for the hidden actions, without any window).

#include <string>

#include "archive/core/ArchiveSession.h"

namespace quarva::archive {

struct ActionContext {
    CArchiveSession& session;
    std::string switchName;                 // without its "/" or "-"; compared case-sensitively
    std::string argument;                   // the path or list file ("" when none)
    ShowState showState = ShowState::Show;  // the saved show state for the actions that show the window
};

// Runs the switch's action. True when the program goes on (the window stays);
// false for the actions that end the program after their work.
bool runCommandLineAction(ActionContext& context);

// The actions, for callers that know which one they want.
namespace actions {
// "noadddialog" and the first half of "zipandmail". False when the list could not
// be read, the library is missing or the user cancelled.
bool unattendedAdd(CArchiveSession& session, const std::string& listFile);
// "noextractdialog".
bool unattendedExtract(CArchiveSession& session, const std::string& listFile);
// "SFX".
// The window asks its question with the information icon, the command line with the
// question icon.
bool makeSelfExtractor(CArchiveSession& session, const std::string& archive,
                       platform::Icon questionIcon = platform::Icon::Question);
// The recent-file menu and the "open" switch: the archive opens under "Opening...".
bool openRecent(CArchiveSession& session, const std::string& path);
}  // namespace actions

}  // namespace quarva::archive
