#pragma once

#include "web/BridgeMessage.h"
#include "web/NavigationPolicy.h"

#include <optional>
#include <webkit2/webkit2.h>

namespace orvela::PageMessages {

// The page message a user message of the web extension carries, when the
// document that posted it may speak for the application and its body decodes;
// nothing otherwise. The extension sends the body, the address of the posting
// document and whether its frame is the main frame.
std::optional<BridgeMessage> accept(WebKitUserMessage* message, const NavigationPolicy& policy, WebKitWebView* view);

}  // namespace orvela::PageMessages
