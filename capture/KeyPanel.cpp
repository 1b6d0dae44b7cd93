#include "capture/KeyPanel.h"

#include <cmath>
#include <gdk/gdkwayland.h>
#include <gtk-layer-shell/gtk-layer-shell.h>
#include <gtk/gtk.h>

namespace orvela::KeyPanel {

GtkWidget* create() {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWindow* panel = GTK_WINDOW(window);
    gtk_window_set_title(panel, "Запись");
    gtk_window_set_decorated(panel, FALSE);
    gtk_window_set_resizable(panel, FALSE);
    // A dialog, not a utility window: window managers such as openbox do not give
    // utility windows the focus when they appear.
    gtk_window_set_type_hint(panel, GDK_WINDOW_TYPE_HINT_DIALOG);
    gtk_window_set_keep_above(panel, TRUE);
    gtk_window_stick(panel);
    gtk_window_set_skip_taskbar_hint(panel, TRUE);
    gtk_window_set_skip_pager_hint(panel, TRUE);
    gtk_window_set_accept_focus(panel, TRUE);
    gtk_widget_set_app_paintable(window, TRUE);
    if (GdkVisual* rgba = gdk_screen_get_rgba_visual(gtk_widget_get_screen(window))) gtk_widget_set_visual(window, rgba);
    gtk_style_context_add_class(gtk_widget_get_style_context(window), "orvela-capture-panel");
    if (GDK_IS_WAYLAND_DISPLAY(gtk_widget_get_display(window)) && gtk_layer_is_supported()) {
        gtk_layer_init_for_window(panel);
        gtk_layer_set_namespace(panel, "orvela-capture");
        gtk_layer_set_layer(panel, GTK_LAYER_SHELL_LAYER_OVERLAY);
        // All of the keyboard while the panel is shown: with keyboard on demand a
        // compositor may leave it with the program in front, and older layer-shell
        // versions give such a surface none. The panel is only shown to be typed into.
        gtk_layer_set_keyboard_mode(panel, GTK_LAYER_SHELL_KEYBOARD_MODE_EXCLUSIVE);
        gtk_layer_set_anchor(panel, GTK_LAYER_SHELL_EDGE_TOP, TRUE);
    }
    return window;
}

bool onLayer(GtkWidget* window) { return gtk_layer_is_layer_window(GTK_WINDOW(window)); }

void placeOnLayer(GtkWidget* window, GdkMonitor* monitor, int top) {
    gtk_layer_set_monitor(GTK_WINDOW(window), monitor);
    gtk_layer_set_margin(GTK_WINDOW(window), GTK_LAYER_SHELL_EDGE_TOP, top);
}

void shapeToRoundedCard(GtkWidget* window, int radius) {
    if (gdk_screen_is_composited(gtk_widget_get_screen(window))) {
        gtk_widget_shape_combine_region(window, nullptr);
        return;
    }
    int width = gtk_widget_get_allocated_width(window);
    int height = gtk_widget_get_allocated_height(window);
    if (width <= 0 || height <= 0) return;
    cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A1, width, height);
    cairo_t* cr = cairo_create(mask);
    cairo_new_sub_path(cr);
    cairo_arc(cr, width - radius, radius, radius, -M_PI / 2, 0);
    cairo_arc(cr, width - radius, height - radius, radius, 0, M_PI / 2);
    cairo_arc(cr, radius, height - radius, radius, M_PI / 2, M_PI);
    cairo_arc(cr, radius, radius, radius, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
    cairo_fill(cr);
    cairo_destroy(cr);
    cairo_region_t* region = gdk_cairo_region_create_from_surface(mask);
    gtk_widget_shape_combine_region(window, region);
    cairo_region_destroy(region);
    cairo_surface_destroy(mask);
}

}  // namespace orvela::KeyPanel
