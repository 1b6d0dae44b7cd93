#include "web/QuietWindow.h"

#include <gtk/gtk.h>

namespace orvela::QuietWindow {

void configure(GtkWindow* window) {
    gtk_window_set_accept_focus(window, FALSE);
    gtk_window_set_focus_on_map(window, FALSE);
    gtk_window_set_skip_taskbar_hint(window, TRUE);
    gtk_window_set_skip_pager_hint(window, TRUE);
}

}  // namespace orvela::QuietWindow
