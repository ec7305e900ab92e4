#pragma once
// The folder tree of the open archive, in the left pane of the main frame.

#include <wx/docview.h>

class wxTreeCtrl;

namespace quarva::archive::ui {

class CLeftView : public wxView {
public:
    bool OnCreate(wxDocument* doc, long flags) override;
    void OnDraw(wxDC*) override {}
    void OnUpdate(wxView* sender, wxObject* hint) override;
    bool OnClose(bool deleteWindow) override;

private:
    wxTreeCtrl* tree_ = nullptr;
    wxDECLARE_DYNAMIC_CLASS(CLeftView);
};

}  // namespace quarva::archive::ui
