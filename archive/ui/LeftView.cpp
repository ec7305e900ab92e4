#include "archive/ui/LeftView.h"

#include <wx/app.h>
#include <wx/treectrl.h>

#include "archive/ui/MainFrame.h"

namespace quarva::archive::ui {

wxIMPLEMENT_DYNAMIC_CLASS(CLeftView, wxView);

bool CLeftView::OnCreate(wxDocument* doc, long flags) {
    if (!wxView::OnCreate(doc, flags)) return false;
    auto* frame = wxDynamicCast(wxTheApp->GetTopWindow(), CMainFrame);
    if (!frame) return false;
    SetFrame(frame);
    tree_ = frame->tree();
    return true;
}

void CLeftView::OnUpdate(wxView*, wxObject*) {
    if (!tree_) return;
    tree_->DeleteAllItems();
    // An archive that is not open, or an empty one, shows the root alone.
    tree_->AddRoot("Root");
}

bool CLeftView::OnClose(bool deleteWindow) {
    if (!wxView::OnClose(deleteWindow)) return false;
    tree_ = nullptr;
    return true;
}

}  // namespace quarva::archive::ui
