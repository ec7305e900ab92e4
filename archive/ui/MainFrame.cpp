#include "archive/ui/MainFrame.h"

#include <wx/accel.h>
#include <wx/listctrl.h>
#include <wx/menu.h>
#include <wx/splitter.h>
#include <wx/treectrl.h>

#include "archive/core/QuarvaZipApp.h"

namespace quarva::archive::ui {

namespace {
enum { ID_TOGGLE_VIEW = 118 };
}

wxBEGIN_EVENT_TABLE(CMainFrame, wxDocParentFrame) EVT_MENU(wxID_EXIT, CMainFrame::onExit)
    EVT_MENU(ID_TOGGLE_VIEW, CMainFrame::onToggleView) wxEND_EVENT_TABLE()

        CMainFrame::CMainFrame(wxDocManager* manager, const WindowPlacement& placement)
    : wxDocParentFrame(manager, nullptr, wxID_ANY, kAppName, wxPoint(placement.x, placement.y),
                       wxSize(placement.width, placement.height)) {
    auto* file = new wxMenu;
    file->Append(wxID_EXIT, "E&xit\tAlt+F4");
    auto* view = new wxMenu;
    // GTK cannot show Ctrl+Tab in a menu: the key is bound by the accelerator table instead.
    view->Append(ID_TOGGLE_VIEW, "&Classic View");
    auto* bar = new wxMenuBar;
    bar->Append(file, "&File");
    bar->Append(view, "&View");
    SetMenuBar(bar);
    wxAcceleratorEntry keys[] = {{wxACCEL_CTRL, WXK_TAB, ID_TOGGLE_VIEW}};
    SetAcceleratorTable(wxAcceleratorTable(1, keys));
    CreateStatusBar(4);

    splitter_ = new wxSplitterWindow(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxSP_3D | wxSP_LIVE_UPDATE);
    tree_ =
        new wxTreeCtrl(splitter_, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTR_HAS_BUTTONS | wxTR_LINES_AT_ROOT);
    list_ = new wxListCtrl(splitter_, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxLC_REPORT);
    list_->AppendColumn("Name", wxLIST_FORMAT_LEFT, 160);
    splitter_->SplitVertically(tree_, list_, 160);
    SetTitle(kAppName);
}

void CMainFrame::setFlatView(bool flat) {
    if (flat && splitter_->IsSplit()) splitter_->Unsplit(tree_);
    else if (!flat && !splitter_->IsSplit()) {
        tree_->Show();
        splitter_->SplitVertically(tree_, list_, 160);
    }
}

bool CMainFrame::flatView() const { return !splitter_->IsSplit(); }

void CMainFrame::showInState(ShowState showState) {
    if (showState == ShowState::Maximized) Maximize();
    else if (showState == ShowState::Minimized) Iconize();
    Show();
}

WindowPlacement CMainFrame::placement() const {
    WindowPlacement p;
    wxRect r = GetRect();
    p.x = r.x;
    p.y = r.y;
    p.width = r.width;
    p.height = r.height;
    p.treeShown = !flatView();
    p.show = IsMaximized() ? ShowState::Maximized : IsIconized() ? ShowState::Minimized : ShowState::Show;
    return p;
}

void CMainFrame::onExit(wxCommandEvent&) { Close(); }

void CMainFrame::onToggleView(wxCommandEvent&) { setFlatView(!flatView()); }

}  // namespace quarva::archive::ui
