#pragma once
// The files of the open archive, keyed by their path inside the archive, and the
// folder tree derived from those paths. Folders are never stored as entries: a
// folder exists because some file path runs through it.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "archive/core/ZipFileInfo.h"
#include "archive/core/ZorvTreeNode.h"

namespace quarva::archive {

inline constexpr char kRootName[] = "Root";

// Item data of the file list: folder items carry their node index, file items a
// base plus their position. The base lies far above any node index a tree can
// reach, so archives with ten thousand folders and more never mix the two.
inline constexpr std::uint32_t kFileItemBase = 0x40000000u;
inline bool isFileItem(std::uint32_t itemData) { return itemData >= kFileItemBase; }
inline std::uint32_t fileItemData(std::uint32_t position) { return kFileItemBase + position; }
inline std::uint32_t fileItemPosition(std::uint32_t itemData) { return itemData - kFileItemBase; }

class CArchiveEntries {
public:
    enum class AddResult { Added, Replaced, Skipped };
    enum class Removed { Nothing, File, Folder };

    // Stores the reported entry under its path (drive removed). A folder record (a
    // name ending in "\") is skipped. An entry of the same path is replaced in
    // place, so the tree keeps pointing at valid data.
    AddResult addEntry(const EntryValues& values);

    // Rebuilds the tree from the entries; without entries the root stands alone.
    void buildTree();
    // "Root\" + folder + "\" + name: creates the missing folders and attaches the
    // entry (when it exists) to the last one.
    void addPath(const std::string& rootedPath);
    // A file (removed from its folder and from the entries) or, when no file has
    // that path, a folder with its whole subtree and every entry beneath it.
    Removed removePath(const std::string& path);
    void deleteAll();

    const CZipFileInfo* find(const std::string& path) const;
    std::size_t entryCount() const { return entries_.size(); }
    const std::map<std::string, std::unique_ptr<CZipFileInfo>>& entries() const { return entries_; }
    // Every entry in map order (the flat view's list).
    std::vector<const CZipFileInfo*> allEntries() const;

    CZorvTreeNode* root() const { return root_.get(); }
    // The folder at a path inside the archive ("" is the root), or null.
    CZorvTreeNode* findFolder(const std::string& path) const;

    // Numbers the nodes depth-first in list order (the root 0, each node the number
    // of nodes before it) as the tree view inserts them, records index → node and
    // returns the nodes in insertion order.
    std::vector<CZorvTreeNode*> numberNodes();
    CZorvTreeNode* nodeByIndex(std::uint32_t index) const;
    // Index → tree item, recorded by the tree view.
    std::map<std::uint32_t, std::uintptr_t>& itemsByIndex() { return itemsByIndex_; }

    // The tree path of a node below the root: the names from just below the root
    // down to it, each followed by "\" ("" for the root).
    static std::string folderPathOf(const CZorvTreeNode* node);

private:
    void clearIndexMaps();

    std::map<std::string, std::unique_ptr<CZipFileInfo>> entries_;
    std::unique_ptr<CZorvTreeNode> root_;
    std::map<std::uint32_t, CZorvTreeNode*> nodesByIndex_;
    std::map<std::uint32_t, std::uintptr_t> itemsByIndex_;
    std::map<std::uint32_t, std::uintptr_t> thirdMap_;
};

}  // namespace quarva::archive
