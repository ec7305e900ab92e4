#include "archive/ui/DesktopShell.h"

#include <gio/gio.h>

namespace quarva::archive::ui {

namespace {

bool callFileManager(const char* method, const std::string& path) {
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (!bus) {
        g_clear_error(&error);
        return false;
    }
    std::string uri = fileUri(path);
    const gchar* uris[] = {uri.c_str(), nullptr};
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1", "org.freedesktop.FileManager1", method,
        g_variant_new("(^ass)", uris, ""), nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &error);
    bool ok = reply != nullptr;
    if (reply) g_variant_unref(reply);
    g_clear_error(&error);
    g_object_unref(bus);
    return ok;
}

}  // namespace

std::string fileUri(const std::string& path) {
    gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
    if (!uri) return "file://" + path;
    std::string result(uri);
    g_free(uri);
    return result;
}

bool openWithDesktop(const std::string& path) {
    std::string uri = fileUri(path);
    GError* error = nullptr;
    bool ok = g_app_info_launch_default_for_uri(uri.c_str(), nullptr, &error);
    g_clear_error(&error);
    return ok;
}

bool fileManagerShowItem(const std::string& path) { return callFileManager("ShowItems", path); }
bool fileManagerShowProperties(const std::string& path) { return callFileManager("ShowItemProperties", path); }
bool fileManagerShowFolder(const std::string& path) { return callFileManager("ShowFolders", path); }

}  // namespace quarva::archive::ui
