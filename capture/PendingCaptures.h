#pragma once

#include "platform/DefaultsStore.h"

#include <string>
#include <vector>

namespace orvela {

// The captures that could not be delivered yet, oldest first, kept in the defaults
// so they survive a restart. Nothing is cached: every operation reads the stored
// list and writes it back when it changes it; each says whether its change reached
// the disk.
//
// Beside the queue, under the key followed by "InFlight", is the journal of texts
// handed to the page whose answer has not come: a text is written there before the
// page sees it and leaves only once the page has taken it or it went to the queue,
// so a crash while the page thinks loses nothing (a duplicate at worst).
class PendingCaptures {
public:
    PendingCaptures(DefaultsStore& defaults, std::string key)
        : defaults(defaults), key(std::move(key)), inFlightKey(this->key + "InFlight"),
          recoveredKey(this->key + "Recovered") {}

    std::vector<std::string> items() const;
    bool add(const std::string& text);
    // Removes the oldest text only when it equals the given one, so a flush that
    // raced with another can never remove the wrong capture.
    bool removeFirst(const std::string& text);

    std::vector<std::string> inFlight() const;
    // The text is about to be handed to the page.
    bool beginDelivery(const std::string& text);
    // The page has taken it.
    bool delivered(const std::string& text);
    // The page did not take it: from the journal to the end of the queue, in one write.
    bool returnToQueue(const std::string& text);
    // At start-up: whatever a previous run left in the journal joins the queue, in
    // its order.
    bool requeueUndelivered();
    // At start-up: the queued and journalled texts of defaults files that were
    // moved aside join the queue, each file once (its name is written down in the
    // same write, under the key followed by "Recovered").
    bool recoverMovedAside();

    DefaultsStore& defaults;
    const std::string key;
    const std::string inFlightKey;
    const std::string recoveredKey;
};

}  // namespace orvela
