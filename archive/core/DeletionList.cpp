#include "archive/core/DeletionList.h"

#include <fcntl.h>
#include <fstream>
#include <unistd.h>

#include "platform/FileSystem.h"

namespace fs = std::filesystem;

namespace quarva::archive {

CDeletionList::~CDeletionList()
{
    if (file_) std::fclose(file_);
}

bool CDeletionList::open(const fs::path& folder)
{
    path_ = folder / kDeletionListName;
    // O_APPEND: every line goes to the end, also when another run appends at the same time.
    int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    file_ = fdopen(fd, "a");
    if (!file_) {
        ::close(fd);
        return false;
    }
    return true;
}

bool CDeletionList::append(const std::string& filePath)
{
    if (!file_) return false;
    std::string line = filePath + "\r\n";
    bool ok = std::fwrite(line.data(), 1, line.size(), file_) == line.size();
    return std::fflush(file_) == 0 && ok;
}

bool CDeletionList::deleteRecordedFiles()
{
    if (!file_) return false;
    std::fclose(file_);
    file_ = nullptr;

    bool failed = false;
    std::ifstream in(path_, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        platform::setFileAttributes(line, platform::kAttrNormal);
        std::error_code ec;
        bool removed = fs::remove(line, ec);
        if (!removed && fs::symlink_status(line, ec).type() != fs::file_type::not_found) failed = true;
    }
    in.close();
    if (failed) return false;
    std::error_code ec;
    fs::remove(path_, ec);
    return true;
}

}  // namespace quarva::archive
