#pragma once
// The tray icon of "&Move to tray": the program icon with the tip "Restore window"; a
// double click restores the window, a right click opens "&Restore", "&About" and "E&xit".

#include <functional>

#include <wx/taskbar.h>

namespace quarva::splitter::ui {

class CTrayIcon : public wxTaskBarIcon {
public:
    std::function<void()> onRestore;
    std::function<void()> onAbout;
    std::function<void()> onExit;

    CTrayIcon();

protected:
    wxMenu* CreatePopupMenu() override;
};

}  // namespace quarva::splitter::ui
