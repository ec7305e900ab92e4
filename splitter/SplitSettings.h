#pragma once
// The splitter's settings, kept beside the suite's own in
// HKCU "Software\Quarva Software\Quarva.Zip\Settings":
//   "Folder Options"  one digit stored as exactly one byte, no terminator;
//                     bit 0 removes the split files after a rejoin, bit 1 erases a
//                     removable destination before a split
//   "Working Folder"  default destination of both modes, stored as a 260-byte block
//   "Startup Folder"  current directory at start, stored the same way
//   "Installed Path"  read only: the suite's folder, prefix of the defaults
// and the settings pane that edits them.

#include <string>
#include <string_view>

#include "platform/Prompts.h"

namespace quarva::splitter {

inline constexpr const char* kSettingsKey = "Software\\Quarva Software\\Quarva.Zip\\Settings";
inline constexpr std::uint32_t kFolderBlockSize = 260;
inline constexpr unsigned kOptionRemoveAfterRejoin = 1;
inline constexpr unsigned kOptionEraseBeforeSplit = 2;

class CSplitSettings {
public:
    bool removeAfterRejoin = false;
    bool eraseBeforeSplit = false;
    std::string startupFolder;
    std::string workingFolder;
    std::string installedPath;

    // Opens or creates the key and reads the four values. An empty working or startup
    // folder becomes installed path + "/Working" or "/Startup"; when "Installed Path"
    // is empty, `fallbackInstalledPath` (the program's own folder) stands in for it.
    void Load(const std::string& fallbackInstalledPath);
    // Makes the startup folder the process's current directory (when it exists).
    void EnterStartupFolder() const;

    // "1", "2" and "3" give their bits; any other text gives none.
    static unsigned ParseFolderOptions(std::string_view text);
    unsigned FolderOptions() const;
    void StoreFolderOptions() const;
    static void StoreFolder(const char* valueName, const std::string& folder);

    // At window initialization: the working folder, then the startup folder; a folder
    // that is set but missing is offered for creation; refusing uses the home folder
    // for this run.
    void CheckFolders(platform::Prompts& prompts);

    // What stands in for a folder the user declined to create.
    static std::string FallbackFolder();
};

// The pane below the window's controls: two option boxes and two folder boxes.
class CSettingsPane {
public:
    static constexpr int kDoneOk = 0;
    static constexpr int kDoneCancel = 777;

    bool removeAfterRejoin = false;
    bool eraseBeforeSplit = false;
    std::string startupBox;
    std::string workingBox;

    // Fills the boxes from the settings when the pane opens.
    void Open(const CSplitSettings& settings);
    // Stores the options and the folders (offering to create missing ones) and copies
    // what was stored back into `settings`; returns the word told to the window.
    int OnOK(CSplitSettings& settings, platform::Prompts& prompts);
    int OnCancel() const { return kDoneCancel; }
};

}  // namespace quarva::splitter
