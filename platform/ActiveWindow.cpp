#include "platform/ActiveWindow.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <unistd.h>

namespace orvela::ActiveWindow {
namespace {

Display* x11Display() {
    GdkDisplay* display = gdk_display_get_default();
    if (!display || !GDK_IS_X11_DISPLAY(display)) return nullptr;
    return GDK_DISPLAY_XDISPLAY(display);
}

std::optional<unsigned long> cardinalProperty(Display* display, Window window, const char* name, Atom type) {
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    gdk_x11_display_error_trap_push(gdk_x11_lookup_xdisplay(display));
    int status = XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 1, False, type, &actualType,
                                    &format, &count, &remaining, &data);
    gdk_x11_display_error_trap_pop_ignored(gdk_x11_lookup_xdisplay(display));
    std::optional<unsigned long> value;
    if (status == Success && data && count == 1 && format == 32) value = *reinterpret_cast<unsigned long*>(data);
    if (data) XFree(data);
    return value;
}

}  // namespace

std::optional<unsigned long> foreign() {
    Display* display = x11Display();
    if (!display) return std::nullopt;
    auto active = cardinalProperty(display, DefaultRootWindow(display), "_NET_ACTIVE_WINDOW", XA_WINDOW);
    if (!active || *active == None) return std::nullopt;
    // Ours when GDK knows it or its owner's process is this one.
    if (gdk_x11_window_lookup_for_display(gdk_display_get_default(), *active)) return std::nullopt;
    auto pid = cardinalProperty(display, *active, "_NET_WM_PID", XA_CARDINAL);
    if (pid && *pid == static_cast<unsigned long>(::getpid())) return std::nullopt;
    return active;
}

bool isActive(GtkWindow* window) {
    Display* display = x11Display();
    GdkWindow* surface = gtk_widget_get_window(GTK_WIDGET(window));
    if (!display || !surface || !GDK_IS_X11_WINDOW(surface)) return gtk_window_is_active(window);
    auto active = cardinalProperty(display, DefaultRootWindow(display), "_NET_ACTIVE_WINDOW", XA_WINDOW);
    return active && *active == GDK_WINDOW_XID(surface);
}

void activate(unsigned long window, GtkWindow* from) {
    Display* display = x11Display();
    if (!display) return;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = 2;  // the request comes from a pager, which a WM always honours
    event.xclient.data.l[1] = from ? serverTime(from) : CurrentTime;
    GdkWindow* current = from ? gtk_widget_get_window(GTK_WIDGET(from)) : nullptr;
    event.xclient.data.l[2] = current ? GDK_WINDOW_XID(current) : None;
    gdk_x11_display_error_trap_push(gdk_display_get_default());
    XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XFlush(display);
    gdk_x11_display_error_trap_pop_ignored(gdk_display_get_default());
}

uint32_t serverTime(GtkWindow* window) {
    GdkWindow* surface = window ? gtk_widget_get_window(GTK_WIDGET(window)) : nullptr;
    if (!surface || !GDK_IS_X11_WINDOW(surface)) return CurrentTime;
    return gdk_x11_get_server_time(surface);
}

}  // namespace orvela::ActiveWindow
