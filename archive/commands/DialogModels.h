#pragma once
// The option models behind the archive manager's dialogs: defaults, the values
// each choice hands to the operations, and the checks that keep a dialog open with
// a message. The wx dialogs show these and forward what the user does.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/core/ZipFileInfo.h"

namespace quarva::archive {

// --- adding ---

struct AddDialogOptions {
    int action = 0;       // "Add (and replace) files", "Freshen existing files", "Update (and add) files"
    int compression = 3;  // "None" .. "Maximum ( Slowest )"
    int spanning = 2;     // list position: 0 "Automatic", 1 "+ wipe disk prompt", 2 "No Spanning"
    bool savePathInfo = false;
    bool onlyIfArchiveSet = false;
    bool resetArchiveAttribute = false;
    bool includeHidden = false;
    bool includeSubfolders = false;
    bool deleteAfterZipping = false;
};

// List position 0..4 to the engine's level 0, 1, 4, 6, 9.
std::int16_t compressionLevel(int position);

// How the spanning list is shown.
struct SpanningList {
    std::vector<std::string> entries;
    int selected = 0;
    bool enabled = false;
};
// `fileDialogForm` is the file chooser's panel (one disabled entry when spanning is
// not offered); otherwise the three entries, disabled, "Automatic" selected.
// `diskCount` is the engine's read-only disk count property.
SpanningList spanningList(bool removable, int diskCount, bool fileDialogForm);

struct SpanningFlags {
    bool spanning = false;
    bool wipeDisk = false;
};
SpanningFlags spanningFlags(bool removable, int position);

// The file chooser's "Add with wildcards": the hint that keeps the dialog open, or
// nullopt when the text holds "*.".
std::optional<std::string> wildcardProblem(const std::string& text, bool formatLibraryArchive);
// The wildcard text as the add-folders operation takes it.
std::string wildcardMask(const std::string& text, bool formatLibraryArchive);

// The paths shortened to `limit` characters with "..." in place of middle folders.
std::string compactPath(const std::string& path, std::size_t limit = 40);

// The add-from-lists dialog's description and the folder its items come from.
struct AddListsDescription {
    std::string description;
    std::string sourceFolder;  // ends with "/"
};
// Each item is tested on disk to tell a folder from a file.
AddListsDescription describeAddLists(const std::vector<std::string>& folders, const std::vector<std::string>& files);
// "Add" in the add-from-lists dialog: the message that keeps it open, or nullopt.
std::optional<std::string> archiveNameProblem(const std::string& name);

// --- password ---

// "OK": the message that keeps the dialog open, or nullopt.
std::optional<std::string> passwordProblem(bool confirmRequired, const std::string& password,
                                           const std::string& reentered);

// --- the folder chooser and extraction ---

struct ExtractDialogOptions {
    int filesChoice = 0;  // 0 selected files, 1 all files, 2 files matching the pattern
    std::string pattern;
    bool overwrite = false;
    bool skipOlder = false;
    bool useFolderNames = false;
};

// The typed folder as the chooser returns it (ending in one "/"), or nullopt for
// "Invalid Folder": empty, or two "/" in a row before the last character.
std::optional<std::string> chosenFolder(const std::string& typed);

struct ExtractLists {
    std::vector<std::string> files;
    std::vector<std::string> folders;
};
// The lists of the files choice 1 ("*") and 2 (the pattern at every depth); choice 0
// takes the list view's selection, which the caller supplies.
ExtractLists extractListsFor(const ExtractDialogOptions& options, const ExtractLists& selection);

// --- deleting entries ---

struct DeleteDialogOptions {
    int choice = 1;  // 0 entire archive, 1 selected item, 2 files matching the filter
    std::string filter;
};
std::optional<std::string> deleteProblem(const DeleteDialogOptions& options);
// The engine's name list for a filter: the filter at every depth.
std::string deleteFilterNames(const std::string& filter);

// --- renaming the archive ---

std::string renameTitle(const std::string& oldName);
std::optional<std::string> renameProblem(const std::string& oldName, const std::string& newName);
// The new name with the old name's extension when it has none of its own.
std::string renamedFileName(const std::string& oldName, const std::string& newName);

// --- converting and encoding ---

struct SaveAsType {
    const char* text;
    const char* extension;
    int formatCode;
};
const std::vector<SaveAsType>& saveAsTypes();
// The text from the last "." on replaced by `extension` (which starts with "."); a
// path without "." stays as it is.
std::string replaceFromLastDot(const std::string& path, const std::string& dottedExtension);
// The text after the last "." replaced by `extension` (without "."); a path without
// "." stays as it is.
std::string replaceAfterLastDot(const std::string& path, const std::string& extension);
// Save As: "Target Archive Name empty !" for an empty target.
std::optional<std::string> targetProblem(const std::string& target);
std::string overwriteQuestion(const std::string& target);
std::string convertedText(const std::string& source, const std::string& target);
// Encode: the target the encoder writes for method 0 (UU) or 1 (XX).
std::string encodeTarget(const std::string& source, const std::string& dialogTarget, int method);

// --- fixing ---

std::string backupName(const std::string& archivePath);

// --- the text window ---

struct TextWindowLabels {
    std::string ok;
    std::string copy;
};
TextWindowLabels textWindowLabels(bool commentMode);
// What "&Save" writes: an empty comment becomes one blank.
std::string commentToSave(const std::string& text);

// --- the properties page ---

struct PropertiesView {
    enum class Icon { FileType, Folder, Several } icon = Icon::Several;
    std::string iconExtension;  // FileType: the extension whose desktop icon shows
    std::string name, type, location, packedSize, size, ratio, date;
    bool readOnly = false, hidden = false, system = false, archive = false, compressed = false;
};
struct SelectedFolder {
    // Every file below the folder at any depth, and the number of folders below it.
    std::vector<const CZipFileInfo*> files;
    int subfolders = 0;
};
PropertiesView propertiesView(const std::vector<const CZipFileInfo*>& files,
                              const std::vector<SelectedFolder>& folders);

}  // namespace quarva::archive
