#include "reminders/NotificationStore.h"

#include "platform/AtomicFile.h"
#include "platform/FileLock.h"
#include "platform/Log.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <unordered_set>

namespace orvela {
namespace {

// In the order found, so that what is kept unread is written back as it was.
using json = nlohmann::ordered_json;

// Written by hand rather than through a document: the file is rewritten on every
// change and may hold thousands of requests.
void appendText(std::string& out, const std::string& text) { out += json(text).dump(); }

void appendRequest(std::string& out, const NotificationRequest& request) {
    const CalendarTrigger& t = request.trigger;
    out += "{\"identifier\":";
    appendText(out, request.identifier);
    out += ",\"title\":";
    appendText(out, request.title);
    out += ",\"body\":";
    appendText(out, request.body);
    out += request.defaultSound ? ",\"defaultSound\":true" : ",\"defaultSound\":false";
    out += ",\"userInfo\":{";
    bool first = true;
    for (const auto& [key, value] : request.userInfo) {
        if (!first) out += ",";
        first = false;
        appendText(out, key);
        out += ":";
        appendText(out, value);
    }
    out += "},\"trigger\":{\"year\":" + std::to_string(t.year) + ",\"month\":" + std::to_string(t.month) +
           ",\"day\":" + std::to_string(t.day) + ",\"hour\":" + std::to_string(t.hour) +
           ",\"minute\":" + std::to_string(t.minute) + ",\"second\":" + std::to_string(t.second) + "}}";
}

std::optional<NotificationRequest> decodeRequest(const json& entry) {
    try {
        NotificationRequest request;
        request.identifier = entry.at("identifier").get<std::string>();
        request.title = entry.at("title").get<std::string>();
        request.body = entry.at("body").get<std::string>();
        request.defaultSound = entry.at("defaultSound").get<bool>();
        request.userInfo = entry.at("userInfo").get<std::map<std::string, std::string>>();
        const json& t = entry.at("trigger");
        request.trigger = {t.at("year").get<int>(), t.at("month").get<int>(), t.at("day").get<int>(),
                           t.at("hour").get<int>(), t.at("minute").get<int>(), t.at("second").get<int>()};
        return request;
    } catch (const json::exception&) {
        return std::nullopt;
    }
}

std::optional<ShownNotification> decodeShown(const json& entry) {
    try {
        auto request = decodeRequest(entry.at("request"));
        if (!request) return std::nullopt;
        return ShownNotification{entry.at("server").get<std::string>(), entry.at("id").get<uint32_t>(),
                                 entry.at("shownAt").get<double>(), std::move(*request)};
    } catch (const json::exception&) {
        return std::nullopt;
    }
}

}  // namespace

std::string NotificationStore::encode(const NotificationState& state) {
    std::string text = "{\"pending\":[";
    text.reserve(state.pending.size() * 200);
    bool first = true;
    auto separate = [&] {
        if (!std::exchange(first, false)) text += ",\n";
    };
    for (const auto& request : state.pending) {
        separate();
        appendRequest(text, request);
    }
    for (const auto& unread : state.unreadPending) {
        separate();
        text += unread;
    }
    text += "],\n\"shown\":[";
    first = true;
    for (const auto& shown : state.shown) {
        separate();
        text += "{\"server\":";
        appendText(text, shown.server);
        text += ",\"id\":" + std::to_string(shown.id) + ",\"shownAt\":" + json(shown.shownAt).dump() + ",\"request\":";
        appendRequest(text, shown.request);
        text += "}";
    }
    for (const auto& unread : state.unreadShown) {
        separate();
        text += unread;
    }
    text += "]";
    for (const auto& [name, value] : state.otherMembers) {
        text += ",\n";
        appendText(text, name);
        text += ":" + value;
    }
    text += "}\n";
    return text;
}

std::optional<NotificationState> NotificationStore::decode(const std::string& text) {
    json stored = json::parse(text, nullptr, false);
    if (!stored.is_object()) return std::nullopt;
    auto pending = stored.find("pending");
    if (pending == stored.end() || !pending->is_array()) return std::nullopt;
    NotificationState state;
    for (const auto& entry : *pending) {
        if (auto request = decodeRequest(entry)) state.pending.push_back(std::move(*request));
        else state.unreadPending.push_back(entry.dump());
    }
    auto shown = stored.find("shown");
    if (shown != stored.end() && shown->is_array()) {
        for (const auto& entry : *shown) {
            if (auto decoded = decodeShown(entry)) state.shown.push_back(std::move(*decoded));
            else state.unreadShown.push_back(entry.dump());
        }
    }
    for (const auto& [name, value] : stored.items()) {
        // A "shown" that is no list is not ours to keep: the next save writes one.
        if (name != "pending" && name != "shown") state.otherMembers.emplace_back(name, value.dump());
    }
    return state;
}

NotificationState NotificationStore::load() {
    if (file_.empty()) return {};
    std::filesystem::path target = followLinks(file_);
    auto contents = readWholeFile(target);
    if (!contents.text && !contents.error) return {};
    if (contents.text) {
        if (auto state = decode(*contents.text)) return *state;
    }
    std::string why = contents.error ? *contents.error : target.string() + " could not be understood";
    if (auto aside = moveAside(target)) {
        log("reminders: " + why + "; moved to " + aside->string());
    } else {
        log("reminders: " + why + ", nor moved aside; reminders are kept in memory only");
        usable_ = false;
    }
    return {};
}

std::nullopt_t NotificationStore::failed(const std::string& error) {
    // A full disk refuses every write until there is room: one line says so.
    if (!std::exchange(failureLogged_, true)) log("reminders: " + error);
    return std::nullopt;
}

std::optional<NotificationState> NotificationStore::save(const std::vector<NotificationChange>& changes,
                                                         const NotificationState& known) {
    if (file_.empty()) return known;
    if (!usable_) {
        return failed(file_.string() + " cannot be used; reminders are kept in memory only");
    }
    std::filesystem::path target = followLinks(file_);
    // Without the lock another process's save could land between our read and
    // write and be lost: no turn, no write.
    FileLock lock(target);
    if (!lock.held()) return failed(lock.error().value_or("cannot lock " + target.string()));
    auto contents = readWholeFile(target);
    if (contents.error) return failed(*contents.error);
    NotificationState state;
    if (contents.text) {
        auto stored = decode(*contents.text);
        if (!stored) {
            auto aside = moveAside(target);
            if (!aside) return failed(target.string() + " could not be understood nor moved aside");
            log("reminders: " + target.string() + " could not be understood; moved to " + aside->string());
            stored = known;
        }
        state = std::move(*stored);
    }
    for (const auto& change : changes) change(state);
    if (auto error = writeFileAtomically(target, encode(state))) return failed(*error);
    failureLogged_ = false;
    return state;
}

NotificationChange NotificationStore::upsert(NotificationRequest request) {
    return [request = std::move(request)](NotificationState& state) {
        auto found = std::find_if(state.pending.begin(), state.pending.end(),
                                  [&](const NotificationRequest& entry) { return entry.identifier == request.identifier; });
        if (found == state.pending.end()) state.pending.push_back(request);
        else *found = request;
    };
}

NotificationChange NotificationStore::remove(std::vector<std::string> identifiers) {
    return [withdrawn = std::unordered_set<std::string>(identifiers.begin(), identifiers.end())](NotificationState& state) {
        std::erase_if(state.pending, [&](const NotificationRequest& entry) { return withdrawn.contains(entry.identifier); });
    };
}

NotificationChange NotificationStore::removeExactly(NotificationRequest request) {
    return [request = std::move(request)](NotificationState& state) {
        std::erase(state.pending, request);
    };
}

NotificationChange NotificationStore::addShown(ShownNotification shown) {
    return [shown = std::move(shown)](NotificationState& state) {
        std::erase_if(state.shown, [&](const ShownNotification& entry) {
            return entry.server == shown.server && entry.id == shown.id;
        });
        state.shown.push_back(shown);
        if (state.shown.size() > shownKept)
            state.shown.erase(state.shown.begin(), state.shown.end() - static_cast<long>(shownKept));
    };
}

NotificationChange NotificationStore::removeShown(std::string server, uint32_t id) {
    return [server = std::move(server), id](NotificationState& state) {
        std::erase_if(state.shown, [&](const ShownNotification& entry) { return entry.server == server && entry.id == id; });
    };
}

}  // namespace orvela
