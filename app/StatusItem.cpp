#include "app/StatusItem.h"

#include "app/TrayIcon.h"
#include "platform/AtomicFile.h"
#include "platform/Log.h"
#include "platform/SystemTray.h"
#include "resources/AppStyle.h"

#include <filesystem>
#include <libayatana-appindicator/app-indicator.h>

namespace orvela {
namespace {

// What a row runs; owned by the row's signal handler and freed with it.
struct RowAction {
    GtkApplication* application;
    std::string action;
    std::string path;
};

// Where the icons made at run time are kept: a theme folder of the session's own.
std::filesystem::path iconFolder() { return std::filesystem::path(g_get_user_runtime_dir()) / "orvela" / "icons"; }

// Writes the icon for the count unless it is there; false when it cannot be.
bool writeIcon(int64_t count) {
    auto file = iconFolder() / "hicolor" / "scalable" / "status" / (TrayIcon::name(count) + ".svg");
    if (std::filesystem::exists(file)) return true;
    if (auto error = writeFileAtomically(file, TrayIcon::svg(count))) {
        log("tray icon: " + *error);
        return false;
    }
    return true;
}

void activateRow(GtkMenuItem*, gpointer data) {
    auto* row = static_cast<RowAction*>(data);
    GVariant* parameter = row->path.empty() ? nullptr : g_variant_new_string(row->path.c_str());
    g_action_group_activate_action(G_ACTION_GROUP(row->application), row->action.c_str(), parameter);
}

}  // namespace

void StatusItem::connectRow(GtkWidget* widget, const StatusMenuRow& row) {
    g_signal_connect_data(widget, "activate", G_CALLBACK(activateRow), new RowAction{application_, row.action, row.path},
                          [](gpointer data, GClosure*) { delete static_cast<RowAction*>(data); }, GConnectFlags(0));
}

StatusItem::StatusItem(GtkApplication* application)
    : application_(application), menu_(GObjectPtr<GtkWidget>::sink(gtk_menu_new())) {
    // The icon is published once a tray can show it: a status-notifier host, now
    // or later, or else an old-style tray, which shows the indicator's stand-in.
    // Without either it would only cost memory.
    watch_ = g_bus_watch_name(
        G_BUS_TYPE_SESSION, "org.kde.StatusNotifierWatcher", G_BUS_NAME_WATCHER_FLAGS_NONE,
        [](GDBusConnection*, const char*, const char*, gpointer self) { static_cast<StatusItem*>(self)->publish(); },
        [](GDBusConnection*, const char*, gpointer self) {
            if (SystemTray::xembedTrayPresent()) static_cast<StatusItem*>(self)->publish();
        },
        this, nullptr);
}

StatusItem::~StatusItem() {
    g_bus_unwatch_name(watch_);
    if (indicator_) app_indicator_set_status(indicator_.get(), APP_INDICATOR_STATUS_PASSIVE);
    gtk_widget_destroy(menu_.get());
}

void StatusItem::publish() {
    if (indicator_) return;
    indicator_ = GObjectPtr<AppIndicator>(
        app_indicator_new("ru.orvela.Orvela", AppStyle::menuBarIcon, APP_INDICATOR_CATEGORY_APPLICATION_STATUS));
    if (auto icons = AppStyle::localIconFolder()) app_indicator_set_icon_theme_path(indicator_.get(), icons->c_str());
    app_indicator_set_icon_full(indicator_.get(), AppStyle::menuBarIcon, "Orvela");
    showCount();
    app_indicator_set_label(indicator_.get(), title_.c_str(), "");
    app_indicator_set_menu(indicator_.get(), GTK_MENU(menu_.get()));
    app_indicator_set_status(indicator_.get(), APP_INDICATOR_STATUS_ACTIVE);
}

void StatusItem::setCount(int64_t count) {
    count_ = count;
    showCount();
}

// The installed icon stays the fall-back when the made one cannot be written.
void StatusItem::showCount() {
    if (!indicator_) return;
    app_indicator_set_title(indicator_.get(), TrayIcon::title(count_).c_str());
    if (!writeIcon(count_)) return;
    app_indicator_set_icon_theme_path(indicator_.get(), iconFolder().c_str());
    app_indicator_set_icon_full(indicator_.get(), TrayIcon::name(count_).c_str(), TrayIcon::title(count_).c_str());
}

void StatusItem::setTitle(const std::string& title) {
    title_ = title;
    if (indicator_) app_indicator_set_label(indicator_.get(), title.c_str(), "");
}

void StatusItem::setRows(const std::vector<StatusMenuRow>& rows) {
    if (rows == rows_) return;
    rows_ = rows;
    GtkMenuShell* shell = GTK_MENU_SHELL(menu_.get());
    GList* old = gtk_container_get_children(GTK_CONTAINER(menu_.get()));
    for (GList* child = old; child; child = child->next) gtk_widget_destroy(GTK_WIDGET(child->data));
    g_list_free(old);
    for (const auto& row : rows) {
        GtkWidget* widget = row.kind == StatusMenuRow::Kind::separator ? gtk_separator_menu_item_new()
                                                                        : gtk_menu_item_new_with_label(row.title.c_str());
        if (row.kind == StatusMenuRow::Kind::note) gtk_widget_set_sensitive(widget, FALSE);
        if (row.kind == StatusMenuRow::Kind::item) connectRow(widget, row);
        gtk_menu_shell_append(shell, widget);
        gtk_widget_show(widget);
    }
}

}  // namespace orvela
