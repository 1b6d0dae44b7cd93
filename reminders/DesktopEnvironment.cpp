#include "platform/DesktopNotifications.h"
#include "platform/LocalZone.h"
#include "platform/RealtimeTimer.h"
#include "reminders/LocalNotificationCenter.h"

#include <glib.h>

namespace orvela {
namespace {

double wallClock() { return static_cast<double>(g_get_real_time()) / G_USEC_PER_SEC; }

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
    environment.wakeAt = [timer](double instant, std::function<void()> wake) { timer->wakeAt(instant, std::move(wake)); };
    return environment;
}

LocalNotificationCenter::Environment LocalNotificationCenter::Environment::inert() {
    Environment environment;
    environment.now = wallClock;
    environment.zone = currentLocalZone;
    return environment;
}

}  // namespace orvela
