// Quick capture on a Wayland desktop (sway, headless): the capture key through
// the desktop portal's global shortcuts, the panel as a layer surface, keys typed
// with wtype and pictures taken with grim.
#include "capture/CapturePanel.h"
#include "capture/HotKeyRegistration.h"
#include "capture/KeyPanel.h"
#include "capture/KeyPositions.h"
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
    EXPECT_EQ(registration.state, (HotKeyState{HotKeyState::Kind::working, "CTRL+SHIFT+space"}));
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

TEST_F(PortalHotKey, ARefusalOrAnotherAssignedTriggerIsTold) {
    ShortcutsPortal portal;
    portal.refuse(true);
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

    portal.refuse(false);
    portal.assign("Ctrl+Alt+K");
    registration.registerHotKey(Shortcut::defaultCapture);
    ASSERT_TRUE(runUntil([&] { return settled(); }));
    EXPECT_EQ(registration.state, (HotKeyState{HotKeyState::Kind::working, "Ctrl+Alt+K"}));

    // The user changes the trigger in the desktop's settings, then removes it.
    int before = changes;
    portal.change("Ctrl+F1");
    ASSERT_TRUE(runUntil([&] { return changes == before + 1; }));
    EXPECT_EQ(registration.state, (HotKeyState{HotKeyState::Kind::working, "Ctrl+F1"}));
    capturedLog([&] {
        portal.change("");
        ASSERT_TRUE(runUntil([&] { return changes == before + 2; }));
    });
    EXPECT_EQ(registration.state.kind, HotKeyState::Kind::taken);
}

TEST_F(PortalHotKey, ADesktopThatBindsWithoutNamingTheTriggerIsAskedForTheList) {
    ShortcutsPortal portal({"--quiet-bind"});
    portal.assign("Ctrl+Alt+K");
    registration.registerHotKey(Shortcut::defaultCapture);
    ASSERT_TRUE(runUntil([&] { return settled(); }));
    EXPECT_EQ(registration.state, (HotKeyState{HotKeyState::Kind::working, "Ctrl+Alt+K"}));
}

// The recorder gets its keys from the window (tested on X11); here what it
// records must reach the portal, and the desktop's press meanwhile must not open
// anything.
TEST_F(PortalHotKey, AShortcutRecordedInTheFormIsBoundAgain) {
    ShortcutsPortal portal;
    DefaultsStore defaults{Harness::shared().home() / "rebind-settings.json"};
    AppSettings settings{defaults, LoginItem(Harness::shared().home() / "autostart.desktop", "/usr/bin/orvela")};
    auto subscription = settings.captureShortcut.subscribe([&](const Shortcut& shortcut) {
        registration.registerHotKey(shortcut);
    });
    ASSERT_TRUE(runUntil([&] { return registration.state.kind == HotKeyState::Kind::working; }));

    auto view = SettingsView::create(settings, registration.state, [] {});
    view->recorder().start();
    portal.press();
    runFor(0.5);
    EXPECT_EQ(presses, 0) << "the capture key acted while a key was being recorded";
    EXPECT_FALSE(view->recorder().recording()) << "the desktop's press was not recorded";
    EXPECT_EQ(settings.captureShortcut.get(), Shortcut::defaultCapture);

    view->recorder().start();
    view->recorder().record(*KeyPositions::x11Keycode(40), KeyPositions::x11Control | KeyPositions::x11Alt);
    EXPECT_TRUE(runUntil([&] { return portal.state().preferred == "CTRL+ALT+k"; })) << portal.state().preferred;
    EXPECT_TRUE(runUntil([&] { return portal.state().sessions == 1; })) << "the old session was left open";
    ASSERT_TRUE(runUntil([&] { return registration.state.kind == HotKeyState::Kind::working; }));
    portal.press();
    EXPECT_TRUE(runUntil([&] { return presses == 1; }));
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

}  // namespace
}  // namespace orvela
