#pragma once

typedef struct _GtkWidget GtkWidget;
typedef struct _GdkMonitor GdkMonitor;

namespace orvela::KeyPanel {

// A borderless window with transparent corners that floats above other windows
// on every workspace, stays out of the task bar and pager, and can take the
// keyboard. Where a Wayland compositor offers layer surfaces (KDE Plasma, sway,
// Hyprland) it is one, on the overlay layer; elsewhere an undecorated toplevel
// kept above the others.
GtkWidget* create();

// Whether the window is a layer surface, placed by anchors and margins.
bool onLayer(GtkWidget* window);

// Puts a layer surface on the monitor (nothing: the output the compositor
// chooses) with its top edge this far below the top of the usable area, centred across.
void placeOnLayer(GtkWidget* window, GdkMonitor* monitor, int top);

// Without a compositor nothing is transparent: the window is cut to the card's
// rounded shape instead.
void shapeToRoundedCard(GtkWidget* window, int radius);

}  // namespace orvela::KeyPanel
