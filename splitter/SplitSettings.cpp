#include "splitter/SplitSettings.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "platform/Registry.h"
#include "splitter/SplitSet.h"
#include "splitter/SplitTexts.h"

namespace fs = std::filesystem;
using quarva::platform::Hive;
using quarva::platform::Registry;

namespace quarva::splitter {

namespace {

std::string readText(const Registry& reg, const char* name) {
    auto v = reg.readString(Hive::CurrentUser, kSettingsKey, name);
    if (!v) return {};
    // The folder blocks carry zero bytes after the text.
    auto nul = v->find('\0');
    return nul == std::string::npos ? *v : v->substr(0, nul);
}

bool folderExists(const std::string& folder) {
    std::error_code ec;
    return fs::is_directory(folder, ec);
}

bool createFolder(const std::string& folder) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    return folderExists(folder);
}

// Asks to create a missing folder. true when the folder exists afterwards; `declined`
// tells a Cancel from a failed creation.
bool offerCreate(platform::Prompts& prompts, const std::string& folder, const char* caption, bool* declined) {
    *declined = false;
    auto answer = prompts.message(folder + texts::kDoesNotExistCreate, caption, platform::Buttons::OkCancel);
    if (answer != platform::Answer::Ok) {
        *declined = true;
        return false;
    }
    if (createFolder(folder)) return true;
    prompts.message(texts::kCannotCreateDirectory + folder, texts::kErrorCreatingDirectoryCaption);
    return false;
}

}  // namespace

void CSplitSettings::Load(const std::string& fallbackInstalledPath) {
    Registry reg = Registry::fromEnvironment();
    reg.createKey(Hive::CurrentUser, kSettingsKey);
    unsigned options = ParseFolderOptions(readText(reg, "Folder Options"));
    removeAfterRejoin = options & kOptionRemoveAfterRejoin;
    eraseBeforeSplit = options & kOptionEraseBeforeSplit;
    startupFolder = readText(reg, "Startup Folder");
    workingFolder = readText(reg, "Working Folder");
    installedPath = readText(reg, "Installed Path");
    const std::string& base = installedPath.empty() ? fallbackInstalledPath : installedPath;
    if (workingFolder.empty()) workingFolder = joinPath(base, "Working");
    if (startupFolder.empty()) startupFolder = joinPath(base, "Startup");
}

void CSplitSettings::EnterStartupFolder() const {
    std::error_code ec;
    if (folderExists(startupFolder)) fs::current_path(startupFolder, ec);
}

unsigned CSplitSettings::ParseFolderOptions(std::string_view text) {
    long v = std::strtol(std::string(text).c_str(), nullptr, 10);
    return v >= 1 && v <= 3 ? static_cast<unsigned>(v) : 0;
}

unsigned CSplitSettings::FolderOptions() const {
    return (removeAfterRejoin ? kOptionRemoveAfterRejoin : 0) | (eraseBeforeSplit ? kOptionEraseBeforeSplit : 0);
}

void CSplitSettings::StoreFolderOptions() const {
    // One digit, one byte, no terminator: the form other readers of this value expect.
    char digit = static_cast<char>('0' + FolderOptions());
    Registry::fromEnvironment().setValue(Hive::CurrentUser, kSettingsKey, "Folder Options", platform::kRegSz, &digit,
                                         1);
}

void CSplitSettings::StoreFolder(const char* valueName, const std::string& folder) {
    // A fixed block of 260 bytes (the text, then zero bytes); a longer path gets a block
    // just large enough for it and its terminator rather than being cut.
    std::vector<char> block(std::max<std::size_t>(kFolderBlockSize, folder.size() + 1), '\0');
    std::copy(folder.begin(), folder.end(), block.begin());
    Registry::fromEnvironment().setValue(Hive::CurrentUser, kSettingsKey, valueName, platform::kRegSz, block.data(),
                                         static_cast<std::uint32_t>(block.size()));
}

std::string CSplitSettings::FallbackFolder() {
    const char* home = std::getenv("HOME");
    return home && *home ? std::string(home) : std::string("/");
}

void CSplitSettings::CheckFolders(platform::Prompts& prompts) {
    bool declined = false;
    if (!workingFolder.empty() && !folderExists(workingFolder)) {
        offerCreate(prompts, workingFolder, texts::kCreateWorkingCaption, &declined);
        if (declined) workingFolder = FallbackFolder();
    }
    if (!startupFolder.empty() && !folderExists(startupFolder)) {
        offerCreate(prompts, startupFolder, texts::kCreateStartupCaption, &declined);
        if (declined) {
            startupFolder = FallbackFolder();
            EnterStartupFolder();
        }
    }
}

void CSettingsPane::Open(const CSplitSettings& settings) {
    removeAfterRejoin = settings.removeAfterRejoin;
    eraseBeforeSplit = settings.eraseBeforeSplit;
    startupBox = settings.startupFolder;
    workingBox = settings.workingFolder;
}

int CSettingsPane::OnOK(CSplitSettings& settings, platform::Prompts& prompts) {
    settings.removeAfterRejoin = removeAfterRejoin;
    settings.eraseBeforeSplit = eraseBeforeSplit;
    settings.StoreFolderOptions();

    auto storeOne = [&](const std::string& box, const char* valueName, const char* caption, std::string& target) {
        bool declined = false;
        if (box.empty() || folderExists(box) || offerCreate(prompts, box, caption, &declined)) {
            CSplitSettings::StoreFolder(valueName, box);
            target = box;
        }
    };
    storeOne(workingBox, "Working Folder", texts::kCreateWorkingCaption, settings.workingFolder);
    storeOne(startupBox, "Startup Folder", texts::kCreateStartupCaption, settings.startupFolder);
    startupBox = settings.startupFolder;
    workingBox = settings.workingFolder;
    return kDoneOk;
}

}  // namespace quarva::splitter
