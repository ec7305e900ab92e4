#include "archive/core/ListFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/FileSystem.h"

namespace fs = std::filesystem;

namespace quarva::archive {

namespace {

// A list names a few thousand paths at most; anything far larger is not a list.
constexpr off_t kMaxListSize = 16 * 1024 * 1024;

std::string lineReason(std::size_t index, const char* what) { return "line " + std::to_string(index + 1) + " " + what; }

}  // namespace

std::optional<std::vector<std::string>> readListFile(const fs::path& path) {
    // Non-blocking, so that a fifo named as the list cannot hold the program.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxListSize) {
        ::close(fd);
        return std::nullopt;
    }
    std::string text;
    char buffer[8192];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
        if (text.size() > static_cast<std::size_t>(kMaxListSize)) {
            ::close(fd);
            return std::nullopt;
        }
    }
    ::close(fd);

    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

std::string listShapeProblem(const std::vector<std::string>& lines, ListShape shape) {
    if (lines.empty()) return "it is empty";
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.empty()) return lineReason(i, "is empty");
        if (line.find_first_of(std::string("\r\0", 2)) != std::string::npos)
            return lineReason(i, "holds a control character");
        if (line.size() > kListLineLength) return lineReason(i, "is longer than 259 characters");
        if (line.front() != '/') return lineReason(i, "is not a full path");
    }
    if (shape == ListShape::ArchiveAndItems && lines.size() < 2) return "it names the archive but nothing to add";
    if (shape == ListShape::Pairs && lines.size() < 2) return "it names an archive but no destination folder";
    return {};
}

bool isHandedOverList(const fs::path& path) {
    const fs::path folder = platform::tempFolder();
    if (folder.empty() || !path.is_absolute()) return false;
    const fs::path normal = path.lexically_normal();
    return normal.parent_path() == folder.lexically_normal() && normal.filename().string().starts_with(kListFilePrefix);
}

void removeHandedOverList(const fs::path& path) {
    // unlink removes a link itself, never what it points to.
    if (isHandedOverList(path)) ::unlink(path.lexically_normal().c_str());
}

SplitPaths splitFoldersAndFiles(const std::vector<std::string>& lines, std::size_t first) {
    SplitPaths split;
    for (std::size_t i = first; i < lines.size(); ++i) {
        std::error_code ec;
        if (fs::is_directory(lines[i], ec)) split.folders.push_back(lines[i]);
        else split.files.push_back(lines[i]);
    }
    return split;
}

}  // namespace quarva::archive
