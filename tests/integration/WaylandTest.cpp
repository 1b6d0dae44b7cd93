// Quick capture on a Wayland desktop (sway, headless): the capture key through
// the desktop portal's global shortcuts, the panel as a layer surface, keys typed
// with wtype and pictures taken with grim.
#include "capture/CapturePanel.h"
#include "capture/HotKeyRegistration.h"
#include "capture/KeyPanel.h"
#include "capture/KeyPositions.h"
#include "capture/PortalTrigger.h"
#include "platform/ColorScheme.h"
#include "settings/SettingsView.h"
#include "tests/integration/AppDriver.h"
#include "tests/integration/ShortcutsPortal.h"

#include <algorithm>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gdk/gdkwayland.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>

namespace orvela {
namespace {

using namespace testing;

std::string capturedLog(const std::function<void()>& work) {
    ::testing::internal::CaptureStderr();
    work();
    return ::testing::internal::GetCapturedStderr();
}

// Types as a person would: wtype may lose the first key after a focus change.
void wtype(std::vector<std::string> arguments) {
    runFor(0.3);
    arguments.insert(arguments.begin(), {"wtype", "-d", "20"});
    runProgram(arguments);
}

std::vector<std::string> labelTexts(GtkWidget* root) {
    std::vector<std::string> texts;
    if (GTK_IS_LABEL(root)) texts.push_back(gtk_label_get_text(GTK_LABEL(root)));
    if (GTK_IS_CONTAINER(root)) {
        GList* children = gtk_container_get_children(GTK_CONTAINER(root));
        for (GList* child = children; child; child = child->next) {
            auto inner = labelTexts(GTK_WIDGET(child->data));
            texts.insert(texts.end(), inner.begin(), inner.end());
        }
        g_list_free(children);
    }
    return texts;
}

TEST(WaylandDesktop, TheTestsRunOnWayland) {
    ASSERT_TRUE(GDK_IS_WAYLAND_DISPLAY(gdk_display_get_default())) << "not on a Wayland display";
}

struct PortalHotKey : ::testing::Test {
    HotKeyRegistration registration;
    int presses = 0;
    int changes = 0;

    void SetUp() override {
        registration.hotKey = HotKey::create([this] { ++presses; });
        registration.onChange = [this] { ++changes; };
    }
    void TearDown() override { registration.hotKey->teardown(); }

    bool settled() const { return registration.state.kind != HotKeyState::Kind::waiting; }
};

TEST_F(PortalHotKey, TheStoredShortcutIsBoundAndEveryPressRunsTheAction) {
    ShortcutsPortal portal;
    std::string log = capturedLog([&] {
        registration.registerHotKey(Shortcut::defaultCapture);
        EXPECT_EQ(registration.state.kind, HotKeyState::Kind::waiting);
        EXPECT_TRUE(registration.hotKeyTaken) << "no key works before the desktop answered";
        ASSERT_TRUE(runUntil([&] { return settled(); }));
    });
    EXPECT_EQ(log, "");
    EXPECT_EQ(registration.state.kind, HotKeyState::Kind::working);
    EXPECT_EQ(registration.state.desktopTrigger, "CTRL+SHIFT+space");
    EXPECT_TRUE(registration.state.desktopBinds);
    EXPECT_FALSE(registration.hotKeyTaken);
    EXPECT_EQ(changes, 1);
    auto state = portal.state();
    EXPECT_EQ(state.preferred, "CTRL+SHIFT+space");
    EXPECT_EQ(state.registered, "ru.orvela.Orvela");
    EXPECT_EQ(state.sessions, 1u);

    portal.press("token-1");
    portal.press("token-2");
    EXPECT_TRUE(runUntil([&] { return presses == 2; }));

    // A new shortcut: the old session is closed, the new one bound in another.
    registration.registerHotKey(Shortcut{40, Shortcut::option | Shortcut::command});
    ASSERT_TRUE(runUntil([&] { return settled(); }));
    state = portal.state();
    EXPECT_EQ(state.binds, 2u);
    EXPECT_EQ(state.preferred, "ALT+LOGO+k");
    EXPECT_TRUE(runUntil([&] { return portal.state().sessions == 1; })) << "the first session was left open";
    portal.press();
    EXPECT_TRUE(runUntil([&] { return presses == 3; }));
    runFor(0.3);
    EXPECT_EQ(presses, 3) << "a press reached the action twice";
}

TEST_F(PortalHotKey, AFailureIsTakenAnAssignedTriggerIsFollowedAndARemovedOneIsNotWorking) {
    ShortcutsPortal portal;
    portal.fail(true);
    std::string log = capturedLog([&] {
        registration.registerHotKey(Shortcut::defaultCapture);
        ASSERT_TRUE(runUntil([&] { return settled(); }));
    });
    EXPECT_EQ(registration.state.kind, HotKeyState::Kind::taken);
    EXPECT_TRUE(registration.hotKeyTaken);
    EXPECT_EQ(log, "Orvela: capture key ⌃⇧Пробел is taken\n");
    portal.press();
    runFor(0.5);
    EXPECT_EQ(presses, 0);

    portal.fail(false);
    portal.assign("Ctrl+Alt+K");
    registration.registerHotKey(Shortcut::defaultCapture);
    ASSERT_TRUE(runUntil([&] { return settled(); }));
    EXPECT_EQ(registration.state.kind, HotKeyState::Kind::working);
    EXPECT_EQ(registration.state.desktopTrigger, "Ctrl+Alt+K");

    // The user changes the trigger in the desktop's settings, then removes it.
    int before = changes;
    portal.change("Ctrl+F1");
    ASSERT_TRUE(runUntil([&] { return changes == before + 1; }));
    EXPECT_EQ(registration.state.desktopTrigger, "Ctrl+F1");
    capturedLog([&] {
        portal.change("");
        ASSERT_TRUE(runUntil([&] { return changes == before + 2; }));
    });
    EXPECT_EQ(registration.state.kind, HotKeyState::Kind::unassigned);
    EXPECT_TRUE(registration.hotKeyTaken);
}

TEST_F(PortalHotKey, AnAnswerWithoutShortcutsIsCompletedFromTheListNeverTaken) {
    ShortcutsPortal portal({"--quiet-bind"});
    portal.assign("Ctrl+Alt+K");
    registration.registerHotKey(Shortcut::defaultCapture);
    ASSERT_TRUE(runUntil([&] { return settled(); }));
    EXPECT_EQ(registration.state.kind, HotKeyState::Kind::working);
    EXPECT_EQ(registration.state.desktopTrigger, "Ctrl+Alt+K");
}

// Plasma 5.27 binds from the session's offer and answers BindShortcuts with an
// empty list; the key works and is the one asked for.
TEST_F(PortalHotKey, PlasmaBindsTheOfferedShortcutAndItWorks) {
    ShortcutsPortal portal({"--plasma"});
    std::string log = capturedLog([&] {
        registration.registerHotKey(Shortcut::defaultCapture);
        ASSERT_TRUE(runUntil([&] { return settled(); }));
    });
    EXPECT_EQ(log, "");
    EXPECT_EQ(registration.state.kind, HotKeyState::Kind::working);
    EXPECT_EQ(registration.state.desktopTrigger, "Ctrl+Shift+Space");
    EXPECT_EQ(keyToPress(Shortcut::defaultCapture, registration.state.desktopTrigger), "Ctrl+Shift+Пробел");
    EXPECT_EQ(portal.state().binds, 0u) << "the desktop already held the key: nothing to ask";
    portal.press();
    EXPECT_TRUE(runUntil([&] { return presses == 1; }));
}

// GNOME asks the user once; what it bound is named by the next session's list,
// so a start after that asks nothing. A "no" is remembered until the user asks again.
TEST_F(PortalHotKey, GnomeAsksOnceAndADeclinedKeyIsNotAskedForAgainUntilTheUserWantsIt) {
    ShortcutsPortal portal({"--gnome"});
    DefaultsStore defaults{Harness::shared().home() / "declined-settings.json"};
    registration.remembered = &defaults;
    portal.refuse(true);
    capturedLog([&] {
        registration.registerHotKey(Shortcut::defaultCapture);
        ASSERT_TRUE(runUntil([&] { return settled(); }));
    });
    EXPECT_EQ(registration.state.kind, HotKeyState::Kind::declined);
    EXPECT_TRUE(DefaultsStore(Harness::shared().home() / "declined-settings.json").boolForKey(HotKeyRegistration::declinedKey))
        << "the refusal is not on disk";
    EXPECT_EQ(portal.state().binds, 1u);

    // The next start: the desktop is not asked.
    portal.refuse(false);
    capturedLog([&] {
        registration.registerHotKey(Shortcut::defaultCapture);
        ASSERT_TRUE(runUntil([&] { return settled(); }));
    });
    EXPECT_EQ(registration.state.kind, HotKeyState::Kind::declined);
    EXPECT_EQ(portal.state().binds, 1u) << "the desktop asked the user again";

    registration.askAgain();
    ASSERT_TRUE(runUntil([&] { return settled(); }));
    EXPECT_EQ(registration.state.kind, HotKeyState::Kind::working);
    EXPECT_EQ(registration.state.desktopTrigger, "Press <Shift><Control>space");
    EXPECT_EQ(keyToPress(Shortcut::defaultCapture, registration.state.desktopTrigger), "Ctrl+Shift+Пробел");
    EXPECT_FALSE(defaults.boolForKey(HotKeyRegistration::declinedKey));
    EXPECT_EQ(portal.state().binds, 2u);

    registration.registerHotKey(Shortcut::defaultCapture);
    ASSERT_TRUE(runUntil([&] { return settled(); }));
    EXPECT_EQ(registration.state.kind, HotKeyState::Kind::working);
    EXPECT_EQ(portal.state().binds, 2u) << "GNOME's question came back for a key it holds";
    portal.press();
    EXPECT_TRUE(runUntil([&] { return presses == 1; }));
}

TEST_F(PortalHotKey, ASessionTheDesktopEndsOrAPortalRestartIsBoundAgain) {
    auto portal = std::make_unique<ShortcutsPortal>();
    registration.registerHotKey(Shortcut::defaultCapture);
    ASSERT_TRUE(runUntil([&] { return registration.state.kind == HotKeyState::Kind::working; }));

    portal->closeSessions();
    EXPECT_TRUE(runUntil([&] { return registration.state.kind == HotKeyState::Kind::waiting; }))
        << "a dead key still shown as working";
    ASSERT_TRUE(runUntil([&] { return registration.state.kind == HotKeyState::Kind::working; }, 10));
    EXPECT_EQ(portal->state().sessions, 1u);
    portal->press();
    EXPECT_TRUE(runUntil([&] { return presses == 1; }));

    // A new portal knows no session and no registration of ours.
    portal.reset();
    EXPECT_TRUE(runUntil([&] { return registration.state.kind == HotKeyState::Kind::waiting; }))
        << "the key of a portal that went away still shown as working";
    portal = std::make_unique<ShortcutsPortal>();
    ASSERT_TRUE(runUntil([&] { return registration.state.kind == HotKeyState::Kind::working; }, 10));
    EXPECT_EQ(portal->state().registered, "ru.orvela.Orvela");
    portal->press();
    EXPECT_TRUE(runUntil([&] { return presses == 2; }));
}

// The portal ties a connection to an application id at its first call: the
// colour scheme is read only after the application registered.
TEST_F(PortalHotKey, TheApplicationRegistersBeforeItsFirstPortalCall) {
    ShortcutsPortal portal({"--gnome"});
    std::string log = capturedLog([&] {
        ColorScheme::follow();
        registration.registerHotKey(Shortcut::defaultCapture);
        ASSERT_TRUE(runUntil([&] { return settled(); }));
    });
    EXPECT_EQ(log, "");
    EXPECT_EQ(portal.state().registered, "ru.orvela.Orvela");
    EXPECT_EQ(registration.state.kind, HotKeyState::Kind::working) << "GNOME refused a program without its id";
}

// The desktop owns the binding: the recorder records nothing, it says where the
// desktop's settings change the key, and the desktop's press meanwhile opens the panel.
TEST_F(PortalHotKey, TheRecorderLeavesTheKeyToTheDesktop) {
    ShortcutsPortal portal;
    DefaultsStore defaults{Harness::shared().home() / "rebind-settings.json"};
    AppSettings settings{defaults, LoginItem(Harness::shared().home() / "autostart.desktop", "/usr/bin/orvela")};
    auto subscription = settings.captureShortcut.subscribe([&](const Shortcut& shortcut) {
        registration.registerHotKey(shortcut);
    });
    ASSERT_TRUE(runUntil([&] { return registration.state.kind == HotKeyState::Kind::working; }));

    auto view = SettingsView::create(settings, registration.state, [] {});
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_container_add(GTK_CONTAINER(window), view->widget());
    gtk_widget_show_all(window);
    view->recorder().start();
    EXPECT_FALSE(view->recorder().recording());
    EXPECT_TRUE(view->recorder().pointsToDesktopSettings()) << "the recorder did not say where the key is changed";
    portal.press();
    EXPECT_TRUE(runUntil([&] { return presses == 1; }));
    EXPECT_EQ(settings.captureShortcut.get(), Shortcut::defaultCapture);
    EXPECT_EQ(portal.state().binds, 1u);
    gtk_widget_destroy(window);
}

TEST_F(PortalHotKey, WhereTheDesktopHasADialogForTheKeyTheRecorderOpensIt) {
    ShortcutsPortal portal({"--version", "2"});
    registration.registerHotKey(Shortcut::defaultCapture);
    ASSERT_TRUE(runUntil([&] { return registration.state.kind == HotKeyState::Kind::working; }));
    DefaultsStore defaults{Harness::shared().home() / "configure-settings.json"};
    AppSettings settings{defaults, LoginItem(Harness::shared().home() / "autostart.desktop", "/usr/bin/orvela")};
    auto view = SettingsView::create(settings, registration.state, [] {});
    view->recorder().start();
    EXPECT_FALSE(view->recorder().recording());
    EXPECT_TRUE(runUntil([&] { return portal.configured() == 1; }));
    // The user picks another key in the desktop's dialog.
    portal.change("Ctrl+Alt+J");
    EXPECT_TRUE(runUntil([&] { return registration.state.desktopTrigger == "Ctrl+Alt+J"; }));
    EXPECT_EQ(registration.state.kind, HotKeyState::Kind::working);
}

TEST_F(PortalHotKey, WithoutThePortalTheSettingsShowTheWayOut) {
    std::string log = capturedLog([&] {
        registration.registerHotKey(Shortcut::defaultCapture);
        ASSERT_TRUE(runUntil([&] { return settled(); }, 15));
    });
    EXPECT_EQ(registration.state.kind, HotKeyState::Kind::unsupported);
    EXPECT_EQ(log, "Orvela: capture key ⌃⇧Пробел is taken\n");

    DefaultsStore defaults{Harness::shared().home() / "wayland-settings.json"};
    AppSettings settings{defaults, LoginItem(Harness::shared().home() / "autostart.desktop", "/usr/bin/orvela")};
    auto view = SettingsView::create(settings, registration.state, [] {});
    auto texts = labelTexts(view->widget());
    EXPECT_NE(std::find(texts.begin(), texts.end(), "orvela orvela://capture"), texts.end());
    EXPECT_EQ(std::find(texts.begin(), texts.end(), "Это сочетание уже занято другой программой — выберите другое."),
              texts.end());
}

// The colour of one pixel of a picture, as 0xRRGGBB.
uint32_t pixel(GdkPixbuf* picture, int x, int y) {
    const guchar* p = gdk_pixbuf_get_pixels(picture) + y * gdk_pixbuf_get_rowstride(picture) +
                      x * gdk_pixbuf_get_n_channels(picture);
    return (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
}

TEST(WaylandPanel, ALayerSurfaceCentredAt68PercentWithRoundCornersAndNoFrame) {
    auto panel = CapturePanel::create();
    ASSERT_TRUE(KeyPanel::onLayer(GTK_WIDGET(panel->window()))) << "sway offers layer surfaces";
    panel->show();
    ASSERT_TRUE(runUntil([&] { return gtk_widget_get_mapped(GTK_WIDGET(panel->window())); }));
    // The keyboard is the panel's: what is typed lands in its field.
    wtype({"on wayland"});
    EXPECT_TRUE(runUntil([&] { return panel->model().text.get() == "on wayland"; }))
        << "typed into the panel: \"" << panel->model().text.get() << "\"";

    runFor(0.5);
    auto file = Harness::shared().home() / "wayland-panel.png";
    ASSERT_EQ(runProgram({"grim", file.string()}).status, 0);
    GError* error = nullptr;
    GdkPixbuf* picture = gdk_pixbuf_new_from_file(file.c_str(), &error);
    ASSERT_TRUE(picture) << (error ? error->message : "");
    int width = gdk_pixbuf_get_width(picture), height = gdk_pixbuf_get_height(picture);
    int panelWidth = gtk_widget_get_allocated_width(GTK_WIDGET(panel->window()));
    int panelHeight = gtk_widget_get_allocated_height(GTK_WIDGET(panel->window()));
    int left = (width - panelWidth) / 2;
    int top = static_cast<int>(0.32 * height - 0.5 * panelHeight);
    uint32_t behind = pixel(picture, 5, height - 5);
    // The card where it should be, nothing but the desktop around it and in its corners.
    EXPECT_NE(pixel(picture, width / 2, top + panelHeight / 2), behind);
    EXPECT_NE(pixel(picture, left + 20, top + 20), behind);
    for (auto [x, y] : {std::pair{left + 1, top + 1}, std::pair{left + panelWidth - 2, top + panelHeight - 2},
                        std::pair{left - 3, top + panelHeight / 2}, std::pair{width / 2, top - 3},
                        std::pair{width / 2, top + panelHeight + 2}})
        EXPECT_EQ(pixel(picture, x, y), behind) << "at " << x << "," << y;
    g_object_unref(picture);

    wtype({"-k", "Escape"});
    EXPECT_TRUE(runUntil([&] { return !panel->isVisible(); }));
}

// Each press from the portal, with another window of the desktop in front,
// gives a panel that takes what is typed: the keyboard is the panel's while it is shown.
TEST_F(PortalHotKey, TwentyPressesInARowEachGiveAPanelThatTakesTheTypedText) {
    ShortcutsPortal portal;
    auto panel = CapturePanel::create();
    registration.hotKey->teardown();
    registration.hotKey = HotKey::create([&] {
        ++presses;
        panel->toggle();
    });
    registration.registerHotKey(Shortcut::defaultCapture);
    ASSERT_TRUE(runUntil([&] { return registration.state.kind == HotKeyState::Kind::working; }));
    GtkWidget* other = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWidget* entry = gtk_entry_new();
    gtk_container_add(GTK_CONTAINER(other), entry);
    gtk_widget_show_all(other);
    ASSERT_TRUE(runUntil([&] { return gtk_window_is_active(GTK_WINDOW(other)); })) << "the other window never had the keyboard";

    for (int round = 1; round <= 20; ++round) {
        panel->model().text.set("");
        portal.press();
        ASSERT_TRUE(runUntil([&] { return gtk_widget_get_mapped(GTK_WIDGET(panel->window())); })) << "round " << round;
        std::string typed = "r" + std::to_string(round);
        wtype({typed});
        ASSERT_TRUE(runUntil([&] { return panel->model().text.get() == typed; }))
            << "round " << round << ": the panel holds \"" << panel->model().text.get() << "\", the other window \""
            << gtk_entry_get_text(GTK_ENTRY(entry)) << "\"";
        wtype({"-k", "Escape"});
        ASSERT_TRUE(runUntil([&] { return !panel->isVisible(); })) << "round " << round;
    }
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(entry)), "") << "keys meant for the panel reached the window behind";
    gtk_widget_destroy(other);
}

// The orvela executable on sway, the capture key coming from the portal.
struct WaylandApplication : ApplicationTest {
    ShortcutsPortal portal;

    // Started, its page loaded, the capture key bound with the stored shortcut.
    void startBound(Application& app, uint32_t binds = 1) {
        (void)app;
        ASSERT_TRUE(runUntil([&] { return portal.state().binds == binds; }, 20)) << "the capture key was never bound";
    }
};

TEST_F(WaylandApplication, APressFromThePortalOpensThePanelAndTheTypedTextReachesThePage) {
    size_t loads = traced("loaded").size();
    Application app;
    ASSERT_TRUE(waitForPage(loads));
    startBound(app);
    EXPECT_EQ(portal.state().preferred, "CTRL+SHIFT+space");
    EXPECT_EQ(portal.state().registered, "ru.orvela.Orvela");

    portal.press("activation-1");
    runFor(1);
    wtype({"from wayland"});
    wtype({"-k", "Return"});
    EXPECT_TRUE(runUntil([] { return inboxHas("from wayland"); })) << "the inbox holds " << site()["inbox"].dump();
}

// Plasma's own portal as Debian 12 ships it (xdg-desktop-portal 1.16, its KDE
// backend and kglobalaccel), the orvela executable bound through it and a key
// pressed the way kglobalaccel reports one.
struct PlasmaPortalApplication : ApplicationTest {
    std::unique_ptr<Background> portal;

    void SetUp() override {
        ApplicationTest::SetUp();
        auto bindings = Harness::shared().home() / "plasma";
        std::filesystem::create_directories(bindings);
        portal = std::make_unique<Background>(
            std::vector<std::string>{ORVELA_TEST_TOOLS "/kde-portal", "--home", bindings.string()});
        ASSERT_TRUE(runUntil([] {
            return runProgram({"gdbus", "call", "--session", "-d", "org.freedesktop.portal.Desktop", "-o",
                               "/org/freedesktop/portal/desktop", "-m", "org.freedesktop.DBus.Properties.Get",
                               "org.freedesktop.portal.GlobalShortcuts", "version"})
                       .status == 0;
        }, 30)) << "Plasma's portal did not start";
    }
    void TearDown() override {
        portal.reset();
        runUntil([] { return !busNameOwned("org.freedesktop.portal.Desktop"); }, 10);
    }

    static bool busNameOwned(const std::string& name) {
        return runProgram({"gdbus", "call", "--session", "-d", "org.freedesktop.DBus", "-o", "/org/freedesktop/DBus", "-m",
                           "org.freedesktop.DBus.NameHasOwner", name})
                   .out.find("true") != std::string::npos;
    }

    // The user presses the key Plasma bound for the application.
    static bool pressThroughPlasma() {
        return runProgram({"gdbus", "call", "--session", "-d", "org.kde.kglobalaccel", "-o", "/component/orvela_capture",
                           "-m", "org.kde.kglobalaccel.Component.invokeShortcut", "capture"})
                   .status == 0;
    }

    static std::string portalOwner() {
        return runProgram({"gdbus", "call", "--session", "-d", "org.freedesktop.DBus", "-o", "/org/freedesktop/DBus",
                           "-m", "org.freedesktop.DBus.GetNameOwner", "org.freedesktop.portal.Desktop"})
            .out;
    }

    // The user presses Plasma's key for the application and types the text.
    void captureThroughPlasma(const std::string& text) {
        ASSERT_TRUE(runUntil(pressThroughPlasma, 20)) << "Plasma holds no capture key for the application";
        runFor(1);
        wtype({text});
        wtype({"-k", "Return"});
        EXPECT_TRUE(runUntil([&] { return inboxHas(text); })) << "the inbox holds " << site()["inbox"].dump();
        runFor(1.2);
    }
};

// Plasma's back end outlives its front end and keeps the old session, so the
// application binds again from a new connection after the restart.
TEST_F(PlasmaPortalApplication, TheKeyWorksFromACleanStateAfterAPortalRestartAndAfterARestartWithNothingTaken) {
    ::testing::internal::CaptureStderr();
    {
        size_t loads = traced("loaded").size();
        Application app;
        ASSERT_TRUE(waitForPage(loads));
        captureThroughPlasma("first through plasma");

        std::string before = portalOwner();
        portal->signal(SIGHUP);
        ASSERT_TRUE(runUntil([&] {
            std::string now = portalOwner();
            return !now.empty() && now != before;
        }, 20)) << "the portal's front end did not come back";
        runFor(2);
        captureThroughPlasma("after the portal restarted");
    }
    size_t loads = traced("loaded").size();
    Application app;
    ASSERT_TRUE(waitForPage(loads));
    captureThroughPlasma("after the application restarted");
    app.end(SIGTERM);
    std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(log.find("is taken"), std::string::npos) << log;
    EXPECT_EQ(log.find("portal registry"), std::string::npos) << log;
}

}  // namespace
}  // namespace orvela
