#include "archive/ui/SysTray.h"

#include <wx/menu.h>

#include "archive/commands/CommandTable.h"
#include "archive/commands/Texts.h"
#include "archive/ui/WxText.h"
#include "archive/ui/ZipArt.h"
#include "platform/ui/TrayIcon.h"

namespace quarva::archive::ui {

CSysTray::CSysTray(wxTopLevelWindow& frame, std::function<std::vector<std::string>()> recent,
                   std::function<void(int windowId)> command)
    : frame_(frame), recent_(std::move(recent)), command_(std::move(command)) {}

CSysTray::~CSysTray() {
    if (icon_) icon_->remove();
}

bool CSysTray::hideWindow() {
    if (icon_) return true;
    if (!wxTaskBarIcon::IsAvailable()) return false;
    icon_ = new platform::ui::CTrayIcon(
        frame_, [this] { return makeMenu(); }, command_, [this] { command_(cmd::toWindowId(kTrayRestore)); });
    icon_->SetIcon(quarvaZipIcons().GetIcon(wxSize(32, 32)), text::kCaption);
    frame_.Hide();
    return true;
}

void CSysTray::restoreWindow() {
    if (!icon_) return;
    frame_.Show();
    if (frame_.IsIconized()) frame_.Iconize(false);
    frame_.Raise();
    icon_->remove();
    icon_ = nullptr;
}

wxMenu* CSysTray::makeMenu() const {
    auto* menu = new wxMenu;
    auto* archives = new wxMenu;
    int index = 0;
    for (const auto& path : recent_()) {
        if (cmd::kArchiveFirst + index > cmd::kArchiveLast) break;
        archives->Append(cmd::toWindowId(cmd::kArchiveFirst + index++), toWx(path));
    }
    menu->AppendSubMenu(archives, "Recent Archives")->Enable(index > 0);
    menu->AppendSeparator();
    menu->Append(cmd::toWindowId(kTrayRestore), "&Restore Quarva.Zip Suite");
    menu->Append(cmd::toWindowId(kTrayLaunchAnother), "&Launch Another Instance");
    menu->AppendSeparator();
    menu->Append(cmd::WebSite, "Quarva.Software on the &Web");
    menu->Append(cmd::CheckForUpdates, "&Check for Updates");
    menu->AppendSeparator();
    menu->Append(cmd::About, "&About");
    menu->Append(cmd::Exit, "&Exit");
    return menu;
}

}  // namespace quarva::archive::ui
