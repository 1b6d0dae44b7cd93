#pragma once

#include "capture/Shortcut.h"
#include "platform/DefaultsStore.h"
#include "platform/LoginItem.h"
#include "platform/Observable.h"

namespace orvela {

// The user's settings. Each of the three stored ones tells its subscribers the
// current value at once and then every new value, synchronously and before the
// value is stored (reading it inside a listener gives the old one); after that the
// value is written to the defaults. Every write stores, also an unchanged value;
// one the defaults refuse is logged and the setting returns to its stored value.
class AppSettings {
public:
    static constexpr const char* captureShortcutKey = "captureShortcut";
    static constexpr const char* showMenuBarIconKey = "showMenuBarIcon";
    static constexpr const char* showDockBadgeKey = "showDockBadge";

    // The one instance of the application, over the standard defaults.
    static AppSettings& shared();

    // Reads the three settings once; later changes to the store are not noticed.
    AppSettings(DefaultsStore& defaults, LoginItem loginItem);
    AppSettings(const AppSettings&) = delete;
    AppSettings& operator=(const AppSettings&) = delete;

    DefaultsStore& defaults;
    Observable<Shortcut> captureShortcut;
    Observable<bool> showMenuBarIcon;
    Observable<bool> showDockBadge;

    // Sent before any setting changes, and before the login item is switched.
    Signal<> objectWillChange;

    // Asks the autostart entry each time. A failed switch is logged and leaves
    // the entry as it was.
    bool launchAtLogin() const;
    void setLaunchAtLogin(bool enabled);

private:
    template <class T>
    void willSet(const Observable<T>& setting, T& previous);
    template <class T>
    void stored(Observable<T>& setting, const T& previous, const char* key, bool written);

    LoginItem loginItem_;
    Shortcut storedShortcut_ = Shortcut::defaultCapture;
    bool storedMenuBarIcon_ = true;
    bool storedDockBadge_ = true;
    bool reverting_ = false;
};

}  // namespace orvela
