#pragma once

typedef struct _GtkWidget GtkWidget;

namespace orvela::KeyPanel {

// A borderless window with transparent corners that floats above other windows
// on every workspace, stays out of the task bar and pager, and can take the
// keyboard.
GtkWidget* create();

// Without a compositor nothing is transparent: the window is cut to the card's
// rounded shape instead.
void shapeToRoundedCard(GtkWidget* window, int radius);

}  // namespace orvela::KeyPanel
