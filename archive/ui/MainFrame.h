#pragma once
// The archive manager's single top-level window: the folder tree beside the file
// list, the menu and the status bar. It is created at the placement saved by the
// configuration command.

#include <wx/docview.h>

#include "archive/core/Configuration.h"

class wxSplitterWindow;
class wxTreeCtrl;
class wxListCtrl;

namespace quarva::archive::ui {

class CMainFrame : public wxDocParentFrame {
public:
    CMainFrame(wxDocManager* manager, const WindowPlacement& placement);

    wxTreeCtrl* tree() const { return tree_; }
    wxListCtrl* list() const { return list_; }

    // Classic view hides the folder tree; explorer view shows it beside the list.
    void setFlatView(bool flat);
    bool flatView() const;
    // Shows the window in a saved show state (maximised, minimised, otherwise normal).
    void showInState(ShowState showState);
    // The restored placement as the configuration command saves it.
    WindowPlacement placement() const;

private:
    void onExit(wxCommandEvent&);
    void onToggleView(wxCommandEvent&);

    wxSplitterWindow* splitter_ = nullptr;
    wxTreeCtrl* tree_ = nullptr;
    wxListCtrl* list_ = nullptr;
    wxDECLARE_EVENT_TABLE();
};

}  // namespace quarva::archive::ui
