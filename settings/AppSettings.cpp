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
                      {[this] { willSet(captureShortcut, storedShortcut_); },
                       [this](const Shortcut& value) {
                           std::string json = value.toJson();
                           stored(captureShortcut, storedShortcut_, captureShortcutKey,
                                  this->defaults.setObject(DefaultsData(json.begin(), json.end()), captureShortcutKey));
                       }}),
      showMenuBarIcon(storedSwitch(defaults, showMenuBarIconKey),
                      {[this] { willSet(showMenuBarIcon, storedMenuBarIcon_); },
                       [this](const bool& value) {
                           stored(showMenuBarIcon, storedMenuBarIcon_, showMenuBarIconKey,
                                  this->defaults.setBool(value, showMenuBarIconKey));
                       }}),
      showDockBadge(storedSwitch(defaults, showDockBadgeKey),
                    {[this] { willSet(showDockBadge, storedDockBadge_); },
                     [this](const bool& value) {
                         stored(showDockBadge, storedDockBadge_, showDockBadgeKey,
                                this->defaults.setBool(value, showDockBadgeKey));
                     }}),
      loginItem_(std::move(loginItem)) {}

template <class T>
void AppSettings::willSet(const Observable<T>& setting, T& previous) {
    objectWillChange.send();
    if (!reverting_) previous = setting.get();
}

// A value the disk refused would otherwise show as set for this run only, and
// come back as the old one at the next start: the setting returns to what is
// stored now, and its listeners hear so.
template <class T>
void AppSettings::stored(Observable<T>& setting, const T& previous, const char* key, bool written) {
    if (written || reverting_) {
        if (reverting_) defaults.forgetUnsaved(key);
        return;
    }
    log(std::string("settings: ") + key + " could not be stored (" +
        defaults.lastError().value_or("the store refused it") + "); it stays as it was");
    reverting_ = true;
    setting.set(previous);
    reverting_ = false;
}

bool AppSettings::launchAtLogin() const { return loginItem_.enabled(); }

void AppSettings::setLaunchAtLogin(bool enabled) {
    objectWillChange.send();
    auto error = enabled ? loginItem_.registerItem() : loginItem_.unregisterItem();
    if (error) log("login item: " + *error);
}

}  // namespace orvela
