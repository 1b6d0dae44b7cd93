#include "platform/PortalRegistry.h"

#include "platform/Log.h"
#include "platform/SessionBus.h"

#include <gio/gio.h>
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
    bool watching = false;
    bool refusalLogged = false;
    // Which portal the answer came from: another owner has not heard of us.
    std::string owner;
};

Registration& registration() {
    static Registration state;
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
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
    Registration& state = registration();
    if (reply) g_variant_unref(reply);
    state.stage = Stage::answered;
    if (error) {
        if (meansNoPortal(error)) state.stage = Stage::unasked;
        else if (!meansNoRegistry(error) && !std::exchange(state.refusalLogged, true))
            log(std::string("portal registry: ") + error->message);
        g_error_free(error);
    }
    for (auto& task : std::exchange(state.waiting, {})) task();
}

void watchOwner(GDBusConnection* bus) {
    Registration& state = registration();
    if (std::exchange(state.watching, true)) return;
    g_bus_watch_name_on_connection(
        bus, portalName, G_BUS_NAME_WATCHER_FLAGS_NONE,
        [](GDBusConnection*, const char*, const char* owner, gpointer) {
            Registration& state = registration();
            // A portal that came back knows nothing of the earlier registration.
            if (!state.owner.empty() && state.owner != owner && state.stage == Stage::answered)
                state.stage = Stage::unasked;
            state.owner = owner;
        },
        [](GDBusConnection*, const char*, gpointer) {
            Registration& state = registration();
            if (state.stage == Stage::answered) state.stage = Stage::unasked;
        },
        nullptr, nullptr);
}

}  // namespace

void whenRegistered(std::function<void()> task) {
    Registration& state = registration();
    GDBusConnection* bus = sessionBus();
    if (!bus || state.stage == Stage::answered) return task();
    state.waiting.push_back(std::move(task));
    if (state.stage == Stage::asking) return;
    state.stage = Stage::asking;
    watchOwner(bus);
    g_dbus_connection_call(bus, portalName, portalPath, "org.freedesktop.host.portal.Registry", "Register",
                           g_variant_new("(s@a{sv})", applicationId, g_variant_new_array(G_VARIANT_TYPE("{sv}"), nullptr, 0)),
                           nullptr, G_DBUS_CALL_FLAGS_NONE, 10000, nullptr, answered, nullptr);
}

}  // namespace orvela::PortalRegistry
