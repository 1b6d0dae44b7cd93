#pragma once

#include <gtk/gtk.h>

// The standard commands of the menus, for whichever window of the application
// has the keyboard, and within it the widget that has the focus.
namespace orvela::WindowCommands {

// One of WebKit's editing commands ("Cut", "Copy", "Paste", "SelectAll", "Undo",
// "Redo"); text fields of the application's own windows take the first four.
void edit(GtkApplication* application, const char* command);
void closeWindow(GtkApplication* application);
void minimize(GtkApplication* application);
void toggleMaximized(GtkApplication* application);
void toggleFullScreen(GtkApplication* application);

}  // namespace orvela::WindowCommands
