#pragma once

#include <deque>
#include <string>
#include <vector>

namespace orvela {

// The pending queue and the texts in flight, as one state that changes one
// operation at a time.
struct QueueState {
    enum class Operation { add, removeFirst, beginDelivery, delivered, returnToQueue };

    std::deque<std::string> queue;
    std::vector<std::string> inFlight;

    // False when the operation changes nothing (a head that is not the text).
    bool apply(Operation operation, const std::string& text);
    // Whether apply would change anything, without changing it.
    bool changes(Operation operation, const std::string& text) const;
};

}  // namespace orvela
