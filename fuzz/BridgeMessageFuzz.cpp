// Feeds arbitrary page message bodies to the decoder, which must never crash,
// hang or exhaust memory whatever a page posts.
#include "web/BridgeMessage.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto message = orvela::BridgeMessage::decodeText(std::string_view(reinterpret_cast<const char*>(data), size));
    if (message) {
        // Equality walks every decoded field.
        volatile bool same = (*message == *message);
        (void)same;
    }
    return 0;
}
