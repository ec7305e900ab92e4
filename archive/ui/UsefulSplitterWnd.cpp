#include "archive/ui/UsefulSplitterWnd.h"

namespace quarva::archive::ui {

CUsefulSplitterWnd::CUsefulSplitterWnd(wxWindow* parent)
    : wxSplitterWindow(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxSP_LIVE_UPDATE | wxSP_3DSASH) {
    SetMinimumPaneSize(10);
    Bind(wxEVT_SPLITTER_SASH_POS_CHANGING, &CUsefulSplitterWnd::onSashChanging, this);
    // A double click on the bar would unsplit the window: the panes are the frame's to manage.
    Bind(wxEVT_SPLITTER_DOUBLECLICKED, &CUsefulSplitterWnd::onDoubleClick, this);
}

void CUsefulSplitterWnd::lock(bool on) {
    if (on == locked_) return;
    locked_ = on;
    SetSashInvisible(on);
}

void CUsefulSplitterWnd::replaceView(wxWindow* current, wxWindow* replacement) {
    if (current == replacement || !current || !replacement) return;
    if (GetWindow1() == current || GetWindow2() == current) {
        ReplaceWindow(current, replacement);
        current->Hide();
        replacement->Show();
    } else if (!IsSplit() && GetWindow1() == nullptr) {
        Initialize(replacement);
    }
    UpdateSize();
    Refresh();
}

void CUsefulSplitterWnd::onSashChanging(wxSplitterEvent& event) {
    if (locked_) event.Veto();
    else event.Skip();
}

void CUsefulSplitterWnd::onDoubleClick(wxSplitterEvent& event) { event.Veto(); }

}  // namespace quarva::archive::ui
