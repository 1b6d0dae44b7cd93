#pragma once

#include "app/StatusMenu.h"
#include "platform/GObjectPtr.h"

#include <cstdint>
#include <gtk/gtk.h>
#include <vector>

typedef struct _AppIndicator AppIndicator;

namespace orvela {

// The tray icon with the Inbox count beside it and its menu, published as a
// status-notifier item as soon as a tray is there to show it. Its rows run the
// application's actions.
class StatusItem {
public:
    explicit StatusItem(GtkApplication* application);
    ~StatusItem();
    StatusItem(const StatusItem&) = delete;
    StatusItem& operator=(const StatusItem&) = delete;

    void setTitle(const std::string& title);
    // The count drawn into the icon and told in the item's title.
    void setCount(int64_t count);
    // Replaces the menu's rows; the tray reads the menu anew whenever it changes.
    void setRows(const std::vector<StatusMenuRow>& rows);

private:
    void connectRow(GtkWidget* widget, const StatusMenuRow& row);
    void publish();
    void showCount();

    GtkApplication* application_;
    GObjectPtr<AppIndicator> indicator_;
    GObjectPtr<GtkWidget> menu_;
    std::vector<StatusMenuRow> rows_;
    std::string title_;
    int64_t count_ = 0;
    guint watch_ = 0;
};

}  // namespace orvela
