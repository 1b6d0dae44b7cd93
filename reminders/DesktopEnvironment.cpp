#include "platform/DesktopNotifications.h"
#include "platform/LocalZone.h"
#include "platform/RealtimeTimer.h"
#include "reminders/LocalNotificationCenter.h"

#include <cmath>
#include <gio/gio.h>
#include <glib.h>

namespace orvela {
namespace {

double wallClock() { return static_cast<double>(g_get_real_time()) / G_USEC_PER_SEC; }

// /etc/localtime is replaced (a new link) when the user picks another zone; the
// monitor watches its folder, so the replacement is seen. The kept zone is
// forgotten before anyone hears of the change.
void watchLocalZone(std::function<void()> changed) {
    GFile* file = g_file_new_for_path("/etc/localtime");
    GFileMonitor* monitor = g_file_monitor_file(file, G_FILE_MONITOR_WATCH_MOVES, nullptr, nullptr);
    g_object_unref(file);
    if (!monitor) return;
    // The monitor lives as long as the process, with the callback it calls.
    g_signal_connect_data(monitor, "changed",
                          G_CALLBACK(+[](GFileMonitor*, GFile*, GFile*, GFileMonitorEvent, gpointer data) {
                              forgetLocalZone();
                              (*static_cast<std::function<void()>*>(data))();
                          }),
                          new std::function<void()>(std::move(changed)),
                          [](gpointer data, GClosure*) { delete static_cast<std::function<void()>*>(data); },
                          GConnectFlags(0));
}

LocalNotificationCenter::Shown shownAt(const DesktopNotifications::Placement& placement) {
    return {placement.server, placement.id};
}

}  // namespace

LocalNotificationCenter::Environment LocalNotificationCenter::Environment::desktop() {
    auto timer = std::make_shared<RealtimeTimer>();
    Environment environment;
    environment.stateFile = std::filesystem::path(g_get_user_state_dir()) / "orvela" / "notifications.json";
    environment.now = wallClock;
    environment.zone = currentLocalZone;
    environment.show = [](const NotificationRequest& request, std::function<void(std::optional<Shown>)> done) {
        DesktopNotifications::show(request.title, request.body,
                                   [done = std::move(done)](std::optional<DesktopNotifications::Placement> placement) {
                                       done(placement ? std::optional<Shown>(shownAt(*placement)) : std::nullopt);
                                   });
    };
    environment.listen = [](std::function<void(const Shown&)> clicked, std::function<void()> serverAppeared) {
        DesktopNotifications::listen(
            [clicked = std::move(clicked)](const DesktopNotifications::Placement& placement) { clicked(shownAt(placement)); },
            std::move(serverAppeared));
    };
    environment.wakeAt = [timer](double instant, std::function<void()> wake) {
        if (std::isfinite(instant)) timer->wakeAt(instant, std::move(wake));
        else timer->cancel();
    };
    environment.watchZone = watchLocalZone;
    return environment;
}

LocalNotificationCenter::Environment LocalNotificationCenter::Environment::inert() {
    Environment environment;
    environment.now = wallClock;
    environment.zone = currentLocalZone;
    return environment;
}

}  // namespace orvela
