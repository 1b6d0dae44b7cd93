#pragma once

#include "platform/SignalConnection.h"
#include "web/NavigationPolicy.h"

#include <vector>
#include <webkit2/webkit2.h>

namespace orvela {

// What the web view asks of its window besides navigation: the page's dialogs and
// file panels (modal on the main window), media permissions and downloads.
class ViewDelegates {
public:
    ViewDelegates(WebKitWebView* view, GtkWindow* window, const NavigationPolicy& policy);
    ViewDelegates(const ViewDelegates&) = delete;
    ViewDelegates& operator=(const ViewDelegates&) = delete;

    // Only the application's own host may use the microphone, and only the
    // microphone; nobody is asked.
    static bool microphoneAllowed(WebKitUserMediaPermissionRequest* request, const NavigationPolicy& policy,
                                  const char* viewAddress);

private:
    std::vector<SignalConnection> connections_;
};

}  // namespace orvela
