#pragma once
// The run's list of temporary files to delete when the archive manager ends:
// "~QuarvaDel.tmp" in the suite's private temporary folder, one full path per line,
// each line ended by "\r\n". The list is opened for appending and never truncated,
// so a list left over by an earlier run (whose files could not all be deleted) is
// retried at the next exit.
//
// Nothing here trusts the list's content: it is opened without following a link
// and used only when it is a regular file of the user's own, and at exit it
// deletes nothing but files inside the folder it lives in - lexically, without
// "..", and never through a link.

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
    // opened, or is a link, not a regular file, another user's or linked under a
    // second name; the run goes on without it and nothing is deleted at exit.
    bool open(const std::filesystem::path& folder);
    bool isOpen() const { return fd_ >= 0; }
    const std::filesystem::path& path() const { return path_; }

    // Records a file to delete at exit.
    bool append(const std::string& filePath);

    // Exit: closes the list, deletes every listed file inside the list's folder
    // (other lines are passed over), and deletes the list itself only when every
    // such file is gone. Returns true when nothing was left behind.
    bool deleteRecordedFiles();

private:
    int fd_ = -1;
    std::filesystem::path folder_;
    std::filesystem::path path_;
};

}  // namespace quarva::archive
