#include "archive/ui/LeftView.h"

#include <vector>

#include "archive/core/ArchiveEntries.h"
#include "archive/ui/MainFrame.h"

namespace quarva::archive::ui {

namespace {
struct NodeData : wxTreeItemData {
    explicit NodeData(const CZorvTreeNode* n) : node(n) {}
    const CZorvTreeNode* node;
};
}  // namespace

CLeftView::CLeftView(wxWindow* parent, CMainFrame& frame, wxImageList* images, TreeImages treeImages)
    : wxTreeCtrl(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                 wxTR_HAS_BUTTONS | wxTR_LINES_AT_ROOT | wxTR_SINGLE | wxBORDER_SUNKEN),
      frame_(frame),
      images_(treeImages) {
    SetImageList(images);
    Bind(wxEVT_TREE_SEL_CHANGED, &CLeftView::onSelChanged, this);
}

void CLeftView::clear() { DeleteAllItems(); }

void CLeftView::populate(CArchiveEntries& entries, const std::string& rootText) {
    Freeze();
    DeleteAllItems();
    std::vector<CZorvTreeNode*> nodes = entries.numberNodes();
    std::map<const CZorvTreeNode*, wxTreeItemId> items;
    wxTreeItemId root;
    for (CZorvTreeNode* node : nodes) {
        wxTreeItemId item;
        if (!node->parent) {
            item = root =
                AddRoot(wxString::FromUTF8(rootText.c_str()), images_.archive, images_.archive, new NodeData(node));
        } else {
            auto parent = items.find(node->parent);
            if (parent == items.end()) continue;
            item = AppendItem(parent->second, wxString::FromUTF8(node->name.c_str()), images_.folder,
                              images_.openFolder, new NodeData(node));
        }
        items.emplace(node, item);
        entries.itemsByIndex()[node->index] = reinterpret_cast<std::uintptr_t>(item.GetID());
    }
    if (root.IsOk()) Expand(root);
    Thaw();
    if (root.IsOk()) SelectItem(root);
}

const CZorvTreeNode* CLeftView::selectedNode() const {
    wxTreeItemId item = GetSelection();
    if (!item.IsOk()) return nullptr;
    auto* data = static_cast<NodeData*>(GetItemData(item));
    return data ? data->node : nullptr;
}

void CLeftView::selectNode(const CZorvTreeNode* node) {
    wxTreeItemId item = GetSelection();
    if (!item.IsOk()) item = GetRootItem();
    if (!item.IsOk() || !node) return;
    // The node is a child of the selected folder (a double-click in the list) or
    // anywhere in the tree: look below the selection first, then from the root.
    for (wxTreeItemId start : {item, GetRootItem()}) {
        std::vector<wxTreeItemId> pending{start};
        while (!pending.empty()) {
            wxTreeItemId current = pending.back();
            pending.pop_back();
            auto* data = static_cast<NodeData*>(GetItemData(current));
            if (data && data->node == node) {
                EnsureVisible(current);
                SelectItem(current);
                return;
            }
            wxTreeItemIdValue cookie;
            for (wxTreeItemId child = GetFirstChild(current, cookie); child.IsOk();
                 child = GetNextChild(current, cookie))
                pending.push_back(child);
        }
    }
}

bool CLeftView::atRoot() const {
    wxTreeItemId item = GetSelection();
    return !item.IsOk() || item == GetRootItem();
}

void CLeftView::upOneLevel() {
    wxTreeItemId item = GetSelection();
    if (!item.IsOk()) return;
    wxTreeItemId parent = GetItemParent(item);
    if (parent.IsOk()) SelectItem(parent);
}

void CLeftView::refreshSelection() { frame_.showFolder(selectedNode()); }

std::string CLeftView::currentFolderPath() const { return CArchiveEntries::folderPathOf(selectedNode()); }

void CLeftView::onSelChanged(wxTreeEvent& event) {
    if (!frame_.classicView()) frame_.showFolder(selectedNode());
    event.Skip();
}

}  // namespace quarva::archive::ui
