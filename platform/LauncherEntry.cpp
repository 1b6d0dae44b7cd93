#include "platform/LauncherEntry.h"

#include "platform/Log.h"
#include "platform/SessionBus.h"

#include <gio/gio.h>
#include <string>

namespace orvela::LauncherEntry {
namespace {

constexpr const char* objectPath = "/ru/orvela/Orvela/LauncherEntry";
constexpr const char* interfaceName = "com.canonical.Unity.LauncherEntry";
constexpr const char* applicationUri = "application://ru.orvela.Orvela.desktop";
constexpr const char* introspection = R"(<node><interface name="com.canonical.Unity.LauncherEntry">
  <method name="Query"><arg type="s" direction="out"/><arg type="a{sv}" direction="out"/></method>
  <signal name="Update"><arg type="s"/><arg type="a{sv}"/></signal>
</interface></node>)";

struct State {
    int64_t count = 0;
    bool visible = false;

    bool operator==(const State&) const = default;
};
State current;
// Docks that ran before this process may still show an earlier instance's count,
// so the first state is sent whatever it is.
bool sentOnce = false;

GVariant* entry() {
    GVariantBuilder properties;
    g_variant_builder_init(&properties, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&properties, "{sv}", "count", g_variant_new_int64(current.count));
    g_variant_builder_add(&properties, "{sv}", "count-visible", g_variant_new_boolean(current.visible));
    return g_variant_new("(sa{sv})", applicationUri, &properties);
}

void send(GDBusConnection* bus) {
    GError* error = nullptr;
    if (!g_dbus_connection_emit_signal(bus, nullptr, objectPath, interfaceName, "Update", entry(), &error)) {
        log(std::string("launcher badge: ") + error->message);
        g_error_free(error);
    }
}

// A dock coming onto the bus: a new owner of com.canonical.Unity. Docks that
// are there already heard the last update.
void dockAppeared(GDBusConnection* connection, const char*, const char*, const char*, const char*, GVariant* parameters,
                  gpointer) {
    const char* newOwner = nullptr;
    g_variant_get(parameters, "(&s&s&s)", nullptr, nullptr, &newOwner);
    if (newOwner && *newOwner) send(connection);
}

// Made once: the answer to Query and the watch for docks that come later.
GDBusConnection* bus() {
    static GDBusConnection* connection = [] {
        GDBusConnection* opened = sessionBus();
        if (!opened) return opened;
        GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(introspection, nullptr);
        static const GDBusInterfaceVTable answers = {
            [](GDBusConnection*, const char*, const char*, const char*, const char*, GVariant*,
               GDBusMethodInvocation* invocation, gpointer) { g_dbus_method_invocation_return_value(invocation, entry()); },
            nullptr, nullptr, {}};
        g_dbus_connection_register_object(opened, objectPath, node->interfaces[0], &answers, nullptr, nullptr, nullptr);
        g_dbus_node_info_unref(node);
        g_dbus_connection_signal_subscribe(opened, "org.freedesktop.DBus", "org.freedesktop.DBus", "NameOwnerChanged",
                                           "/org/freedesktop/DBus", "com.canonical.Unity", G_DBUS_SIGNAL_FLAGS_NONE,
                                           dockAppeared, nullptr, nullptr);
        return opened;
    }();
    return connection;
}

}  // namespace

void update(int64_t count, bool visible) {
    State next{count, visible};
    if (sentOnce && next == current) return;
    current = next;
    sentOnce = true;
    if (GDBusConnection* connection = bus()) send(connection);
}

}  // namespace orvela::LauncherEntry
