#pragma once
// The options both add dialogs share: action, compression, spanning, the check
// boxes and "&Password...". The file chooser's form also has "Include subfolders"
// and "&Delete after zipping".

#include <functional>

#include <wx/panel.h>

#include "archive/commands/DialogModels.h"

class wxCheckBox;
class wxChoice;

namespace quarva::archive::ui {

class CAddOptionsPanel : public wxPanel {
public:
    // `libraryArchive`: the format library serves the archive, so the options only
    // the compression engine knows are disabled (the file chooser's form).
    CAddOptionsPanel(wxWindow* parent, bool fileDialogForm, bool libraryArchive, const SpanningList& spanning,
                     std::function<void()> onPassword);
    AddDialogOptions read() const;
    void enableSpanning(bool enabled);

private:
    wxChoice* action_ = nullptr;
    wxChoice* compression_ = nullptr;
    wxChoice* spanning_ = nullptr;
    wxCheckBox* savePath_ = nullptr;
    wxCheckBox* onlyIfArchive_ = nullptr;
    wxCheckBox* resetArchive_ = nullptr;
    wxCheckBox* hidden_ = nullptr;
    wxCheckBox* subfolders_ = nullptr;
    wxCheckBox* deleteAfter_ = nullptr;
};

}  // namespace quarva::archive::ui
