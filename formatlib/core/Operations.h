#pragma once
// The work behind each entry point. Every failure goes to the host as an error
// record through the Reporter; nothing here throws across the library boundary.

#include <string>
#include <vector>

#include "formatlib/core/Reporter.h"

namespace quarva::formatlib {

// How files are added to an archive.
struct AddOptions {
    std::string password;       // encrypt (zip only); refused where the format cannot
    bool hiddenFiles = false;   // include names starting with '.'
    bool deleteAfter = false;   // remove the files once the archive holds them
    bool savePathInfo = false;  // store paths (else the names alone)
    bool subfolders = false;    // go into folders
};

// How entries are extracted.
struct ExtractOptions {
    bool overwrite = false;      // replace existing files (else keep them)
    bool useStoredPaths = true;  // recreate the stored folders (else all in one folder)
    std::string password;
};

void listArchive(const std::string& archive, const std::string& filters, Reporter& rep);
void compressFiles(const std::string& archive, const std::string& files, const AddOptions& options, Reporter& rep);
void extractFiles(const std::string& archive, const std::string& files, const std::string& destination,
                  const ExtractOptions& options, Reporter& rep);
void deleteFiles(const std::string& archive, const std::string& files, Reporter& rep);
void testArchive(const std::string& archive, const std::string& files, Reporter& rep, const std::string& password = {});
void convertArchive(const std::string& source, const std::string& target, int formatCode, Reporter& rep);
void makeSelfExtractor(const std::string& source, const std::string& target, const std::string& stubFolder,
                       Reporter& rep);
void encodeArchive(const std::string& source, const std::string& target, int method, bool writeTable, Reporter& rep);
int fileCount(const std::string& archive);

struct TextMatch {
    std::string entry;
    unsigned line;
    std::string text;
};
// Every line of every text entry that holds `text`.
std::vector<TextMatch> findText(const std::string& archive, const std::string& text, bool matchCase, Reporter& rep);

// Writes the archive-type associations into the registry store (HKEY_CLASSES_ROOT).
void associate(const std::string& installedFolder, Reporter& rep);

// The stub file name looked for in the stub folder.
inline constexpr const char* kSfxStubName = "qzipsfx";
// The folder this library was loaded from.
std::string libraryFolder();

}  // namespace quarva::formatlib
