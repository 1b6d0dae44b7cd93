#pragma once

#include "platform/DefaultsStore.h"

#include <string>
#include <vector>

namespace orvela {

// What kind of launch this is, read afresh from the defaults and the environment
// on every question.
class LaunchOptions {
public:
    explicit LaunchOptions(const DefaultsStore& defaults = DefaultsStore::standardUserDefaults())
        : d(defaults) {}

    // Smoke test, snapshot and end-to-end capture launches never take the focus.
    bool quiet() const;
    // The page paths the snapshot mode photographs, in the order given.
    std::vector<std::string> snapshotPaths() const;
    // Hosted by a unit-test runner: the application then creates nothing visible.
    bool underTests() const;

    // A launch that exists for tests or pictures (test host, smoke test, snapshot
    // mode) leaves the user's pending captures, reminders, window frame and
    // launcher badge alone.
    bool forTestsOrPictures() const { return underTests() || smokeTest() || snapshot().has_value(); }
    // How long a capture waits for the page's answer, in seconds ("captureAnswerDeadline").
    double captureAnswerDeadline() const;

    // Started with --background, as the autostart entry does at login: the
    // window stays away while a tray shows the icon. Set by the entry function.
    static inline bool inBackground = false;

    bool smokeTest() const { return d.boolForKey("smokeTest"); }
    std::optional<std::string> snapshot() const { return d.stringForKey("snapshot"); }

    const DefaultsStore& d;
};

}  // namespace orvela
