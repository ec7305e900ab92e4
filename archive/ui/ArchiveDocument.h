#pragma once
// The wx document of the single-document frame. It stands for the open archive in
// the framework's document/view machinery; the archive itself is held by the
// framework-free document of archive/core.

#include <wx/docview.h>

namespace quarva::archive::ui {

class CArchiveDocument : public wxDocument {
public:
    bool OnNewDocument() override;

private:
    wxDECLARE_DYNAMIC_CLASS(CArchiveDocument);
};

}  // namespace quarva::archive::ui
