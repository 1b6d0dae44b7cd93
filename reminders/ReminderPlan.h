#pragma once

#include "reminders/NativeReminder.h"

#include <string>
#include <vector>

namespace orvela {

// What to schedule and what to withdraw so that the pending notification requests
// match the reminders the page wants. A pure computation.
struct ReminderPlan {
    std::vector<NativeReminder> toAdd;   // in the order of the wanted list
    std::vector<std::string> toRemove;   // each once, ascending by code point

    // Only pending identifiers that begin with "reminder:" are ours; every other
    // request is left alone. A wanted reminder due at or before now is not added,
    // but its pending request stays: only a reminder the page no longer lists is
    // withdrawn.
    static ReminderPlan make(const std::vector<NativeReminder>& wanted,
                             const std::vector<std::string>& pending, double now);
};

}  // namespace orvela
