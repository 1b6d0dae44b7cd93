#include "app/MainMenu.h"

#include "app/AppDelegate.h"
#include "app/WindowCommands.h"

#include <algorithm>
#include <functional>
#include <map>
#include <string>

namespace orvela {
namespace {

using Command = std::function<void(AppDelegate&, GtkApplication*, GVariant*)>;

// An action of the application; with a parameter type, the menu item names the
// value it sends (a section's path, a window's place in the list).
struct Action {
    const char* name;
    const char* parameterType;
    Command command;
};

// Commands of the delegate take no parameter and ignore the application.
template <void (AppDelegate::*method)()>
Command delegate() {
    return [](AppDelegate& self, GtkApplication*, GVariant*) { (self.*method)(); };
}

Command window(void (*command)(GtkApplication*)) {
    return [command](AppDelegate&, GtkApplication* application, GVariant*) { command(application); };
}

Command edit(const char* editingCommand) {
    return [editingCommand](AppDelegate&, GtkApplication* application, GVariant*) {
        WindowCommands::edit(application, editingCommand);
    };
}

const std::vector<Action>& actions() {
    static const std::vector<Action> all = {
        {"about", nullptr, delegate<&AppDelegate::showAbout>()},
        {"check-updates", nullptr, delegate<&AppDelegate::checkForUpdates>()},
        {"settings", nullptr, delegate<&AppDelegate::showSettings>()},
        {"hide", nullptr, delegate<&AppDelegate::hideApplication>()},
        {"quit", nullptr, [](AppDelegate&, GtkApplication* application, GVariant*) {
             g_application_quit(G_APPLICATION(application));
         }},
        {"new-record", nullptr, delegate<&AppDelegate::newRecord>()},
        {"show-capture", nullptr, delegate<&AppDelegate::showCapture>()},
        {"dictate", nullptr, delegate<&AppDelegate::dictate>()},
        {"close-window", nullptr, window(WindowCommands::closeWindow)},
        {"undo", nullptr, edit(WEBKIT_EDITING_COMMAND_UNDO)},
        {"redo", nullptr, edit(WEBKIT_EDITING_COMMAND_REDO)},
        {"cut", nullptr, edit(WEBKIT_EDITING_COMMAND_CUT)},
        {"copy", nullptr, edit(WEBKIT_EDITING_COMMAND_COPY)},
        {"paste", nullptr, edit(WEBKIT_EDITING_COMMAND_PASTE)},
        {"select-all", nullptr, edit(WEBKIT_EDITING_COMMAND_SELECT_ALL)},
        // Two items search, each showing its own key.
        {"find", nullptr, delegate<&AppDelegate::search>()},
        {"search", nullptr, delegate<&AppDelegate::search>()},
        {"reload", nullptr, delegate<&AppDelegate::reload>()},
        {"zoom-reset", nullptr, delegate<&AppDelegate::zoomReset>()},
        {"zoom-in", nullptr, delegate<&AppDelegate::zoomIn>()},
        {"zoom-out", nullptr, delegate<&AppDelegate::zoomOut>()},
        {"full-screen", nullptr, window(WindowCommands::toggleFullScreen)},
        {"go", "s", [](AppDelegate& self, GtkApplication*, GVariant* path) {
             if (path && g_variant_is_of_type(path, G_VARIANT_TYPE_STRING))
                 self.goFromMenu(g_variant_get_string(path, nullptr));
         }},
        {"go-back", nullptr, delegate<&AppDelegate::goBack>()},
        {"go-forward", nullptr, delegate<&AppDelegate::goForward>()},
        {"minimize", nullptr, window(WindowCommands::minimize)},
        {"zoom-window", nullptr, window(WindowCommands::toggleMaximized)},
        {"show-main", nullptr, delegate<&AppDelegate::showMain>()},
        {"help", nullptr, delegate<&AppDelegate::openHelp>()},
    };
    return all;
}

// One row of a menu: a separator when the label is absent.
struct Item {
    const char* label = nullptr;
    const char* action = nullptr;
    std::vector<const char*> keys = {};
    const char* path = nullptr;
};

const Item separator{};

struct Menu {
    const char* title;
    std::vector<Item> items;
};

// The menus in their order. Keys follow the Linux convention; a few common Linux
// alternatives (Ctrl++ beside Ctrl+=, Alt+Left for back) come along.
const std::vector<Menu>& menus() {
    static const std::vector<Menu> all = {
        {"Orvela",
         {{"О программе Orvela", "about"},
          {"Проверить обновления…", "check-updates"},
          separator,
          {"Настройки…", "settings", {"<Primary>comma"}},
          separator,
          {"Скрыть Orvela", "hide", {"<Primary>h"}},
          separator,
          {"Завершить Orvela", "quit", {"<Primary>q"}}}},
        {"Файл",
         {{"Новая запись", "new-record", {"<Primary>n"}},
          {"Запись из любой программы…", "show-capture"},
          {"Диктор", "dictate", {"<Primary><Shift>n"}},
          separator,
          {"Закрыть окно", "close-window", {"<Primary>w"}}}},
        {"Правка",
         {{"Отменить", "undo", {"<Primary>z"}},
          {"Повторить", "redo", {"<Primary><Shift>z"}},
          separator,
          {"Вырезать", "cut", {"<Primary>x"}},
          {"Скопировать", "copy", {"<Primary>c"}},
          {"Вставить", "paste", {"<Primary>v"}},
          {"Выделить всё", "select-all", {"<Primary>a"}},
          separator,
          {"Найти…", "find", {"<Primary>f"}}}},
        {"Вид",
         {{"Обновить", "reload", {"<Primary>r"}},
          separator,
          {"Фактический размер", "zoom-reset", {"<Primary>0", "<Primary>KP_0"}},
          {"Увеличить", "zoom-in", {"<Primary>equal", "<Primary>plus", "<Primary>KP_Add"}},
          {"Уменьшить", "zoom-out", {"<Primary>minus", "<Primary>KP_Subtract"}},
          separator,
          {"Во весь экран", "full-screen", {"F11"}}}},
        {"Перейти",
         {{"Сегодня", "go", {"<Primary>1"}, "/now"},
          {"Входящие", "go", {"<Primary>2"}, "/inbox"},
          {"Действия", "go", {"<Primary>3"}, "/next"},
          {"Проекты", "go", {"<Primary>4"}, "/projects"},
          {"Жду", "go", {"<Primary>5"}, "/waiting"},
          {"Когда-нибудь", "go", {"<Primary>6"}, "/someday"},
          {"Календарь", "go", {"<Primary>7"}, "/calendar"},
          {"Обзор недели", "go", {"<Primary>8"}, "/review"},
          separator,
          {"Поиск", "search", {"<Primary>k"}},
          separator,
          {"Назад", "go-back", {"<Primary>bracketleft", "<Alt>Left"}},
          {"Вперёд", "go-forward", {"<Primary>bracketright", "<Alt>Right"}}}},
        {"Окно",
         {{"Свернуть", "minimize", {"<Primary>m"}},
          {"Изменить масштаб", "zoom-window"},
          separator,
          {"Orvela", "show-main", {"<Primary><Alt>0"}}}},
        {"Справка", {{"Сайт Orvela", "help"}}},
    };
    return all;
}

std::string detailedName(const Item& item) {
    std::string name = std::string("app.") + item.action;
    if (!item.path) return name;
    GVariant* target = g_variant_ref_sink(g_variant_new_string(item.path));
    char* text = g_variant_print(target, FALSE);
    name += std::string("(") + text + ")";
    g_free(text);
    g_variant_unref(target);
    return name;
}

}  // namespace

MainMenu::MainMenu(GtkApplication* application, std::weak_ptr<AppDelegate> delegate)
    : application_(application), delegate_(std::move(delegate)), windowList_(g_menu_new()) {
    addActions();
    buildMenuBar();
    followWindows();
}

MainMenu::~MainMenu() {
    connections_.clear();
    gtk_application_set_menubar(application_, nullptr);
    for (const auto& action : actions()) g_action_map_remove_action(G_ACTION_MAP(application_), action.name);
    g_action_map_remove_action(G_ACTION_MAP(application_), "window");
}

void MainMenu::addActions() {
    auto add = [this](const char* name, const char* parameterType, Command command) {
        GObjectPtr<GSimpleAction> action(
            g_simple_action_new(name, parameterType ? G_VARIANT_TYPE(parameterType) : nullptr));
        connections_.push_back(SignalConnection::connect<void(GSimpleAction*, GVariant*)>(
            action.get(), "activate", [this, command](GSimpleAction*, GVariant* parameter) {
                if (auto delegate = delegate_.lock()) command(*delegate, application_, parameter);
            }));
        g_action_map_add_action(G_ACTION_MAP(application_), G_ACTION(action.get()));
    };
    for (const auto& action : actions()) add(action.name, action.parameterType, action.command);
    add("window", "i", [this](AppDelegate& delegate, GtkApplication*, GVariant* place) {
        auto index = static_cast<size_t>(g_variant_get_int32(place));
        if (index >= listed_.size()) return;
        // The settings are shown afresh, as from their own menu item.
        if (GTK_IS_APPLICATION_WINDOW(listed_[index])) gtk_window_present(listed_[index]);
        else delegate.showSettings();
    });
}

void MainMenu::buildMenuBar() {
    // Keys are set once per action, after all its items are known.
    std::map<std::string, std::vector<const char*>> keysOf;
    GObjectPtr<GMenu> bar(g_menu_new());
    for (const auto& menu : menus()) {
        GObjectPtr<GMenu> submenu(g_menu_new());
        GObjectPtr<GMenu> section(g_menu_new());
        auto closeSection = [&] {
            if (g_menu_model_get_n_items(G_MENU_MODEL(section.get())) == 0) return;
            g_menu_append_section(submenu.get(), nullptr, G_MENU_MODEL(section.get()));
            section = GObjectPtr<GMenu>(g_menu_new());
        };
        for (const auto& item : menu.items) {
            if (!item.label) {
                closeSection();
                continue;
            }
            std::string name = detailedName(item);
            g_menu_append(section.get(), item.label, name.c_str());
            auto& keys = keysOf[name];
            keys.insert(keys.end(), item.keys.begin(), item.keys.end());
        }
        closeSection();
        // The open windows follow the menu's own items.
        if (std::string(menu.title) == "Окно") g_menu_append_section(submenu.get(), nullptr, G_MENU_MODEL(windowList_.get()));
        g_menu_append_submenu(bar.get(), menu.title, G_MENU_MODEL(submenu.get()));
    }
    gtk_application_set_menubar(application_, G_MENU_MODEL(bar.get()));
    for (auto& [name, keys] : keysOf) {
        if (keys.empty()) continue;
        keys.push_back(nullptr);
        gtk_application_set_accels_for_action(application_, name.c_str(), keys.data());
    }
}

void MainMenu::followWindows() {
    for (GList* window = gtk_application_get_windows(application_); window; window = window->next) {
        windows_.insert(windows_.begin(), GTK_WINDOW(window->data));
        watchWindow(GTK_WINDOW(window->data));
    }
    connections_.push_back(SignalConnection::connect<void(GtkApplication*, GtkWindow*)>(
        application_, "window-added", [this](GtkApplication*, GtkWindow* window) {
            windows_.push_back(window);
            watchWindow(window);
            listWindows();
        }));
    connections_.push_back(SignalConnection::connect<void(GtkApplication*, GtkWindow*)>(
        application_, "window-removed", [this](GtkApplication*, GtkWindow* window) {
            std::erase(windows_, window);
            windowWatches_.erase(window);
            listWindows();
        }));
    listWindows();
}

// A closed window is only hidden; the list follows what is shown.
void MainMenu::watchWindow(GtkWindow* window) {
    auto& watches = windowWatches_[window];
    for (const char* signal : {"show", "hide"})
        watches.push_back(SignalConnection::connect<void(GtkWidget*)>(GTK_WIDGET(window), signal, [this](GtkWidget*) {
            listWindows();
        }));
}

void MainMenu::listWindows() {
    g_menu_remove_all(windowList_.get());
    listed_.clear();
    for (GtkWindow* window : windows_)
        if (gtk_widget_get_visible(GTK_WIDGET(window))) listed_.push_back(window);
    for (size_t i = 0; i < listed_.size(); ++i) {
        const char* title = gtk_window_get_title(listed_[i]);
        GObjectPtr<GMenuItem> item(g_menu_item_new(title ? title : "Orvela", nullptr));
        g_menu_item_set_action_and_target_value(item.get(), "app.window", g_variant_new_int32(static_cast<int>(i)));
        g_menu_append_item(windowList_.get(), item.get());
    }
}

}  // namespace orvela
