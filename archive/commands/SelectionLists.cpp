#include "archive/commands/SelectionLists.h"

namespace quarva::archive {

SelectionLists buildSelectionLists(const std::vector<SelectedItem>& selected, const std::string& treeFolderPath) {
    SelectionLists lists;
    for (const auto& item : selected) {
        if (item.isFolder) lists.folders.push_back(treeFolderPath + item.name);
        else if (!item.folder.empty()) lists.files.push_back(item.folder + "\\" + item.name);
        else lists.files.push_back(item.name);
    }
    return lists;
}

}  // namespace quarva::archive
