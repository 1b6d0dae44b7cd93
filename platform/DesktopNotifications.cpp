#include "platform/DesktopNotifications.h"

#include "platform/Log.h"

#include <libnotify/notify.h>

namespace orvela::DesktopNotifications {

bool show(const std::string& title, const std::string& body, std::function<void()> onClick) {
    if (!notify_is_initted() && !notify_init("Orvela")) {
        log("notifications: cannot reach the notification server");
        return false;
    }
    NotifyNotification* notification = notify_notification_new(title.c_str(), body.c_str(), "ru.orvela.Orvela");
    notify_notification_set_hint(notification, "desktop-entry", g_variant_new_string("ru.orvela.Orvela"));
    notify_notification_set_hint(notification, "sound-name", g_variant_new_string("message-new-instant"));
    notify_notification_add_action(
        notification, "default", "Открыть",
        [](NotifyNotification*, char*, gpointer data) { (*static_cast<std::function<void()>*>(data))(); },
        new std::function<void()>(std::move(onClick)),
        [](gpointer data) { delete static_cast<std::function<void()>*>(data); });
    GError* error = nullptr;
    if (!notify_notification_show(notification, &error)) {
        log(std::string("notifications: ") + (error ? error->message : "the server refused the notification"));
        g_clear_error(&error);
        g_object_unref(notification);
        return false;
    }
    // The notification must live until it is closed for its action to arrive.
    g_signal_connect(notification, "closed", G_CALLBACK(+[](NotifyNotification* closed, gpointer) {
                         g_object_unref(closed);
                     }),
                     nullptr);
    return true;
}

}  // namespace orvela::DesktopNotifications
