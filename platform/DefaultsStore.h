#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace orvela {

using DefaultsData = std::vector<uint8_t>;
using DefaultsValue = std::variant<std::string, bool, double, DefaultsData, std::vector<std::string>>;

// The per-user key-value store of settings and launch switches.
//
// Persistent values live in one JSON file that is replaced atomically on every
// write. Pairs "-key value" on the command line form an argument domain that wins
// over the stored value of the same key for the run; its values are texts, which
// boolForKey reads as YES/NO, true/false or a number.
class DefaultsStore {
public:
    // A store on the given file (or in memory only when there is none), with the
    // argument domain built from the given arguments (the program name excluded).
    // A file that cannot be understood is moved aside and the store starts empty.
    explicit DefaultsStore(std::optional<std::filesystem::path> file,
                           const std::vector<std::string>& arguments = {});
    DefaultsStore(const DefaultsStore&) = delete;
    DefaultsStore& operator=(const DefaultsStore&) = delete;

    // The application's store: $XDG_CONFIG_HOME/orvela/defaults.json, with the
    // arguments of this process. The same object on every call.
    static DefaultsStore& standardUserDefaults();
    static std::filesystem::path standardPath();

    std::optional<std::string> stringForKey(const std::string& key) const;
    bool boolForKey(const std::string& key) const;
    std::optional<std::vector<std::string>> stringArrayForKey(const std::string& key) const;
    std::optional<DefaultsData> dataForKey(const std::string& key) const;
    std::optional<DefaultsValue> objectForKey(const std::string& key) const;

    void setObject(const DefaultsValue& value, const std::string& key);
    void setBool(bool value, const std::string& key);
    void removeObjectForKey(const std::string& key);

    // The "-key value" pairs among the command-line arguments (program name left out).
    static std::map<std::string, std::string> argumentDomain(const std::vector<std::string>& arguments);
    // The arguments that are not such pairs, in their order.
    static std::vector<std::string> otherArguments(const std::vector<std::string>& arguments);

private:
    const nlohmann::json* persistent(const std::string& key) const;
    void load();
    void save() const;

    std::optional<std::filesystem::path> file_;
    std::map<std::string, std::string> arguments_;
    // Kept as read, so values of forms this store does not know are written back
    // unchanged rather than lost.
    nlohmann::json values_ = nlohmann::json::object();
};

}  // namespace orvela
