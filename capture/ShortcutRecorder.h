#pragma once

#include "capture/Shortcut.h"
#include "platform/GObjectPtr.h"
#include "platform/SignalConnection.h"

#include <functional>
#include <gtk/gtk.h>
#include <optional>
#include <vector>

namespace orvela {

// A button that shows the capture shortcut and, once clicked, takes the next key
// press in any window of the application as the new one, the capture key itself
// included. Every press while recording is swallowed, so no menu, field or hot
// key sees it. A small button beside it brings back the default. Where the
// desktop binds the key (the portal's global shortcuts), the button opens the
// desktop's own dialog for it where there is one (version 2), and otherwise says
// where the desktop's settings change it.
class ShortcutRecorder {
public:
    struct Binding {
        std::function<Shortcut()> get;
        std::function<void(const Shortcut&)> set;
    };

    explicit ShortcutRecorder(Binding shortcut);
    ~ShortcutRecorder();
    ShortcutRecorder(const ShortcutRecorder&) = delete;
    ShortcutRecorder& operator=(const ShortcutRecorder&) = delete;

    GtkWidget* widget() const { return box_.get(); }
    // The main button, which a window may give the keyboard to first.
    GtkWidget* button() const { return button_; }
    bool recording() const { return recording_; }
    // What the user sees: the main button's title, and whether the reset button is there.
    std::string title() const { return gtk_button_get_label(GTK_BUTTON(button_)); }
    bool resetShown() const { return gtk_widget_get_visible(reset_); }
    std::string resetTooltip() const;
    // Whether it shows where the desktop's settings change a key the desktop binds.
    bool pointsToDesktopSettings() const { return whereToChange_ && gtk_widget_get_visible(whereToChange_); }
    void start();
    void stop();
    // Shows the bound value again; after it changed elsewhere, too.
    void refresh();

    // Sounded for a key press that cannot be a shortcut.
    std::function<void()> beep;

    // The recorder that is recording now, if any: the hot key hands it the
    // presses of the grabbed combination meanwhile.
    static ShortcutRecorder* recordingNow();
    // A press with its X11 keycode and modifier state.
    void record(unsigned hardwareKeycode, unsigned state);

private:
    bool keyPressed(const GdkEventKey* event);
    void showWhereToChange();

    Binding shortcut_;
    bool recording_ = false;
    std::vector<SignalConnection> monitors_;
    GObjectPtr<GtkWidget> box_;
    GtkWidget* button_;
    GtkWidget* reset_;
    GtkWidget* whereToChange_ = nullptr;
    std::vector<SignalConnection> connections_;
};

}  // namespace orvela
