#include "archive/ui/InterfaceDropTarget.h"

#include <string>
#include <vector>

#include "archive/ui/MainFrame.h"

namespace quarva::archive::ui {

CInterfaceDropTarget::CInterfaceDropTarget(CMainFrame& frame) : frame_(frame), files_(new wxFileDataObject) {
    SetDataObject(files_);
    SetDefaultAction(wxDragCopy);
}

wxDragResult CInterfaceDropTarget::OnEnter(wxCoord x, wxCoord y, wxDragResult def) { return OnDragOver(x, y, def); }

wxDragResult CInterfaceDropTarget::OnDragOver(wxCoord, wxCoord, wxDragResult) {
    // Our own entries on their way out are not dropped back in.
    return frame_.draggingOut() ? wxDragNone : wxDragCopy;
}

wxDragResult CInterfaceDropTarget::OnData(wxCoord, wxCoord, wxDragResult) {
    if (frame_.draggingOut() || !GetData()) return wxDragNone;
    std::vector<std::string> paths;
    for (const wxString& name : files_->GetFilenames()) paths.emplace_back(name.utf8_str());
    if (paths.empty()) return wxDragNone;
    // The drop returns at once; the work starts after the drag has ended.
    frame_.CallAfter([frame = &frame_, paths] { frame->dropFiles(paths); });
    return wxDragCopy;
}

}  // namespace quarva::archive::ui
