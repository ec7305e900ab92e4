#pragma once
// A safety report before extraction: what in an archive extraction would refuse,
// and what deserves a look before anyone unpacks it.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quarva::qzip {

// One entry as the report sees it, whatever the format.
struct CheckedEntry {
    enum class Kind { File, Folder, Symlink, Hardlink, Special };
    std::string name;  // as stored
    Kind kind = Kind::File;
    std::string linkTarget;
    std::optional<std::uint64_t> size, packed;
    bool encrypted = false;
    std::string encryption;   // "aes256", ... when known
    bool sharesData = false;  // its data lies over another entry's (zip)
    std::string linkProblem;  // why the link's target could not be read
};

struct Finding {
    enum class Level { Warning, Dangerous };
    Level level;
    std::string kind;  // short key for scripts: "climbs-out", "link-outside", ...
    std::string name;  // the entry, empty for the archive as a whole
    std::string detail;
};

struct SafetyReport {
    std::string format;  // "zip", "tar.gz", ...
    std::size_t entries = 0;
    std::vector<Finding> findings;
    // 0 clean, 1 warnings only, 2 something dangerous or damaged.
    int verdict() const;
};

// Judges the entries of an archive of `archiveBytes` bytes; adds to `report`.
void judgeEntries(const std::vector<CheckedEntry>& entries, std::uint64_t archiveBytes, SafetyReport& report);

// Reads the archive (zip through the zip engine's directory, every other format
// through the format library's readers) and judges it. `zip` picks the reader;
// zip names stored without UTF-8 are read in `namesCharset` (empty: automatic).
SafetyReport checkArchive(const std::string& path, bool zip, const std::string& namesCharset = {});

// The report for people (one line a finding, then the verdict) or as JSON.
void printReport(const SafetyReport& report, const std::string& path, bool json);

}  // namespace quarva::qzip
