// The windows as a screen reader meets them through AT-SPI: what each control is
// called, where Tab takes the keyboard, and what is spoken when a capture ends.
#include "app/UpdateDialogs.h"
#include "capture/CapturePanel.h"
#include "platform/Activation.h"
#include "settings/SettingsView.h"
#include "tests/integration/Harness.h"
#include "tests/integration/ScreenReader.h"
#include "web/OfflineView.h"
#include "web/PageDialogs.h"

#include <gtest/gtest.h>
#include <webkit2/webkit2.h>
// After the test framework: Xlib's macros (None, Bool) would break its names.
#include <gdk/gdkx.h>

namespace orvela {
namespace {

using nlohmann::json;
using testing::Harness;
using testing::runFor;
using testing::runUntil;
using testing::ScreenReader;
using testing::xdotool;

constexpr const char* switchRows[] = {"Значок в системном лотке", "Число входящих на значке приложения",
                                      "Открывать при входе в систему"};

// The names of the objects a relation of this kind points to.
std::vector<std::string> related(const json& node, const std::string& kind) {
    std::vector<std::string> names;
    if (node.is_object() && node["relations"].contains(kind))
        for (const auto& target : node["relations"][kind]) names.push_back(target.value("name", ""));
    return names;
}

bool hasState(const json& node, const std::string& state) {
    return node.is_object() && std::find(node["states"].begin(), node["states"].end(), state) != node["states"].end();
}

// A window of the application's, shown as it shows its own, with the keyboard.
struct ShownWindow {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);

    explicit ShownWindow(const char* title) { gtk_window_set_title(GTK_WINDOW(window), title); }
    ~ShownWindow() { gtk_widget_destroy(window); }
    bool show(GtkWidget* content) {
        gtk_container_add(GTK_CONTAINER(window), content);
        Activation::present(GTK_WINDOW(window));
        if (runUntil([&] { return gtk_window_is_active(GTK_WINDOW(window)); }, 3)) return true;
        if (GdkWindow* surface = gtk_widget_get_window(window))
            xdotool({"windowactivate", "--sync", std::to_string(gdk_x11_window_get_xid(surface))});
        return runUntil([&] { return gtk_window_is_active(GTK_WINDOW(window)); });
    }
};

struct Settings : ::testing::Test {
    DefaultsStore defaults{Harness::shared().home() / "accessibility-test.json"};
    AppSettings settings{defaults,
                         LoginItem(Harness::shared().home() / ".config/autostart/ru.orvela.Orvela.desktop", "/usr/bin/orvela")};
    std::shared_ptr<SettingsView> view;
    ShownWindow window{"Настройки"};

    void SetUp() override {
        // Another key than the default, so the reset button is there too.
        settings.captureShortcut.set(Shortcut{40, 0x60000});
        view = SettingsView::create(settings, {HotKeyState::Kind::working, ""}, [] {});
        ASSERT_TRUE(window.show(view->widget()));
    }
    void press(const std::string& keys) {
        xdotool({"key", "--clearmodifiers", keys});
        runFor(0.2);
    }
};

TEST_F(Settings, EveryControlHasANameAndTheSwitchesAreLabelledByTheirRows) {
    json tree = ScreenReader::tree();
    for (const char* row : switchRows) {
        json toggle = ScreenReader::find(tree, "toggle button", row);
        ASSERT_TRUE(toggle.is_object()) << "no switch named " << row << " in " << tree.dump(1);
        EXPECT_EQ(related(toggle, "labelled-by"), std::vector<std::string>{row});
        EXPECT_EQ(related(ScreenReader::find(tree, "label", row), "label-for"), std::vector<std::string>{row});
    }
    json recorder = ScreenReader::find(tree, "push button", "Ctrl+Shift+K");
    EXPECT_EQ(related(recorder, "labelled-by"), std::vector<std::string>{"Быстрая запись"});
    EXPECT_EQ(recorder.value("description", ""), "Из любой программы откроет окошко записи во «Входящие».");
    // The reset is said once: its tooltip is not read again as its description.
    json reset = ScreenReader::find(tree, "push button", "Вернуть Ctrl+Shift+Пробел");
    ASSERT_TRUE(reset.is_object());
    EXPECT_EQ(reset.value("description", ""), "");
    json site = ScreenReader::find(tree, "push button", "Настройки Orvela");
    EXPECT_EQ(related(site, "labelled-by"), std::vector<std::string>{"Списки, разделы, учётная запись"});
    EXPECT_TRUE(ScreenReader::find(tree, "frame", "Настройки").is_object());
}

TEST_F(Settings, TabReachesEverySettingInOrderAndSpaceTurnsASwitch) {
    gtk_widget_grab_focus(view->recorder().button());
    ScreenReader reader;
    ASSERT_TRUE(reader.listening());
    press("Tab");
    press("Tab");
    ASSERT_TRUE(settings.showMenuBarIcon.get());
    press("space");
    EXPECT_TRUE(runUntil([&] { return !settings.showMenuBarIcon.get(); }, 3));
    EXPECT_TRUE(reader.hears([](const json& event) {
        return event["event"] == "object:state-changed:checked" && event["name"] == switchRows[0] && event["detail"] == 0;
    }));
    for (int i = 0; i < 4; ++i) press("Tab");
    EXPECT_TRUE(reader.hears([](const json& event) { return event["name"] == "Ctrl+Shift+K"; }));
    EXPECT_EQ(reader.focused(), (std::vector<std::string>{"Вернуть Ctrl+Shift+Пробел", switchRows[0], switchRows[1],
                                                          switchRows[2], "Настройки Orvela", "Ctrl+Shift+K"}));

    // Space on the recorder's button starts recording; its new name is spoken.
    press("space");
    EXPECT_TRUE(view->recorder().recording());
    EXPECT_TRUE(reader.hears([](const json& event) {
        return event["event"] == "object:property-change:accessible-name" && event["name"] == "Нажмите сочетание…";
    }));
    press("Escape");
}

struct Capture : ::testing::Test {
    std::shared_ptr<CapturePanel> panel = CapturePanel::create();
    CaptureHost::Done done;

    void SetUp() override {
        panel->onSave = [this](const std::string&, CaptureHost::Done next) { done = std::move(next); };
    }
    void TearDown() override { panel->hide(); }
    void submit(const std::string& text) {
        if (!panel->isVisible()) {
            panel->show();
            ASSERT_TRUE(runUntil([&] { return gtk_widget_get_mapped(GTK_WIDGET(panel->window())); }));
        }
        panel->model().text.set(text);
        panel->model().submit();
        ASSERT_TRUE(done);
    }
    void finish(CaptureOutcome outcome) { std::exchange(done, nullptr)(outcome); }
    static std::function<bool(const json&)> spoken(const std::string& text) {
        return [text](const json& event) {
            return event["event"] == "object:state-changed:showing" && event["detail"] == 1 &&
                   event["role"] == "notification" && event["name"] == text;
        };
    }
};

TEST_F(Capture, TheFieldIsNamedAfterThePanelWithThePlaceholderAsItsDescription) {
    panel->show();
    ASSERT_TRUE(runUntil([&] { return gtk_widget_get_mapped(GTK_WIDGET(panel->window())); }));
    json tree = ScreenReader::tree();
    json field = ScreenReader::find(tree, "text", "Запись");
    ASSERT_TRUE(field.is_object()) << tree.dump(1);
    EXPECT_EQ(field.value("description", ""), "Что на уме");
    EXPECT_TRUE(hasState(field, "focused"));
    EXPECT_TRUE(ScreenReader::find(tree, "push button", "Сохранить").is_object());
}

TEST_F(Capture, EveryOutcomeIsSpokenAlsoTheSameOneTwice) {
    ScreenReader reader;
    ASSERT_TRUE(reader.listening());
    submit("молоко");
    finish(CaptureOutcome::saved);
    EXPECT_TRUE(reader.hears(spoken("Во «Входящих»")));

    // The panel hides itself; shown again, its status line starts empty.
    ASSERT_TRUE(runUntil([&] { return !panel->isVisible(); }, 3));
    submit("хлеб");
    finish(CaptureOutcome::failed);
    EXPECT_TRUE(reader.hears(spoken("Не получилось сохранить — попробуйте ещё раз")));
    // The same failure again, with its line still on screen, is spoken again.
    panel->model().submit();
    finish(CaptureOutcome::failed);
    EXPECT_TRUE(runUntil([&] { return std::count_if(reader.heard().begin(), reader.heard().end(),
                                                    spoken("Не получилось сохранить — попробуйте ещё раз")) == 2; }));

    panel->model().submit();
    finish(CaptureOutcome::queued);
    EXPECT_TRUE(reader.hears(spoken("Сохранено — уйдёт во «Входящие», когда Orvela откроется")));
}

TEST(OfflineScreen, TheButtonHasTheKeyboardAndCarriesTheMessage) {
    OfflineModel model;
    OfflineView offline(model);
    ShownWindow window("Orvela");
    ASSERT_TRUE(window.show(offline.widget()));
    offline.setVisible(true);
    runFor(0.2);
    json tree = ScreenReader::tree();
    json button = ScreenReader::find(tree, "push button", "Повторить");
    ASSERT_TRUE(button.is_object()) << tree.dump(1);
    EXPECT_TRUE(hasState(button, "focused"));
    EXPECT_EQ(button.value("description", ""), OfflineModel::message);
    EXPECT_EQ(related(button, "described-by"), std::vector<std::string>{OfflineModel::message});
    EXPECT_TRUE(ScreenReader::find(tree, "filler", "Нет связи с Orvela").is_object());
}

// The dialog this process shows now, if any.
GtkWidget* shownDialog() {
    GtkWidget* found = nullptr;
    GList* windows = gtk_window_list_toplevels();
    for (GList* item = windows; item; item = item->next)
        if (GTK_IS_DIALOG(item->data) && gtk_widget_get_mapped(GTK_WIDGET(item->data))) found = GTK_WIDGET(item->data);
    g_list_free(windows);
    return found;
}

TEST(UpdateDialog, TheOfferIsAnAlertWithNamedButtons) {
    ShownWindow main("Orvela");
    ASSERT_TRUE(main.show(gtk_label_new("")));
    UpdateChecker::Result newer{UpdateChecker::Result::Kind::newer, {"2.0.0", "2.0", "", "https://orvela.ru/desktop"}, ""};
    UpdateDialogs::present(GTK_WINDOW(main.window), newer, true, "1.0.0");
    ASSERT_TRUE(runUntil([] { return shownDialog() != nullptr; }));
    json tree = ScreenReader::tree();
    json alert = ScreenReader::find(tree, "alert", "Обновление Orvela");
    ASSERT_TRUE(alert.is_object()) << tree.dump(1);
    EXPECT_TRUE(ScreenReader::find(tree, "label", "Доступна Orvela 2.0").is_object());
    EXPECT_TRUE(ScreenReader::find(tree, "push button", "Позже").is_object());
    EXPECT_TRUE(ScreenReader::find(tree, "push button", "Открыть страницу загрузки").is_object());
    gtk_dialog_response(GTK_DIALOG(shownDialog()), GTK_RESPONSE_CANCEL);
}

TEST(PageDialog, APromptsFieldIsNamedByTheQuestion) {
    ShownWindow main("Orvela");
    GtkWidget* view = webkit_web_view_new();
    auto connection = SignalConnection::connect<gboolean(WebKitWebView*, WebKitScriptDialog*)>(
        view, "script-dialog", [&main](WebKitWebView*, WebKitScriptDialog* dialog) {
            PageDialogs::runScriptDialog(GTK_WINDOW(main.window), dialog);
            return TRUE;
        });
    ASSERT_TRUE(main.show(view));
    webkit_web_view_load_html(WEBKIT_WEB_VIEW(view), "<script>prompt('Название проекта', 'Дом')</script>", nullptr);
    ASSERT_TRUE(runUntil([] { return shownDialog() != nullptr; }, 20));
    // The page waits for the answer meanwhile: only the dialog is read.
    json tree = ScreenReader::tree("alert");
    EXPECT_TRUE(ScreenReader::find(tree, "alert", "Orvela").is_object());
    json entry = ScreenReader::find(tree, "text", "Название проекта");
    ASSERT_TRUE(entry.is_object()) << tree.dump(1);
    EXPECT_TRUE(ScreenReader::find(tree, "push button", "OK").is_object());
    EXPECT_TRUE(ScreenReader::find(tree, "push button", "Отмена").is_object());
    gtk_dialog_response(GTK_DIALOG(shownDialog()), GTK_RESPONSE_CANCEL);
    runFor(0.2);
}

}  // namespace
}  // namespace orvela
