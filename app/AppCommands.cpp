// The commands of the main menu, each acting on the web host, the page or the
// panel.
#include "app/AppDelegate.h"
#include "app/AppConfig.h"
#include "app/PageZoom.h"
#include "platform/Desktop.h"
#include "web/BridgeMessage.h"

namespace orvela {

void AppDelegate::showCapture() { capture->show(); }

void AppDelegate::showMain() { bringMainWindowForward(); }

// The settings window belongs to the tray icon's menu as much as to this one.
void AppDelegate::showSettings() {}

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
                          "logo-icon-name", "ru.orvela.Orvela", "website", helpAddress, "title", "О программе Orvela",
                          nullptr);
}

// Every window of the application goes out of sight, the panel too; the
// application keeps running and comes back with its window on the next launch.
void AppDelegate::hideApplication() {
    capture->hide();
    for (GList* window = gtk_application_get_windows(application_); window; window = window->next)
        gtk_widget_hide(GTK_WIDGET(window->data));
}

}  // namespace orvela
