#pragma once
// The splitter between the folder tree and the file list. Locked (classic view),
// its bar neither moves nor shows a resize cursor.

#include <wx/splitter.h>

namespace quarva::archive::ui {

class CUsefulSplitterWnd : public wxSplitterWindow {
public:
    explicit CUsefulSplitterWnd(wxWindow* parent);

    void lock(bool on);
    bool locked() const { return locked_; }
    // Puts `replacement` where `current` stands (the tree or list pane); nothing
    // happens when the pane already holds it.
    void replaceView(wxWindow* current, wxWindow* replacement);

private:
    void onSashChanging(wxSplitterEvent& event);
    void onDoubleClick(wxSplitterEvent& event);

    bool locked_ = false;
};

}  // namespace quarva::archive::ui
