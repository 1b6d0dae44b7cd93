#include "platform/PortalRegistry.h"

#include "platform/Log.h"
#include "platform/SessionBus.h"

#include <gio/gio.h>
#include <map>
#include <utility>
#include <vector>

namespace orvela::PortalRegistry {
namespace {

constexpr const char* portalName = "org.freedesktop.portal.Desktop";
constexpr const char* portalPath = "/org/freedesktop/portal/desktop";

enum class Stage { unasked, asking, answered };

struct Registration {
    Stage stage = Stage::unasked;
    std::vector<std::function<void()>> waiting;
};

struct Registry {
    std::map<GDBusConnection*, Registration> connections;
    bool watching = false;
    bool refusalLogged = false;
    std::string owner;
};

Registry& registry() {
    static Registry state;
    return state;
}

std::string remoteName(const GError* error) {
    char* name = g_dbus_error_is_remote_error(error) ? g_dbus_error_get_remote_error(error) : nullptr;
    std::string remote = name ? name : "";
    g_free(name);
    return remote;
}

// No portal heard the registration: the next portal to come is told again.
bool meansNoPortal(const GError* error) {
    std::string remote = remoteName(error);
    return remote == "org.freedesktop.DBus.Error.ServiceUnknown" ||
           remote == "org.freedesktop.DBus.Error.NameHasNoOwner" || remote.empty();
}

// A portal without the registry: nothing to tell it.
bool meansNoRegistry(const GError* error) {
    std::string remote = remoteName(error);
    return remote == "org.freedesktop.DBus.Error.UnknownMethod" ||
           remote == "org.freedesktop.DBus.Error.UnknownInterface" ||
           remote == "org.freedesktop.DBus.Error.UnknownObject";
}

void answered(GObject* source, GAsyncResult* result, gpointer) {
    auto* bus = G_DBUS_CONNECTION(source);
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_finish(bus, result, &error);
    if (reply) g_variant_unref(reply);
    Registry& state = registry();
    auto found = state.connections.find(bus);
    if (found == state.connections.end()) {
        if (error) g_error_free(error);
        return;
    }
    Registration& registration = found->second;
    registration.stage = Stage::answered;
    if (error) {
        if (meansNoPortal(error)) registration.stage = Stage::unasked;
        else if (!meansNoRegistry(error) && !std::exchange(state.refusalLogged, true))
            log(std::string("portal registry: ") + error->message);
        g_error_free(error);
    }
    for (auto& task : std::exchange(registration.waiting, {})) task();
}

// A portal that came back knows nothing of the earlier registrations.
void forgetAnswers() {
    for (auto& [bus, registration] : registry().connections) {
        if (registration.stage == Stage::answered) registration.stage = Stage::unasked;
    }
}

void watchOwner() {
    Registry& state = registry();
    GDBusConnection* bus = sessionBus();
    if (!bus || std::exchange(state.watching, true)) return;
    g_bus_watch_name_on_connection(
        bus, portalName, G_BUS_NAME_WATCHER_FLAGS_NONE,
        [](GDBusConnection*, const char*, const char* owner, gpointer) {
            Registry& state = registry();
            if (!state.owner.empty() && state.owner != owner) forgetAnswers();
            state.owner = owner;
        },
        [](GDBusConnection*, const char*, gpointer) { forgetAnswers(); }, nullptr, nullptr);
}

}  // namespace

void whenRegistered(GDBusConnection* bus, std::function<void()> task) {
    if (!bus) return task();
    Registration& registration = registry().connections[bus];
    if (registration.stage == Stage::answered) return task();
    registration.waiting.push_back(std::move(task));
    if (registration.stage == Stage::asking) return;
    registration.stage = Stage::asking;
    watchOwner();
    g_dbus_connection_call(bus, portalName, portalPath, "org.freedesktop.host.portal.Registry", "Register",
                           g_variant_new("(s@a{sv})", applicationId, g_variant_new_array(G_VARIANT_TYPE("{sv}"), nullptr, 0)),
                           nullptr, G_DBUS_CALL_FLAGS_NONE, 10000, nullptr, answered, nullptr);
}

void forget(GDBusConnection* bus) { registry().connections.erase(bus); }

}  // namespace orvela::PortalRegistry
