#include "platform/DesktopNotifications.h"
#include "platform/LocalZone.h"
#include "platform/RealtimeTimer.h"
#include "reminders/LocalNotificationCenter.h"

#include <glib.h>

namespace orvela {

LocalNotificationCenter::Environment LocalNotificationCenter::Environment::desktop() {
    auto timer = std::make_shared<RealtimeTimer>();
    Environment environment;
    environment.stateFile = std::filesystem::path(g_get_user_state_dir()) / "orvela" / "notifications.json";
    environment.now = [] { return static_cast<double>(g_get_real_time()) / G_USEC_PER_SEC; };
    environment.zone = currentLocalZone;
    environment.show = [](const NotificationRequest& request, std::function<void()> clicked) {
        return DesktopNotifications::show(request.title, request.body, std::move(clicked));
    };
    environment.wakeAt = [timer](double instant, std::function<void()> wake) { timer->wakeAt(instant, std::move(wake)); };
    return environment;
}

}  // namespace orvela
