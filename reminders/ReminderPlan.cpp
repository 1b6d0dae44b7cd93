#include "reminders/ReminderPlan.h"

#include "platform/CanonicalText.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace orvela {

ReminderPlan ReminderPlan::make(const std::vector<NativeReminder>& wanted,
                                const std::vector<std::string>& pending, double now) {
    const std::string_view prefix = NativeReminder::requestPrefix;

    // Identifiers are compared in their canonical form; the pending ones keep the
    // text the centre gave, which is what a withdrawal must name.
    std::unordered_map<std::string, std::string> ownPending;
    ownPending.reserve(pending.size());
    for (const auto& identifier : pending) {
        if (identifier.starts_with(prefix)) ownPending.try_emplace(canonicalText(identifier), identifier);
    }

    ReminderPlan plan;
    std::unordered_set<std::string> wantedIdentifiers;
    wantedIdentifiers.reserve(wanted.size());
    for (const auto& reminder : wanted) {
        if (!(reminder.dueTime() > now)) continue;
        std::string identifier = canonicalText(reminder.requestIdentifier());
        if (!ownPending.contains(identifier)) plan.toAdd.push_back(reminder);
        wantedIdentifiers.insert(std::move(identifier));
    }

    std::vector<std::pair<std::string, std::string>> withdrawn;
    for (auto& [canonical, original] : ownPending) {
        if (!wantedIdentifiers.contains(canonical)) withdrawn.emplace_back(canonical, original);
    }
    // UTF-8 byte order is code point order.
    std::sort(withdrawn.begin(), withdrawn.end());
    plan.toRemove.reserve(withdrawn.size());
    for (auto& entry : withdrawn) plan.toRemove.push_back(std::move(entry.second));
    return plan;
}

}  // namespace orvela
