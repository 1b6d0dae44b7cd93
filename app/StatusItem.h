#pragma once

#include "app/StatusMenu.h"
#include "platform/GObjectPtr.h"
#include "platform/StatusNotifierItem.h"

#include <cstdint>
#include <gtk/gtk.h>
#include <memory>
#include <vector>

namespace orvela {

// The tray icon with the Inbox count drawn in and its menu. It is published as a
// status-notifier item once a watcher is there to show it, or else, on X11,
// offered to an old-style (XEmbed) tray, now or whenever one starts. Its rows run
// the application's actions.
class StatusItem {
public:
    explicit StatusItem(GtkApplication* application);
    ~StatusItem();
    StatusItem(const StatusItem&) = delete;
    StatusItem& operator=(const StatusItem&) = delete;

    // The text beside the icon, for trays that draw one.
    void setTitle(const std::string& title);
    // The count drawn into the icon and told in the item's title and tooltip.
    void setCount(int64_t count);
    // Replaces the menu's rows; the tray reads the menu anew whenever it changes.
    void setRows(const std::vector<StatusMenuRow>& rows);

private:
    void connectRow(GtkWidget* widget, const StatusMenuRow& row);
    void publish();
    void showInOldTray();
    void showCount();
    void popUpMenu();

    GtkApplication* application_;
    GObjectPtr<GtkWidget> menu_;
    std::unique_ptr<StatusNotifierItem> item_;
    GObjectPtr<GtkStatusIcon> oldTrayIcon_;
    std::vector<StatusMenuRow> rows_;
    std::string title_;
    int64_t count_ = 0;
    int64_t shownCount_ = -1;
    guint watch_ = 0;
};

}  // namespace orvela
