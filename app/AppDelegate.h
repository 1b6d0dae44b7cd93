#pragma once

#include "app/CaptureHandOff.h"
#include "app/LaunchOptions.h"
#include "app/StatusItem.h"
#include "app/UpdateChecker.h"
#include "capture/CapturePanel.h"
#include "capture/HotKeyRegistration.h"
#include "capture/PendingCaptures.h"
#include "platform/Observable.h"
#include "reminders/ReminderScheduler.h"
#include "settings/AppSettings.h"
#include "settings/SettingsView.h"
#include "web/Snapshots.h"
#include "web/WebController.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvela {

class MainMenu;

// Owns and wires every part of the application: the main window with the page,
// the capture panel and its queue, the reminders, the hot key, the menus, and the
// subscriptions to the settings. Lives as long as the process.
class AppDelegate : public std::enable_shared_from_this<AppDelegate> {
public:
    static constexpr const char* pendingCapturesKey = "pendingCaptures";
    static constexpr const char* helpAddress = "https://orvela.ru";

    // Connects to the application's start-up, activation and open requests. The
    // parts are made at start-up: a second launch that only hands its request to
    // the running instance makes none.
    static std::shared_ptr<AppDelegate> create(GtkApplication* application);
    ~AppDelegate();
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    void applicationDidFinishLaunching();
    bool applicationShouldHandleReopen(bool hasVisibleWindows);
    void openURLs(const std::vector<std::string>& addresses);

    // The commands of the menus.
    void showCapture();
    void showMain();
    void showSettings();
    void goFromMenu(const std::string& path);
    void newRecord();
    void dictate();
    void search();
    void reload();
    void zoomIn();
    void zoomOut();
    void zoomReset();
    void goBack();
    void goForward();
    void checkForUpdates();
    void openHelp();
    void showAbout();
    void hideApplication();

private:
    explicit AppDelegate(GtkApplication* application);
    void openMainPage();
    void createParts();
    void connectApplication();
    void activated();
    void siteReady();
    void open(const std::string& item);
    void receive(const BridgeMessage& message);
    void registerHotKey(const Shortcut& shortcut);
    void hotKeyStateChanged();
    void followInGnome(const Shortcut& shortcut);
    SettingsView::KeyActions keyActions();
    void setStatusItem(bool shown);
    void updateBadge();
    // The tray menu follows the count and the capture key as they change.
    void menuNeedsUpdate();
    void bringMainWindowForward();
    // The login launch: the window only when no tray will show the icon.
    void startInBackground();
    bool hasVisibleWindows() const;
    GtkWindow* lastSeenWindow() const;

    GtkApplication* application_;
    // The shortcut of the latest registration; the settings store it only after
    // their listeners, the registration among them, have run.
    Shortcut registeredShortcut_ = Shortcut::defaultCapture;
    // A launch hands the running instance one activation or one set of links;
    // the first of them is the instance's own launch, not a reopen.
    bool ownLaunchPending_ = true;

    std::shared_ptr<WebController> web;
    std::shared_ptr<CapturePanel> capture;
    std::unique_ptr<PendingCaptures> pending;
    std::shared_ptr<ReminderScheduler> reminders;
    AppSettings* settings = nullptr;
    HotKeyRegistration hotKey;
    std::unique_ptr<StatusItem> statusItem;
    GObjectPtr<GtkWidget> settingsWindow;
    std::shared_ptr<SettingsView> settingsView_;
    int64_t inboxCount = 0;
    // Whether the launcher and the tray have been told inboxCount.
    bool badgeShown_ = false;
    std::optional<std::string> itemToOpen;
    std::vector<Subscription> subscriptions;
    std::shared_ptr<UpdateChecker> updater;
    std::optional<LaunchOptions> launch;
    std::shared_ptr<CaptureHandOff> handOff;
    std::unique_ptr<MainMenu> menu;
    std::shared_ptr<Snapshots> snapshots_;
    std::vector<SignalConnection> connections_;
};

}  // namespace orvela
