#include "platform/Activation.h"

#include <gdk/gdkwayland.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <utility>

namespace orvela::Activation {
namespace {

std::string pendingToken;

}  // namespace

void setToken(std::string token) { pendingToken = std::move(token); }

void present(GtkWindow* window, uint32_t time) {
    GdkDisplay* display = gtk_widget_get_display(GTK_WIDGET(window));
    if (std::string token = std::exchange(pendingToken, {}); !token.empty()) {
        // The display hands the token to the next window that asks for the focus.
        if (GDK_IS_WAYLAND_DISPLAY(display))
            gdk_wayland_display_set_startup_notification_id(display, token.c_str());
        else if (GDK_IS_X11_DISPLAY(display))
            gdk_x11_display_set_startup_notification_id(display, token.c_str());
    }
    if (time == 0) time = gtk_get_current_event_time();
    gtk_window_present_with_time(window, time);
}

}  // namespace orvela::Activation
