#pragma once

#include "platform/DefaultsStore.h"

#include <string>
#include <vector>

namespace orvela {

// The captures that could not be delivered yet, oldest first, kept in the defaults
// so they survive a restart. Nothing is cached: every operation reads the stored
// list and writes it back when it changes it.
class PendingCaptures {
public:
    PendingCaptures(DefaultsStore& defaults, std::string key) : defaults(defaults), key(std::move(key)) {}

    std::vector<std::string> items() const;
    void add(const std::string& text);
    // Removes the oldest text only when it equals the given one, so a flush that
    // raced with another can never remove the wrong capture.
    void removeFirst(const std::string& text);

    DefaultsStore& defaults;
    const std::string key;
};

}  // namespace orvela
