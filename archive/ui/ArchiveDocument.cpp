#include "archive/ui/ArchiveDocument.h"

namespace quarva::archive::ui {

wxIMPLEMENT_DYNAMIC_CLASS(CArchiveDocument, wxDocument);

bool CArchiveDocument::OnNewDocument() {
    if (!wxDocument::OnNewDocument()) return false;
    // OnNewDocument does not refresh the views by itself.
    UpdateAllViews();
    return true;
}

}  // namespace quarva::archive::ui
