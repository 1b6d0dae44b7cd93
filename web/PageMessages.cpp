#include "web/PageMessages.h"

namespace orvela::PageMessages {

std::optional<Heard> accept(WebKitUserMessage* message, const NavigationPolicy& policy,
                            const std::optional<std::string>& mainDocumentAddress) {
    GVariant* parameters = webkit_user_message_get_parameters(message);
    if (!parameters || !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ssb)"))) return std::nullopt;
    const char* body = nullptr;
    const char* address = nullptr;
    gboolean mainFrame = FALSE;
    g_variant_get(parameters, "(&s&sb)", &body, &address, &mainFrame);
    if (!policy.mayPost(address, mainFrame, mainDocumentAddress)) return std::nullopt;
    auto decoded = BridgeMessage::decodeText(body);
    if (!decoded) return std::nullopt;
    return Heard{std::move(*decoded), mainFrame != FALSE};
}

}  // namespace orvela::PageMessages
