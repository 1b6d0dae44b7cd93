#pragma once

#include "capture/HotKeyState.h"
#include "capture/ShortcutRecorder.h"
#include "platform/GObjectPtr.h"
#include "platform/Observable.h"
#include "platform/SignalConnection.h"
#include "settings/AppSettings.h"

#include <functional>
#include <gtk/gtk.h>
#include <memory>
#include <string>
#include <vector>

namespace orvela {

// The settings form: the capture shortcut with its recorder and a hint (or the
// warning that another program holds the key), the three switches, the way to
// the web application's own settings, and the version. It follows the settings
// while it is shown, whoever changes them.
class SettingsView : public std::enable_shared_from_this<SettingsView> {
public:
    static constexpr int width = 460;
    static constexpr int margin = 20;

    // The hot key's state decides the note under the shortcut: the hint, the key
    // the desktop assigned instead, that another program holds it, or that this
    // desktop lets no program take a key (with the command to bind in its settings).
    // What the note under the shortcut offers besides: asking the desktop again
    // after the user declined the key there, and, on GNOME without global
    // shortcuts, adding the key to GNOME's own keyboard settings.
    struct KeyActions {
        std::function<void()> askAgain;
        // Absent where GNOME's settings cannot take a custom key; says whether it did.
        std::function<bool()> assignInGnome;
        // The key GNOME's settings hold for the capture command, in its words; empty: none yet.
        std::string assignedInGnome;
    };

    static std::shared_ptr<SettingsView> create(AppSettings& settings, const HotKeyState& hotKey,
                                                std::function<void()> openSiteSettings, KeyActions actions = {});
    ~SettingsView();
    SettingsView(const SettingsView&) = delete;
    SettingsView& operator=(const SettingsView&) = delete;

    GtkWidget* widget() const { return form_.get(); }
    ShortcutRecorder& recorder() { return *recorder_; }

    // Shows the settings as they are now.
    void refresh();

    // Called once, on a later turn of the main loop, after the next shortcut is
    // recorded while the form is on screen (the form is then built again with
    // the hot key's new state). Its listener leaves when it fired or the form
    // left the screen.
    std::function<void()> onShortcutRecorded;

private:
    SettingsView(AppSettings& settings, const HotKeyState& hotKey, std::function<void()> openSiteSettings,
                 KeyActions actions);
    GtkWidget* hotKeyNote();
    GtkWidget* unsupportedNote();
    GtkWidget* noteWithButton(GtkWidget* text, const char* title, std::function<void(GtkWidget* button)> clicked);
    void build();
    GtkWidget* addSwitch(GtkWidget* group, const char* label, std::function<void(bool)> set);
    static void showSwitch(GtkWidget* toggle, bool on);

    AppSettings& settings_;
    const HotKeyState hotKey_;
    std::function<void()> openSiteSettings_;
    KeyActions actions_;
    std::unique_ptr<ShortcutRecorder> recorder_;
    GObjectPtr<GtkWidget> form_;
    GtkWidget* menuBarSwitch_ = nullptr;
    GtkWidget* badgeSwitch_ = nullptr;
    GtkWidget* loginSwitch_ = nullptr;
    bool refreshing_ = false;
    Subscription willChange_;
    Subscription nextShortcut_;
    std::vector<SignalConnection> connections_;
};

}  // namespace orvela
