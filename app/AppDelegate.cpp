#include "app/AppDelegate.h"

#include "app/AppConfig.h"
#include "app/AppLinks.h"
#include "app/UpdateDialogs.h"
#include "app/MainMenu.h"
#include "platform/Activation.h"
#include "capture/GnomeAccelerator.h"
#include "platform/ColorScheme.h"
#include "platform/GnomeKeybinding.h"
#include "platform/LauncherEntry.h"
#include "platform/MainQueue.h"
#include "platform/StartupTrace.h"
#include "reminders/LocalNotificationCenter.h"

#include <cstdio>
#include <cstdlib>

namespace orvela {
namespace {

// The hand-off's view of the web host, which may be gone by the time a page
// answer arrives.
class WebCaptureTarget : public CaptureTarget {
public:
    explicit WebCaptureTarget(std::weak_ptr<WebController> web) : web_(std::move(web)) {}

    bool bridgeReady() const override {
        auto web = web_.lock();
        return web && web->bridgeReady();
    }
    void capture(const std::string& text, std::function<void(bool)> done) override {
        if (auto web = web_.lock())
            web->capture(text, std::move(done));
        else
            done(false);
    }

private:
    std::weak_ptr<WebController> web_;
};

std::vector<std::string> addressesOf(GFile** files, int count) {
    std::vector<std::string> addresses;
    for (int i = 0; i < count; ++i) {
        char* uri = g_file_get_uri(files[i]);
        if (uri) addresses.emplace_back(uri);
        g_free(uri);
    }
    return addresses;
}

}  // namespace

std::shared_ptr<AppDelegate> AppDelegate::create(GtkApplication* application) {
    std::shared_ptr<AppDelegate> delegate(new AppDelegate(application));
    delegate->connectApplication();
    return delegate;
}

AppDelegate::AppDelegate(GtkApplication* application) : application_(application) {}

AppDelegate::~AppDelegate() = default;

void AppDelegate::connectApplication() {
    auto& c = connections_;
    c.push_back(SignalConnection::connect<void(GApplication*)>(application_, "startup", [this](GApplication*) {
        StartupTrace::mark("gtk-ready");
        // The application runs until it is told to quit, with or without a window.
        g_application_hold(G_APPLICATION(application_));
        // The kind of launch decides whose data the parts may touch, so it is read first.
        launch.emplace(DefaultsStore::standardUserDefaults());
        // The page takes longest to come: it is asked for before the other parts are made.
        if (!launch->underTests()) openMainPage();
        createParts();
        StartupTrace::mark("parts");
        // The quiet and smoke launches keep their window out of the taskbar when
        // the web host builds it; nothing else of the launch kind to set up here.
        applicationDidFinishLaunching();
    }));
    c.push_back(SignalConnection::connect<void(GApplication*)>(application_, "activate", [this](GApplication*) {
        Activation::takeRequestToken();
        activated();
    }));
    c.push_back(SignalConnection::connect<void(GApplication*, GFile**, gint, gchar*)>(
        application_, "open", [this](GApplication*, GFile** files, gint count, gchar*) {
            ownLaunchPending_ = false;
            Activation::takeRequestToken();
            openURLs(addressesOf(files, count));
        }));
}

void AppDelegate::openMainPage() {
    WebController::quiet = launch->quiet();
    WebController::remembersFrame = !launch->forTestsOrPictures();
    web = WebController::create();
}

void AppDelegate::createParts() {
    bool userData = !launch->forTestsOrPictures();
    capture = CapturePanel::create();
    pending = std::make_unique<PendingCaptures>(DefaultsStore::standardUserDefaults(), pendingCapturesKey);
    if (userData) {
        pending->requeueUndelivered();
        pending->recoverMovedAside();
    }
    reminders = ReminderScheduler::create(LocalNotificationCenter::create(
        userData ? LocalNotificationCenter::Environment::desktop() : LocalNotificationCenter::Environment::inert()));
    settings = &AppSettings::shared();
}

void AppDelegate::applicationDidFinishLaunching() {
    if (launch->underTests()) return;
    // Pictures are taken in the appearance they ask for.
    if (!launch->snapshot()) ColorScheme::follow();
    StartupTrace::mark("colour-scheme");

    std::weak_ptr<AppDelegate> weak = weak_from_this();
    web->onMessage = [weak](const BridgeMessage& message) {
        if (auto self = weak.lock()) self->receive(message);
    };
    web->onBridgeReadyChange = [weak](bool ready) {
        if (auto self = weak.lock(); self && ready) self->siteReady();
    };
    reminders->onOpen = [weak](const std::string& item) {
        if (auto self = weak.lock()) self->open(item);
    };
    reminders->isWindowInFront = [weak] {
        auto self = weak.lock();
        // The main window has the keyboard only while the application is the active one.
        return self && self->web && gtk_window_is_active(self->web->window());
    };
    handOff = CaptureHandOff::create(
        *pending, std::make_shared<WebCaptureTarget>(web),
        [](double seconds, std::function<void()> task) { MainQueue::after(seconds, std::move(task)); },
        launch->captureAnswerDeadline());
    capture->onSave = [weak](const std::string& text, CaptureHost::Done done) {
        auto self = weak.lock();
        if (!self) {
            done(CaptureOutcome::failed);
            return;
        }
        self->handOff->save(text, std::move(done));
    };
    menu = std::make_unique<MainMenu>(application_, weak);

    if (launch->smokeTest()) {
        std::printf("smoke: ok\n");
        std::exit(0);
    }
    if (launch->snapshot()) {
        snapshots_ = Snapshots::create(web, launch->d);
        snapshots_->run();
        return;
    }

    updater = UpdateChecker::create(DefaultsStore::standardUserDefaults(), AppConfig::version(),
                                    [weak](const UpdateChecker::Result& result, bool asked) {
                                        auto self = weak.lock();
                                        if (self) UpdateDialogs::present(self->web->window(), result, asked, AppConfig::version());
                                    });
    updater->start();
    hotKey.hotKey = HotKey::create([weak] {
        if (auto self = weak.lock()) self->capture->toggle();
    });
    hotKey.remembered = &DefaultsStore::standardUserDefaults();
    // The desktop's answer to a portal binding comes later; the tray and an open
    // settings form follow it.
    hotKey.onChange = [weak] {
        MainQueue::async<AppDelegate>(weak, [](AppDelegate& self) { self.hotKeyStateChanged(); });
    };
    subscriptions.push_back(settings->captureShortcut.subscribe([weak](const Shortcut& shortcut) {
        if (auto self = weak.lock()) self->registerHotKey(shortcut);
    }));
    subscriptions.push_back(settings->showMenuBarIcon.subscribe([weak](bool shown) {
        if (auto self = weak.lock()) self->setStatusItem(shown);
    }));
    // The badge reads the setting, which is stored only after its listeners ran.
    subscriptions.push_back(settings->showDockBadge.subscribe([weak](bool) {
        MainQueue::async<AppDelegate>(weak, [](AppDelegate& self) { self.updateBadge(); });
    }));
    if (LaunchOptions::inBackground)
        startInBackground();
    else
        bringMainWindowForward();
    StartupTrace::mark("launched");
}

void AppDelegate::activated() {
    if (std::exchange(ownLaunchPending_, false)) return;
    applicationShouldHandleReopen(hasVisibleWindows());
}

bool AppDelegate::applicationShouldHandleReopen(bool visibleWindows) {
    if (!web) return false;
    // No desktop brings a running program's windows forward by itself: the one the
    // user saw last comes to the front.
    if (GtkWindow* seen = visibleWindows ? lastSeenWindow() : nullptr) Activation::present(seen);
    else bringMainWindowForward();
    return true;
}

void AppDelegate::openURLs(const std::vector<std::string>& addresses) {
    if (!web) return;
    for (const auto& link : appLinks(addresses)) {
        if (link.kind == AppLink::Kind::capture)
            capture->show();
        else
            web->navigate(link.path);
    }
}

void AppDelegate::receive(const BridgeMessage& message) {
    if (auto* inbox = std::get_if<BridgeMessage::Inbox>(&message.value)) {
        // The page repeats its count several times a second; only a new one is
        // worth reading the settings and telling the launcher and the tray.
        if (badgeShown_ && inbox->count == inboxCount) return;
        inboxCount = inbox->count;
        updateBadge();
    } else if (auto* list = std::get_if<BridgeMessage::Reminders>(&message.value)) {
        reminders->update(list->list);
    }
}

void AppDelegate::siteReady() {
    // A snapshot run photographs pages; the user's queue is not its to send.
    if (launch->forTestsOrPictures()) return;
    handOff->flushPending();
    if (auto item = std::exchange(itemToOpen, std::nullopt)) web->openItem(*item);
}

void AppDelegate::open(const std::string& item) {
    if (!web->bridgeReady()) {
        itemToOpen = item;
        bringMainWindowForward();
        return;
    }
    web->openItem(item);
}

void AppDelegate::registerHotKey(const Shortcut& shortcut) {
    hotKey.registerHotKey(shortcut);
    followInGnome(shortcut);
    registeredShortcut_ = shortcut;
    menuNeedsUpdate();
}

// A key the user put into GNOME's settings from here follows the recorded one.
void AppDelegate::followInGnome(const Shortcut& shortcut) {
    if (hotKey.state.kind != HotKeyState::Kind::unsupported || !GnomeKeybinding::gnomeSession()) return;
    GnomeKeybinding gnome;
    auto accelerator = gnomeAccelerator(shortcut);
    if (accelerator && gnome.available() && gnome.find() && gnome.assignedAccelerator() != accelerator)
        gnome.assign(*accelerator);
}

void AppDelegate::hotKeyStateChanged() {
    followInGnome(registeredShortcut_);
    menuNeedsUpdate();
    if (settingsWindow && gtk_widget_get_visible(settingsWindow.get())) showSettings();
}

void AppDelegate::setStatusItem(bool shown) {
    if (shown == static_cast<bool>(statusItem)) return;
    if (!shown) {
        statusItem.reset();
        return;
    }
    statusItem = std::make_unique<StatusItem>(application_);
    updateBadge();
}

void AppDelegate::updateBadge() {
    auto badge = launcherBadge(inboxCount, settings->showDockBadge.get());
    // The launcher entry is the user's application, not a snapshot run's.
    if (!launch->forTestsOrPictures()) LauncherEntry::update(badge.count, badge.visible);
    if (statusItem) {
        statusItem->setTitle(statusTitle(inboxCount));
        statusItem->setCount(inboxCount);
    }
    menuNeedsUpdate();
    badgeShown_ = true;
}

void AppDelegate::menuNeedsUpdate() {
    if (statusItem) statusItem->setRows(statusMenuRows(inboxCount, hotKey.hotKeyTaken, registeredShortcut_, hotKey.state.desktopTrigger));
}

void AppDelegate::bringMainWindowForward() { web->bringForward(); }

// The window the user can see that had the focus last, if any: a minimised
// window, or one on another workspace (which window managers unmap), does not count.
GtkWindow* AppDelegate::lastSeenWindow() const {
    for (GList* window = gtk_application_get_windows(application_); window; window = window->next) {
        GdkWindow* surface = gtk_widget_get_window(GTK_WIDGET(window->data));
        if (gtk_widget_get_visible(GTK_WIDGET(window->data)) && surface && gdk_window_is_viewable(surface) &&
            !(gdk_window_get_state(surface) & (GDK_WINDOW_STATE_ICONIFIED | GDK_WINDOW_STATE_WITHDRAWN)))
            return GTK_WINDOW(window->data);
    }
    return nullptr;
}

bool AppDelegate::hasVisibleWindows() const { return lastSeenWindow() != nullptr; }

}  // namespace orvela
