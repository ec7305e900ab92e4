#pragma once
// The archive manager's application object without its window: where the suite is
// installed, the folders it works in, the run's deletion list, the command line,
// the settings block and the state the commands share. The wx application drives
// the start-up steps in order; the hidden command-line actions use the same steps
// without a display.

#include <filesystem>
#include <string>
#include <vector>

#include "archive/core/ArchiveFlags.h"
#include "archive/core/CommandLine.h"
#include "archive/core/Configuration.h"
#include "archive/core/DeletionList.h"
#include "archive/core/RecentFileList.h"
#include "archive/core/SettingsStore.h"
#include "platform/Prompts.h"

namespace quarva::archive {

inline constexpr char kAppName[] = "Quarva.Zip Suite";
inline constexpr char kNotInstalledMessage[] = "Quarva.Zip Suite was not properly installed";
inline constexpr char kFormatLibraryName[] = "libqzip32.so";

class CQuarvaZipApp {
public:
    CQuarvaZipApp(SettingsStore store, platform::Prompts& prompts);

    // Start-up step 4: reads "Installed Path"; when it is empty, shows the error box
    // and returns false (the program ends). Builds the format library path.
    bool readInstallation();
    // Step 5: the extraction and archives folders (created when they are the
    // defaults inside the installed path) and the scanner path.
    void prepareFolders();
    // Step 6: opens the deletion list in the suite's private temporary folder; a
    // list that cannot be opened is ignored. When there is no temporary folder the
    // suite can use, says why and returns false (the program ends).
    bool openDeletionList();
    // Step 8: the command line. More than one switch and one path is refused with a
    // message; false then (the program ends).
    bool parseCommandLine(const std::vector<std::string>& params);
    // Step 9: the settings block and the recent-file list.
    void loadSettings();
    // Exit steps 1-3.
    void exitInstance();

    // The settings part of the configuration command's save (runs while the
    // save-settings flag is set).
    void saveSettings();

    // Every successful open: the path moves to the top of the recent-file list.
    void addRecentFile(const std::string& path);

    SettingsStore& store() { return store_; }
    platform::Prompts& prompts() { return prompts_; }

    std::filesystem::path libraryPath;
    std::filesystem::path installedPath;
    CDeletionList deletionList;
    std::filesystem::path extractionFolder;
    std::filesystem::path archivesFolder;
    std::string scannerPath;
    ArchiveKind archiveKind = ArchiveKind::Zip;
    std::vector<std::string> recentPaths;  // newest last
    CRecentFileList recentFiles;           // newest first, as shown in the menu
    CConfiguration configuration;
    CCommandLine commandLine;
    bool flatView = false;
    bool saveSettingsFlag = true;
    std::string activityLog;

private:
    SettingsStore store_;
    platform::Prompts& prompts_;
};

}  // namespace quarva::archive
