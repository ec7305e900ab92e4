#include "archive/core/ListFile.h"

#include <cstdio>

namespace quarva::archive {

std::optional<std::vector<std::string>> readListFile(const std::filesystem::path& path)
{
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) return std::nullopt;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return std::nullopt;
    std::vector<std::string> lines;
    // Read as a 260-byte line buffer reads: at most 259 characters at a time.
    char buffer[kListLineLength + 1];
    while (std::fgets(buffer, sizeof buffer, f)) {
        std::string line(buffer);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        if (!line.empty()) lines.push_back(std::move(line));
    }
    std::fclose(f);
    return lines;
}

SplitPaths splitFoldersAndFiles(const std::vector<std::string>& lines, std::size_t first)
{
    SplitPaths split;
    for (std::size_t i = first; i < lines.size(); ++i) {
        std::error_code ec;
        if (std::filesystem::is_directory(lines[i], ec))
            split.folders.push_back(lines[i]);
        else
            split.files.push_back(lines[i]);
    }
    return split;
}

}  // namespace quarva::archive
