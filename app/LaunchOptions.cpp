#include "app/LaunchOptions.h"

#include "platform/TextParsing.h"

#include <cmath>
#include <cstdlib>

namespace orvela {

bool LaunchOptions::quiet() const {
    return d.boolForKey("smokeTest") || d.stringForKey("snapshot").has_value() ||
           d.stringForKey("e2eCapture").has_value();
}

std::vector<std::string> LaunchOptions::snapshotPaths() const {
    return nonEmptyPieces(d.stringForKey("snapshotPaths").value_or("/inbox"), ',');
}

double LaunchOptions::captureAnswerDeadline() const {
    auto seconds = decimalNumber(d.stringForKey("captureAnswerDeadline").value_or(""));
    return seconds && std::isfinite(*seconds) && *seconds > 0 ? *seconds : 20;
}

bool LaunchOptions::underTests() const { return std::getenv("XCTestConfigurationFilePath") != nullptr; }

}  // namespace orvela
