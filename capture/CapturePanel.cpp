#include "capture/CapturePanel.h"

#include "capture/HotKey.h"
#include "capture/KeyPanel.h"
#include "platform/Activation.h"
#include "platform/ActiveWindow.h"
#include "platform/MainQueue.h"
#include "resources/AppStyle.h"

#include <algorithm>
#include <gdk/gdkx.h>

namespace orvela {

std::shared_ptr<CapturePanel> CapturePanel::create() {
    std::shared_ptr<CapturePanel> panel(new CapturePanel());
    std::weak_ptr<CapturePanel> weak = panel;
    panel->model_.close = [weak] {
        if (auto strong = weak.lock()) strong->hide();
    };
    installSaveCycle(panel);
    return panel;
}

CapturePanel::CapturePanel() {
    AppStyle::install();
    window_ = GObjectPtr<GtkWidget>::retain(KeyPanel::create());
    view_ = std::make_unique<CaptureView>(model_);
    gtk_container_add(GTK_CONTAINER(window_.get()), view_->widget());
    gtk_widget_show(view_->widget());
    gtk_window_set_default(window(), view_->saveButton());
    connections_.push_back(SignalConnection::connect<void(GtkWidget*, GdkRectangle*)>(
        window_.get(), "size-allocate",
        [this](GtkWidget* widget, GdkRectangle*) { KeyPanel::shapeToRoundedCard(widget, 14); }));
    // The panel has no title bar: its background moves it. Presses on the field
    // and the button are theirs and never get here.
    gtk_widget_add_events(window_.get(), GDK_BUTTON_PRESS_MASK);
    connections_.push_back(SignalConnection::connect<gboolean(GtkWidget*, GdkEventButton*)>(
        window_.get(), "button-press-event", [](GtkWidget* widget, GdkEventButton* event) -> gboolean {
            if (event->type != GDK_BUTTON_PRESS || event->button != GDK_BUTTON_PRIMARY) return FALSE;
            gtk_window_begin_move_drag(GTK_WINDOW(widget), static_cast<int>(event->button), static_cast<int>(event->x_root),
                                       static_cast<int>(event->y_root), event->time);
            return TRUE;
        }));
    // Closing from the window manager hides, keeping the text.
    connections_.push_back(SignalConnection::connect<gboolean(GtkWidget*, GdkEvent*)>(
        window_.get(), "delete-event", [this](GtkWidget*, GdkEvent*) {
            hide();
            return TRUE;
        }));
}

CapturePanel::~CapturePanel() {
    connections_.clear();
    gtk_widget_destroy(window_.get());
}

bool CapturePanel::isVisible() const { return gtk_widget_get_visible(window_.get()); }

void CapturePanel::show() {
    model_.flash.set(std::nullopt);
    model_.focusToken.set(model_.focusToken.get() + 1);
    previousWindow_ = ActiveWindow::foreign();
    place();
    // A timestamp or token of the user's own input lets the window manager give
    // the panel the focus: the menu click or key press that brought it, else the
    // hot key's.
    uint32_t time = gtk_get_current_event_time();
    if (time == GDK_CURRENT_TIME) time = HotKey::lastPressTime();
    Activation::present(window(), time);
    view_->focusField();
}

// GDK measures y downwards from the top; the panel's centre sits at 68 % of the
// work area's height from its bottom, that is 32 % from its top.
void CapturePanel::place() {
    GtkWindow* panel = window();
    int width = 0, height = 0;
    gtk_widget_get_preferred_width(window_.get(), nullptr, &width);
    gtk_widget_get_preferred_height_for_width(window_.get(), width, nullptr, &height);
    gtk_window_resize(panel, width, height);

    GdkMonitor* monitor = monitorForPanel();
    if (KeyPanel::onLayer(window_.get())) {
        // Where the compositor picks the output, the panel is placed for the
        // first monitor's height, then again for the one it landed on.
        KeyPanel::placeOnLayer(window_.get(), monitor, layerMargin(monitor, height));
        if (!monitor) placeWhereShown();
        return;
    }
    if (!monitor) monitor = firstMonitor();
    if (!monitor) return;
    GdkRectangle area;
    gdk_monitor_get_workarea(monitor, &area);
    gtk_window_move(panel, area.x + area.width / 2 - width / 2, static_cast<int>(area.y + 0.32 * area.height - 0.5 * height));
}

GdkMonitor* CapturePanel::firstMonitor() {
    GdkDisplay* display = gdk_display_get_default();
    return display && gdk_display_get_n_monitors(display) > 0 ? gdk_display_get_monitor(display, 0) : nullptr;
}

// A layer surface is anchored at the top of the output's usable area (below
// the bars that reserve space); its margin puts the card's centre at 32 % of
// the output's height from there.
int CapturePanel::layerMargin(GdkMonitor* monitor, int height) {
    if (!monitor) monitor = firstMonitor();
    if (!monitor) return 0;
    GdkRectangle area;
    gdk_monitor_get_workarea(monitor, &area);
    GdkRectangle whole;
    gdk_monitor_get_geometry(monitor, &whole);
    return std::max(0, static_cast<int>(area.y - whole.y + 0.32 * area.height - 0.5 * height));
}

// The compositor tells which output the panel entered once it is on screen.
void CapturePanel::placeWhereShown() {
    MainQueue::after<CapturePanel>(0.05, weak_from_this(), [](CapturePanel& panel) {
        GtkWidget* window = panel.window_.get();
        GdkWindow* surface = gtk_widget_get_window(window);
        if (!panel.isVisible() || !surface) return;
        GdkMonitor* shown = gdk_display_get_monitor_at_window(gdk_window_get_display(surface), surface);
        int height = gtk_widget_get_allocated_height(window);
        if (shown) KeyPanel::placeOnLayer(window, nullptr, layerMargin(shown, height));
    });
}

// The monitor under the pointer. A Wayland client learns where the pointer is
// only over its own windows: there the monitor of the application's window that
// has the keyboard stands in, and without one the compositor chooses (nothing).
GdkMonitor* CapturePanel::monitorForPanel() const {
    GdkDisplay* display = gdk_display_get_default();
    if (!display) return nullptr;
    GdkSeat* seat = gdk_display_get_default_seat(display);
    GdkDevice* pointer = seat ? gdk_seat_get_pointer(seat) : nullptr;
    if (pointer && GDK_IS_X11_DISPLAY(display)) {
        int x = 0, y = 0;
        gdk_device_get_position(pointer, nullptr, &x, &y);
        if (GdkMonitor* monitor = gdk_display_get_monitor_at_point(display, x, y)) return monitor;
        return gdk_display_get_primary_monitor(display);
    }
    GList* toplevels = gtk_window_list_toplevels();
    GdkMonitor* found = nullptr;
    for (GList* item = toplevels; item && !found; item = item->next) {
        GtkWindow* window = GTK_WINDOW(item->data);
        GdkWindow* surface = gtk_widget_get_window(GTK_WIDGET(window));
        if (window != this->window() && surface && gtk_window_is_active(window))
            found = gdk_display_get_monitor_at_window(display, surface);
    }
    g_list_free(toplevels);
    return found;
}

void CapturePanel::hide() {
    if (!isVisible()) return;
    // The server time is taken while the panel is still mapped.
    auto previous = std::exchange(previousWindow_, std::nullopt);
    if (previous) ActiveWindow::activate(*previous, window());
    gtk_widget_hide(window_.get());
}

// A panel another window covers, or one the user clicked away from, comes back
// to the front with the keyboard; only one in front goes away.
void CapturePanel::toggle() {
    if (isVisible() && ActiveWindow::isActive(window())) hide();
    else show();
}

}  // namespace orvela
