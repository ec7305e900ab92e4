#include "archive/ui/DesktopShell.h"

#include <gio/gio.h>

#include <algorithm>

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

namespace {
DesktopApp describe(GAppInfo* app) {
    const char* id = g_app_info_get_id(app);
    const char* name = g_app_info_get_name(app);
    return {id ? id : "", name ? name : ""};
}

std::vector<DesktopApp> describeAll(GList* list, std::size_t limit) {
    std::vector<DesktopApp> apps;
    for (GList* l = list; l; l = l->next) {
        if (apps.size() < limit) {
            DesktopApp app = describe(G_APP_INFO(l->data));
            if (!app.id.empty()) apps.push_back(app);
        }
        g_object_unref(l->data);
    }
    g_list_free(list);
    return apps;
}
}  // namespace

std::vector<DesktopApp> applicationsFor(const std::string& extension, std::size_t limit) {
    std::string name = "file." + extension;
    gboolean uncertain = FALSE;
    gchar* type = g_content_type_guess(name.c_str(), nullptr, 0, &uncertain);
    if (!type) return {};
    std::vector<DesktopApp> apps;
    if (GAppInfo* preferred = g_app_info_get_default_for_type(type, FALSE)) {
        apps.push_back(describe(preferred));
        g_object_unref(preferred);
    }
    for (const auto& app : describeAll(g_app_info_get_all_for_type(type), limit))
        if (apps.size() < limit && (apps.empty() || app.id != apps.front().id)) apps.push_back(app);
    g_free(type);
    return apps;
}

std::vector<DesktopApp> allApplications() {
    // Helpers that ask not to be shown in menus stay out.
    GList* all = g_app_info_get_all();
    GList* shown = nullptr;
    for (GList* l = all; l; l = l->next) {
        if (g_app_info_should_show(G_APP_INFO(l->data))) shown = g_list_prepend(shown, l->data);
        else g_object_unref(l->data);
    }
    g_list_free(all);
    std::vector<DesktopApp> apps = describeAll(shown, 1000);
    std::sort(apps.begin(), apps.end(), [](const DesktopApp& a, const DesktopApp& b) {
        return g_utf8_collate(a.name.c_str(), b.name.c_str()) < 0;
    });
    return apps;
}

bool launchApplication(const std::string& appId, const std::string& path) {
    GList* all = g_app_info_get_all();
    bool ok = false;
    for (GList* l = all; l; l = l->next) {
        GAppInfo* app = G_APP_INFO(l->data);
        const char* id = g_app_info_get_id(app);
        if (!ok && id && appId == id) {
            GFile* file = g_file_new_for_path(path.c_str());
            GList* files = g_list_append(nullptr, file);
            GError* error = nullptr;
            ok = g_app_info_launch(app, files, nullptr, &error);
            g_clear_error(&error);
            g_list_free(files);
            g_object_unref(file);
        }
        g_object_unref(app);
    }
    g_list_free(all);
    return ok;
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
