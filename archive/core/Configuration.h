#pragma once
// The archive manager's settings block and the main window's saved placement.
// Loaded once at start-up; written only when the user confirms the configuration
// pages, never when the program ends.

#include <cstdint>
#include <filesystem>
#include <string>

#include "archive/core/SettingsStore.h"
#include "archive/core/ShowState.h"

namespace quarva::archive {

// View bits ("Config View Settings").
namespace viewbits {
constexpr std::uint32_t kTypeColumn = 0x0001, kDateColumn = 0x0002, kSizeColumn = 0x0004, kRatioColumn = 0x0008,
                        kPackedColumn = 0x0010, kPathColumn = 0x0020, kFullRowSelect = 0x0040, kGridLines = 0x0080,
                        kFlatScrollBars = 0x0100, kFlatView = 0x1000;
}
// Folder bits ("Config Folder Settings").
namespace folderbits {
constexpr std::uint32_t kStartInCurrentDirectory = 0x01, kRememberStartupFolder = 0x02,
                        kOpenedFolderIsExtractFolder = 0x08, kExtractDestinationIsExtractFolder = 0x10,
                        kOpenedFolderIsAddFolder = 0x40;
}
// System bits ("Config System Settings").
namespace systembits {
constexpr std::uint32_t kShellExtensionActive = 0x10, kShellSubmenu = 0x20, kShellIcons = 0x40, kShellZipAndMail = 0x80;
// The desktop's own default application for the archive types becomes QuarvaZip at
// every start. Outside the default value, so it is off until the user asks for it.
constexpr std::uint32_t kDesktopDefault = 0x400;
}  // namespace systembits

class CConfiguration {
public:
    static constexpr std::uint32_t kDefaultViewBits = 6447;    // 0x192F
    static constexpr std::uint32_t kDefaultFolderBits = 146;   // 0x92
    static constexpr std::uint32_t kDefaultSystemBits = 1023;  // 0x3FF

    std::uint32_t viewBits = kDefaultViewBits;
    std::uint32_t folderBits = kDefaultFolderBits;
    std::string startupFolder;
    std::string extractionFolder;  // "Extract Folder" of "Folder Settings"
    std::string addFolder;
    std::string tempFolder;
    std::string workingFolder;
    std::uint32_t systemBits = kDefaultSystemBits;

    // Reads the block. A number stored as 0 counts as missing; an empty temp or
    // working folder becomes `systemTemp`; folder bit 0x01 takes `currentDirectory`
    // as the startup folder.
    void load(const SettingsStore& store, const std::string& currentDirectory, const std::string& systemTemp);
    // The settings part of saving: the three numbers and the two folders under
    // "Settings", the three folders under "Folder Settings".
    void save(SettingsStore& store) const;

    bool startsInFlatView() const { return (viewBits & viewbits::kFlatView) != 0; }
};

// The folder that holds the default "Extraction" and "Archives" folders: the
// installed path itself when this user owns it and may write into it (a copy in
// the user's own folders), otherwise the "Quarva" folder in the user's documents
// folder, so that a shared installation is never written by a user's run. An
// installed path that does not exist yet counts as its nearest existing parent.
std::filesystem::path defaultFoldersRoot(const std::filesystem::path& installedPath);
// The user's documents folder: XDG_DOCUMENTS_DIR of the user's user-dirs.dirs,
// else "Documents" in the home folder.
std::filesystem::path documentsFolder();
// The user's desktop folder: XDG_DESKTOP_DIR of user-dirs.dirs, else "Desktop" in
// the home folder (the answer of `xdg-user-dir DESKTOP`, without running a shell
// over the user's file).
std::filesystem::path desktopFolder();
// $XDG_CONFIG_HOME when it is an absolute path, else ".config" in the home folder.
std::filesystem::path userConfigFolder();

// Show states, numbered as the platform numbers them.
struct WindowPlacement {
    static constexpr int kDefaultWidth = 500;
    static constexpr int kDefaultHeight = 400;

    int x = 0, y = 0;
    int width = kDefaultWidth, height = kDefaultHeight;
    bool treeShown = true;  // saved as "mode": 1 with the folder tree shown, 0 in the flat view
    ShowState show = ShowState::Show;

    // The placement the window is created with: a width or height not greater than 0
    // becomes 500 or 400, a "Show" of 0 becomes 5.
    static WindowPlacement load(const SettingsStore& store);
    // Always written by the configuration command: "Show" keeps 3, 2 and 5 and
    // stores 5 for every other state.
    void save(SettingsStore& store) const;
    static ShowState showStateToSave(ShowState state);
};

}  // namespace quarva::archive
