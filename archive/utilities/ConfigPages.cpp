#include "archive/utilities/ConfigPages.h"

#include <optional>

#include "archive/core/QuarvaZipApp.h"

namespace fs = std::filesystem;

namespace quarva::archive {

namespace {

// The folder a page field names, as it is stored: "" for an empty field, otherwise
// the absolute folder (a relative one is taken from the current directory), when it
// exists or the user let it be created. Nothing when it is to keep its stored value.
std::optional<std::string> folderToStore(const std::string& typed, const char* missing, const char* notCreated,
                                         platform::Prompts& prompts) {
    if (typed.empty()) return std::string();
    std::error_code ec;
    fs::path folder = fs::absolute(typed, ec);
    if (ec) folder = typed;
    folder = folder.lexically_normal();
    if (folder.has_relative_path() && !folder.has_filename()) folder = folder.parent_path();  // no trailing "/"
    if (fs::is_directory(folder, ec)) return folder.string();
    auto answer = prompts.message(missing, kAppName, platform::Buttons::YesNo, platform::Icon::Question, 1);
    if (answer != platform::Answer::Yes) return std::nullopt;
    fs::create_directories(folder, ec);
    if (ec || !fs::is_directory(folder, ec)) {
        prompts.message(notCreated, kAppName, platform::Buttons::Ok, platform::Icon::None);
        return std::nullopt;
    }
    return folder.string();
}

}  // namespace

ConfigSheetValues ConfigSheetValues::fromApp(const CQuarvaZipApp& app) {
    ConfigSheetValues v;
    v.viewBits = app.configuration.viewBits;
    v.scannerPath = app.scannerPath;
    v.extractFolder = app.extractionFolder.string();
    v.archivesFolder = app.archivesFolder.string();
    v.systemBits = app.configuration.systemBits;
    return v;
}

std::uint32_t viewDefaults(std::uint32_t viewBits) {
    viewBits |= viewbits::kTypeColumn | viewbits::kDateColumn | viewbits::kSizeColumn | viewbits::kPathColumn;
    return viewBits & ~viewbits::kPackedColumn;
}

ConfigApplied applyConfiguration(const ConfigSheetValues& values, CQuarvaZipApp& app, platform::Prompts& prompts) {
    ConfigApplied applied;
    SettingsStore& store = app.store();
    const std::string settings = suiteKey("Settings");
    if (values.viewBits != app.configuration.viewBits) {
        app.configuration.viewBits = values.viewBits;
        applied.viewChanged = true;
    }
    app.scannerPath = values.scannerPath;
    store.writeString(settings, "Scanner Path", values.scannerPath);
    if (auto folder = folderToStore(values.archivesFolder, configtext::kArchivesMissing,
                                    configtext::kArchivesNotCreated, prompts)) {
        app.archivesFolder = *folder;
        store.writeString(settings, "Archives Folder", *folder);
    }
    if (auto folder =
            folderToStore(values.extractFolder, configtext::kExtractMissing, configtext::kExtractNotCreated, prompts)) {
        app.extractionFolder = *folder;
        store.writeString(settings, "Extract Folder", *folder);
    }
    app.configuration.systemBits = values.systemBits;
    app.saveSettings();
    return applied;
}

}  // namespace quarva::archive
