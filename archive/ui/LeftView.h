#pragma once
// The folder tree of the open archive, in the left pane of the main frame: the
// root named after the archive, one item per folder. Selecting a folder shows it
// in the file list (not in the classic view, where the tree is hidden).

#include <string>

#include <wx/treectrl.h>

namespace quarva::archive {
class CArchiveEntries;
class CZorvTreeNode;
}  // namespace quarva::archive

namespace quarva::archive::ui {

class CMainFrame;

// Image numbers in the tree's image list.
struct TreeImages {
    int folder = -1;
    int openFolder = -1;  // the selected folder
    int archive = -1;     // the root
};

class CLeftView : public wxTreeCtrl {
public:
    CLeftView(wxWindow* parent, CMainFrame& frame, wxImageList* images, TreeImages treeImages);

    // Rebuilds the tree from the document's folders and selects the root.
    void populate(CArchiveEntries& entries, const std::string& rootText);
    void clear();

    const CZorvTreeNode* selectedNode() const;
    // Selects the item of a node (and so shows it in the list).
    void selectNode(const CZorvTreeNode* node);
    // True when the selection is the first root item (or there is none).
    bool atRoot() const;
    // "&Up one level": the parent of the selected folder.
    void upOneLevel();
    // Shows the selected folder in the list again.
    void refreshSelection();
    // The current tree folder as "a\b\" ("" at the root).
    std::string currentFolderPath() const;

private:
    void onSelChanged(wxTreeEvent& event);

    CMainFrame& frame_;
    TreeImages images_;
};

}  // namespace quarva::archive::ui
