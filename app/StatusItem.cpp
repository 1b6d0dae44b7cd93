#include "app/StatusItem.h"

#include "app/TrayIcon.h"
#include "platform/AtomicFile.h"
#include "platform/Log.h"
#include "platform/SystemTray.h"

#include <filesystem>
#include <optional>

namespace orvela {
namespace {

// What a row runs; owned by the row's signal handler and freed with it.
struct RowAction {
    GtkApplication* application;
    std::string action;
    std::string path;
};

void activateRow(GtkMenuItem*, gpointer data) {
    auto* row = static_cast<RowAction*>(data);
    GVariant* parameter = row->path.empty() ? nullptr : g_variant_new_string(row->path.c_str());
    g_action_group_activate_action(G_ACTION_GROUP(row->application), row->action.c_str(), parameter);
}

// Where the icons made at run time are kept: a theme folder of the session's own,
// for trays that look the icon up by name.
std::filesystem::path iconFolder() { return std::filesystem::path(g_get_user_runtime_dir()) / "orvela" / "icons"; }

// Writes the icon for the count at every size unless it is there; false when it cannot be.
bool writeIcons(int64_t count) {
    for (int size : TrayIcon::sizes) {
        std::string sizeFolder = std::to_string(size) + "x" + std::to_string(size);
        auto file = iconFolder() / "hicolor" / sizeFolder / "status" / (TrayIcon::name(count) + ".png");
        if (std::filesystem::exists(file)) continue;
        std::string bytes = TrayIcon::png(count, size);
        auto error = bytes.empty() ? std::optional<std::string>("the picture cannot be encoded")
                                   : writeFileAtomically(file, bytes);
        if (error) {
            log("tray icon: " + *error);
            return false;
        }
    }
    return true;
}

std::vector<StatusNotifierItem::Pixmap> pixmaps(int64_t count) {
    std::vector<StatusNotifierItem::Pixmap> all;
    for (int size : TrayIcon::sizes) {
        auto drawn = TrayIcon::pixels(count, size);
        all.push_back({drawn.size, std::move(drawn.argb)});
    }
    return all;
}

// The picture for an old-style tray, which wants GDK's byte order.
GObjectPtr<GdkPixbuf> pixbuf(int64_t count, int size) {
    auto drawn = TrayIcon::pixels(count, size);
    auto* rgba = static_cast<guchar*>(g_malloc(drawn.argb.size()));
    for (size_t i = 0; i < drawn.argb.size(); i += 4) {
        rgba[i] = drawn.argb[i + 1];
        rgba[i + 1] = drawn.argb[i + 2];
        rgba[i + 2] = drawn.argb[i + 3];
        rgba[i + 3] = drawn.argb[i];
    }
    return GObjectPtr<GdkPixbuf>(gdk_pixbuf_new_from_data(rgba, GDK_COLORSPACE_RGB, TRUE, 8, size, size, size * 4,
                                                          [](guchar* pixels, gpointer) { g_free(pixels); }, nullptr));
}

}  // namespace

void StatusItem::connectRow(GtkWidget* widget, const StatusMenuRow& row) {
    g_signal_connect_data(widget, "activate", G_CALLBACK(activateRow), new RowAction{application_, row.action, row.path},
                          [](gpointer data, GClosure*) { delete static_cast<RowAction*>(data); }, GConnectFlags(0));
}

StatusItem::StatusItem(GtkApplication* application)
    : application_(application), menu_(GObjectPtr<GtkWidget>::sink(gtk_menu_new())) {
    watch_ = g_bus_watch_name(
        G_BUS_TYPE_SESSION, "org.kde.StatusNotifierWatcher", G_BUS_NAME_WATCHER_FLAGS_NONE,
        [](GDBusConnection*, const char*, const char*, gpointer self) { static_cast<StatusItem*>(self)->publish(); },
        // GTK's old-style icon waits for a tray of its own accord and goes into
        // one that starts later, as a panel at login may.
        [](GDBusConnection*, const char*, gpointer self) {
            if (SystemTray::xembedTrayPossible()) static_cast<StatusItem*>(self)->showInOldTray();
        },
        this, nullptr);
}

StatusItem::~StatusItem() {
    g_bus_unwatch_name(watch_);
    if (oldTrayIcon_) g_signal_handlers_disconnect_by_data(oldTrayIcon_.get(), this);
    item_.reset();
    gtk_widget_destroy(menu_.get());
}

// Once published, the item registers again by itself with every new watcher.
void StatusItem::publish() {
    oldTrayIcon_.reset();
    if (item_) return;
    item_ = std::make_unique<StatusNotifierItem>("ru.orvela.Orvela", menu_.get());
    item_->setLabel(title_);
    shownCount_ = -1;
    showCount();
}

G_GNUC_BEGIN_IGNORE_DEPRECATIONS
void StatusItem::showInOldTray() {
    if (item_ || oldTrayIcon_) return;
    oldTrayIcon_ = GObjectPtr<GtkStatusIcon>(gtk_status_icon_new());
    gtk_status_icon_set_name(oldTrayIcon_.get(), "ru.orvela.Orvela");
    auto popUp = +[](GtkStatusIcon*, gpointer self) { static_cast<StatusItem*>(self)->popUpMenu(); };
    g_signal_connect(oldTrayIcon_.get(), "activate", G_CALLBACK(popUp), this);
    g_signal_connect(oldTrayIcon_.get(), "popup-menu", G_CALLBACK(popUp), this);
    // The tray says how large its icons are, and again when its panel changes size.
    g_signal_connect(oldTrayIcon_.get(), "size-changed", G_CALLBACK(+[](GtkStatusIcon*, int, gpointer self) {
                         auto* item = static_cast<StatusItem*>(self);
                         item->shownCount_ = -1;
                         item->showCount();
                         return TRUE;
                     }),
                     this);
    shownCount_ = -1;
    showCount();
}

void StatusItem::popUpMenu() {
    if (!oldTrayIcon_) return;
    gtk_menu_popup(GTK_MENU(menu_.get()), nullptr, nullptr, gtk_status_icon_position_menu, oldTrayIcon_.get(), 0,
                   gtk_get_current_event_time());
}

void StatusItem::showCount() {
    if (count_ == shownCount_) return;
    shownCount_ = count_;
    std::string title = TrayIcon::title(count_);
    if (oldTrayIcon_) {
        int size = gtk_status_icon_get_size(oldTrayIcon_.get());
        gtk_status_icon_set_from_pixbuf(oldTrayIcon_.get(), pixbuf(count_, size > 0 ? size : 22).get());
        gtk_status_icon_set_tooltip_text(oldTrayIcon_.get(), title.c_str());
        gtk_status_icon_set_title(oldTrayIcon_.get(), title.c_str());
    }
    if (!item_) return;
    item_->setTitle(title);
    // Without the files the icon is known by its pictures alone.
    bool named = writeIcons(count_);
    item_->setIcon(named ? TrayIcon::name(count_) : "", named ? iconFolder().string() : "", pixmaps(count_));
}
G_GNUC_END_IGNORE_DEPRECATIONS

void StatusItem::setCount(int64_t count) {
    count_ = count;
    showCount();
}

void StatusItem::setTitle(const std::string& title) {
    title_ = title;
    if (item_) item_->setLabel(title);
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
