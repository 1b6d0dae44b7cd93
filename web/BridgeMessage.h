#pragma once

#include "reminders/NativeReminder.h"

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace orvela {

// One message the page posts on the "orvela" channel.
struct BridgeMessage {
    struct Inbox {
        int64_t count = 0;
        friend bool operator==(const Inbox&, const Inbox&) = default;
    };
    struct Reminders {
        std::vector<NativeReminder> list;
        friend bool operator==(const Reminders&, const Reminders&) = default;
    };
    struct Ready {
        friend bool operator==(const Ready&, const Ready&) = default;
    };

    std::variant<Inbox, Reminders, Ready> value;

    friend bool operator==(const BridgeMessage&, const BridgeMessage&) = default;

    // The page's body as a parsed value; nothing when it is not a message.
    static std::optional<BridgeMessage> decode(const nlohmann::json& body);
    // The body as the JSON text the page sent. A text over 16 MiB or nested deeper
    // than 64 levels is refused before it is parsed.
    static std::optional<BridgeMessage> decodeText(std::string_view bodyText);

    static constexpr size_t maximumBodyBytes = 16 * 1024 * 1024;
    static constexpr int maximumDepth = 64;
};

// The scripts the application runs in the page. Values travel as arguments of the
// asynchronous function whose body the script is, never spliced into its text.
namespace PageScripts {

inline constexpr const char* navigate = "window.orvelaNative?.navigate(path)";
inline constexpr const char* openItem = "window.orvelaNative?.openItem(id)";
inline constexpr const char* capture =
    "return await (window.orvelaNative ? window.orvelaNative.capture(text) : false)";

inline constexpr const char* openQuickAdd = "openQuickAdd";
inline constexpr const char* openDiktor = "openDiktor";
inline constexpr const char* openSearch = "openSearch";

// "window.orvelaNative?." + name + "()" for one of the three names above; nothing
// for any other text, which never becomes script.
std::optional<std::string> command(std::string_view name);

}  // namespace PageScripts
}  // namespace orvela
