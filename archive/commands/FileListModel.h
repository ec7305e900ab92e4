#pragma once
// The rows of the file list and their texts, sorted as the list's header clicks
// and the View menu ask: the subfolders and files of one folder (explorer view) or
// every file of the archive (classic view). The list control only draws what this
// model holds; the icon and type caches of the desktop fill in the type names.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "archive/core/ZipFileInfo.h"
#include "archive/core/ZorvTreeNode.h"

namespace quarva::archive {

// The seven columns, in order.
enum ListColumn : int { kColName, kColType, kColDate, kColSize, kColRatio, kColPacked, kColPath, kColumnCount };
inline constexpr const char* kColumnTitles[kColumnCount] = {"Name",  "Type",        "Modified Date", "Size",
                                                            "Ratio", "Packed Size", "Path"};

struct FileListRow {
    const CZorvTreeNode* folder = nullptr;  // a subfolder item, or
    const CZipFileInfo* file = nullptr;     // a file item
    const std::string* type = nullptr;      // the file's type name (owned by the type cache)
    bool isFolder() const { return folder != nullptr; }
};

// "dd-mm-yy hh:mm" as a number that orders by time (yyyymmddhhmm; years below 83
// are 20xx); 0 for text of another shape.
std::int64_t entryTimeKey(const std::string& modified);
// The same time in the user's short date format, a blank, and the time without seconds.
std::string entryDateText(const std::string& modified);
// The type column's text of a file: "File" without an extension; else the desktop's
// name for the extension, or the extension followed by " File" when it has none.
std::string typeTextFor(const std::string& extension, const std::string& desktopName);

class CFileListModel {
public:
    // Gives the type name of a lower-cased extension ("" for none); called once per
    // extension, the answer is cached.
    using TypeNamer = std::function<std::string(const std::string& extension)>;
    explicit CFileListModel(TypeNamer namer = {}) : namer_(std::move(namer)) {}

    void clear();
    // Explorer view: the node's subfolders, then its files, sorted.
    void showNode(const CZorvTreeNode* node);
    // Classic view: every file, sorted.
    void showAll(const std::vector<const CZipFileInfo*>& files);

    std::size_t size() const { return rows_.size(); }
    const FileListRow& row(std::size_t index) const { return rows_[index]; }
    std::string text(std::size_t index, int column) const;

    // A click on a column header: the direction follows the sort table (same column
    // toggles; another date or number column keeps the direction; another text
    // column starts ascending), then the rows are sorted.
    void clickColumn(int column);
    // The View menu's sort commands and re-sorting after a refill.
    void sortBy(int column, bool ascending);
    int sortColumn() const { return sortColumn_; }
    bool ascending() const { return ascending_; }

    // The type name of an extension through the cache.
    const std::string& typeName(const std::string& extension);

private:
    void addFile(const CZipFileInfo* file);
    void sort();

    TypeNamer namer_;
    std::map<std::string, std::string> typeCache_;
    std::vector<FileListRow> rows_;
    int sortColumn_ = kColName;
    bool ascending_ = true;
};

}  // namespace quarva::archive
