#pragma once

#include "platform/GObjectPtr.h"
#include "platform/SignalConnection.h"
#include "web/OfflineModel.h"

#include <gtk/gtk.h>

namespace orvela {

// The screen that covers the page while the web application cannot be reached:
// the offline symbol, the title, the message and the "Повторить" button.
class OfflineView {
public:
    explicit OfflineView(OfflineModel& model);

    GtkWidget* widget() const { return root_.get(); }
    // Shows or hides the screen; shown, its button has the keyboard, so Return retries.
    void setVisible(bool visible);

private:
    GObjectPtr<GtkWidget> root_;
    GtkWidget* button_ = nullptr;
    SignalConnection clicked_;
    SignalConnection styled_;
};

}  // namespace orvela
