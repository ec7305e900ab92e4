#include "platform/ui/TrayIcon.h"

#include <wx/menu.h>

namespace quarva::platform::ui {

CTrayIcon::CTrayIcon(wxEvtHandler& owner, std::function<wxMenu*()> menu, std::function<void(int id)> command,
                     std::function<void()> restore)
    : menu_(std::move(menu)) {
    Bind(wxEVT_TASKBAR_LEFT_DCLICK, [&owner, restore](wxTaskBarIconEvent&) { owner.CallAfter(restore); });
    Bind(wxEVT_MENU, [&owner, command](wxCommandEvent& event) {
        int id = event.GetId();
        owner.CallAfter([command, id] { command(id); });
    });
}

void CTrayIcon::remove() {
    RemoveIcon();
    Destroy();
}

wxMenu* CTrayIcon::CreatePopupMenu() { return menu_(); }

}  // namespace quarva::platform::ui
