#include "capture/QueueState.h"

#include <algorithm>

namespace orvela {

bool QueueState::apply(Operation operation, const std::string& text) {
    switch (operation) {
    case Operation::add:
        queue.push_back(text);
        return true;
    case Operation::removeFirst:
        if (queue.empty() || queue.front() != text) return false;
        queue.pop_front();
        return true;
    case Operation::beginDelivery:
        inFlight.push_back(text);
        return true;
    case Operation::delivered:
    case Operation::returnToQueue: {
        // Equal texts in flight are interchangeable: any one of them may go.
        auto found = std::find(inFlight.begin(), inFlight.end(), text);
        bool was = found != inFlight.end();
        if (was) inFlight.erase(found);
        if (operation == Operation::returnToQueue) queue.push_back(text);
        return was || operation == Operation::returnToQueue;
    }
    }
    return false;
}

bool QueueState::changes(Operation operation, const std::string& text) const {
    if (operation == Operation::removeFirst) return !queue.empty() && queue.front() == text;
    if (operation == Operation::delivered) return std::find(inFlight.begin(), inFlight.end(), text) != inFlight.end();
    return true;
}

}  // namespace orvela
