#pragma once

#include "reminders/NotificationCenter.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <unordered_map>

typedef struct _GTimeZone GTimeZone;

namespace orvela {

// The application's own notification centre: no Linux service keeps scheduled
// notifications, so the pending requests are kept here, in a file that survives
// restarts, and each is shown by the desktop's notification server when the
// local wall clock first reaches its trigger. A request that fell due while the
// application was not running, or the machine slept, is shown when that is seen,
// if it is less than 24 hours late; older ones are dropped unseen.
class LocalNotificationCenter : public NotificationCenter, public std::enable_shared_from_this<LocalNotificationCenter> {
public:
    // How the centre reaches the world; each part can be replaced in tests.
    struct Environment {
        std::filesystem::path stateFile;
        std::function<double()> now;
        std::function<GTimeZone*()> zone;  // a new reference each call
        // Shows a notification; a click runs the callback. False when not shown.
        std::function<bool(const NotificationRequest&, std::function<void()> clicked)> show;
        // Wakes the centre at an instant (replacing an earlier one).
        std::function<void(double instant, std::function<void()> wake)> wakeAt;

        // $XDG_STATE_HOME/orvela/notifications.json, the system clock and zone,
        // the desktop's notification server and a real-time timer.
        static Environment desktop();
    };

    static constexpr double latestReplay = 24 * 60 * 60;
    // Even with nothing due sooner the centre looks again every minute, so that
    // a change of time zone moves the triggers.
    static constexpr double longestSleep = 60;

    // Reads the pending requests and shows or drops those that are due already.
    static std::shared_ptr<LocalNotificationCenter> create(Environment environment);

    void requestAuthorization(std::function<void(bool)> completion) override;
    void pendingRequests(std::function<void(std::vector<NotificationRequest>)> completion) override;
    void removePendingRequests(const std::vector<std::string>& identifiers) override;
    void add(const NotificationRequest& request) override;

    // Shows every request that is due now; the timer calls it.
    void fireDue();

private:
    explicit LocalNotificationCenter(Environment environment) : environment_(std::move(environment)) {}
    void load();
    void save() const;
    void arm();
    void deliver(const NotificationRequest& request);
    void reindex();
    void scheduleFlush();

    Environment environment_;
    std::vector<NotificationRequest> pending_;
    std::unordered_map<std::string, size_t> positions_;  // identifier to index in pending_
    bool flushScheduled_ = false;
};

}  // namespace orvela
