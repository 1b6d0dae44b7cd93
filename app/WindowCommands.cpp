#include "app/WindowCommands.h"

#include <cstring>
#include <webkit2/webkit2.h>

namespace orvela::WindowCommands {
namespace {

GdkWindowState stateOf(GtkWindow* window) {
    GdkWindow* surface = gtk_widget_get_window(GTK_WIDGET(window));
    return surface ? gdk_window_get_state(surface) : GdkWindowState(0);
}

// The entries' and text views' own keybinding signals, so the clipboard works
// as the widget itself would do it.
void editText(GtkWidget* widget, const char* command) {
    bool entry = GTK_IS_ENTRY(widget);
    if (std::strcmp(command, "Cut") == 0) {
        g_signal_emit_by_name(widget, "cut-clipboard");
    } else if (std::strcmp(command, "Copy") == 0) {
        g_signal_emit_by_name(widget, "copy-clipboard");
    } else if (std::strcmp(command, "Paste") == 0) {
        g_signal_emit_by_name(widget, "paste-clipboard");
    } else if (std::strcmp(command, "SelectAll") == 0) {
        if (entry)
            gtk_editable_select_region(GTK_EDITABLE(widget), 0, -1);
        else
            g_signal_emit_by_name(widget, "select-all", TRUE);
    }
}

// The main window, the one window with the menu bar: the settings window is only
// titled and closable, so what minimises, maximises or fills the screen acts here
// whichever window is active.
GtkWindow* mainWindow(GtkApplication* application) {
    for (GList* window = gtk_application_get_windows(application); window; window = window->next) {
        if (GTK_IS_APPLICATION_WINDOW(window->data)) return GTK_WINDOW(window->data);
    }
    return nullptr;
}

}  // namespace

void edit(GtkApplication* application, const char* command) {
    GtkWindow* window = gtk_application_get_active_window(application);
    GtkWidget* focus = window ? gtk_window_get_focus(window) : nullptr;
    if (!focus) return;
    if (WEBKIT_IS_WEB_VIEW(focus))
        webkit_web_view_execute_editing_command(WEBKIT_WEB_VIEW(focus), command);
    else if (GTK_IS_ENTRY(focus) || GTK_IS_TEXT_VIEW(focus))
        editText(focus, command);
}

void closeWindow(GtkApplication* application) {
    if (GtkWindow* window = gtk_application_get_active_window(application)) gtk_window_close(window);
}

void minimize(GtkApplication* application) {
    if (GtkWindow* window = mainWindow(application)) gtk_window_iconify(window);
}

void toggleMaximized(GtkApplication* application) {
    GtkWindow* window = mainWindow(application);
    if (!window) return;
    if (gtk_window_is_maximized(window))
        gtk_window_unmaximize(window);
    else
        gtk_window_maximize(window);
}

void toggleFullScreen(GtkApplication* application) {
    GtkWindow* window = mainWindow(application);
    if (!window) return;
    if (stateOf(window) & GDK_WINDOW_STATE_FULLSCREEN)
        gtk_window_unfullscreen(window);
    else
        gtk_window_fullscreen(window);
}

}  // namespace orvela::WindowCommands
