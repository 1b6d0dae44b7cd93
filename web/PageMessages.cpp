#include "web/PageMessages.h"

namespace orvela::PageMessages {

std::optional<BridgeMessage> accept(WebKitUserMessage* message, const NavigationPolicy& policy, WebKitWebView* view) {
    GVariant* parameters = webkit_user_message_get_parameters(message);
    if (!parameters || !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ssb)"))) return std::nullopt;
    const char* body = nullptr;
    const char* address = nullptr;
    gboolean mainFrame = FALSE;
    g_variant_get(parameters, "(&s&sb)", &body, &address, &mainFrame);
    std::optional<std::string> viewAddress;
    if (const char* uri = webkit_web_view_get_uri(view)) viewAddress = uri;
    if (!policy.mayPost(address, mainFrame, viewAddress)) return std::nullopt;
    return BridgeMessage::decodeText(body);
}

}  // namespace orvela::PageMessages
