#include "archive/core/QuarvaZipApp.h"

#include "archive/core/CoreTexts.h"
#include "platform/FileSystem.h"
#include "platform/Launcher.h"

namespace fs = std::filesystem;

namespace quarva::archive {

CQuarvaZipApp::CQuarvaZipApp(SettingsStore store, platform::Prompts& prompts)
    : store_(std::move(store)), prompts_(prompts) {}

bool CQuarvaZipApp::readInstallation() {
    std::string installed = store_.readString(suiteKey("Settings"), "Installed Path");
    if (installed.empty()) {
        prompts_.message(kNotInstalledMessage, kAppName, platform::Buttons::Ok, platform::Icon::Stop);
        return false;
    }
    installedPath = installed;
    libraryPath = installedPath / kFormatLibraryName;
    return true;
}

void CQuarvaZipApp::prepareFolders() {
    const std::string settings = suiteKey("Settings");
    auto folderOrDefault = [&](const char* value, const char* defaultName) {
        std::string stored = store_.readString(settings, value);
        if (!stored.empty()) return fs::path(stored);
        fs::path folder = defaultFoldersRoot(installedPath) / defaultName;
        std::error_code ec;
        fs::create_directories(folder, ec);
        return folder;
    };
    extractionFolder = folderOrDefault("Extract Folder", "Extraction");
    archivesFolder = folderOrDefault("Archives Folder", "Archives");
    scannerPath = store_.readString(settings, "Scanner Path");
}

bool CQuarvaZipApp::openDeletionList() {
    const fs::path folder = platform::tempFolder();
    if (folder.empty()) {
        prompts_.message(platform::tempFolderProblem(), kAppName, platform::Buttons::Ok, platform::Icon::Stop);
        return false;
    }
    deletionList.open(folder);
    return true;
}

bool CQuarvaZipApp::parseCommandLine(const std::vector<std::string>& params) {
    if (commandLine.parse(params)) return true;
    prompts_.message(text::kTooManyArguments + platform::renderCommandLine(params), kAppName, platform::Buttons::Ok,
                     platform::Icon::Stop);
    return false;
}

void CQuarvaZipApp::loadSettings() {
    configuration.load(store_, platform::currentDirectory().string(), platform::tempFolder().string());
    flatView = configuration.startsInFlatView();
    recentFiles.load(store_);
    recentPaths.assign(recentFiles.entries().rbegin(), recentFiles.entries().rend());
}

void CQuarvaZipApp::exitInstance() { deletionList.deleteRecordedFiles(); }

void CQuarvaZipApp::saveSettings() {
    if (saveSettingsFlag) configuration.save(store_);
}

void CQuarvaZipApp::addRecentFile(const std::string& path) {
    touchRecentPath(recentPaths, path);
    recentFiles.add(path, store_);
}

}  // namespace quarva::archive
