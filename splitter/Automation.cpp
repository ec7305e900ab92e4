#include "splitter/Automation.h"

#include <gio/gio.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "splitter/VantorSplitDlg.h"

namespace quarva::splitter {

namespace {

constexpr const char* kApplicationXml =
    "<node>"
    "  <interface name='com.quarva.VantorSplit.Application'>"
    "    <method name='Run'><arg type='b' name='result' direction='out'/></method>"
    "    <method name='SourceFile'><arg type='s' name='path' direction='in'/></method>"
    "    <method name='Destination'><arg type='s' name='folder' direction='in'/></method>"
    "    <method name='Size'>"
    "      <arg type='s' name='unit' direction='in'/><arg type='i' name='value' direction='in'/>"
    "    </method>"
    "  </interface>"
    "</node>";

constexpr const char* kFactoryXml =
    "<node>"
    "  <interface name='com.quarva.VantorSplit.Factory'>"
    "    <method name='CreateApplication'>"
    "      <arg type='s' name='bus_name' direction='out'/><arg type='o' name='object_path' direction='out'/>"
    "    </method>"
    "  </interface>"
    "</node>";

// How long the factory waits for a started process to appear on the bus, and how long
// it stays without calls before it ends.
constexpr guint kStartTimeoutSeconds = 30;
constexpr guint kFactoryIdleSeconds = 60;

}  // namespace

struct CVantorSplitDlgAutoProxy::Impl {
    CVantorSplitDlg& dlg;
    std::string clientName;
    std::function<void()> clientGone;
    GDBusConnection* connection = nullptr;
    GDBusNodeInfo* node = nullptr;
    guint registration = 0, ownership = 0, watch = 0;

    static void onCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                       GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data) {
        auto* self = static_cast<Impl*>(data);
        const std::string name = method;
        if (name == "Run") {
            // Served on the window thread; returns once the operation has ended.
            const bool result = self->dlg.Run();
            g_dbus_method_invocation_return_value(invocation, g_variant_new("(b)", result));
        } else if (name == "SourceFile" || name == "Destination") {
            const gchar* path = nullptr;
            g_variant_get(parameters, "(&s)", &path);
            if (name == "SourceFile") self->dlg.SourceFile(path);
            else self->dlg.Destination(path);
            g_dbus_method_invocation_return_value(invocation, nullptr);
        } else if (name == "Size") {
            const gchar* unit = nullptr;
            gint32 value = 0;
            g_variant_get(parameters, "(&si)", &unit, &value);
            self->dlg.Size(unit, value);
            g_dbus_method_invocation_return_value(invocation, nullptr);
        } else {
            g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD, "No method %s",
                                                  method);
        }
    }

    static void onClientVanished(GDBusConnection*, const gchar*, gpointer data) {
        auto* self = static_cast<Impl*>(data);
        self->dlg.LinkAutomationProxy(false);
        if (self->clientGone) self->clientGone();
    }
};

CVantorSplitDlgAutoProxy::CVantorSplitDlgAutoProxy(CVantorSplitDlg& dlg, std::string clientName,
                                                   std::function<void()> clientGone)
    : impl_(std::make_unique<Impl>(Impl{dlg, std::move(clientName), std::move(clientGone)})) {}

CVantorSplitDlgAutoProxy::~CVantorSplitDlgAutoProxy() {
    impl_->dlg.LinkAutomationProxy(false);
    if (impl_->watch) g_bus_unwatch_name(impl_->watch);
    if (impl_->ownership) g_bus_unown_name(impl_->ownership);
    if (impl_->registration) g_dbus_connection_unregister_object(impl_->connection, impl_->registration);
    if (impl_->node) g_dbus_node_info_unref(impl_->node);
    if (impl_->connection) g_object_unref(impl_->connection);
}

bool CVantorSplitDlgAutoProxy::Start(std::string* error) {
    GError* failure = nullptr;
    impl_->connection = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &failure);
    if (!impl_->connection) {
        *error = failure ? failure->message : "no session bus";
        g_clear_error(&failure);
        return false;
    }
    impl_->node = g_dbus_node_info_new_for_xml(kApplicationXml, nullptr);
    static const GDBusInterfaceVTable vtable = {&Impl::onCall, nullptr, nullptr, {}};
    impl_->registration = g_dbus_connection_register_object(
        impl_->connection, kApplicationObjectPath, impl_->node->interfaces[0], &vtable, impl_.get(), nullptr, &failure);
    if (!impl_->registration) {
        *error = failure ? failure->message : "the object could not be registered";
        g_clear_error(&failure);
        return false;
    }
    // The client holds the object while it is on the bus.
    impl_->dlg.LinkAutomationProxy(true);
    impl_->watch =
        g_bus_watch_name_on_connection(impl_->connection, impl_->clientName.c_str(), G_BUS_NAME_WATCHER_FLAGS_NONE,
                                       nullptr, &Impl::onClientVanished, impl_.get(), nullptr);
    return true;
}

void CVantorSplitDlgAutoProxy::Publish() {
    if (!impl_->connection || impl_->ownership) return;
    const std::string instance = std::string(kInstanceNamePrefix) + std::to_string(getpid());
    impl_->ownership = g_bus_own_name_on_connection(impl_->connection, instance.c_str(), G_BUS_NAME_OWNER_FLAGS_NONE,
                                                    nullptr, nullptr, nullptr, nullptr);
}

namespace {

// One CreateApplication call waiting for its process to appear on the bus.
struct PendingStart {
    GDBusMethodInvocation* invocation;
    std::string name;
    guint watch = 0, timeout = 0;
    GPid pid = 0;
};

struct Factory {
    std::string program;
    GMainLoop* loop = nullptr;
    guint idle = 0;
    int pending = 0;

    void restartIdleTimer() {
        if (idle) g_source_remove(idle);
        idle = g_timeout_add_seconds(kFactoryIdleSeconds, &Factory::onIdle, this);
    }
    static gboolean onIdle(gpointer data) {
        auto* self = static_cast<Factory*>(data);
        self->idle = 0;
        if (self->pending > 0) {
            self->restartIdleTimer();
            return G_SOURCE_REMOVE;
        }
        g_main_loop_quit(self->loop);
        return G_SOURCE_REMOVE;
    }
};

Factory* gFactory = nullptr;

void finishStart(PendingStart* start, bool appeared) {
    if (start->watch) g_bus_unwatch_name(start->watch);
    if (start->timeout) g_source_remove(start->timeout);
    if (appeared) {
        g_dbus_method_invocation_return_value(start->invocation,
                                              g_variant_new("(so)", start->name.c_str(), kApplicationObjectPath));
    } else {
        g_dbus_method_invocation_return_error(start->invocation, G_DBUS_ERROR, G_DBUS_ERROR_SPAWN_FAILED,
                                              "The splitter did not start (it needs a display).");
    }
    g_spawn_close_pid(start->pid);
    --gFactory->pending;
    delete start;
}

void onFactoryCall(GDBusConnection* connection, const gchar* sender, const gchar*, const gchar*, const gchar* method,
                   GVariant*, GDBusMethodInvocation* invocation, gpointer) {
    gFactory->restartIdleTimer();
    if (std::string(method) != "CreateApplication") {
        g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD, "No method %s",
                                              method);
        return;
    }
    // A new process for every client object.
    gchar* argv[] = {const_cast<gchar*>(gFactory->program.c_str()), const_cast<gchar*>("--automation"),
                     const_cast<gchar*>(sender), nullptr};
    GPid pid = 0;
    GError* failure = nullptr;
    if (!g_spawn_async(nullptr, argv, nullptr, G_SPAWN_DO_NOT_REAP_CHILD, nullptr, nullptr, &pid, &failure)) {
        g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR, G_DBUS_ERROR_SPAWN_FAILED, "%s",
                                              failure ? failure->message : "spawn failed");
        g_clear_error(&failure);
        return;
    }
    // Reap the child whenever it ends.
    g_child_watch_add(
        pid, [](GPid, gint, gpointer) {}, nullptr);
    auto* start = new PendingStart{invocation, std::string(kInstanceNamePrefix) + std::to_string(pid)};
    start->pid = pid;
    ++gFactory->pending;
    start->watch = g_bus_watch_name_on_connection(
        connection, start->name.c_str(), G_BUS_NAME_WATCHER_FLAGS_NONE,
        [](GDBusConnection*, const gchar*, const gchar*, gpointer data) {
            finishStart(static_cast<PendingStart*>(data), true);
        },
        nullptr, start, nullptr);
    start->timeout = g_timeout_add_seconds(
        kStartTimeoutSeconds,
        [](gpointer data) -> gboolean {
            auto* s = static_cast<PendingStart*>(data);
            s->timeout = 0;
            finishStart(s, false);
            return G_SOURCE_REMOVE;
        },
        start);
}

}  // namespace

int runAutomationFactory(const std::string& program) {
    Factory factory{program, g_main_loop_new(nullptr, FALSE)};
    gFactory = &factory;
    GError* failure = nullptr;
    GDBusConnection* connection = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &failure);
    if (!connection) {
        std::fprintf(stderr, "QuarvaSplit: no session bus: %s\n", failure ? failure->message : "");
        g_clear_error(&failure);
        return 1;
    }
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kFactoryXml, nullptr);
    static const GDBusInterfaceVTable vtable = {&onFactoryCall, nullptr, nullptr, {}};
    const guint registration = g_dbus_connection_register_object(connection, kFactoryObjectPath, node->interfaces[0],
                                                                 &vtable, nullptr, nullptr, &failure);
    if (!registration) {
        std::fprintf(stderr, "QuarvaSplit: %s\n", failure ? failure->message : "cannot serve the factory");
        g_clear_error(&failure);
        return 1;
    }
    int status = 0;
    const guint ownership = g_bus_own_name_on_connection(
        connection, kFactoryBusName, G_BUS_NAME_OWNER_FLAGS_NONE, nullptr,
        [](GDBusConnection*, const gchar*, gpointer data) {
            // Another factory has the name: this one is not needed.
            *static_cast<int*>(data) = 1;
            g_main_loop_quit(gFactory->loop);
        },
        &status, nullptr);
    factory.restartIdleTimer();
    g_main_loop_run(factory.loop);
    g_bus_unown_name(ownership);
    g_dbus_connection_unregister_object(connection, registration);
    g_dbus_node_info_unref(node);
    g_object_unref(connection);
    g_main_loop_unref(factory.loop);
    gFactory = nullptr;
    return status;
}

}  // namespace quarva::splitter
