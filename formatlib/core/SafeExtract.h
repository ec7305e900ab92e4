#pragma once
// Writes archive entries below one destination folder and nowhere else. Names must
// come through safeRelativePath first; this class also refuses to write through a
// symbolic link, creates links only when they stay inside the folder, bounds the
// bytes of each entry, and replaces a file only once its new content is complete.

#include <filesystem>
#include <string>

#include "formatlib/formats/Format.h"

namespace quarva::formatlib {

class SafeExtractor {
public:
    enum class Result { Written, Skipped, Failed };

    // `unknownSizeCap`: most bytes written for an entry whose size the archive does not declare.
    SafeExtractor(std::filesystem::path destination, bool overwrite, std::uint64_t unknownSizeCap);

    // `relative` is the safe relative name ("a/b.txt"). `data` is null for folders and links.
    Result extract(const EntryInfo& entry, const std::string& relative, DataSource* data);
    const std::string& cause() const { return cause_; }

private:
    bool makeParents(const std::string& relative);
    Result fail(std::string why);

    std::filesystem::path dest_;
    bool overwrite_;
    std::uint64_t cap_;
    std::string cause_;
};

}  // namespace quarva::formatlib
