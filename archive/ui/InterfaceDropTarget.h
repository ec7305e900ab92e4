#pragma once
// The file list as a drop target for files from the file manager: one archive
// dropped opens it, anything else starts the add command. Entries being dragged out
// of this very list are refused.

#include <wx/dnd.h>

namespace quarva::archive::ui {

class CMainFrame;

class CInterfaceDropTarget : public wxDropTarget {
public:
    explicit CInterfaceDropTarget(CMainFrame& frame);

    wxDragResult OnEnter(wxCoord x, wxCoord y, wxDragResult def) override;
    wxDragResult OnDragOver(wxCoord x, wxCoord y, wxDragResult def) override;
    wxDragResult OnData(wxCoord x, wxCoord y, wxDragResult def) override;

private:
    CMainFrame& frame_;
    wxFileDataObject* files_;
};

}  // namespace quarva::archive::ui
