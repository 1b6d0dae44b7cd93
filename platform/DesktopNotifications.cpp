#include "platform/DesktopNotifications.h"

#include "platform/Activation.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/SessionBus.h"

#include <gio/gio.h>
#include <map>
#include <memory>
#include <utility>

namespace orvela::DesktopNotifications {
namespace {

constexpr const char* serverName = "org.freedesktop.Notifications";
constexpr const char* serverPath = "/org/freedesktop/Notifications";
constexpr const char* serverInterface = "org.freedesktop.Notifications";
constexpr const char* applicationId = "ru.orvela.Orvela";
// A hung server must not keep a reminder in limbo for long.
constexpr int answerMilliseconds = 25000;

// Whether the last attempt failed, so an outage is logged once.
bool outageLogged = false;
// Activation tokens the server sent for notifications about to be clicked.
std::map<uint32_t, std::string> activationTokens;

std::string serverOf(GDBusConnection* bus, const char* sender) {
    return std::string(g_dbus_connection_get_guid(bus) ? g_dbus_connection_get_guid(bus) : "") + "/" +
           (sender ? sender : "");
}

void failed(const std::string& why, const std::function<void(std::optional<Placement>)>& done) {
    if (!std::exchange(outageLogged, true)) log("notifications: " + why);
    done(std::nullopt);
}

GVariant* notifyArguments(const std::string& title, const std::string& body) {
    const char* actions[] = {"default", "Открыть", nullptr};
    GVariantBuilder hints;
    g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&hints, "{sv}", "desktop-entry", g_variant_new_string(applicationId));
    g_variant_builder_add(&hints, "{sv}", "sound-name", g_variant_new_string("message-new-instant"));
    return g_variant_new("(susss^as@a{sv}i)", "Orvela", 0u, applicationId, title.c_str(), body.c_str(), actions,
                         g_variant_builder_end(&hints), -1);
}

}  // namespace

void show(const std::string& title, const std::string& body, std::function<void(std::optional<Placement>)> done) {
    GDBusConnection* bus = sessionBus();
    if (!bus) return failed("no session bus", done);
    // A message rather than a plain call: the reply's sender names the server.
    GDBusMessage* message = g_dbus_message_new_method_call(serverName, serverPath, serverInterface, "Notify");
    g_dbus_message_set_body(message, notifyArguments(title, body));
    auto* pending = new std::function<void(std::optional<Placement>)>(std::move(done));
    g_dbus_connection_send_message_with_reply(
        bus, message, G_DBUS_SEND_MESSAGE_FLAGS_NONE, answerMilliseconds, nullptr, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            std::unique_ptr<std::function<void(std::optional<Placement>)>> done(
                static_cast<std::function<void(std::optional<Placement>)>*>(data));
            GDBusConnection* connection = G_DBUS_CONNECTION(source);
            GError* error = nullptr;
            GDBusMessage* reply = g_dbus_connection_send_message_with_reply_finish(connection, result, &error);
            if (reply && g_dbus_message_to_gerror(reply, &error)) g_clear_object(&reply);
            if (!reply) {
                std::string why = error ? error->message : "no answer";
                g_clear_error(&error);
                return failed(why, *done);
            }
            GVariant* arguments = g_dbus_message_get_body(reply);
            if (!arguments || !g_variant_is_of_type(arguments, G_VARIANT_TYPE("(u)"))) {
                g_object_unref(reply);
                return failed("the server gave no notification number", *done);
            }
            uint32_t id = 0;
            g_variant_get(arguments, "(u)", &id);
            Placement placement{serverOf(connection, g_dbus_message_get_sender(reply)), id};
            g_object_unref(reply);
            outageLogged = false;
            (*done)(placement);
        },
        pending);
    g_object_unref(message);
}

void listen(std::function<void(const Placement&)> clicked, std::function<void()> serverAppeared) {
    GDBusConnection* bus = sessionBus();
    if (!bus) return;
    // Servers send the click to every listener (GNOME, KDE) or to the connection
    // that showed the notification (dunst); the number and server tell whose it is.
    g_dbus_connection_signal_subscribe(
        bus, serverName, serverInterface, "ActionInvoked", serverPath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
        [](GDBusConnection* connection, const char* sender, const char*, const char*, const char*, GVariant* arguments,
           gpointer data) {
            if (!g_variant_is_of_type(arguments, G_VARIANT_TYPE("(us)"))) return;
            uint32_t id = 0;
            const char* action = nullptr;
            g_variant_get(arguments, "(u&s)", &id, &action);
            if (g_strcmp0(action, "default") != 0) return;
            // The token the server sent just before the click lets the window
            // opened in answer take the focus; it is good for this click only,
            // whose answer comes on the next turns of the main loop.
            auto found = activationTokens.find(id);
            if (found != activationTokens.end()) Activation::setToken(found->second);
            activationTokens.clear();
            (*static_cast<std::function<void(const Placement&)>*>(data))(Placement{serverOf(connection, sender), id});
            MainQueue::async([] { MainQueue::async([] { Activation::setToken({}); }); });
        },
        new std::function<void(const Placement&)>(std::move(clicked)),
        [](gpointer data) { delete static_cast<std::function<void(const Placement&)>*>(data); });
    g_dbus_connection_signal_subscribe(
        bus, serverName, serverInterface, "ActivationToken", serverPath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
        [](GDBusConnection*, const char*, const char*, const char*, const char*, GVariant* arguments, gpointer) {
            if (!g_variant_is_of_type(arguments, G_VARIANT_TYPE("(us)"))) return;
            uint32_t id = 0;
            const char* token = nullptr;
            g_variant_get(arguments, "(u&s)", &id, &token);
            activationTokens[id] = token;
        },
        nullptr, nullptr);
    g_bus_watch_name_on_connection(
        bus, serverName, G_BUS_NAME_WATCHER_FLAGS_NONE,
        [](GDBusConnection*, const char*, const char*, gpointer data) { (*static_cast<std::function<void()>*>(data))(); },
        nullptr, new std::function<void()>(std::move(serverAppeared)),
        [](gpointer data) { delete static_cast<std::function<void()>*>(data); });
}

}  // namespace orvela::DesktopNotifications
