#include "archive/core/Configuration.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace quarva::archive {

namespace {
constexpr char kSettings[] = "Settings";
constexpr char kFolderSettings[] = "Folder Settings";
constexpr char kWindow[] = "Quarva Zip";

std::uint32_t orDefault(std::uint32_t value, std::uint32_t fallback) { return value == 0 ? fallback : value; }
std::string orTemp(std::string value, const std::string& systemTemp) { return value.empty() ? systemTemp : value; }
fs::path homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/";
}

// The user owns `folder` and may write into it (a read-only folder counts as
// not writable even for root); a folder that does not exist yet
// is judged by its nearest existing parent, where it would be created.
bool ownWritableFolder(fs::path folder) {
    folder = fs::absolute(folder).lexically_normal();
    struct stat st {};
    while (::stat(folder.c_str(), &st) != 0) {
        if (errno != ENOENT || !folder.has_relative_path()) return false;
        folder = folder.parent_path();
    }
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & S_IWUSR) != 0 &&
           ::faccessat(AT_FDCWD, folder.c_str(), W_OK, AT_EACCESS) == 0;
}

// One line of user-dirs.dirs: XDG_DOCUMENTS_DIR="$HOME/Documents" or an absolute
// path in double quotes; a backslash takes the next character as it stands.
std::string userDirValue(const std::string& line, const std::string& name, const fs::path& home) {
    std::size_t i = line.find_first_not_of(" \t");
    if (i == std::string::npos || line.compare(i, name.size(), name) != 0) return {};
    i += name.size();
    if (line.compare(i, 2, "=\"") != 0) return {};
    i += 2;
    std::string value;
    if (line.compare(i, 5, "$HOME") == 0) {
        value = home.string();
        i += 5;
    } else if (i >= line.size() || line[i] != '/') {
        return {};
    }
    for (; i < line.size() && line[i] != '"'; ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) ++i;
        value += line[i];
    }
    return i < line.size() ? value : std::string();
}
}  // namespace

fs::path userConfigFolder() {
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x == '/') return x;
    return homeFolder() / ".config";
}

namespace {
// The folder `name` (XDG_..._DIR) of user-dirs.dirs; "" when it is not set there.
fs::path userDirectory(const std::string& name, const fs::path& home) {
    std::ifstream in(userConfigFolder() / "user-dirs.dirs");
    std::string line, found;
    while (std::getline(in, line))
        if (std::string v = userDirValue(line, name, home); !v.empty()) found = v;
    return found.empty() ? fs::path() : fs::path(found).lexically_normal();
}
}  // namespace

fs::path documentsFolder() {
    const fs::path home = homeFolder();
    const fs::path found = userDirectory("XDG_DOCUMENTS_DIR", home);
    // The home folder itself means the documents folder is switched off.
    if (!found.empty() && found != home.lexically_normal() && found != (home / "").lexically_normal()) return found;
    return home / "Documents";
}

fs::path desktopFolder() {
    const fs::path home = homeFolder();
    const fs::path found = userDirectory("XDG_DESKTOP_DIR", home);
    return found.empty() ? home / "Desktop" : found;
}

fs::path defaultFoldersRoot(const fs::path& installedPath) {
    if (ownWritableFolder(installedPath)) return installedPath;
    return documentsFolder() / "Quarva";
}

void CConfiguration::load(const SettingsStore& store, const std::string& currentDirectory,
                          const std::string& systemTemp) {
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

void CConfiguration::save(SettingsStore& store) const {
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

WindowPlacement WindowPlacement::load(const SettingsStore& store) {
    const std::string key = suiteKey(kWindow);
    WindowPlacement p;
    p.x = static_cast<std::int32_t>(store.readNumber(key, "xPos"));
    p.y = static_cast<std::int32_t>(store.readNumber(key, "yPos"));
    p.width = static_cast<std::int32_t>(store.readNumber(key, "width"));
    p.height = static_cast<std::int32_t>(store.readNumber(key, "height"));
    if (p.width <= 0) p.width = kDefaultWidth;
    if (p.height <= 0) p.height = kDefaultHeight;
    p.treeShown = store.readNumber(key, "mode") != 0;
    p.show = static_cast<ShowState>(store.readNumber(key, "Show"));
    if (p.show == ShowState::Hide) p.show = ShowState::Show;
    return p;
}

ShowState WindowPlacement::showStateToSave(ShowState state) {
    return state == ShowState::Maximized || state == ShowState::Minimized ? state : ShowState::Show;
}

void WindowPlacement::save(SettingsStore& store) const {
    const std::string key = suiteKey(kWindow);
    store.writeNumber(key, "xPos", static_cast<std::uint32_t>(x));
    store.writeNumber(key, "yPos", static_cast<std::uint32_t>(y));
    store.writeNumber(key, "width", static_cast<std::uint32_t>(width));
    store.writeNumber(key, "height", static_cast<std::uint32_t>(height));
    store.writeNumber(key, "mode", treeShown ? 1u : 0u);
    store.writeNumber(key, "Show", static_cast<std::uint32_t>(showStateToSave(show)));
}

}  // namespace quarva::archive
