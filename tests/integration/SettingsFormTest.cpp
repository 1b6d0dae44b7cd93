// The settings form and its shortcut recorder in a real window, with key presses
// sent through the X server.
#include "platform/Activation.h"
#include "settings/SettingsView.h"
#include "tests/integration/Harness.h"

#include <gtest/gtest.h>
// After the test framework: Xlib's macros (None, Bool) would break its names.
#include <gdk/gdkx.h>

namespace orvela {
namespace {

using testing::Harness;
using testing::xdotool;
using testing::runFor;
using testing::runUntil;

void collect(GtkWidget* widget, std::vector<GtkWidget*>& found, GType type) {
    if (G_TYPE_CHECK_INSTANCE_TYPE(widget, type)) found.push_back(widget);
    if (GTK_IS_CONTAINER(widget)) {
        GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
        for (GList* child = children; child; child = child->next) collect(GTK_WIDGET(child->data), found, type);
        g_list_free(children);
    }
}

std::vector<GtkWidget*> widgetsOf(GtkWidget* root, GType type) {
    std::vector<GtkWidget*> found;
    collect(root, found, type);
    return found;
}

std::vector<std::string> texts(GtkWidget* root) {
    std::vector<std::string> found;
    for (GtkWidget* label : widgetsOf(root, GTK_TYPE_LABEL)) found.push_back(gtk_label_get_text(GTK_LABEL(label)));
    return found;
}

bool contains(const std::vector<std::string>& texts, const std::string& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

struct SettingsForm : ::testing::Test {
    std::filesystem::path autostart = Harness::shared().home() / ".config/autostart/ru.orvela.Orvela.desktop";
    DefaultsStore defaults{Harness::shared().home() / "settings-test.json"};
    AppSettings settings{defaults, LoginItem(autostart, "/usr/bin/orvela")};
    int siteSettingsOpened = 0;
    std::shared_ptr<SettingsView> view;
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    int beeps = 0;

    void open(bool hotKeyTaken) {
        using Kind = HotKeyState::Kind;
        view = SettingsView::create(settings, {hotKeyTaken ? Kind::taken : Kind::working, ""},
                                    [this] { ++siteSettingsOpened; });
        view->recorder().beep = [this] { ++beeps; };
        gtk_window_set_title(GTK_WINDOW(window), "Настройки");
        gtk_container_add(GTK_CONTAINER(window), view->widget());
        // As the application shows its settings window.
        Activation::present(GTK_WINDOW(window));
        ASSERT_TRUE(focused());
    }
    // The window has the keyboard, or the user clicks it to give it the keyboard.
    bool focused() {
        if (runUntil([&] { return gtk_window_is_active(GTK_WINDOW(window)); }, 3)) return true;
        runUntil([&] { return gtk_widget_get_mapped(window); }, 3);
        if (GdkWindow* surface = gtk_widget_get_window(window))
            xdotool({"windowactivate", "--sync", std::to_string(gdk_x11_window_get_xid(surface))});
        return runUntil([&] { return gtk_window_is_active(GTK_WINDOW(window)); });
    }
    void TearDown() override { gtk_widget_destroy(window); }

    static void runPendingTasks() {
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
    }

    void press(const std::string& keys) {
        xdotool({"key", "--clearmodifiers", keys});
        runFor(0.3);
    }
};

TEST_F(SettingsForm, ARecordedCombinationBecomesTheCaptureShortcut) {
    open(false);
    auto& recorder = view->recorder();
    EXPECT_EQ(recorder.title(), "Ctrl+Shift+Пробел");
    EXPECT_FALSE(recorder.resetShown());

    recorder.start();
    EXPECT_EQ(recorder.title(), "Нажмите сочетание…");
    press("k");
    press("shift+k");
    EXPECT_EQ(beeps, 2);
    EXPECT_TRUE(recorder.recording());
    EXPECT_EQ(settings.captureShortcut.get(), Shortcut::defaultCapture);

    press("ctrl+shift+k");
    EXPECT_FALSE(recorder.recording());
    EXPECT_EQ(settings.captureShortcut.get(), (Shortcut{40, 0x60000}));
    EXPECT_EQ(recorder.title(), "Ctrl+Shift+K");
    EXPECT_TRUE(recorder.resetShown());
    EXPECT_EQ(recorder.resetTooltip(), "Вернуть Ctrl+Shift+Пробел");
    // Stored for the next start too.
    EXPECT_EQ(AppSettings(defaults, LoginItem(autostart, "")).captureShortcut.get(), (Shortcut{40, 0x60000}));

    recorder.start();
    press("super+Escape");
    EXPECT_FALSE(recorder.recording());
    EXPECT_EQ(settings.captureShortcut.get(), (Shortcut{40, 0x60000}));

    GtkWidget* reset = widgetsOf(recorder.widget(), GTK_TYPE_BUTTON).back();
    gtk_button_clicked(GTK_BUTTON(reset));
    EXPECT_EQ(settings.captureShortcut.get(), Shortcut::defaultCapture);
    EXPECT_FALSE(recorder.resetShown());
}

TEST_F(SettingsForm, KeysPressedWhileRecordingReachNothingElse) {
    open(false);
    GtkWidget* field = gtk_entry_new();
    gtk_widget_show(field);
    gtk_box_pack_start(GTK_BOX(view->widget()), field, FALSE, FALSE, 0);
    gtk_widget_grab_focus(field);
    view->recorder().start();
    press("a");
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(field)), "");

    // Closing the window ends the recording; the field types again.
    gtk_widget_hide(window);
    runFor(0.2);
    EXPECT_FALSE(view->recorder().recording());
    Activation::present(GTK_WINDOW(window));
    ASSERT_TRUE(focused());
    gtk_widget_grab_focus(field);
    press("a");
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(field)), "a");
}

TEST_F(SettingsForm, TheHintOrTheWarningFollowsTheHotKey) {
    open(true);
    auto shown = texts(view->widget());
    EXPECT_TRUE(contains(shown, "Это сочетание уже занято другой программой — выберите другое."));
    EXPECT_FALSE(contains(shown, "Из любой программы откроет окошко записи во «Входящие»."));
    for (const char* text : {"Быстрая запись", "Значок в системном лотке", "Число входящих на значке приложения",
                             "Открывать при входе в систему", "Списки, разделы, учётная запись", "Версия"})
        EXPECT_TRUE(contains(shown, text)) << text;

    auto free = SettingsView::create(settings, HotKeyState{}, [] {});
    auto freeTexts = texts(free->widget());
    EXPECT_TRUE(contains(freeTexts, "Из любой программы откроет окошко записи во «Входящие»."));
    EXPECT_FALSE(contains(freeTexts, "Это сочетание уже занято другой программой — выберите другое."));
}

TEST_F(SettingsForm, ADesktopWithoutGlobalKeysOrWithAnotherAssignedKeySaysSo) {
    using Kind = HotKeyState::Kind;
    auto unsupported = SettingsView::create(settings, {Kind::unsupported, ""}, [] {});
    auto shown = texts(unsupported->widget());
    EXPECT_TRUE(contains(shown, "Этот рабочий стол не даёт программам занимать сочетания клавиш. Назначьте своё "
                                "сочетание в настройках клавиатуры рабочего стола, с командой:"));
    EXPECT_TRUE(contains(shown, "orvela orvela://capture"));
    EXPECT_FALSE(contains(shown, "Это сочетание уже занято другой программой — выберите другое."));
    EXPECT_FALSE(contains(shown, "Из любой программы откроет окошко записи во «Входящие»."));

    auto assigned = SettingsView::create(settings, {Kind::working, "Ctrl+Alt+K"}, [] {});
    EXPECT_TRUE(contains(texts(assigned->widget()), "Рабочий стол назначил вместо него «Ctrl+Alt+K»: оно из любой "
                                                    "программы откроет окошко записи во «Входящие»."));
    // The desktop's own spelling of the recorded shortcut is no other key.
    auto same = SettingsView::create(settings, {Kind::working, "Ctrl+Shift+Space"}, [] {});
    EXPECT_TRUE(contains(texts(same->widget()), "Из любой программы откроет окошко записи во «Входящие»."));
}

GtkWidget* buttonTitled(GtkWidget* root, const std::string& title) {
    for (GtkWidget* button : widgetsOf(root, GTK_TYPE_BUTTON)) {
        const char* label = gtk_button_get_label(GTK_BUTTON(button));
        if (label && title == label) return button;
    }
    return nullptr;
}

// What the user can do about a key that does not work: ask the desktop again,
// or put the key into GNOME's own settings, each only when the user clicks.
TEST_F(SettingsForm, ADeclinedKeyOffersToAskAgainAndGnomeWithoutGlobalKeysOffersItsSettings) {
    using Kind = HotKeyState::Kind;
    int asked = 0;
    int assigned = 0;
    SettingsView::KeyActions actions{[&] { ++asked; }, [&] { return ++assigned == 2; }, ""};

    auto declined = SettingsView::create(settings, {Kind::declined, ""}, [] {}, actions);
    EXPECT_TRUE(contains(texts(declined->widget()),
                         "Рабочий стол не разрешил занять это сочетание, и Orvela больше не спрашивает."));
    EXPECT_EQ(asked, 0) << "the desktop was asked again before the user wanted it";
    GtkWidget* askAgain = buttonTitled(declined->widget(), "Спросить снова");
    ASSERT_TRUE(askAgain);
    gtk_button_clicked(GTK_BUTTON(askAgain));
    EXPECT_EQ(asked, 1);

    auto gnome = SettingsView::create(settings, {Kind::unsupported, ""}, [] {}, actions);
    EXPECT_TRUE(contains(texts(gnome->widget()), "В настройках GNOME это сочетание ещё не назначено."));
    EXPECT_EQ(assigned, 0);
    GtkWidget* assign = buttonTitled(gnome->widget(), "Назначить сочетание в GNOME");
    ASSERT_TRUE(assign);
    gtk_button_clicked(GTK_BUTTON(assign));
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(assign)), "Не получилось — попробовать ещё раз")
        << "a failure looked like success";
    gtk_button_clicked(GTK_BUTTON(assign));
    EXPECT_EQ(assigned, 2);

    actions.assignedInGnome = "Ctrl+Shift+Пробел";
    auto done = SettingsView::create(settings, {Kind::unsupported, ""}, [] {}, actions);
    EXPECT_TRUE(contains(texts(done->widget()), "В настройках GNOME назначено «Ctrl+Shift+Пробел»."));
    // Elsewhere without global keys the button is not offered.
    auto sway = SettingsView::create(settings, {Kind::unsupported, ""}, [] {});
    EXPECT_FALSE(buttonTitled(sway->widget(), "Назначить сочетание в GNOME"));
}

TEST_F(SettingsForm, SwitchesWriteTheSettingsAndTheAutostartEntry) {
    open(false);
    auto switches = widgetsOf(view->widget(), GTK_TYPE_SWITCH);
    ASSERT_EQ(switches.size(), 3u);
    EXPECT_TRUE(gtk_switch_get_active(GTK_SWITCH(switches[0])));
    EXPECT_FALSE(gtk_switch_get_active(GTK_SWITCH(switches[2])));

    gtk_switch_set_active(GTK_SWITCH(switches[0]), FALSE);
    EXPECT_FALSE(settings.showMenuBarIcon.get());
    gtk_switch_set_active(GTK_SWITCH(switches[1]), FALSE);
    EXPECT_FALSE(settings.showDockBadge.get());

    gtk_switch_set_active(GTK_SWITCH(switches[2]), TRUE);
    EXPECT_TRUE(std::filesystem::exists(autostart));
    gtk_switch_set_active(GTK_SWITCH(switches[2]), FALSE);
    EXPECT_FALSE(std::filesystem::exists(autostart));

    // A change made elsewhere shows after the form's next turn.
    settings.showMenuBarIcon.set(true);
    EXPECT_TRUE(runUntil([&] { return gtk_switch_get_active(GTK_SWITCH(switches[0])); }));

    gtk_button_clicked(GTK_BUTTON(widgetsOf(view->widget(), GTK_TYPE_BUTTON).back()));
    EXPECT_EQ(siteSettingsOpened, 1);
}

TEST_F(SettingsForm, ASwitchTurnedFromTheKeyboardIsNotTurnedBackByAnotherChange) {
    g_object_set(gtk_settings_get_default(), "gtk-enable-animations", TRUE, nullptr);
    open(false);
    auto switches = widgetsOf(view->widget(), GTK_TYPE_SWITCH);
    ASSERT_EQ(switches.size(), 3u);
    // Space on a switch slides it over before it changes; another setting stored
    // meanwhile (another window, the tray) shows in the form without undoing it.
    gtk_widget_activate(switches[0]);
    settings.showDockBadge.set(false);
    EXPECT_TRUE(runUntil([&] { return !settings.showMenuBarIcon.get(); }, 2));
    EXPECT_FALSE(gtk_switch_get_active(GTK_SWITCH(switches[0])));
    EXPECT_FALSE(gtk_switch_get_active(GTK_SWITCH(switches[1])));
}

TEST_F(SettingsForm, OneShortcutListenerPerShowingGoneOnceItFiredOrTheFormClosed) {
    size_t before = settings.captureShortcut.subscriberCount();
    open(false);
    int recorded = 0;
    view->onShortcutRecorded = [&] { ++recorded; };
    size_t shown = settings.captureShortcut.subscriberCount();
    EXPECT_GT(shown, before);
    settings.captureShortcut.set(Shortcut{40, 0x60000});
    runPendingTasks();
    settings.captureShortcut.set(Shortcut{41, 0x60000});
    runPendingTasks();
    EXPECT_EQ(recorded, 1);
    EXPECT_EQ(settings.captureShortcut.subscriberCount(), shown - 1);

    // A second showing whose window is closed before anything is recorded.
    auto second = SettingsView::create(settings, HotKeyState{}, [] {});
    GtkWidget* otherWindow = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_container_add(GTK_CONTAINER(otherWindow), second->widget());
    gtk_widget_show(otherWindow);
    runUntil([&] { return gtk_widget_get_mapped(second->widget()); });
    size_t withSecond = settings.captureShortcut.subscriberCount();
    gtk_widget_hide(otherWindow);
    runPendingTasks();
    EXPECT_EQ(settings.captureShortcut.subscriberCount(), withSecond - 1);
    gtk_widget_destroy(otherWindow);
    settings.captureShortcut.set(Shortcut::defaultCapture);
}

}  // namespace
}  // namespace orvela
