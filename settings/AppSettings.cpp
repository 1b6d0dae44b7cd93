#include "settings/AppSettings.h"

#include "platform/Log.h"

#include <string>

namespace orvela {
namespace {

Shortcut storedShortcut(const DefaultsStore& defaults) {
    auto data = defaults.dataForKey(AppSettings::captureShortcutKey);
    if (!data) return Shortcut::defaultCapture;
    std::string text(data->begin(), data->end());
    return Shortcut::fromJson(text).value_or(Shortcut::defaultCapture);
}

bool storedSwitch(const DefaultsStore& defaults, const char* key) {
    auto value = defaults.objectForKey(key);
    if (value) {
        if (auto* truth = std::get_if<bool>(&*value)) return *truth;
    }
    return true;
}

}  // namespace

AppSettings& AppSettings::shared() {
    static AppSettings settings(DefaultsStore::standardUserDefaults(), LoginItem());
    return settings;
}

AppSettings::AppSettings(DefaultsStore& defaults, LoginItem loginItem)
    : defaults(defaults),
      captureShortcut(storedShortcut(defaults),
                      {[this] { objectWillChange.send(); },
                       [this](const Shortcut& value) {
                           std::string json = value.toJson();
                           this->defaults.setObject(DefaultsData(json.begin(), json.end()), captureShortcutKey);
                       }}),
      showMenuBarIcon(storedSwitch(defaults, showMenuBarIconKey),
                      {[this] { objectWillChange.send(); },
                       [this](const bool& value) { this->defaults.setBool(value, showMenuBarIconKey); }}),
      showDockBadge(storedSwitch(defaults, showDockBadgeKey),
                    {[this] { objectWillChange.send(); },
                     [this](const bool& value) { this->defaults.setBool(value, showDockBadgeKey); }}),
      loginItem_(std::move(loginItem)) {}

bool AppSettings::launchAtLogin() const { return loginItem_.enabled(); }

void AppSettings::setLaunchAtLogin(bool enabled) {
    objectWillChange.send();
    auto error = enabled ? loginItem_.registerItem() : loginItem_.unregisterItem();
    if (error) log("login item: " + *error);
}

}  // namespace orvela
