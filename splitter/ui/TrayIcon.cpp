#include "splitter/ui/TrayIcon.h"

#include <wx/menu.h>

namespace quarva::splitter::ui {

CTrayIcon::CTrayIcon() {
    Bind(wxEVT_TASKBAR_LEFT_DCLICK, [this](wxTaskBarIconEvent&) {
        if (onRestore) onRestore();
    });
    Bind(
        wxEVT_MENU,
        [this](wxCommandEvent&) {
            if (onRestore) onRestore();
        },
        wxID_OPEN);
    Bind(
        wxEVT_MENU,
        [this](wxCommandEvent&) {
            if (onAbout) onAbout();
        },
        wxID_ABOUT);
    Bind(
        wxEVT_MENU,
        [this](wxCommandEvent&) {
            if (onExit) onExit();
        },
        wxID_EXIT);
}

wxMenu* CTrayIcon::CreatePopupMenu() {
    auto* menu = new wxMenu;
    menu->Append(wxID_OPEN, "&Restore");
    menu->Append(wxID_ABOUT, "&About");
    menu->AppendSeparator();
    menu->Append(wxID_EXIT, "E&xit");
    return menu;
}

}  // namespace quarva::splitter::ui
