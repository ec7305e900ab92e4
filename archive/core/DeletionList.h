#pragma once
// The run's list of temporary files to delete when the archive manager ends:
// "~QuarvaDel.tmp" in the system temporary folder, one full path per line, each
// line ended by "\r\n". The list is opened for appending and never truncated, so a
// list left over by an earlier run (whose files could not all be deleted) is
// retried at the next exit.

#include <cstdio>
#include <filesystem>
#include <string>

namespace quarva::archive {

inline constexpr char kDeletionListName[] = "~QuarvaDel.tmp";

class CDeletionList {
public:
    CDeletionList() = default;
    ~CDeletionList();
    CDeletionList(const CDeletionList&) = delete;
    CDeletionList& operator=(const CDeletionList&) = delete;

    // Opens (creating when missing) the list in `folder`. False when it cannot be
    // opened; the run goes on without it and nothing is deleted at exit.
    bool open(const std::filesystem::path& folder);
    bool isOpen() const { return file_ != nullptr; }
    const std::filesystem::path& path() const { return path_; }

    // Records a file to delete at exit.
    bool append(const std::string& filePath);

    // Exit: closes the list, deletes every listed file (clearing a read-only mark
    // first), and deletes the list itself only when every listed file is gone.
    // Returns true when nothing was left behind.
    bool deleteRecordedFiles();

private:
    std::FILE* file_ = nullptr;
    std::filesystem::path path_;
};

}  // namespace quarva::archive
