#pragma once
// The archive manager's icon in the desktop's notification area while its window
// is hidden ("&Hide in Tray"), with the tip "Quarva.Zip Suite". A double click
// brings the window back; the right-click menu offers the recent archives,
// "&Restore Quarva.Zip Suite", "&Launch Another Instance", the maker's web site,
// "&Check for Updates", "&About" and "&Exit". Picks go to the main frame by the
// window ids of their commands; a double click is a pick of "&Restore".

#include <functional>
#include <string>
#include <vector>

#include <wx/toplevel.h>

namespace quarva::platform::ui {
class CTrayIcon;
}

namespace quarva::archive::ui {

inline constexpr int kTrayRestore = 32893;
inline constexpr int kTrayLaunchAnother = 32896;

class CSysTray {
public:
    // `recent` lists the recent archives, newest first, when the menu opens.
    CSysTray(wxTopLevelWindow& frame, std::function<std::vector<std::string>()> recent,
             std::function<void(int windowId)> command);
    ~CSysTray();
    CSysTray(const CSysTray&) = delete;
    CSysTray& operator=(const CSysTray&) = delete;

    // Adds the icon and hides the window; false when the desktop has no tray.
    bool hideWindow();
    // Shows the window normally and takes the icon away.
    void restoreWindow();
    bool active() const { return icon_ != nullptr; }

private:
    wxMenu* makeMenu() const;

    wxTopLevelWindow& frame_;
    std::function<std::vector<std::string>()> recent_;
    std::function<void(int)> command_;
    platform::ui::CTrayIcon* icon_ = nullptr;
};

}  // namespace quarva::archive::ui
