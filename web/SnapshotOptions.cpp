#include "web/SnapshotOptions.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace orvela::SnapshotOptions {
namespace {

std::optional<double> decimal(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

Size windowSize(const std::optional<std::string>& value) {
    Size fallback{defaultWidth, defaultHeight};
    if (!value) return fallback;
    std::vector<std::string> pieces;
    size_t start = 0;
    while (start <= value->size()) {
        size_t x = value->find('x', start);
        if (x == std::string::npos) x = value->size();
        if (x > start) pieces.push_back(value->substr(start, x - start));
        start = x + 1;
    }
    if (pieces.size() != 2) return fallback;
    auto width = decimal(pieces[0]);
    auto height = decimal(pieces[1]);
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
