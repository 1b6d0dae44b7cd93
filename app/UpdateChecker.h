#pragma once

namespace orvela {

// Looks for a newer version of the application. This build has no update feed:
// starting it and asking it to check do nothing.
class UpdateChecker {
public:
    void start() {}
    void checkForUpdates() {}
};

}  // namespace orvela
