#pragma once
// The file list of the main frame: a report list with the seven columns, drawn on
// demand from the file list model (a virtual list, so that an archive of a
// hundred thousand files lists at once), with the desktop's icons and type names.

#include <cstdint>
#include <string>
#include <vector>

#include <wx/listctrl.h>

#include "archive/commands/CommandTable.h"
#include "archive/commands/FileListModel.h"
#include "archive/ui/DesktopTypes.h"

namespace quarva::archive::ui {

class CMainFrame;

class CQuarvaZipView : public wxListCtrl {
public:
    CQuarvaZipView(wxWindow* parent, CMainFrame& frame, std::uint32_t viewBits);

    CFileListModel& model() { return model_; }
    CFileIcons& icons() { return icons_; }

    void clear();
    void showNode(const CZorvTreeNode* node);
    void showAll(const std::vector<const CZipFileInfo*>& files);
    // A header click (the sort table) or a View menu sort command (ascending).
    void clickColumn(int column);
    void sortAscendingBy(int column);

    void selectAll();
    void invertSelection();
    std::size_t selectedCount() const { return static_cast<std::size_t>(GetSelectedItemCount()); }
    std::vector<std::size_t> selectedRows() const;
    // The list's screen position and column widths, "x y w0 w1 ...".
    std::string headerGeometry() const;

    // The list-view style; the classic view always uses the details style.
    void setListStyle(ListStyle style);
    ListStyle listStyle() const { return style_; }

    // Column widths and visibility, grid lines from the view bits.
    void applyViewBits(std::uint32_t viewBits);

private:
    wxString OnGetItemText(long item, long column) const override;
    int OnGetItemImage(long item) const override;
    int OnGetItemColumnImage(long item, long column) const override;

    void refill();
    void onColumnClick(wxListEvent& event);
    void onSelectionChanged(wxListEvent& event);
    void onActivated(wxListEvent& event);
    void onBeginDrag(wxListEvent& event);

    CMainFrame& frame_;
    CFileIcons icons_;
    CFileListModel model_;
    ListStyle style_ = ListStyle::Details;
    std::uint32_t viewBits_ = 0;
    bool selectionUpdatePending_ = false;
    bool widthsSet_ = false;
};

}  // namespace quarva::archive::ui
