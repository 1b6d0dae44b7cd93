#include "web/SnapshotOptions.h"

#include "platform/TextParsing.h"

#include <algorithm>

namespace orvela::SnapshotOptions {

Size windowSize(const std::optional<std::string>& value) {
    Size fallback{defaultWidth, defaultHeight};
    if (!value) return fallback;
    auto pieces = nonEmptyPieces(*value, 'x');
    if (pieces.size() != 2) return fallback;
    auto width = decimalNumber(pieces[0]);
    auto height = decimalNumber(pieces[1]);
    // A window needs a size it can have.
    if (!width || !height || !(*width >= 1 && *width <= 20000) || !(*height >= 1 && *height <= 20000)) return fallback;
    return {*width, *height};
}

std::filesystem::path folder(const std::string& snapshot, const std::filesystem::path& temporary) {
    std::string name = std::filesystem::path(snapshot).filename().string();
    // A value ending in "/" names its last folder; "." and ".." name nothing.
    if (name.empty()) name = std::filesystem::path(snapshot).parent_path().filename().string();
    if (name.empty() || name == "." || name == "..") name = "shots";
    return temporary / name;
}

std::string siteName(const std::string& path) {
    std::string name = "site" + path;
    std::replace(name.begin(), name.end(), '/', '-');
    return name;
}

}  // namespace orvela::SnapshotOptions
