#pragma once

#include "reminders/NotificationCenter.h"
#include "reminders/NotificationStore.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>

typedef struct _GTimeZone GTimeZone;

namespace orvela {

// The application's own notification centre: no Linux service keeps scheduled
// notifications, so the pending requests are kept here, in a file that survives
// restarts, and each is shown by the desktop's notification server when the
// local wall clock first reaches its trigger. A request leaves the file only once
// a server has shown it or its owner withdrew it. One that fell due while the
// application was not running is shown at the next start if it is less than 24
// hours late, and dropped unseen otherwise; one that fell due while it ran (the
// machine slept, the clock was set forward, no server was there) is shown when
// that is seen, however late. A notification shown a minute or more after its
// time says so in its body.
//
// The notifications shown are kept too, so that a click on one of them opens its
// item also after the application restarted or the server moved it to its history.
class LocalNotificationCenter : public NotificationCenter, public std::enable_shared_from_this<LocalNotificationCenter> {
public:
    // Where a server showed a notification: the server ("bus/connection") and its number.
    struct Shown {
        std::string server;
        uint32_t id = 0;
    };

    // How the centre reaches the world; each part can be replaced in tests.
    struct Environment {
        // Empty: the requests are kept in memory only.
        std::filesystem::path stateFile;
        std::function<double()> now;
        std::function<GTimeZone*()> zone;  // a new reference each call
        // Asks a server to show a notification; done, later, says where it was
        // shown or that no server took it.
        std::function<void(const NotificationRequest&, std::function<void(std::optional<Shown>)> done)> show;
        // Tells of every click on a notification (of any program) and of every
        // notification server that comes onto the bus, for the rest of the process.
        std::function<void(std::function<void(const Shown&)> clicked, std::function<void()> serverAppeared)> listen;
        // Wakes the centre at an instant (replacing an earlier one); an infinite
        // instant only cancels the earlier one.
        std::function<void(double instant, std::function<void()> wake)> wakeAt;
        // Tells of every change of the local time zone, for the rest of the process.
        std::function<void(std::function<void()> changed)> watchZone;

        // $XDG_STATE_HOME/orvela/notifications.json, the system clock and zone,
        // the desktop's notification server and a real-time timer.
        static Environment desktop();
        // For launches that exist for tests or pictures: nothing is read, stored
        // or shown.
        static Environment inert();
    };

    // The centre sleeps until the next trigger: a change of time zone, the clock
    // being set and a notification server coming onto the bus wake it besides.
    // At a start, requests this many seconds late are dropped rather than shown.
    static constexpr double latestReplay = 24 * 60 * 60;
    // Shown this many seconds after its time or later, a notification says so.
    static constexpr double lateAfter = 60;
    // Begins the line added to a late notification's body, before its due time.
    static constexpr const char* lateNote = "С опозданием, срок был ";

    // Reads the pending requests and shows or drops those that are due already.
    static std::shared_ptr<LocalNotificationCenter> create(Environment environment);

    void requestAuthorization(std::function<void(bool)> completion) override;
    void pendingRequests(std::function<void(std::vector<NotificationRequest>)> completion) override;
    void removePendingRequests(const std::vector<std::string>& identifiers) override;
    void add(const NotificationRequest& request) override;

    // Shows every request that is due now; the timer calls it.
    void fireDue();

private:
    explicit LocalNotificationCenter(Environment environment)
        : environment_(std::move(environment)), store_(environment_.stateFile) {}
    void change(NotificationChange change);
    void save();
    void arm();
    void deliver(const NotificationRequest& request, bool late);
    void shown(const NotificationRequest& request, std::optional<Shown> where);
    void clicked(const Shown& where);
    void reindex();
    void scheduleSave();

    Environment environment_;
    NotificationStore store_;
    NotificationState state_;
    std::unordered_map<std::string, size_t> positions_;  // identifier to index in state_.pending
    // Changes not yet written; kept until a write succeeds.
    std::vector<NotificationChange> unsaved_;
    // Requests handed to a server whose answer has not come.
    std::unordered_set<std::string> delivering_;
    bool saveScheduled_ = false;
    bool lookedSinceStart_ = false;
};

}  // namespace orvela
