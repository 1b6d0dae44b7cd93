// The commands of the main menu, each acting on the web host, the page or the
// panel.
#include "app/AppDelegate.h"
#include "app/AppConfig.h"
#include "app/PageZoom.h"
#include "capture/GnomeAccelerator.h"
#include "capture/PortalTrigger.h"
#include "platform/GnomeKeybinding.h"
#include "platform/Activation.h"
#include "platform/Desktop.h"
#include "platform/MainQueue.h"
#include "platform/SystemTray.h"
#include "web/BridgeMessage.h"

namespace orvela {

void AppDelegate::showCapture() { capture->show(); }

void AppDelegate::showMain() { bringMainWindowForward(); }

void AppDelegate::showSettings() {
    if (settingsWindow) gtk_widget_destroy(settingsWindow.get());
    std::weak_ptr<AppDelegate> weak = weak_from_this();
    settingsView_ = SettingsView::create(*settings, hotKey.state, [weak] {
        auto self = weak.lock();
        if (!self) return;
        if (self->settingsWindow) gtk_window_close(GTK_WINDOW(self->settingsWindow.get()));
        self->web->navigate("/settings");
    }, keyActions());

    settingsWindow = GObjectPtr<GtkWidget>::retain(gtk_window_new(GTK_WINDOW_TOPLEVEL));
    GtkWindow* window = GTK_WINDOW(settingsWindow.get());
    gtk_window_set_title(window, "Настройки");
    gtk_window_set_resizable(window, FALSE);
    gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_DIALOG);
    gtk_window_set_position(window, GTK_WIN_POS_CENTER);
    gtk_container_add(GTK_CONTAINER(window), settingsView_->widget());
    // Closing hides it; the next showing replaces it.
    g_signal_connect(window, "delete-event", G_CALLBACK(gtk_widget_hide_on_delete), nullptr);
    gtk_application_add_window(application_, window);
    gtk_window_set_focus(window, settingsView_->recorder().button());
    Activation::present(window);

    // After the next recorded shortcut the form is built again, with the hot key's new state.
    settingsView_->onShortcutRecorded = [weak] {
        auto self = weak.lock();
        if (self && self->settingsWindow && gtk_widget_get_visible(self->settingsWindow.get())) self->showSettings();
    };
}

SettingsView::KeyActions AppDelegate::keyActions() {
    std::weak_ptr<AppDelegate> weak = weak_from_this();
    SettingsView::KeyActions actions;
    actions.askAgain = [weak] {
        if (auto self = weak.lock()) self->hotKey.askAgain();
    };
    // GNOME before its portal had global shortcuts: the key goes into GNOME's own
    // keyboard settings, after the user asked for it.
    if (hotKey.state.kind != HotKeyState::Kind::unsupported || !GnomeKeybinding::gnomeSession() ||
        !GnomeKeybinding().available())
        return actions;
    if (auto assigned = GnomeKeybinding().assignedAccelerator())
        actions.assignedInGnome = keyToPress(settings->captureShortcut.get(), *assigned);
    actions.assignInGnome = [weak] {
        auto self = weak.lock();
        auto accelerator = self ? gnomeAccelerator(self->settings->captureShortcut.get()) : std::nullopt;
        if (!accelerator || !GnomeKeybinding().assign(*accelerator)) return false;
        MainQueue::async<AppDelegate>(weak, [](AppDelegate& self) { self.showSettings(); });
        return true;
    };
    return actions;
}

void AppDelegate::goFromMenu(const std::string& path) { web->navigate(path); }

void AppDelegate::newRecord() { web->command(PageScripts::openQuickAdd); }

void AppDelegate::dictate() { web->command(PageScripts::openDiktor); }

void AppDelegate::search() { web->command(PageScripts::openSearch); }

void AppDelegate::reload() { web->reload(); }

void AppDelegate::zoomIn() {
    webkit_web_view_set_zoom_level(web->webView(), PageZoom::zoomedIn(webkit_web_view_get_zoom_level(web->webView())));
}

void AppDelegate::zoomOut() {
    webkit_web_view_set_zoom_level(web->webView(), PageZoom::zoomedOut(webkit_web_view_get_zoom_level(web->webView())));
}

void AppDelegate::zoomReset() { webkit_web_view_set_zoom_level(web->webView(), PageZoom::actualSize); }

void AppDelegate::goBack() { webkit_web_view_go_back(web->webView()); }

void AppDelegate::goForward() { webkit_web_view_go_forward(web->webView()); }

void AppDelegate::checkForUpdates() {
    if (updater) updater->checkForUpdates();
}

void AppDelegate::openHelp() { Desktop::openUri(helpAddress); }

void AppDelegate::showAbout() {
    gtk_show_about_dialog(web->window(), "program-name", "Orvela", "version", AppConfig::version().c_str(),
                          "logo-icon-name", "ru.orvela.Orvela", "website", helpAddress, "website-label", "Сайт Orvela",
                          "title", "О программе Orvela",
                          nullptr);
}

// Every window of the application goes out of sight, the panel too; the
// application keeps running and comes back with its window on the next launch.
// Where no tray shows its icon, a withdrawn application could be found again only
// by launching it: the windows are minimised instead and stay in the taskbar.
void AppDelegate::hideApplication() {
    capture->hide();
    bool inTray = statusItem && SystemTray::present();
    for (GList* window = gtk_application_get_windows(application_); window; window = window->next) {
        if (inTray)
            gtk_widget_hide(GTK_WIDGET(window->data));
        else if (gtk_widget_get_visible(GTK_WIDGET(window->data)))
            gtk_window_iconify(GTK_WINDOW(window->data));
    }
}

// At login the panel may come up after the programs the session starts, so it is
// given a few seconds to show the icon before the window comes instead.
void AppDelegate::startInBackground() {
    constexpr double trayWait = 5;
    if (!statusItem) {
        bringMainWindowForward();
        return;
    }
    std::weak_ptr<AppDelegate> weak = weak_from_this();
    SystemTray::whenPresent(trayWait, [weak](bool shown) {
        auto self = weak.lock();
        if (self && !shown && !self->hasVisibleWindows()) self->bringMainWindowForward();
    });
}

}  // namespace orvela
