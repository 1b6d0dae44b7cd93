#pragma once

#include "web/BridgeMessage.h"
#include "web/NavigationPolicy.h"

#include <optional>
#include <string>
#include <webkit2/webkit2.h>

namespace orvela::PageMessages {

struct Heard {
    BridgeMessage message;
    // Only the main frame's document speaks for the page's readiness.
    bool fromMainFrame = false;
};

// The page message a user message of the web extension carries, when the
// document that posted it may speak for the application while the main frame
// shows the given committed document, and its body decodes; nothing otherwise.
// The extension sends the body, the address of the posting document and whether
// its frame is the main frame.
std::optional<Heard> accept(WebKitUserMessage* message, const NavigationPolicy& policy,
                            const std::optional<std::string>& mainDocumentAddress);

}  // namespace orvela::PageMessages
