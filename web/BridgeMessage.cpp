#include "web/BridgeMessage.h"

#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

namespace orvela {
namespace {

using nlohmann::json;

// A JSON value as far as the decoder cares: its kind, and the payload of the kinds
// it reads. A boolean counts as a number, true as 1 and false as 0.
struct Scalar {
    enum Kind { absent, text, number, other } kind = absent;
    std::string string;
    int64_t integer = 0;  // the count the number stands for
    double real = 0;      // the number itself
};

int64_t saturatedCount(double value) {
    double truncated = std::trunc(value);
    if (!(truncated > 0)) return 0;
    // Converting a double beyond the integer range is undefined; such counts saturate.
    if (truncated >= 9.2233720368547758e18) return std::numeric_limits<int64_t>::max();
    return static_cast<int64_t>(truncated);
}

Scalar numberScalar(double real, int64_t count) { return Scalar{Scalar::number, {}, count, real}; }
Scalar textScalar(std::string text) { return Scalar{Scalar::text, std::move(text), 0, 0}; }
// A value of a kind the decoder never reads: null, a container, binary.
Scalar unreadScalar() { return Scalar{Scalar::other, {}, 0, 0}; }

// Walks the parser's events, keeping only the top-level "type", "count" and
// "list" and the four fields of each entry of the list. Later duplicates of a key
// replace earlier ones, as they would in a parsed document.
class Decoder final : public nlohmann::json_sax<json> {
public:
    std::optional<BridgeMessage> result() const {
        if (!isObject_ || type_.kind != Scalar::text) return std::nullopt;
        if (type_.string == "ready") return BridgeMessage{BridgeMessage::Ready{}};
        if (type_.string == "inbox") {
            if (count_.kind != Scalar::number) return std::nullopt;
            return BridgeMessage{BridgeMessage::Inbox{std::max<int64_t>(0, count_.integer)}};
        }
        if (type_.string == "reminders") {
            if (list_ != List::valid) return std::nullopt;
            return BridgeMessage{BridgeMessage::Reminders{reminders_}};
        }
        return std::nullopt;
    }

    bool null() override { return scalar(unreadScalar()); }
    bool boolean(bool value) override { return scalar(numberScalar(value ? 1 : 0, value ? 1 : 0)); }
    bool number_integer(number_integer_t value) override {
        return scalar(numberScalar(static_cast<double>(value), value));
    }
    bool number_unsigned(number_unsigned_t value) override {
        auto count = value > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())
                         ? std::numeric_limits<int64_t>::max()
                         : static_cast<int64_t>(value);
        return scalar(numberScalar(static_cast<double>(value), count));
    }
    bool number_float(number_float_t value, const string_t&) override {
        return scalar(numberScalar(value, saturatedCount(value)));
    }
    bool string(string_t& value) override { return scalar(textScalar(std::move(value))); }
    bool binary(binary_t&) override { return scalar(unreadScalar()); }

    bool start_object(std::size_t) override { return enter(Container::object); }
    bool start_array(std::size_t) override { return enter(Container::array); }
    bool end_object() override {
        if (depth_ == 3 && inList()) finishEntry();
        --depth_;
        return true;
    }
    bool end_array() override {
        --depth_;
        return true;
    }
    bool key(string_t& value) override {
        if (depth_ == 1) {
            topKey_ = value == "type" ? TopKey::type
                      : value == "count" ? TopKey::count
                      : value == "list"  ? TopKey::list
                                         : TopKey::other;
        } else if (depth_ == 3 && inList()) {
            entryKey_ = value == "id"       ? EntryKey::id
                        : value == "itemId" ? EntryKey::itemId
                        : value == "title"  ? EntryKey::title
                        : value == "atMs"   ? EntryKey::atMs
                                            : EntryKey::other;
        }
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
        isObject_ = false;
        return false;
    }

private:
    enum class List { absent, valid, invalid };
    enum class TopKey { other, type, count, list };
    enum class EntryKey { other, id, itemId, title, atMs };

    struct Entry {
        Scalar id, itemId, title, atMs;
    };

    enum class Container { object, array };

    // Notes what a container stands in for where it opens, then counts one level
    // of nesting; parsing stops past the deepest level allowed.
    bool enter(Container container) {
        switch (depth_) {
        case 0:
            if (container != Container::object) return false;
            isObject_ = true;
            break;
        case 1:
            if (topKey_ == TopKey::type) {
                type_ = unreadScalar();
            } else if (topKey_ == TopKey::count) {
                count_ = unreadScalar();
            } else if (topKey_ == TopKey::list) {
                list_ = container == Container::array ? List::valid : List::invalid;
                reminders_.clear();
            }
            break;
        case 2:
            if (!inList()) break;
            if (container == Container::object) entry_ = Entry{};
            else list_ = List::invalid;
            break;
        case 3:
            if (inList()) entryField(unreadScalar());
            break;
        }
        return ++depth_ <= BridgeMessage::maximumDepth;
    }

    bool scalar(Scalar value) {
        if (depth_ == 0) return false;  // the body itself is no object
        if (depth_ == 1) {
            if (topKey_ == TopKey::type) type_ = std::move(value);
            else if (topKey_ == TopKey::count) count_ = std::move(value);
            else if (topKey_ == TopKey::list) list_ = List::invalid;
        } else if (depth_ == 2 && inList()) {
            list_ = List::invalid;
        } else if (depth_ == 3 && inList()) {
            entryField(std::move(value));
        }
        return true;
    }

    // Inside the array of the top-level "list", which has been valid so far.
    bool inList() const { return topKey_ == TopKey::list && list_ == List::valid; }

    void entryField(Scalar value) {
        if (entryKey_ == EntryKey::id) entry_.id = std::move(value);
        else if (entryKey_ == EntryKey::itemId) entry_.itemId = std::move(value);
        else if (entryKey_ == EntryKey::title) entry_.title = std::move(value);
        else if (entryKey_ == EntryKey::atMs) entry_.atMs = std::move(value);
    }

    void finishEntry() {
        Entry& e = entry_;
        if (e.id.kind != Scalar::text || e.itemId.kind != Scalar::text || e.atMs.kind != Scalar::number) return;
        std::string title = e.title.kind == Scalar::text ? std::move(e.title.string) : std::string();
        reminders_.push_back({std::move(e.id.string), std::move(e.itemId.string), std::move(title), e.atMs.real});
    }

    int depth_ = 0;
    bool isObject_ = false;
    TopKey topKey_ = TopKey::other;
    EntryKey entryKey_ = EntryKey::other;
    Scalar type_;
    Scalar count_;
    List list_ = List::absent;
    Entry entry_;
    std::vector<NativeReminder> reminders_;
};

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The code unit of a "\uXXXX" escape starting at the position, or -1.
int escapedUnit(std::string_view text, size_t at) {
    if (at + 6 > text.size() || text[at] != '\\' || text[at + 1] != 'u') return -1;
    int unit = 0;
    for (size_t i = at + 2; i < at + 6; ++i) {
        int digit = hexValue(text[i]);
        if (digit < 0) return -1;
        unit = unit * 16 + digit;
    }
    return unit;
}

// The text with every escaped surrogate that has no partner replaced by U+FFFD, as
// a browser shows it; nothing when there is none. A title cut in the middle of an
// emoji must not cost the whole message.
std::optional<std::string> withLoneSurrogatesReplaced(std::string_view text) {
    std::string repaired;
    bool changed = false;
    bool inString = false;
    size_t copiedUpTo = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (!inString) {
            inString = c == '"';
            continue;
        }
        if (c == '"') {
            inString = false;
            continue;
        }
        if (c != '\\') continue;
        int unit = escapedUnit(text, i);
        if (unit < 0xD800 || unit > 0xDFFF) {
            ++i;  // the escaped character
            continue;
        }
        int partner = escapedUnit(text, i + 6);
        if (unit <= 0xDBFF && partner >= 0xDC00 && partner <= 0xDFFF) {
            i += 11;
            continue;
        }
        repaired.append(text.substr(copiedUpTo, i - copiedUpTo));
        repaired.append("\\ufffd");
        copiedUpTo = i + 6;
        changed = true;
        i += 5;
    }
    if (!changed) return std::nullopt;
    repaired.append(text.substr(copiedUpTo));
    return repaired;
}

std::optional<BridgeMessage> decodeJson(std::string_view text) {
    Decoder decoder;
    if (!json::sax_parse(text.begin(), text.end(), &decoder)) return std::nullopt;
    return decoder.result();
}

}  // namespace

std::optional<BridgeMessage> BridgeMessage::decodeText(std::string_view bodyText) {
    if (bodyText.size() > maximumBodyBytes) return std::nullopt;
    if (auto decoded = decodeJson(bodyText)) return decoded;
    auto repaired = withLoneSurrogatesReplaced(bodyText);
    return repaired ? decodeJson(*repaired) : std::nullopt;
}

namespace PageScripts {

std::optional<std::string> command(std::string_view name) {
    if (name != openQuickAdd && name != openDiktor && name != openSearch) return std::nullopt;
    std::string script = "window.orvelaNative?.";
    script.append(name);
    script.append("()");
    return script;
}

}  // namespace PageScripts
}  // namespace orvela
