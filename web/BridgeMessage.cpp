#include "web/BridgeMessage.h"

#include <cmath>
#include <limits>

namespace orvela {
namespace {

using nlohmann::json;

// Deepest nesting of arrays and objects, found without parsing, so that a hostile
// text cannot make the parser or the destructor recurse without bound.
int nestingDepth(std::string_view text) {
    int depth = 0;
    int deepest = 0;
    bool inString = false;
    bool escaped = false;
    for (char c : text) {
        if (inString) {
            if (escaped) escaped = false;
            else if (c == '\\') escaped = true;
            else if (c == '"') inString = false;
            continue;
        }
        if (c == '"') inString = true;
        else if (c == '[' || c == '{') deepest = std::max(deepest, ++depth);
        else if (c == ']' || c == '}') --depth;
    }
    return deepest;
}

// A JSON number, or a boolean read as 1 or 0.
std::optional<double> numberOf(const json& value) {
    if (value.is_boolean()) return value.get<bool>() ? 1.0 : 0.0;
    if (value.is_number()) return value.get<double>();
    return std::nullopt;
}

int64_t countOf(const json& value) {
    if (value.is_number_integer() && !value.is_number_unsigned()) return std::max<int64_t>(0, value.get<int64_t>());
    if (value.is_number_unsigned()) {
        uint64_t count = value.get<uint64_t>();
        return count > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())
                   ? std::numeric_limits<int64_t>::max()
                   : static_cast<int64_t>(count);
    }
    double truncated = std::trunc(*numberOf(value));
    if (!(truncated > 0)) return 0;
    // Converting a double beyond the integer range is undefined; such counts saturate.
    if (truncated >= 9.2233720368547758e18) return std::numeric_limits<int64_t>::max();
    return static_cast<int64_t>(truncated);
}

std::optional<NativeReminder> reminderOf(const json& entry) {
    auto id = entry.find("id");
    auto itemId = entry.find("itemId");
    auto atMs = entry.find("atMs");
    if (id == entry.end() || !id->is_string()) return std::nullopt;
    if (itemId == entry.end() || !itemId->is_string()) return std::nullopt;
    if (atMs == entry.end()) return std::nullopt;
    auto due = numberOf(*atMs);
    if (!due) return std::nullopt;
    auto title = entry.find("title");
    std::string titleText = (title != entry.end() && title->is_string()) ? title->get<std::string>() : "";
    return NativeReminder{id->get<std::string>(), itemId->get<std::string>(), std::move(titleText), *due};
}

}  // namespace

std::optional<BridgeMessage> BridgeMessage::decode(const json& body) {
    if (!body.is_object()) return std::nullopt;
    auto type = body.find("type");
    if (type == body.end() || !type->is_string()) return std::nullopt;
    const auto& kind = type->get_ref<const std::string&>();
    if (kind == "ready") return BridgeMessage{Ready{}};
    if (kind == "inbox") {
        auto count = body.find("count");
        if (count == body.end() || !numberOf(*count)) return std::nullopt;
        return BridgeMessage{Inbox{countOf(*count)}};
    }
    if (kind == "reminders") {
        auto list = body.find("list");
        if (list == body.end() || !list->is_array()) return std::nullopt;
        Reminders reminders;
        reminders.list.reserve(list->size());
        for (const auto& entry : *list) {
            if (!entry.is_object()) return std::nullopt;
            if (auto reminder = reminderOf(entry)) reminders.list.push_back(std::move(*reminder));
        }
        return BridgeMessage{std::move(reminders)};
    }
    return std::nullopt;
}

std::optional<BridgeMessage> BridgeMessage::decodeText(std::string_view bodyText) {
    if (bodyText.size() > maximumBodyBytes) return std::nullopt;
    if (nestingDepth(bodyText) > maximumDepth) return std::nullopt;
    json body = json::parse(bodyText, nullptr, false);
    if (body.is_discarded()) return std::nullopt;
    return decode(body);
}

namespace PageScripts {

std::string command(std::string_view name) {
    std::string script = "window.orvelaNative?.";
    script.append(name);
    script.append("()");
    return script;
}

}  // namespace PageScripts
}  // namespace orvela
