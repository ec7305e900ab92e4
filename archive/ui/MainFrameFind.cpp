// The main frame's side of Find Files in Zip: the dialog from the menu and from the
// find-in-zip start mode, and opening a match.

#include <filesystem>

#include "archive/core/ArchiveSession.h"
#include "archive/ui/DesktopShell.h"
#include "archive/ui/FindinZipDlg.h"
#include "archive/ui/MainFrame.h"

namespace fs = std::filesystem;

namespace quarva::archive::ui {

void CMainFrame::onFindInZip() { runFindInZip(); }

bool CMainFrame::runFindInZip() {
    CFindinZipDlg dialog(
        this, session_.prompts, [this](const FoundFile& match) { openFoundMatch(match); },
        [this](const std::string& line) { trace(line); });
    showDialog(dialog);
    return true;
}

void CMainFrame::openFoundMatch(const FoundFile& match) {
    auto& state = session_.progress.state;
    // Without a private temporary folder there is nowhere to put the copy.
    if (state.tempFolder.empty()) return;
    const CZipFileInfo& info = match.info;
    std::string entry = info.folder;
    if (!entry.empty() && !entry.ends_with('\\')) entry += '\\';
    entry += info.name;
    // The found archive becomes the one the main window shows.
    if (!session_.openWithBusyDialog(match.archive)) return;
    ExtractOptions options;
    options.destination = state.tempFolder;
    options.overwrite = 2;
    options.useStoredPaths = true;
    options.kind = OperationKind::View;
    state.kind = OperationKind::View;
    if (session_.doc.wrapper().extractFiles(options, {entry}) != 0) return;
    std::string relative = entry;
    std::replace(relative.begin(), relative.end(), '\\', '/');
    const std::string copy = (fs::path(state.tempFolder) / relative).string();
    std::error_code ec;
    if (!fs::is_regular_file(copy, ec)) return;
    trace("find opened: " + copy);
    // The desktop's application for the type; without one, whatever xdg-open picks.
    if (!openWithDesktop(copy)) launch({"xdg-open", copy});
}

}  // namespace quarva::archive::ui
