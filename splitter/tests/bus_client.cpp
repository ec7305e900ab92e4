// A client that holds a splitter automation object for as long as its standard input
// stays open: prints the bus name CreateApplication gave, then waits.
#include <gio/gio.h>

#include <cstdio>
#include <iostream>
#include <string>

int main() {
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (!bus) {
        std::fprintf(stderr, "no session bus: %s\n", error->message);
        return 1;
    }
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "com.quarva.VantorSplit", "/com/quarva/VantorSplit", "com.quarva.VantorSplit.Factory", "CreateApplication",
        nullptr, G_VARIANT_TYPE("(so)"), G_DBUS_CALL_FLAGS_NONE, 60000, nullptr, &error);
    if (!reply) {
        std::fprintf(stderr, "CreateApplication failed: %s\n", error->message);
        return 1;
    }
    const gchar* name = nullptr;
    const gchar* path = nullptr;
    g_variant_get(reply, "(&s&o)", &name, &path);
    std::printf("%s\n", name);
    std::fflush(stdout);
    for (std::string line; std::getline(std::cin, line);) {}
    g_variant_unref(reply);
    g_object_unref(bus);
    return 0;
}
