#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace orvela::SnapshotOptions {

inline constexpr double defaultWidth = 1280;
inline constexpr double defaultHeight = 788;
inline constexpr const char* defaultCapture = "Позвонить в сервис насчёт машины";

struct Size {
    double width;
    double height;
    bool operator==(const Size&) const = default;
};

// "1440x900": two decimal numbers around a lower-case x; anything else gives the
// default size.
Size windowSize(const std::optional<std::string>& value);

// The folder inside the temporary folder named by the last component of the
// "snapshot" value, "shots" when it has none.
std::filesystem::path folder(const std::string& snapshot, const std::filesystem::path& temporary);

// "site" and the path with every "/" made "-": "/inbox" gives "site-inbox".
std::string siteName(const std::string& path);

}  // namespace orvela::SnapshotOptions
