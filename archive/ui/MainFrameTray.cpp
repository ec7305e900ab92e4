// The main frame's tray icon, tip of the day, about box and update check.
#include <unistd.h>

#include <filesystem>

#include "archive/commands/Texts.h"
#include "archive/core/ArchiveSession.h"
#include "archive/ui/AboutSuiteDlg.h"
#include "archive/ui/HotStatic.h"
#include "archive/ui/MainFrame.h"
#include "archive/ui/SysTray.h"
#include "archive/ui/TipDlg.h"
#include "archive/ui/WxText.h"
#include "archive/utilities/UpdateSettings.h"
#include "shared/update/ui/UpdateDlg.h"

namespace fs = std::filesystem;

namespace quarva::archive::ui {

namespace {
constexpr char kNoTray[] = "There is no system tray on this desktop to hide the window in.";
constexpr char kCannotLaunch[] = "Couldn't find Quarvazip.exe or one of it's components";
}  // namespace

void CMainFrame::onHideInTray() {
    if (!tray_) {
        tray_ = std::make_unique<CSysTray>(
            *this,
            [this] {
                std::vector<std::string> recent;
                for (const auto& entry : archivesByCommand_) recent.push_back(entry.second);
                return recent;
            },
            [this](int windowId) { onTrayCommand(windowId); });
    }
    if (!tray_->hideWindow()) {
        trace(std::string("message: ") + kNoTray);
        session_.prompts.message(kNoTray, text::kCaption, platform::Buttons::Ok, platform::Icon::Information);
        return;
    }
    trace("tray: hidden");
}

void CMainFrame::onTrayCommand(int windowId) {
    const int command = cmd::fromWindowId(windowId);
    if (command == kTrayLaunchAnother) {
        launchAnotherInstance();
        return;
    }
    if (command == kTrayRestore || (command >= cmd::kArchiveFirst && command <= cmd::kArchiveLast)) {
        tray_->restoreWindow();
        trace("tray: restored");
        if (command == kTrayRestore) return;
    }
    // The commands the window's own menus have (an archive, the web site, updates,
    // about, exit) go the same way as from there.
    wxCommandEvent event(wxEVT_MENU, windowId);
    if (command >= cmd::kArchiveFirst) onRecentArchive(event);
    else onCommand(event);
}

void CMainFrame::launchAnotherInstance() {
    // The program beside this one, whatever the installed path says.
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    fs::path program = self.parent_path() / "QuarvaZip";
    if (ec || !fs::is_regular_file(program, ec) || access(program.c_str(), X_OK) != 0 || !launch({program.string()}))
        session_.prompts.message(kCannotLaunch, text::kCaption, platform::Buttons::Ok, platform::Icon::Stop);
}

void CMainFrame::onShowTip() {
    CTipDlg dialog(this, session_.app.store(), session_.app.installedPath / "tips.txt");
    showDialog(dialog);
}

void CMainFrame::onAbout() {
    CAboutSuiteDlg dialog(this);
    if (trace_) {
        // Where each link stands on the screen, for the tests that click them.
        dialog.Bind(wxEVT_INIT_DIALOG, [this, &dialog](wxInitDialogEvent& event) {
            event.Skip();
            dialog.CallAfter([this, &dialog] {
                for (wxWindow* child : dialog.GetChildren()) {
                    auto* link = dynamic_cast<CHotStatic*>(child);
                    if (!link) continue;
                    wxPoint centre = link->GetScreenRect().GetPosition() + link->GetSize() / 2;
                    trace("link: " + fromWx(link->GetURL()) + " at " + std::to_string(centre.x) + " " +
                          std::to_string(centre.y));
                }
            });
        });
    }
    showDialog(dialog);
}

void CMainFrame::onCheckForUpdates() {
    UpdateAddresses addresses = updateAddresses(session_.app.store());
    update::UpdateRequest request;
    request.versionUrl = addresses.versionUrl;
    request.currentVersion = kCurrentVersion;
    request.growthStep = 8192;
    request.options.timeout = addresses.timeout;
    update::ui::CUpdateDlg dialog(this, text::kCaption, std::move(request), addresses.pageUrl);
    dialog.onOutcome = [this](const update::UpdateOutcome& outcome) {
        trace("update: status " + std::to_string(outcome.status) + ", latest '" + outcome.latest + "', " +
              update::verdictText(outcome));
    };
    showDialog(dialog);
}

}  // namespace quarva::archive::ui
