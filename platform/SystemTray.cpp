#include "platform/SystemTray.h"

#include "platform/MainQueue.h"
#include "platform/SessionBus.h"

#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <memory>
#include <string>
#include <utility>

namespace orvela::SystemTray {
namespace {

constexpr const char* watcherName = "org.kde.StatusNotifierWatcher";

bool hostRegistered() {
    GDBusConnection* bus = sessionBus();
    if (!bus) return false;
    // A bus without a watcher answers at once; a watcher that hangs is given a second.
    GVariant* reply = g_dbus_connection_call_sync(
        bus, watcherName, "/StatusNotifierWatcher", "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", watcherName, "IsStatusNotifierHostRegistered"), G_VARIANT_TYPE("(v)"),
        G_DBUS_CALL_FLAGS_NO_AUTO_START, 1000, nullptr, nullptr);
    if (!reply) return false;
    GVariant* value = nullptr;
    g_variant_get(reply, "(v)", &value);
    bool registered = g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN) && g_variant_get_boolean(value);
    g_variant_unref(value);
    g_variant_unref(reply);
    return registered;
}

// One wait for a tray: the subscriptions that may end it early, and its answer.
struct Wait {
    GDBusConnection* bus = nullptr;
    guint hostSignal = 0;
    guint watcherSignal = 0;
    std::function<void(bool)> done;

    void finish(bool shown) {
        if (!done) return;
        g_dbus_connection_signal_unsubscribe(bus, hostSignal);
        g_dbus_connection_signal_unsubscribe(bus, watcherSignal);
        auto tell = std::exchange(done, nullptr);
        tell(shown);
    }
};

// A new watcher may come with its host already registered; a new host announces itself.
void trayChanged(GDBusConnection*, const char*, const char*, const char*, const char*, GVariant*, gpointer data) {
    auto wait = static_cast<std::weak_ptr<Wait>*>(data)->lock();
    if (wait && hostRegistered()) MainQueue::async([wait] { wait->finish(true); });
}

guint subscribe(GDBusConnection* bus, const char* interfaceName, const char* member, const char* argument0,
                const std::shared_ptr<Wait>& wait) {
    return g_dbus_connection_signal_subscribe(
        bus, nullptr, interfaceName, member, nullptr, argument0, G_DBUS_SIGNAL_FLAGS_NONE, trayChanged,
        new std::weak_ptr<Wait>(wait), [](gpointer data) { delete static_cast<std::weak_ptr<Wait>*>(data); });
}

}  // namespace

bool xembedTrayPresent() {
    if (!xembedTrayPossible()) return false;
    Display* x11 = GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
    std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(x11));
    return XGetSelectionOwner(x11, XInternAtom(x11, selection.c_str(), False)) != None;
}

bool xembedTrayPossible() {
    GdkDisplay* display = gdk_display_get_default();
    return display && GDK_IS_X11_DISPLAY(display);
}

bool present() { return hostRegistered() || xembedTrayPresent(); }

void whenPresent(double seconds, std::function<void(bool)> done) {
    GDBusConnection* bus = sessionBus();
    bool shownNow = present();
    if (shownNow || !bus) {
        done(shownNow);
        return;
    }
    auto wait = std::make_shared<Wait>();
    wait->bus = bus;
    wait->done = std::move(done);
    wait->hostSignal = subscribe(bus, watcherName, "StatusNotifierHostRegistered", nullptr, wait);
    wait->watcherSignal = subscribe(bus, "org.freedesktop.DBus", "NameOwnerChanged", watcherName, wait);
    // The wait keeps itself until the time is up; an old-style tray that came
    // meanwhile counts too.
    MainQueue::after(seconds, [wait] { wait->finish(present()); });
}

}  // namespace orvela::SystemTray
