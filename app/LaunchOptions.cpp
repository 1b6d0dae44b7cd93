#include "app/LaunchOptions.h"

#include <cstdlib>

namespace orvela {

bool LaunchOptions::quiet() const {
    return d.boolForKey("smokeTest") || d.stringForKey("snapshot").has_value() ||
           d.stringForKey("e2eCapture").has_value();
}

std::vector<std::string> LaunchOptions::snapshotPaths() const {
    std::string list = d.stringForKey("snapshotPaths").value_or("/inbox");
    std::vector<std::string> paths;
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        if (comma == std::string::npos) comma = list.size();
        if (comma > start) paths.push_back(list.substr(start, comma - start));
        start = comma + 1;
    }
    return paths;
}

bool LaunchOptions::underTests() const { return std::getenv("XCTestConfigurationFilePath") != nullptr; }

}  // namespace orvela
