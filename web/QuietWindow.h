#pragma once

typedef struct _GtkWindow GtkWindow;

namespace orvela::QuietWindow {

// Makes the window one that can be shown and raised but never takes the keyboard
// focus nor appears in the taskbar or pager: the main window of quiet launches.
void configure(GtkWindow* window);

}  // namespace orvela::QuietWindow
