#pragma once
// The list view's selection turned into a list of files and a list of folders,
// as the extract, delete, test, view and copy commands need them.

#include <string>
#include <vector>

namespace quarva::archive {

struct SelectedItem {
    bool isFolder = false;
    std::string name;
    std::string folder;  // files: the folder inside the archive ("" at the root)
};

struct SelectionLists {
    std::vector<std::string> files;
    std::vector<std::string> folders;
};

// `treeFolderPath` is the current tree folder as "a\b\" ("" at the root and always
// in the classic view). Files become folder + "\" + name (the name alone at the
// root); folders become the tree folder path + name.
SelectionLists buildSelectionLists(const std::vector<SelectedItem>& selected, const std::string& treeFolderPath);

}  // namespace quarva::archive
