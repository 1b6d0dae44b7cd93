#include "reminders/ReminderPlan.h"

#include "platform/CanonicalText.h"

#include <absl/container/flat_hash_map.h>
#include <absl/container/flat_hash_set.h>

#include <algorithm>
#include <deque>
#include <string_view>

namespace orvela {
namespace {

// Identifiers are compared in their canonical form. Nearly all are ASCII, which is
// its own canonical form and is looked at in place; the others are composed once
// and kept here while the plan is made.
class CanonicalForms {
public:
    std::string_view of(std::string_view text) {
        if (isAscii(text)) return text;
        return composed_.emplace_back(canonicalText(text));
    }

private:
    std::deque<std::string> composed_;
};

}  // namespace

ReminderPlan ReminderPlan::make(const std::vector<NativeReminder>& wanted,
                                const std::vector<std::string>& pending, double now) {
    const std::string_view prefix = NativeReminder::requestPrefix;
    CanonicalForms forms;

    // Our own pending requests by the reminder id after the prefix, each with the
    // identifier as the centre gave it, which is what a withdrawal must name.
    absl::flat_hash_map<std::string_view, const std::string*> ownPending;
    ownPending.reserve(pending.size());
    for (const auto& identifier : pending) {
        if (identifier.starts_with(prefix))
            ownPending.try_emplace(forms.of(std::string_view(identifier).substr(prefix.size())), &identifier);
    }

    ReminderPlan plan;
    absl::flat_hash_set<std::string_view> wantedIds;
    wantedIds.reserve(wanted.size());
    for (const auto& reminder : wanted) {
        std::string_view id = forms.of(reminder.id);
        // A listed reminder whose time has passed keeps its request: it fell due
        // and has not been shown yet (no server, a refused notification), and the
        // centre shows it as soon as it can. Only past ones are never added again.
        wantedIds.insert(id);
        if (reminder.dueTime() > now && !ownPending.contains(id)) plan.toAdd.push_back(reminder);
    }

    std::vector<std::pair<std::string_view, const std::string*>> withdrawn;
    for (const auto& [id, identifier] : ownPending) {
        if (!wantedIds.contains(id)) withdrawn.emplace_back(id, identifier);
    }
    // UTF-8 byte order is code point order.
    std::sort(withdrawn.begin(), withdrawn.end());
    plan.toRemove.reserve(withdrawn.size());
    for (const auto& entry : withdrawn) plan.toRemove.push_back(*entry.second);
    return plan;
}

}  // namespace orvela
