#include "web/FreeName.h"

namespace orvela {
namespace {

std::string plainFileName(const std::string& suggested) {
    std::string name = suggested;
    for (char& c : name) {
        if (c == '/' || c == '\0') c = '_';
    }
    if (name == "." || name == "..") return "";
    return name;
}

}  // namespace

std::filesystem::path freeName(const std::string& suggested, const std::filesystem::path& folder) {
    std::string name = plainFileName(suggested);
    if (name.empty()) name = "Orvela";
    // The extension is what follows the last dot, unless the dot begins the name
    // (".profile") or ends it.
    std::string base = name;
    std::string extension;
    size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0 && dot + 1 < name.size()) {
        base = name.substr(0, dot);
        extension = name.substr(dot + 1);
    }
    std::filesystem::path candidate = folder / name;
    for (unsigned long n = 2;; ++n) {
        std::error_code ignored;
        if (!std::filesystem::exists(std::filesystem::symlink_status(candidate, ignored))) return candidate;
        std::string numbered = base + " " + std::to_string(n);
        if (!extension.empty()) numbered += "." + extension;
        candidate = folder / numbered;
    }
}

}  // namespace orvela
