#include "platform/DefaultsStore.h"

#include "platform/FileLock.h"
#include "platform/Log.h"
#include "platform/TextParsing.h"

#include <cmath>
#include <cstdlib>
#include <glib.h>
#include <strings.h>

namespace orvela {
namespace {

using nlohmann::json;

constexpr const char* dataTag = "data";

json encode(const DefaultsValue& value) {
    return std::visit(
        [](const auto& v) -> json {
            using V = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<V, DefaultsData>) {
                gchar* text = g_base64_encode(v.data(), v.size());
                json tagged = {{"type", dataTag}, {"base64", text}};
                g_free(text);
                return tagged;
            } else {
                return json(v);
            }
        },
        value);
}

std::optional<DefaultsData> decodeData(const json& value) {
    if (!value.is_object() || value.size() != 2) return std::nullopt;
    auto type = value.find("type");
    auto base64 = value.find("base64");
    if (type == value.end() || base64 == value.end() || *type != dataTag || !base64->is_string())
        return std::nullopt;
    gsize length = 0;
    guchar* bytes = g_base64_decode(base64->get_ref<const std::string&>().c_str(), &length);
    DefaultsData data(bytes, bytes + length);
    g_free(bytes);
    return data;
}

std::optional<std::vector<std::string>> decodeStringArray(const json& value) {
    if (!value.is_array()) return std::nullopt;
    std::vector<std::string> texts;
    texts.reserve(value.size());
    for (const auto& element : value) {
        if (!element.is_string()) return std::nullopt;
        texts.push_back(element.get<std::string>());
    }
    return texts;
}

// The texts of a list that may also hold entries of other forms (written by
// another version); anything but a list has none.
std::vector<std::string> textsOfArray(const json& value) {
    std::vector<std::string> texts;
    if (!value.is_array()) return texts;
    for (const auto& element : value)
        if (element.is_string()) texts.push_back(element.get<std::string>());
    return texts;
}

// The stored list with its texts replaced by the changed ones: entries of other
// forms stay where they were. The change removes some texts and appends others,
// so each text kept is matched to the first stored one equal to it.
json mergeTexts(const json& stored, const std::vector<std::string>& texts) {
    if (!stored.is_array()) return json(texts);
    json merged = json::array();
    size_t next = 0;
    for (const auto& element : stored) {
        if (!element.is_string()) merged.push_back(element);
        else if (next < texts.size() && element.get_ref<const std::string&>() == texts[next]) merged.push_back(texts[next++]);
    }
    for (; next < texts.size(); ++next) merged.push_back(texts[next]);
    return merged;
}

bool truthOfText(const std::string& text) {
    if (strcasecmp(text.c_str(), "yes") == 0 || strcasecmp(text.c_str(), "true") == 0) return true;
    if (auto number = decimalNumber(text)) return *number != 0;
    return false;
}

std::string textOfNumber(double number) {
    if (std::isfinite(number) && number == std::trunc(number) && std::fabs(number) < 1e15)
        return std::to_string(static_cast<long long>(number));
    char buffer[G_ASCII_DTOSTR_BUF_SIZE];
    return g_ascii_dtostr(buffer, sizeof buffer, number);
}

std::vector<std::string> processArguments() {
    auto contents = readWholeFile("/proc/self/cmdline");
    std::vector<std::string> arguments;
    if (!contents.text) return arguments;
    const std::string& text = *contents.text;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\0', start);
        if (end == std::string::npos) end = text.size();
        arguments.emplace_back(text, start, end - start);
        start = end + 1;
    }
    if (!arguments.empty()) arguments.erase(arguments.begin());
    return arguments;
}

}  // namespace

DefaultsStore::DefaultsStore(std::optional<std::filesystem::path> file,
                             const std::vector<std::string>& arguments)
    : file_(std::move(file)), arguments_(argumentDomain(arguments)) {
    load();
}

DefaultsStore& DefaultsStore::standardUserDefaults() {
    static DefaultsStore store(standardPath(), processArguments());
    return store;
}

std::filesystem::path DefaultsStore::standardPath() {
    return std::filesystem::path(g_get_user_config_dir()) / "orvela" / "defaults.json";
}

namespace {

// Walks the arguments, handing each "-key value" pair to one callback and every
// other argument to the other. Only a single hyphen starts a key: "--name" is a
// GNU option (GTK's among them), "--" ends the options, and an orvela: link is
// never a key's value but always a link to open.
template <class Pair, class Other>
void splitArguments(const std::vector<std::string>& arguments, Pair pair, Other other) {
    bool options = true;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--") options = false;
        bool key = options && argument.size() >= 2 && argument[0] == '-' && argument[1] != '-';
        if (!key || i + 1 >= arguments.size() || arguments[i + 1].starts_with("orvela:")) {
            other(argument);
            continue;
        }
        pair(argument.substr(1), arguments[i + 1]);
        ++i;
    }
}

}  // namespace

std::map<std::string, std::string> DefaultsStore::argumentDomain(const std::vector<std::string>& arguments) {
    std::map<std::string, std::string> domain;
    splitArguments(arguments, [&](std::string key, const std::string& value) { domain[std::move(key)] = value; },
                   [](const std::string&) {});
    return domain;
}

std::vector<std::string> DefaultsStore::otherArguments(const std::vector<std::string>& arguments) {
    std::vector<std::string> others;
    splitArguments(arguments, [](const std::string&, const std::string&) {},
                   [&](const std::string& argument) { others.push_back(argument); });
    return others;
}

void DefaultsStore::load() {
    if (!file_) return;
    backing_ = Backing::file;
    std::filesystem::path target = followLinks(*file_);
    auto contents = readWholeFile(target);
    stamp_ = stampOf(target);
    if (contents.error) {
        // What cannot be read now (no permission, an I/O error) may read again
        // later and hold the queue: it stays where it is, and every write tries it.
        failureLogged_ = true;
        unreadable_ = true;
        lastError_ = contents.error;
        log("defaults: " + *contents.error + "; it is left where it is, settings are kept in memory for this run "
            "and captures are not stored until it can be read");
        return;
    }
    if (!contents.text) return;
    json parsed = json::parse(*contents.text, nullptr, false);
    if (parsed.is_object()) {
        stored_ = values_ = std::move(parsed);
        return;
    }
    if (auto aside = moveAside(target)) {
        log("defaults: " + file_->string() + " could not be understood; moved to " + aside->string() +
            ", starting empty");
        stamp_.reset();
        return;
    }
    // Never write over a file that could be the only copy of the user's settings.
    log("defaults: " + file_->string() + " could not be understood nor moved aside; settings are kept in memory "
        "only and captures are not stored");
    backing_ = Backing::unavailable;
}

void DefaultsStore::overlayUnsaved(json& values) const {
    for (const auto& [key, value] : unsaved_.items()) {
        if (value.is_null()) values.erase(key);
        else values[key] = value;
    }
}

// Another process may have replaced the file since this one last looked.
void DefaultsStore::refresh() const {
    if (backing_ != Backing::file) return;
    std::filesystem::path target = followLinks(*file_);
    auto stamp = stampOf(target);
    if (!stamp) unreadable_ = false;
    if (stamp == stamp_) return;
    auto contents = readWholeFile(target);
    unreadable_ = contents.error.has_value();
    if (contents.error) {
        lastError_ = contents.error;
        return;
    }
    json parsed = contents.text ? json::parse(*contents.text, nullptr, false) : json::object();
    // A half-edited file is left to its editor; the values known before stay.
    if (!parsed.is_object()) return;
    stamp_ = stamp;
    stored_ = parsed;
    overlayUnsaved(parsed);
    values_ = std::move(parsed);
}

bool DefaultsStore::failed(const std::string& error, bool busy) {
    lastError_ = error;
    lastFailureBusy_ = busy;
    // A full disk refuses every write until there is room: one line says so.
    if (!std::exchange(failureLogged_, true)) log("defaults: " + error);
    return false;
}

bool DefaultsStore::write(const std::function<void(json&)>& change, std::optional<double> lockPatience) {
    if (backing_ == Backing::memory) {
        change(values_);
        return true;
    }
    if (backing_ == Backing::unavailable) return failed(file_->string() + " cannot be used; the change is not stored");

    std::filesystem::path target = followLinks(*file_);
    FileLock lock(target, lockPatience.value_or(lockPatience_));
    if (!lock.held()) return failed(lock.error().value_or("the lock is not had"), lock.busy());
    auto contents = readWholeFile(target);
    // What could not be read may be all the user has: it is never written over.
    unreadable_ = contents.error.has_value();
    if (contents.error) return failed(*contents.error);
    json base = json::object();
    if (contents.text) {
        base = json::parse(*contents.text, nullptr, false);
        if (!base.is_object()) {
            auto aside = moveAside(target);
            if (!aside) return failed(target.string() + " could not be understood nor moved aside");
            log("defaults: " + target.string() + " could not be understood; moved to " + aside->string() +
                ", writing the values known before");
            base = values_;
        }
    }
    json updated = base;
    overlayUnsaved(updated);
    change(updated);
    if (updated != base) {
        if (auto error = writeFileAtomically(target, updated.dump(2) + "\n")) return failed(*error);
    }
    stored_ = updated;
    values_ = std::move(updated);
    stamp_ = stampOf(target);
    unsaved_ = json::object();
    failureLogged_ = false;
    lastError_.reset();
    lastFailureBusy_ = false;
    return true;
}

const nlohmann::json* DefaultsStore::persistent(const std::string& key) const {
    auto found = values_.find(key);
    return found == values_.end() ? nullptr : &*found;
}

std::optional<DefaultsValue> DefaultsStore::objectForKey(const std::string& key) const {
    if (auto argument = arguments_.find(key); argument != arguments_.end()) return argument->second;
    refresh();
    const json* value = persistent(key);
    if (!value) return std::nullopt;
    if (value->is_string()) return value->get<std::string>();
    if (value->is_boolean()) return value->get<bool>();
    if (value->is_number()) return value->get<double>();
    if (auto data = decodeData(*value)) return *data;
    if (auto texts = decodeStringArray(*value)) return *texts;
    return std::nullopt;
}

std::optional<std::string> DefaultsStore::stringForKey(const std::string& key) const {
    auto value = objectForKey(key);
    if (!value) return std::nullopt;
    if (auto* text = std::get_if<std::string>(&*value)) return *text;
    if (auto* number = std::get_if<double>(&*value)) return textOfNumber(*number);
    if (auto* truth = std::get_if<bool>(&*value)) return std::string(*truth ? "1" : "0");
    return std::nullopt;
}

bool DefaultsStore::boolForKey(const std::string& key) const {
    auto value = objectForKey(key);
    if (!value) return false;
    if (auto* truth = std::get_if<bool>(&*value)) return *truth;
    if (auto* number = std::get_if<double>(&*value)) return *number != 0;
    if (auto* text = std::get_if<std::string>(&*value)) return truthOfText(*text);
    return false;
}

std::optional<std::vector<std::string>> DefaultsStore::stringArrayForKey(const std::string& key) const {
    auto value = objectForKey(key);
    if (!value) return std::nullopt;
    if (auto* texts = std::get_if<std::vector<std::string>>(&*value)) return *texts;
    return std::nullopt;
}

std::vector<std::string> DefaultsStore::textsForKey(const std::string& key) const {
    if (arguments_.contains(key)) return {};
    refresh();
    const json* value = persistent(key);
    return value ? textsOfArray(*value) : std::vector<std::string>{};
}

std::optional<DefaultsData> DefaultsStore::dataForKey(const std::string& key) const {
    auto value = objectForKey(key);
    if (!value) return std::nullopt;
    if (auto* data = std::get_if<DefaultsData>(&*value)) return *data;
    return std::nullopt;
}

bool DefaultsStore::setObject(const DefaultsValue& value, const std::string& key) {
    json encoded = encode(value);
    if (write([&](json& values) { values[key] = encoded; })) return true;
    values_[key] = encoded;
    unsaved_[key] = std::move(encoded);
    return false;
}

bool DefaultsStore::setBool(bool value, const std::string& key) { return setObject(value, key); }

bool DefaultsStore::removeObjectForKey(const std::string& key) {
    refresh();
    if (!values_.contains(key)) return true;
    if (write([&](json& values) { values.erase(key); })) return true;
    values_.erase(key);
    unsaved_[key] = nullptr;
    return false;
}

void DefaultsStore::succeededBeside() {
    if (unsaved_.empty()) {
        failureLogged_ = false;
        return;
    }
    write([](json&) {}, 0.0);
}

bool DefaultsStore::readable() const {
    if (backing_ != Backing::file) return backing_ == Backing::memory;
    // Permissions given back change no stamp: read again while it failed.
    if (unreadable_) stamp_.reset();
    refresh();
    return !unreadable_;
}

void DefaultsStore::forgetUnsaved(const std::string& key) {
    if (!unsaved_.contains(key)) return;
    unsaved_.erase(key);
    if (auto found = stored_.find(key); found != stored_.end()) values_[key] = *found;
    else values_.erase(key);
}

std::vector<DefaultsStore::MovedAside> DefaultsStore::movedAside() const {
    std::vector<MovedAside> found;
    if (!file_) return found;
    for (const auto& path : filesMovedAside(followLinks(*file_))) {
        auto contents = readWholeFile(path);
        if (!contents.text) continue;
        json parsed = json::parse(*contents.text, nullptr, false);
        if (parsed.is_object()) found.push_back({path.filename().string(), std::move(parsed)});
    }
    return found;
}

bool DefaultsStore::modifyStringArrays(const std::vector<std::string>& keys,
                                       const std::function<void(StringArrays&)>& change,
                                       const std::map<std::string, DefaultsValue>& alsoSet,
                                       std::optional<double> lockPatience) {
    return write([&](json& values) {
        for (const auto& [key, value] : alsoSet) values[key] = encode(value);
        StringArrays before;
        for (const auto& key : keys) {
            auto found = values.find(key);
            before[key] = found == values.end() ? std::vector<std::string>{} : textsOfArray(*found);
        }
        StringArrays after = before;
        change(after);
        for (const auto& key : keys) {
            if (after[key] == before[key]) continue;
            auto found = values.find(key);
            values[key] = found == values.end() ? json(after[key]) : mergeTexts(*found, after[key]);
        }
    }, lockPatience);
}

}  // namespace orvela
