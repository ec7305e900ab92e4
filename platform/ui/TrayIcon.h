#pragma once
// An icon in the desktop's notification area standing for a hidden window. A double
// click asks for the window back; a right click opens the menu the program builds,
// and each pick is handed on by its item id. Both run on the owner's next turn
// (CallAfter), so they may remove the icon that started them.

#include <functional>

#include <wx/taskbar.h>

namespace quarva::platform::ui {

class CTrayIcon : public wxTaskBarIcon {
public:
    CTrayIcon(wxEvtHandler& owner, std::function<wxMenu*()> menu, std::function<void(int id)> command,
              std::function<void()> restore);
    // Takes the icon away; the object deletes itself once its events are done.
    void remove();

protected:
    wxMenu* CreatePopupMenu() override;

private:
    std::function<wxMenu*()> menu_;
};

}  // namespace quarva::platform::ui
