#pragma once

#include "reminders/NativeReminder.h"
#include "reminders/NotificationCenter.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orvela {

// Turns the page's reminder list into notifications and a click on one into a
// request to open its item. The centre's pending requests are the only record
// of what is scheduled; every list is reconciled against them.
class ReminderScheduler : public std::enable_shared_from_this<ReminderScheduler> {
public:
    static constexpr const char* itemIdKey = "itemId";

    // Becomes the centre's delegate.
    static std::shared_ptr<ReminderScheduler> create(std::shared_ptr<NotificationCenter> center,
                                                     std::function<double()> now = nullptr);

    void update(const std::vector<NativeReminder>& list);

    bool asked = false;
    std::function<void(const std::string& itemId)> onOpen;
    std::function<bool()> isWindowInFront = [] { return false; };

private:
    ReminderScheduler(std::shared_ptr<NotificationCenter> center, std::function<double()> now)
        : center_(std::move(center)), now_(std::move(now)) {}

    std::shared_ptr<NotificationCenter> center_;
    std::function<double()> now_;
};

}  // namespace orvela
