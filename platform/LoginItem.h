#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace orvela {

// Opening the application when the user logs in, through an XDG autostart entry.
// The item is enabled exactly when the entry exists and is not hidden.
class LoginItem {
public:
    // The entry $XDG_CONFIG_HOME/autostart/ru.orvela.Orvela.desktop, starting the
    // installed command (installedCommand).
    LoginItem();
    // An empty command: there is none, and registering fails.
    LoginItem(std::filesystem::path entry, std::string command);

    // The orvela command as a login will find it: on PATH, else in the folder the
    // package installs it to. Not the running executable, which may be a build
    // tree's or one a package upgrade replaced. Empty when there is none.
    static std::string installedCommand();

    bool enabled() const;

    // Each returns the error's description when the entry could not be written
    // or removed.
    std::optional<std::string> registerItem();
    std::optional<std::string> unregisterItem();

    const std::filesystem::path& entry() const { return entry_; }

private:
    std::filesystem::path entry_;
    std::string command_;
};

}  // namespace orvela
