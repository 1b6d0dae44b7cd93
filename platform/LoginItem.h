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
    // executable that is running now.
    LoginItem();
    LoginItem(std::filesystem::path entry, std::string executable);

    bool enabled() const;

    // Each returns the error's description when the entry could not be written
    // or removed.
    std::optional<std::string> registerItem();
    std::optional<std::string> unregisterItem();

    const std::filesystem::path& entry() const { return entry_; }

private:
    std::filesystem::path entry_;
    std::string executable_;
};

}  // namespace orvela
