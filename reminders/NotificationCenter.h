#pragma once

#include "reminders/NativeReminder.h"

#include <functional>
#include <string>
#include <vector>

namespace orvela {

// What the reminders need of a notification centre: requests kept until their
// calendar trigger comes, and two questions to its delegate.
class NotificationCenter {
public:
    virtual ~NotificationCenter() = default;

    // There is no permission to ask for on Linux desktops; the answer is yes.
    virtual void requestAuthorization(std::function<void(bool granted)> completion) = 0;
    // Every pending request, to the completion, later on the main loop.
    virtual void pendingRequests(std::function<void(std::vector<NotificationRequest>)> completion) = 0;
    virtual void removePendingRequests(const std::vector<std::string>& identifiers) = 0;
    // Replaces a pending request with the same identifier.
    virtual void add(const NotificationRequest& request) = 0;

    // Asked before a due request is shown; present(false) shows nothing.
    std::function<void(const NotificationRequest&, std::function<void(bool present)>)> willPresent;
    // The user clicked a shown notification.
    std::function<void(const NotificationRequest&, std::function<void()> completion)> didReceive;
};

}  // namespace orvela
