#pragma once
// The splitter window: shows the window model (splitter/VantorSplitDlg.h) and forwards
// its controls, menus and dropped files to it. The model's action runs the split or
// rejoin job on a worker thread and keeps this window's events flowing meanwhile; what
// the job changes in the view arrives from the worker and is shown on the window thread.

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include <wx/frame.h>
#include <wx/timer.h>

#include "splitter/Automation.h"
#include "splitter/VantorSplitDlg.h"
#include "splitter/ui/ThreadPrompts.h"

class wxButton;
class wxGauge;
class wxHtmlHelpController;
class wxMenuItem;
class wxPanel;
class wxRadioButton;
class wxStaticText;
class wxTextCtrl;

namespace quarva::platform::ui {
class CTrayIcon;
}

namespace quarva::splitter::ui {

class CSettingsPaneWnd;
class CSizeMenuButton;

// A frame rather than a wxDialog so that it can carry the menu bar and the status bar;
// it is fixed in size and has no maximize box, as a dialog window has.
class CVantorSplitDlg : public wxFrame {
public:
    CVantorSplitDlg(std::string commandLineFile, const std::string& programFolder);
    ~CVantorSplitDlg() override;

    splitter::CVantorSplitDlg& model() { return *model_; }
    // Serves the automation object for the client with this bus name; false (after a
    // message on stderr) when the session bus cannot be reached.
    bool ServeAutomation(const std::string& clientName);
    // Dropped paths, from the drop target (and from the test hook that stands in for a
    // drag under a display without a window manager).
    void OnDropped(const std::vector<std::string>& paths);

private:
    void BuildControls();
    void BuildMenus();
    void AddTooltips();
    void InitDialog();  // once the window is shown

    // View.
    void OnViewChanged();  // any thread
    void ShowView(const SplitterView& v);
    void PlaceProgressBar();
    void LayoutStatusBar();
    void ResizeForPane(bool open);

    // Commands.
    void OpenSizeMenu();
    void ShowAbout();
    void ShowHelp(HelpTarget target);
    void OnCharHook(wxKeyEvent& event);
    void MoveToTray();
    void RestoreFromTray();
    void OnCloseWindow(wxCloseEvent& event);
    void OnTestHookTimer();

    CThreadPrompts prompts_;
    std::unique_ptr<splitter::CVantorSplitDlg> model_;
    std::unique_ptr<CVantorSplitDlgAutoProxy> proxy_;  // declared after the model: goes first
    std::string commandLineFile_;
    std::atomic<bool> refreshQueued_{false};
    bool paneShown_ = false;
    bool shown_ = false;
    int heightWithoutPane_ = 0;

    wxPanel* panel_ = nullptr;
    wxRadioButton* splitRadio_ = nullptr;
    wxRadioButton* rejoinRadio_ = nullptr;
    wxStaticText* sourceLabel_ = nullptr;
    wxButton* fileButton_ = nullptr;
    wxStaticText* destinationLabel_ = nullptr;
    wxButton* destinationButton_ = nullptr;
    wxButton* actionButton_ = nullptr;
    wxButton* cancelButton_ = nullptr;
    wxStaticText* sizeLabel_ = nullptr;
    CSizeMenuButton* sizeButton_ = nullptr;
    wxTextCtrl* customBox_ = nullptr;
    wxStaticText* customLabel_ = nullptr;
    wxStaticText* progressLabel_ = nullptr;
    wxGauge* progressBar_ = nullptr;
    CSettingsPaneWnd* pane_ = nullptr;
    wxMenuItem* settingsItem_ = nullptr;
    wxMenuItem* onTopItem_ = nullptr;
    wxHtmlHelpController* help_ = nullptr;     // made on first use
    std::string helpBook_;                     // the book it has loaded
    int highlightedMenu_ = wxID_NONE;          // the menu item under the cursor
    platform::ui::CTrayIcon* tray_ = nullptr;  // while the window is in the tray; deletes itself
    wxTimer testHook_;
    std::string testDropFile_;
};

}  // namespace quarva::splitter::ui
