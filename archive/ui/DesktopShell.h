#pragma once
// The file manager's services over D-Bus (org.freedesktop.FileManager1): show a
// file selected in its folder, show a file's properties, open a folder.

#include <string>
#include <vector>

namespace quarva::archive::ui {

// False when no file manager answered on the session bus.
bool fileManagerShowItem(const std::string& path);
bool fileManagerShowProperties(const std::string& path);
bool fileManagerShowFolder(const std::string& path);
// "file://" + the path with the characters a URI cannot hold escaped.
std::string fileUri(const std::string& path);
struct DesktopApp {
    std::string id;    // the desktop file's id
    std::string name;  // as menus show it
};
// The desktop's applications for files with this extension, default first; at most `limit`.
std::vector<DesktopApp> applicationsFor(const std::string& extension, std::size_t limit);
// Every application the desktop shows in its menus, by name.
std::vector<DesktopApp> allApplications();
bool launchApplication(const std::string& appId, const std::string& path);
// Opens the file with the desktop's default application for its type.
bool openWithDesktop(const std::string& path);

}  // namespace quarva::archive::ui
