#pragma once
// The application-wide flags of the open archive, set from the lower-cased
// extension of its file name when it is opened or created.

#include <optional>
#include <string>

namespace quarva::archive {

namespace kind {
constexpr int kZip = 0;         // the compression engine
constexpr int kNewLibrary = 1;  // a new archive of a library format
constexpr int kLibrary = 2;     // the format library (command-line actions)
constexpr int kCab = 3;
constexpr int kOtherLibrary = 10;
}  // namespace kind

struct ArchiveFlags {
    bool sfxCapable = false;
    bool modifiable = true;
    bool removable = false;
};

// Opening: "zip" 0, "cab" 3, anything else 10.
int kindForOpening(const std::string& extension);
// Creating: "zip" 0; "cab", "bh", "jar", "lha", "tar", "gz", "lzh" 1; nullopt for
// any other extension (creation refused).
std::optional<int> kindForCreating(const std::string& extension);
// The command-line actions: "zip" 0, anything else 2.
int kindForCommandLine(const std::string& extension);
// "ace", "arj", "bh", "jar", "lha", "rar", "zip".
bool isSfxCapable(const std::string& extension);
// Everything but the encoded forms "xxe" and "uue".
bool isModifiable(const std::string& extension);

}  // namespace quarva::archive
