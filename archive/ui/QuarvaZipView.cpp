#include "archive/ui/QuarvaZipView.h"

#include "archive/core/Configuration.h"
#include "archive/core/PathText.h"
#include "archive/ui/MainFrame.h"
#include "archive/ui/WxText.h"

namespace quarva::archive::ui {

namespace {

constexpr std::uint32_t kColumnBits[kColumnCount] = {0,
                                                     viewbits::kTypeColumn,
                                                     viewbits::kDateColumn,
                                                     viewbits::kSizeColumn,
                                                     viewbits::kRatioColumn,
                                                     viewbits::kPackedColumn,
                                                     viewbits::kPathColumn};

long styleFlags(ListStyle style) {
    switch (style) {
    case ListStyle::LargeIcons: return wxLC_ICON;
    case ListStyle::SmallIcons: return wxLC_SMALL_ICON;
    case ListStyle::List: return wxLC_LIST;
    case ListStyle::Details: return wxLC_REPORT;
    }
    return wxLC_REPORT;
}
}  // namespace

CQuarvaZipView::CQuarvaZipView(wxWindow* parent, CMainFrame& frame, std::uint32_t viewBits)
    : wxListCtrl(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxLC_REPORT | wxLC_VIRTUAL | wxBORDER_SUNKEN),
      frame_(frame),
      model_([](const std::string& extension) { return desktopTypeName(extension); }) {
    SetImageList(icons_.small(), wxIMAGE_LIST_SMALL);
    SetImageList(icons_.large(), wxIMAGE_LIST_NORMAL);
    for (int column = 0; column < kColumnCount; ++column) {
        AppendColumn(kColumnTitles[column], column == kColSize || column == kColRatio || column == kColPacked
                                                ? wxLIST_FORMAT_RIGHT
                                                : wxLIST_FORMAT_LEFT);
    }
    applyViewBits(viewBits);
    Bind(wxEVT_LIST_COL_CLICK, &CQuarvaZipView::onColumnClick, this);
    Bind(wxEVT_LIST_ITEM_SELECTED, &CQuarvaZipView::onSelectionChanged, this);
    Bind(wxEVT_LIST_ITEM_DESELECTED, &CQuarvaZipView::onSelectionChanged, this);
    Bind(wxEVT_LIST_ITEM_ACTIVATED, &CQuarvaZipView::onActivated, this);
    Bind(wxEVT_LIST_BEGIN_DRAG, &CQuarvaZipView::onBeginDrag, this);
    Bind(wxEVT_CONTEXT_MENU, [this](wxContextMenuEvent& event) {
        wxPoint screen = event.GetPosition();
        wxPoint where = screen == wxDefaultPosition ? wxPoint(10, 10) : ScreenToClient(screen);
        // Rows are hit-tested in the coordinates of the row area below the column
        // header: the list's tallest child window.
        wxWindow* rows = this;
        for (wxWindow* child : GetChildren())
            if (rows == this || child->GetSize().GetHeight() > rows->GetSize().GetHeight()) rows = child;
        int flags = 0;
        long item = HitTest(screen == wxDefaultPosition ? where : rows->ScreenToClient(screen), flags);
        bool onItem = item >= 0 && (flags & wxLIST_HITTEST_ONITEM);
        if (onItem && GetItemState(item, wxLIST_STATE_SELECTED) == 0) {
            SetItemState(-1, 0, wxLIST_STATE_SELECTED);
            SetItemState(item, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                         wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
        }
        frame_.showListMenu(onItem, where);
    });
    // The widths follow the window's width once it has one.
    Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
        if (!widthsSet_ && GetClientSize().GetWidth() > 100) {
            widthsSet_ = true;
            applyViewBits(viewBits_);
        }
        event.Skip();
    });
}

void CQuarvaZipView::applyViewBits(std::uint32_t viewBits) {
    viewBits_ = viewBits;
    // A shown column gets a seventh of the window's width, the date column two;
    // a hidden one none. The name column is as wide as the date column.
    int width = GetClientSize().GetWidth();
    if (width < 350) width = 700;
    const int seventh = width / 7;
    SetColumnWidth(kColName, std::max(160, 2 * seventh));
    for (int column = 1; column < kColumnCount; ++column) {
        bool shown = (viewBits & kColumnBits[column]) != 0;
        SetColumnWidth(column, !shown ? 0 : column == kColDate ? 2 * seventh : seventh);
    }
    bool grid = (viewBits & viewbits::kGridLines) != 0;
    SetSingleStyle(wxLC_HRULES, grid);
    SetSingleStyle(wxLC_VRULES, grid);
}

void CQuarvaZipView::clear() {
    model_.clear();
    refill();
}

void CQuarvaZipView::showNode(const CZorvTreeNode* node) {
    model_.showNode(node);
    refill();
}

void CQuarvaZipView::showAll(const std::vector<const CZipFileInfo*>& files) {
    model_.showAll(files);
    refill();
}

void CQuarvaZipView::refill() {
    if (style_ == ListStyle::Details) {
        // The selection belongs to the rows that were shown.
        SetItemState(-1, 0, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
        SetItemCount(static_cast<long>(model_.size()));
        ShowSortIndicator(model_.sortColumn(), model_.ascending());
        Refresh();
    } else {
        // The icon styles hold their items: one per row, in the model's order.
        Freeze();
        DeleteAllItems();
        for (std::size_t row = 0; row < model_.size(); ++row) {
            long item = static_cast<long>(row);
            InsertItem(item, toWx(model_.text(row, kColName)), OnGetItemImage(item));
        }
        Thaw();
    }
    frame_.listChanged();
}

void CQuarvaZipView::clickColumn(int column) {
    model_.clickColumn(column);
    refill();
    frame_.listSorted();
}

void CQuarvaZipView::sortAscendingBy(int column) {
    model_.sortBy(column, true);
    refill();
    frame_.listSorted();
}

void CQuarvaZipView::selectAll() {
    if (GetItemCount() > 0) SetItemState(-1, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
}

void CQuarvaZipView::invertSelection() {
    const long count = GetItemCount();
    Freeze();
    for (long item = 0; item < count; ++item) {
        bool selected = GetItemState(item, wxLIST_STATE_SELECTED) != 0;
        SetItemState(item, selected ? 0 : wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    }
    Thaw();
}

std::string CQuarvaZipView::headerGeometry() const {
    wxPoint origin = GetScreenPosition();
    std::string text = std::to_string(origin.x) + " " + std::to_string(origin.y);
    for (int column = 0; column < GetColumnCount(); ++column) text += " " + std::to_string(GetColumnWidth(column));
    return text;
}

std::vector<std::size_t> CQuarvaZipView::selectedRows() const {
    std::vector<std::size_t> rows;
    for (long item = GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); item != -1;
         item = GetNextItem(item, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED))
        rows.push_back(static_cast<std::size_t>(item));
    return rows;
}

void CQuarvaZipView::setListStyle(ListStyle style) {
    if (style == style_) return;
    style_ = style;
    long keep = GetWindowStyleFlag() & ~(wxLC_ICON | wxLC_SMALL_ICON | wxLC_LIST | wxLC_REPORT | wxLC_VIRTUAL);
    // Only the details style is drawn on demand.
    if (style == ListStyle::Details) {
        DeleteAllItems();
        SetWindowStyleFlag(keep | wxLC_REPORT | wxLC_VIRTUAL);
        if (GetColumnCount() == 0)
            for (int column = 0; column < kColumnCount; ++column)
                AppendColumn(kColumnTitles[column],
                             column >= kColSize && column <= kColPacked ? wxLIST_FORMAT_RIGHT : wxLIST_FORMAT_LEFT);
        applyViewBits(viewBits_);
    } else {
        SetWindowStyleFlag(keep | styleFlags(style));
    }
    refill();
}

wxString CQuarvaZipView::OnGetItemText(long item, long column) const {
    if (item < 0 || static_cast<std::size_t>(item) >= model_.size()) return {};
    return wxString::FromUTF8(model_.text(static_cast<std::size_t>(item), static_cast<int>(column)).c_str());
}

int CQuarvaZipView::OnGetItemImage(long item) const { return OnGetItemColumnImage(item, 0); }

int CQuarvaZipView::OnGetItemColumnImage(long item, long column) const {
    if (column != 0 || item < 0 || static_cast<std::size_t>(item) >= model_.size()) return -1;
    const FileListRow& row = model_.row(static_cast<std::size_t>(item));
    auto& icons = const_cast<CFileIcons&>(icons_);  // the cache fills as rows are drawn
    return row.isFolder() ? icons.folderImage() : icons.imageFor(extensionOf(row.file->name));
}

void CQuarvaZipView::onColumnClick(wxListEvent& event) { clickColumn(event.GetColumn()); }

void CQuarvaZipView::onSelectionChanged(wxListEvent& event) {
    // A range selection sends one event per item: the count is written once.
    if (!selectionUpdatePending_) {
        selectionUpdatePending_ = true;
        CallAfter([this] {
            selectionUpdatePending_ = false;
            frame_.selectionChanged();
        });
    }
    event.Skip();
}

void CQuarvaZipView::onActivated(wxListEvent& event) {
    long item = event.GetIndex();
    if (item >= 0 && static_cast<std::size_t>(item) < model_.size())
        frame_.activateRow(model_.row(static_cast<std::size_t>(item)));
}

void CQuarvaZipView::onBeginDrag(wxListEvent& event) {
    frame_.dragOut();
    event.Skip();
}

}  // namespace quarva::archive::ui
