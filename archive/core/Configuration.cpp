#include "archive/core/Configuration.h"

namespace quarva::archive {

namespace {
constexpr char kSettings[] = "Settings";
constexpr char kFolderSettings[] = "Folder Settings";
constexpr char kWindow[] = "Quarva Zip";

std::uint32_t orDefault(std::uint32_t value, std::uint32_t fallback) { return value == 0 ? fallback : value; }
std::string orTemp(std::string value, const std::string& systemTemp) { return value.empty() ? systemTemp : value; }
}  // namespace

void CConfiguration::load(const SettingsStore& store, const std::string& currentDirectory, const std::string& systemTemp)
{
    viewBits = kDefaultViewBits;
    folderBits = kDefaultFolderBits;
    systemBits = kDefaultSystemBits;
    startupFolder.clear();
    extractionFolder.clear();
    addFolder.clear();
    tempFolder = systemTemp;
    workingFolder = systemTemp;
    if (!store.keyExists(kSuiteKey)) return;

    const std::string settings = suiteKey(kSettings);
    const std::string folders = suiteKey(kFolderSettings);
    viewBits = orDefault(store.readNumber(settings, "Config View Settings"), kDefaultViewBits);
    folderBits = orDefault(store.readNumber(settings, "Config Folder Settings"), kDefaultFolderBits);
    systemBits = orDefault(store.readNumber(settings, "Config System Settings"), kDefaultSystemBits);
    startupFolder = (folderBits & folderbits::kStartInCurrentDirectory) ? currentDirectory
                                                                         : store.readString(folders, "Startup Folder");
    addFolder = store.readString(folders, "Add Folder");
    extractionFolder = store.readString(folders, "Extract Folder");
    tempFolder = orTemp(store.readString(settings, "Temp Folder"), systemTemp);
    workingFolder = orTemp(store.readString(settings, "Working Folder"), systemTemp);
}

void CConfiguration::save(SettingsStore& store) const
{
    const std::string settings = suiteKey(kSettings);
    const std::string folders = suiteKey(kFolderSettings);
    store.writeNumber(settings, "Config View Settings", viewBits);
    store.writeNumber(settings, "Config Folder Settings", folderBits);
    store.writeNumber(settings, "Config System Settings", systemBits);
    store.writeString(settings, "Temp Folder", tempFolder);
    store.writeString(settings, "Working Folder", workingFolder);
    store.writeString(folders, "Add Folder", addFolder);
    store.writeString(folders, "Startup Folder", startupFolder);
    store.writeString(folders, "Extract Folder", extractionFolder);
}

WindowPlacement WindowPlacement::load(const SettingsStore& store)
{
    const std::string key = suiteKey(kWindow);
    WindowPlacement p;
    p.x = static_cast<std::int32_t>(store.readNumber(key, "xPos"));
    p.y = static_cast<std::int32_t>(store.readNumber(key, "yPos"));
    p.width = static_cast<std::int32_t>(store.readNumber(key, "width"));
    p.height = static_cast<std::int32_t>(store.readNumber(key, "height"));
    if (p.width <= 0) p.width = kDefaultWidth;
    if (p.height <= 0) p.height = kDefaultHeight;
    p.mode = static_cast<std::int32_t>(store.readNumber(key, "mode"));
    p.show = static_cast<std::int32_t>(store.readNumber(key, "Show"));
    if (p.show == 0) p.show = showstate::kShow;
    return p;
}

int WindowPlacement::showStateToSave(int state)
{
    return state == showstate::kMaximized || state == showstate::kMinimized || state == showstate::kShow ? state
                                                                                                          : showstate::kShow;
}

void WindowPlacement::save(SettingsStore& store) const
{
    const std::string key = suiteKey(kWindow);
    store.writeNumber(key, "xPos", static_cast<std::uint32_t>(x));
    store.writeNumber(key, "yPos", static_cast<std::uint32_t>(y));
    store.writeNumber(key, "width", static_cast<std::uint32_t>(width));
    store.writeNumber(key, "height", static_cast<std::uint32_t>(height));
    store.writeNumber(key, "mode", static_cast<std::uint32_t>(mode));
    store.writeNumber(key, "Show", static_cast<std::uint32_t>(showStateToSave(show)));
}

}  // namespace quarva::archive
