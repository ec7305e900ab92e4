#pragma once
// Writes archive entries below one destination folder and nowhere else. Names must
// come through safeRelativePath first. The destination is held open
// (platform::SafeDestination): every folder beneath it is reached from the last
// without following links, links are made only when they stay inside, the bytes of
// each entry are bounded, and a file appears only once its content is complete
// (platform::AtomicFile).

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "formatlib/formats/Format.h"
#include "platform/SafeDestination.h"

namespace quarva::formatlib {

class SafeExtractor {
public:
    // Aborted: Abort() stopped the entry half way; nothing more should be extracted.
    enum class Result { Written, Skipped, Failed, Aborted };

    // `unknownSizeCap`: most bytes written for an entry whose size the archive does not declare.
    SafeExtractor(const std::filesystem::path& destination, bool overwrite, std::uint64_t unknownSizeCap);

    // `relative` is the safe relative name ("a/b.txt"). `data` is null for folders and links.
    // A hard link is made only to a file this extractor wrote.
    Result extract(const EntryInfo& entry, const std::string& relative, DataSource* data);
    const std::string& cause() const { return cause_; }

private:
    Result fail(std::string why);
    Result aborted(std::string why);
    Result writeFile(const EntryInfo& entry, const std::string& relative, const std::vector<std::string>& parts,
                     DataSource* data);
    std::string explain(const std::error_code& ec, const std::string& relative, const char* doing) const;

    platform::SafeDestination dest_;
    std::string openProblem_;
    bool overwrite_;
    std::uint64_t cap_;
    std::string cause_;
    std::set<std::string> written_;  // regular files this extraction wrote
    std::vector<char> buffer_;
};

}  // namespace quarva::formatlib
