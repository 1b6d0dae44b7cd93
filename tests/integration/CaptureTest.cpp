// GoogleTest comes first: X11's headers define macros such as None.
#include <gtest/gtest.h>

#include "capture/CapturePanel.h"
#include "capture/HotKeyRegistration.h"
#include "capture/KeyPositions.h"
#include "platform/ActiveWindow.h"
#include "tests/integration/Harness.h"

#include <X11/XKBlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/Xlib.h>
#include <chrono>
#include <csignal>
#include <memory>
#include <optional>
#include <sstream>
#include <gdk/gdkx.h>
#include <sys/wait.h>

namespace orvela {
namespace {

using testing::runFor;
using testing::runUntil;

void xdotool(std::vector<std::string> arguments) { ASSERT_EQ(testing::xdotool(std::move(arguments)), 0); }

void pressHotKey() { xdotool({"key", "--clearmodifiers", "ctrl+shift+space"}); }

std::string capturedLog(const std::function<void()>& work) {
    ::testing::internal::CaptureStderr();
    work();
    return ::testing::internal::GetCapturedStderr();
}

// Another program on the display: a separate connection to the X server.
struct OtherClient {
    Display* display = XOpenDisplay(nullptr);
    ~OtherClient() { XCloseDisplay(display); }
    void grab(unsigned keycode, unsigned modifiers) {
        XGrabKey(display, static_cast<int>(keycode), modifiers, DefaultRootWindow(display), False, GrabModeAsync, GrabModeAsync);
        XSync(display, False);
    }
    // As the GNOME and Cinnamon window managers grab their keys.
    void grabThroughXInput2(unsigned keycode, unsigned modifiers) {
        int major = 2, minor = 2;
        XIQueryVersion(display, &major, &minor);
        unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
        XISetMask(bits, XI_KeyPress);
        XIEventMask mask{XIAllMasterDevices, sizeof bits, bits};
        XIGrabModifiers grabbed{static_cast<int>(modifiers), 0};
        XIGrabKeycode(display, XIAllMasterDevices, static_cast<int>(keycode), DefaultRootWindow(display), XIGrabModeAsync,
                      XIGrabModeAsync, False, &mask, 1, &grabbed);
        XSync(display, False);
    }
};

// Another program that keeps trying to grab a combination for three seconds, in
// a process of its own; whether it ever got it.
struct Contender {
    pid_t pid = ::fork();
    Contender(unsigned keycode, unsigned modifiers) {
        if (pid != 0) return;
        Display* display = XOpenDisplay(nullptr);
        static bool refused = false;
        XSetErrorHandler([](Display*, XErrorEvent*) {
            refused = true;
            return 0;
        });
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (display && std::chrono::steady_clock::now() < end) {
            refused = false;
            XGrabKey(display, static_cast<int>(keycode), modifiers, DefaultRootWindow(display), False, GrabModeAsync,
                     GrabModeAsync);
            XSync(display, False);
            if (!refused) ::_exit(1);
        }
        ::_exit(0);
    }
    bool gotIt() {
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 1;
    }
};

// Runs a shell command while the main loop goes on; its exit status.
int runBeside(const std::string& command) {
    const char* argv[] = {"sh", "-c", command.c_str(), nullptr};
    GPid pid = 0;
    if (!g_spawn_async(nullptr, const_cast<char**>(argv), nullptr, GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD),
                       nullptr, nullptr, &pid, nullptr))
        return -1;
    // Shared with the watch, which may outlive a command that never ends.
    auto status = std::make_shared<std::optional<int>>();
    g_child_watch_add_full(
        G_PRIORITY_DEFAULT, pid,
        [](GPid child, int wait, gpointer data) {
            g_spawn_close_pid(child);
            **static_cast<std::shared_ptr<std::optional<int>>*>(data) = g_spawn_check_wait_status(wait, nullptr) ? 0 : 1;
        },
        new std::shared_ptr<std::optional<int>>(status),
        [](gpointer data) { delete static_cast<std::shared_ptr<std::optional<int>>*>(data); });
    runUntil([&] { return status->has_value(); });
    return status->value_or(-1);
}

// A window of another program, active in front, as xmessage shows it.
struct DummyWindow {
    GPid pid = 0;
    unsigned long window = 0;
    DummyWindow() {
        const char* argv[] = {"xmessage", "-name", "orvela-dummy", "-geometry", "+40+40", "Другая программа", nullptr};
        g_spawn_async(nullptr, const_cast<char**>(argv), nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr, &pid, nullptr);
        runUntil([&] {
            gchar* out = nullptr;
            const char* search[] = {"xdotool", "search", "--onlyvisible", "--classname", "orvela-dummy", nullptr};
            g_spawn_sync(nullptr, const_cast<char**>(search), nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr, &out,
                         nullptr, nullptr, nullptr);
            window = out ? std::strtoul(out, nullptr, 10) : 0;
            g_free(out);
            return window != 0;
        });
        xdotool({"windowactivate", "--sync", std::to_string(window)});
    }
    ~DummyWindow() {
        if (pid) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
    }
};

unsigned long activeWindow() {
    Display* display = GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
    Atom type;
    int format;
    unsigned long count, remaining;
    unsigned char* data = nullptr;
    XGetWindowProperty(display, DefaultRootWindow(display), XInternAtom(display, "_NET_ACTIVE_WINDOW", False), 0, 1,
                       False, AnyPropertyType, &type, &format, &count, &remaining, &data);
    unsigned long window = data && count ? *reinterpret_cast<unsigned long*>(data) : 0;
    if (data) XFree(data);
    return window;
}

// A window of this process in front, counting the presses of Space it gets.
struct FrontWindow {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    int spaces = 0;
    FrontWindow() {
        g_signal_connect(window, "key-press-event", G_CALLBACK(+[](GtkWidget*, GdkEventKey* event, int* spaces) {
            *spaces += event->keyval == GDK_KEY_space;
            return TRUE;
        }), &spaces);
        gtk_window_present(GTK_WINDOW(window));
        EXPECT_TRUE(runUntil([&] { return gtk_window_is_active(GTK_WINDOW(window)); }));
    }
    ~FrontWindow() { gtk_widget_destroy(window); }
};

// The X server's keyboard layout set with setxkbmap, and back as it was at the end.
struct KeyboardLayout {
    std::string before;
    explicit KeyboardLayout(const std::string& arguments) {
        gchar* query = nullptr;
        g_spawn_command_line_sync("setxkbmap -query", &query, nullptr, nullptr, nullptr);
        std::istringstream lines(query ? query : "");
        g_free(query);
        for (std::string name, value; lines >> name >> value;)
            if (name == "layout:" || name == "options:") before += " -" + name.substr(0, 6) + " " + value;
        EXPECT_EQ(runBeside("setxkbmap " + arguments), 0);
        runFor(0.3);
    }
    ~KeyboardLayout() { runBeside("setxkbmap -option ''" + before); }
};

struct HotKeys : ::testing::Test {
    HotKeyRegistration registration;
    int presses = 0;

    void SetUp() override { registration.hotKey = HotKey::create([this] { ++presses; }); }
    void TearDown() override { registration.hotKey->teardown(); }
};

TEST_F(HotKeys, AFreeCombinationRunsTheActionOncePerPressWhateverTheLocks) {
    auto log = capturedLog([&] { registration.registerHotKey(Shortcut::defaultCapture); });
    EXPECT_FALSE(registration.hotKeyTaken);
    EXPECT_EQ(log, "");

    pressHotKey();
    ASSERT_TRUE(runUntil([&] { return presses == 1; }));
    runFor(0.3);
    EXPECT_EQ(presses, 1);

    xdotool({"key", "Num_Lock"});
    pressHotKey();
    EXPECT_TRUE(runUntil([&] { return presses == 2; }));
    xdotool({"key", "Num_Lock"});

    pressHotKey();
    pressHotKey();
    EXPECT_TRUE(runUntil([&] { return presses == 4; }));
}

TEST_F(HotKeys, HoldingTheKeyDownIsOnePress) {
    registration.registerHotKey(Shortcut::defaultCapture);
    ASSERT_FALSE(registration.hotKeyTaken);
    // Held for a second and a half: the X server repeats the key meanwhile.
    xdotool({"keydown", "--clearmodifiers", "ctrl+shift+space"});
    runFor(1.5);
    xdotool({"keyup", "ctrl+shift+space"});
    ASSERT_TRUE(runUntil([&] { return presses == 1; }));
    runFor(0.3);
    EXPECT_EQ(presses, 1) << "every repeat toggled the panel";
    pressHotKey();
    EXPECT_TRUE(runUntil([&] { return presses == 2; })) << "after the release the key works again";
}

TEST_F(HotKeys, TheGrabFollowsTheLockKeysToOtherModifiers) {
    registration.registerHotKey(Shortcut::defaultCapture);
    // A keyboard setting moves Num Lock from Mod2 to Mod3.
    ASSERT_EQ(std::system("xmodmap -e 'clear mod2' -e 'add mod3 = Num_Lock'"), 0);
    runFor(0.5);
    xdotool({"key", "Num_Lock"});
    pressHotKey();
    EXPECT_TRUE(runUntil([&] { return presses == 1; })) << "with Num Lock on Mod3 the key no longer works";
    EXPECT_FALSE(registration.hotKeyTaken);
    xdotool({"key", "Num_Lock"});
    EXPECT_EQ(std::system("xmodmap -e 'clear mod3' -e 'add mod2 = Num_Lock'"), 0);
    runFor(0.3);
}

TEST_F(HotKeys, AKeyboardChangeNeverLetsTheCombinationGo) {
    registration.registerHotKey(Shortcut::defaultCapture);
    // Another program keeps trying to take the combination while the keyboard
    // mapping changes ten times (another layout, another keyboard plugged in); a
    // grab that lapsed for a moment would go to it, or a press to the window in front.
    Contender other(65, ControlMask | ShiftMask);
    for (int change = 1; change <= 10; ++change) {
        std::string keymap = change % 2 ? "F13" : "";
        ASSERT_EQ(runBeside("xmodmap -e 'keycode 191 = " + keymap + "'"), 0);
        runFor(0.1);
    }
    EXPECT_FALSE(other.gotIt());
    EXPECT_FALSE(registration.hotKeyTaken);
    pressHotKey();
    EXPECT_TRUE(runUntil([&] { return presses == 1; }));
}

TEST_F(HotKeys, AKeyWithoutAPositionIsGrabbedByItsKeycode) {
    // F13 where Linux puts it (the virtual X server's keymap has none of its own).
    const unsigned f13 = 191;
    ASSERT_EQ(std::system("xmodmap -e 'keycode 191 = F13'"), 0);
    runFor(0.3);
    auto shortcut = Shortcut{*KeyPositions::keyCodeOfX11(f13), Shortcut::control};
    EXPECT_EQ(shortcut.displayForUser(), "Ctrl+F13");
    registration.registerHotKey(shortcut);
    ASSERT_FALSE(registration.hotKeyTaken);
    xdotool({"key", "--clearmodifiers", "ctrl+F13"});
    EXPECT_TRUE(runUntil([&] { return presses == 1; }));
    EXPECT_EQ(std::system("xmodmap -e 'keycode 191 ='"), 0);
}

TEST_F(HotKeys, TheCombinationWorksWhateverKeyboardLayoutIsActive) {
    ASSERT_TRUE(g_spawn_command_line_sync("setxkbmap -layout us,ru", nullptr, nullptr, nullptr, nullptr));
    registration.registerHotKey(Shortcut::defaultCapture);
    Display* display = GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
    XkbLockGroup(display, XkbUseCoreKbd, 1);
    XSync(display, False);
    XkbStateRec state;
    XkbGetState(display, XkbUseCoreKbd, &state);
    ASSERT_EQ(state.group, 1);
    pressHotKey();
    EXPECT_TRUE(runUntil([&] { return presses == 1; }));
    XkbLockGroup(display, XkbUseCoreKbd, 0);
    XSync(display, False);
}

TEST_F(HotKeys, WhereCtrlShiftSwitchesTheLayoutTheCombinationWorksInEitherOrderAndCtrlSpaceStaysTheWindows) {
    KeyboardLayout layout("-layout us,ru -option grp:ctrl_shift_toggle");
    FrontWindow front;
    registration.registerHotKey(Shortcut::defaultCapture);
    EXPECT_FALSE(registration.hotKeyTaken);
    // Ctrl first: Shift switches the layout instead, and Space comes with Ctrl alone.
    pressHotKey();
    ASSERT_TRUE(runUntil([&] { return presses == 1; }));
    // Shift first: Ctrl switches it, and Space comes with Shift alone. Held down, it is one press.
    xdotool({"keydown", "shift", "keydown", "ctrl", "keydown", "space"});
    runFor(1.2);
    xdotool({"keyup", "space", "keyup", "ctrl", "keyup", "shift"});
    EXPECT_TRUE(runUntil([&] { return presses == 2; }));
    runFor(0.3);
    EXPECT_EQ(presses, 2);
    EXPECT_EQ(front.spaces, 0) << "the combination reached the window in front as well";
    // Without the switch key down they are the window's own, not the capture key.
    xdotool({"key", "ctrl+space", "shift+space"});
    EXPECT_TRUE(runUntil([&] { return front.spaces == 2; })) << "the window got " << front.spaces;
    runFor(0.3);
    EXPECT_EQ(presses, 2);
}

TEST_F(HotKeys, WhereTheLayoutSwitchMakesItACombinationAnotherProgramHoldsItDoesNotWorkUntilTheSwitchGoes) {
    OtherClient inputMethod;
    inputMethod.grab(65, ControlMask);  // Ctrl+Space
    std::optional<KeyboardLayout> layout(std::in_place, "-layout us,ru -option grp:ctrl_shift_toggle");
    registration.registerHotKey(Shortcut::defaultCapture);
    EXPECT_EQ(registration.state.kind, HotKeyState::Kind::layoutSwitch);
    layout.reset();
    EXPECT_TRUE(runUntil([&] { return !registration.hotKeyTaken; }));
    pressHotKey();
    EXPECT_TRUE(runUntil([&] { return presses == 1; }));
}

TEST_F(HotKeys, ACombinationHeldByAnotherProgramIsTaken) {
    OtherClient other;
    other.grab(65, ControlMask | ShiftMask);  // Ctrl+Shift+Space
    auto log = capturedLog([&] { registration.registerHotKey(Shortcut::defaultCapture); });
    EXPECT_TRUE(registration.hotKeyTaken);
    EXPECT_EQ(log, "Orvela: capture key ⌃⇧Пробел is taken\n");
    EXPECT_FALSE(registration.hotKey->registered());

    // Another combination is free, and the old one is released first.
    registration.registerHotKey(Shortcut{40, Shortcut::option | Shortcut::command});
    EXPECT_FALSE(registration.hotKeyTaken);
    xdotool({"key", "--clearmodifiers", "alt+super+k"});
    EXPECT_TRUE(runUntil([&] { return presses == 1; }));
}

TEST_F(HotKeys, ACombinationAnotherProgramHoldsThroughXInput2IsTaken) {
    OtherClient other;
    other.grabThroughXInput2(65, ControlMask | ShiftMask);
    auto log = capturedLog([&] { registration.registerHotKey(Shortcut::defaultCapture); });
    EXPECT_TRUE(registration.hotKeyTaken);
    EXPECT_EQ(log, "Orvela: capture key ⌃⇧Пробел is taken\n");
    EXPECT_FALSE(registration.hotKey->registered());
    // Looking did not take the other program's grab away.
    capturedLog([&] { registration.registerHotKey(Shortcut::defaultCapture); });
    EXPECT_TRUE(registration.hotKeyTaken);

    registration.registerHotKey(Shortcut{40, Shortcut::option | Shortcut::command});
    EXPECT_FALSE(registration.hotKeyTaken);
}

TEST_F(HotKeys, ACombinationWithoutControlAltOrSuperIsNeverRegistered) {
    auto log = capturedLog([&] { registration.registerHotKey(Shortcut{122, Shortcut::shift}); });
    EXPECT_TRUE(registration.hotKeyTaken);
    EXPECT_EQ(log, "Orvela: capture key ⇧F1 is taken\n");
    HotKeyRegistration withoutHotKey;
    log = capturedLog([&] { withoutHotKey.registerHotKey(Shortcut::defaultCapture); });
    EXPECT_TRUE(withoutHotKey.hotKeyTaken);
    EXPECT_EQ(log, "Orvela: capture key ⌃⇧Пробел is taken\n");
}

struct Panel : ::testing::Test {
    std::shared_ptr<CapturePanel> panel = CapturePanel::create();
    std::shared_ptr<HotKey> hotKey;
    std::vector<std::string> saved;
    CaptureHost::Done pendingDone;

    void SetUp() override {
        std::weak_ptr<CapturePanel> weak = panel;
        hotKey = HotKey::create([weak] {
            if (auto strong = weak.lock()) strong->toggle();
        });
        ASSERT_EQ(hotKey->registerShortcut(Shortcut::defaultCapture).kind, HotKeyState::Kind::working);
        panel->onSave = [this](const std::string& text, CaptureHost::Done done) {
            saved.push_back(text);
            pendingDone = std::move(done);
        };
    }
    void TearDown() override { hotKey->teardown(); }

    bool focusedInField() {
        return gtk_window_is_active(panel->window()) && gtk_widget_has_focus(GTK_WIDGET(panel->view().field()));
    }
    void openWithHotKey() {
        pressHotKey();
        ASSERT_TRUE(runUntil([&] { return panel->isVisible() && focusedInField(); }))
            << "visible " << panel->isVisible() << ", active " << gtk_window_is_active(panel->window())
            << ", field focused " << gtk_widget_has_focus(GTK_WIDGET(panel->view().field()));
    }
};

TEST_F(Panel, OpensOverAnotherProgramTakesTextAndHandsTheKeyboardBack) {
    DummyWindow dummy;
    ASSERT_EQ(activeWindow(), dummy.window);
    openWithHotKey();
    xdotool({"type", "--delay", "20", "hello"});
    EXPECT_TRUE(runUntil([&] { return panel->model().text.get() == "hello"; }));

    xdotool({"key", "Escape"});
    EXPECT_TRUE(runUntil([&] { return !panel->isVisible() && activeWindow() == dummy.window; }));
    EXPECT_EQ(panel->model().text.get(), "hello");

    // Back again: the text is still there, and the hot key hides it again.
    openWithHotKey();
    EXPECT_EQ(panel->model().text.get(), "hello");
    pressHotKey();
    EXPECT_TRUE(runUntil([&] { return !panel->isVisible() && activeWindow() == dummy.window; }));
}

TEST_F(Panel, ReturnSavesOnceAltReturnStartsANewLine) {
    openWithHotKey();
    EXPECT_FALSE(gtk_widget_get_sensitive(panel->view().saveButton()));
    xdotool({"type", "  "});
    runFor(0.2);
    EXPECT_FALSE(gtk_widget_get_sensitive(panel->view().saveButton()));
    xdotool({"type", "milk"});
    xdotool({"key", "alt+Return"});
    xdotool({"type", "bread"});
    EXPECT_TRUE(runUntil([&] { return panel->model().text.get() == "  milk\nbread"; }));
    EXPECT_TRUE(gtk_widget_get_sensitive(panel->view().saveButton()));

    xdotool({"key", "Return", "Return"});
    ASSERT_TRUE(runUntil([&] { return saved.size() == 1; }));
    runFor(0.3);
    EXPECT_EQ(saved, std::vector<std::string>{"  milk\nbread"});
    EXPECT_FALSE(gtk_widget_get_sensitive(panel->view().saveButton()));

    pendingDone(CaptureOutcome::failed);
    EXPECT_EQ(panel->model().text.get(), "  milk\nbread");
    EXPECT_EQ(panel->model().flash.get(), "Не получилось сохранить — попробуйте ещё раз");
    runFor(1.2);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_TRUE(runUntil([&] { return focusedInField(); }));

    xdotool({"key", "Return"});
    ASSERT_TRUE(runUntil([&] { return saved.size() == 2; }));
    pendingDone(CaptureOutcome::saved);
    EXPECT_EQ(panel->model().text.get(), "");
    EXPECT_EQ(panel->model().flash.get(), "Во «Входящих»");
    EXPECT_TRUE(panel->isVisible());
    EXPECT_TRUE(runUntil([&] { return !panel->isVisible(); }, 3));
}

TEST_F(Panel, ReturnWhileTheInputMethodComposesIsTheInputMethods) {
    openWithHotKey();
    xdotool({"type", "--delay", "20", "cafe"});
    // A dead key begins a composition in GTK's own input method.
    ASSERT_EQ(std::system("xmodmap -e 'keycode 192 = dead_acute'"), 0);
    runFor(0.3);
    xdotool({"key", "dead_acute"});
    xdotool({"key", "Return"});
    runFor(0.5);
    EXPECT_TRUE(saved.empty()) << "Return went to the panel while a composition was open: " << saved.front();
    xdotool({"key", "Return"});
    EXPECT_TRUE(runUntil([&] { return saved.size() == 1; }));
    EXPECT_EQ(std::system("xmodmap -e 'keycode 192 ='"), 0);
}

TEST_F(Panel, ItsBackgroundMovesIt) {
    openWithHotKey();
    runFor(0.3);
    int x = 0, y = 0;
    gtk_window_get_position(panel->window(), &x, &y);
    // The header's left end, beside the title: background, not a control.
    xdotool({"mousemove", std::to_string(x + 8), std::to_string(y + 8)});
    xdotool({"mousedown", "1"});
    for (int step = 1; step <= 5; ++step) {
        xdotool({"mousemove", std::to_string(x + 8 + step * 30), std::to_string(y + 8 + step * 16)});
        runFor(0.05);
    }
    xdotool({"mouseup", "1"});
    EXPECT_TRUE(runUntil([&] {
        int movedX = 0, movedY = 0;
        gtk_window_get_position(panel->window(), &movedX, &movedY);
        return std::abs(movedX - x - 150) <= 4 && std::abs(movedY - y - 80) <= 4;
    })) << "the panel stayed where it was";
    EXPECT_TRUE(panel->isVisible());
}

// Run on a screen of two monitors, 1280 × 1024 each, side by side.
TEST(Placement, ThePanelOpensOnTheMonitorUnderThePointerAt68PercentOfItsHeight) {
    GdkDisplay* display = gdk_display_get_default();
    ASSERT_EQ(gdk_display_get_n_monitors(display), 2);
    auto panel = CapturePanel::create();
    auto centre = [&] {
        int x = 0, y = 0, width = 0, height = 0;
        gtk_window_get_position(panel->window(), &x, &y);
        gtk_window_get_size(panel->window(), &width, &height);
        return std::pair{x + width / 2, y + height / 2};
    };
    for (int pointerX : {1900, 300}) {
        xdotool({"mousemove", std::to_string(pointerX), "500"});
        panel->show();
        ASSERT_TRUE(runUntil([&] { return gtk_widget_get_mapped(GTK_WIDGET(panel->window())); }));
        runFor(0.3);
        auto [x, y] = centre();
        EXPECT_NEAR(x, pointerX > 1280 ? 1280 + 640 : 640, 2);
        // 68 % of the height from the bottom is 32 % from the top.
        EXPECT_NEAR(y, 0.32 * 1024, 2);
        panel->hide();
    }
}

}  // namespace
}  // namespace orvela
