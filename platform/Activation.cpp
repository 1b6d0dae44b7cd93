#include "platform/Activation.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gdk/gdkwayland.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <utility>

namespace orvela::Activation {
namespace {

std::string pendingToken;

// An X11 startup id ends in "_TIME" and the X server time of the user's action
// that launched the request.
uint32_t timeOf(const std::string& startupId) {
    auto at = startupId.rfind("_TIME");
    if (at == std::string::npos) return 0;
    return static_cast<uint32_t>(std::strtoul(startupId.c_str() + at + 5, nullptr, 10));
}

}  // namespace

void setToken(std::string token) { pendingToken = std::move(token); }

void takeRequestToken() {
    GdkDisplay* display = gdk_display_get_default();
    if (!display || !GDK_IS_X11_DISPLAY(display)) return;
    const char* id = gdk_x11_display_get_startup_notification_id(display);
    if (id && *id) pendingToken = id;
}

void present(GtkWindow* window, uint32_t time) {
    GdkDisplay* display = gtk_widget_get_display(GTK_WIDGET(window));
    if (std::string token = std::exchange(pendingToken, {}); !token.empty()) {
        if (GDK_IS_WAYLAND_DISPLAY(display)) {
            // The display hands the token to the next window that asks for the focus.
            gdk_wayland_display_set_startup_notification_id(display, token.c_str());
        } else if (GDK_IS_X11_DISPLAY(display)) {
            // The time of the launching action is what the window manager weighs
            // against the program in front.
            if (uint32_t launched = timeOf(token); launched > time) time = launched;
            gtk_window_set_startup_id(window, token.c_str());
        }
    }
    if (time == 0) time = gtk_get_current_event_time();
    if (!gtk_widget_get_mapped(GTK_WIDGET(window)) && time != GDK_CURRENT_TIME && GDK_IS_X11_DISPLAY(display)) {
        // A window manager decides on its own whether a new window gets the focus,
        // and some refuse windows kept out of the task bar (openbox); asked once
        // the window is on screen, with the time of the user's action, they weigh
        // the request like any other.
        auto* asked = new uint32_t(time);
        g_signal_connect_data(window, "map-event", G_CALLBACK(+[](GtkWidget* widget, GdkEvent*, gpointer data) -> gboolean {
            g_signal_handlers_disconnect_by_data(widget, data);
            if (GdkWindow* surface = gtk_widget_get_window(widget))
                gdk_window_focus(surface, *static_cast<uint32_t*>(data));
            return FALSE;
        }), asked, [](gpointer data, GClosure*) { delete static_cast<uint32_t*>(data); }, G_CONNECT_DEFAULT);
    }
    gtk_window_present_with_time(window, time);
}

namespace {

// A token for a window the application is about to ask another program to show,
// where the compositor hands them out through GDK (GNOME's shell protocol).
std::string launchToken(GdkDisplay* display) {
    if (!GDK_IS_WAYLAND_DISPLAY(display)) return "";
    GdkAppLaunchContext* context = gdk_display_get_app_launch_context(display);
    GAppInfo* self = g_app_info_create_from_commandline("orvela", "Orvela", G_APP_INFO_CREATE_NONE, nullptr);
    char* id = self ? g_app_launch_context_get_startup_notify_id(G_APP_LAUNCH_CONTEXT(context), self, nullptr) : nullptr;
    std::string token = id ? id : "";
    g_free(id);
    if (self) g_object_unref(self);
    g_object_unref(context);
    return token;
}

}  // namespace

void exportForPortal(GtkWindow* window, std::function<void(const std::string&, const std::string&)> task) {
    GdkWindow* surface = window ? gtk_widget_get_window(GTK_WIDGET(window)) : nullptr;
    GdkDisplay* display = surface ? gdk_window_get_display(surface) : gdk_display_get_default();
    std::string token = display ? launchToken(display) : "";
    if (surface && GDK_IS_X11_WINDOW(surface)) {
        char handle[32];
        std::snprintf(handle, sizeof handle, "x11:%lx", static_cast<unsigned long>(gdk_x11_window_get_xid(surface)));
        return task(handle, token);
    }
    if (!surface || !GDK_IS_WAYLAND_WINDOW(surface)) return task("", token);
    // A window is exported once; later dialogs reuse its handle.
    if (auto* known = static_cast<const char*>(g_object_get_data(G_OBJECT(surface), "orvela-exported-handle")))
        return task(known, token);
    using Exported = std::function<void(const std::string&)>;
    auto* exported = new Exported([task = std::move(task), token](const std::string& handle) { task(handle, token); });
    bool asked = gdk_wayland_window_export_handle(
        surface,
        [](GdkWindow* surface, const char* handle, gpointer data) {
            std::string parent = std::string("wayland:") + handle;
            g_object_set_data_full(G_OBJECT(surface), "orvela-exported-handle", g_strdup(parent.c_str()), g_free);
            (*static_cast<Exported*>(data))(parent);
        },
        exported, [](gpointer data) { delete static_cast<Exported*>(data); });
    // A compositor without xdg-foreign cannot name the window; the dialog opens all the same.
    if (!asked) {
        (*exported)("");
        delete exported;
    }
}

}  // namespace orvela::Activation
