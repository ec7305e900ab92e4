#pragma once
// The application-wide flags of the open archive, set from the lower-cased
// extension of its file name when it is opened or created.

#include <optional>
#include <string>

namespace quarva::archive {

// Which engine serves the open archive (the numbers are the ones the format
// library reports for an archive's content).
enum class ArchiveKind : int {
    Zip = 0,         // the compression engine
    NewLibrary = 1,  // a new archive of a library format
    Library = 2,     // the format library (command-line actions)
    Cab = 3,
    OtherLibrary = 10,
};

struct ArchiveFlags {
    bool sfxCapable = false;
    bool modifiable = true;
    bool removable = false;
};

// Opening: "zip" Zip, "cab" Cab, anything else OtherLibrary.
ArchiveKind kindForOpening(const std::string& extension);
// Creating: "zip" Zip; "cab", "bh", "jar", "lha", "tar", "gz", "lzh" NewLibrary;
// nullopt for any other extension (creation refused).
std::optional<ArchiveKind> kindForCreating(const std::string& extension);
// The command-line actions: "zip" Zip, anything else Library.
ArchiveKind kindForCommandLine(const std::string& extension);
// The kind of the format library's answer for a file's content (0 zip, 3 cab,
// anything else another library format).
ArchiveKind kindByContent(int libraryKind);
// "ace", "arj", "bh", "jar", "lha", "rar", "zip".
bool isSfxCapable(const std::string& extension);
// Everything but the encoded forms "xxe" and "uue".
bool isModifiable(const std::string& extension);

}  // namespace quarva::archive
