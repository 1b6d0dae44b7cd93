#pragma once

#include "reminders/NativeReminder.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orvela {

// A notification the desktop's server has shown: which server (the bus and the
// server's connection on it) and the number it gave, so a click reported by the
// server can be told from one on another program's notification.
struct ShownNotification {
    std::string server;
    uint32_t id = 0;
    double shownAt = 0;
    NotificationRequest request;
};

struct NotificationState {
    std::vector<NotificationRequest> pending;
    std::vector<ShownNotification> shown;
    // What this version cannot read (entries another version wrote, members it
    // does not know), as JSON texts, written back as they were found.
    std::vector<std::string> unreadPending;
    std::vector<std::string> unreadShown;
    std::vector<std::pair<std::string, std::string>> otherMembers;
};

// One change to the state, applied again to whatever is stored when it is
// written; each is idempotent, so applying it to a state that has it already is
// harmless.
using NotificationChange = std::function<void(NotificationState&)>;

// The file of the notification centre. Another process may keep the same file (a
// second session of the user): each save applies the changes to the file as it is
// on disk then, under a lock, so that both processes' changes stay.
class NotificationStore {
public:
    // No file: the state lives in memory only.
    explicit NotificationStore(std::filesystem::path file) : file_(std::move(file)) {}

    // What is stored. A file that cannot be read or understood is moved aside,
    // never written over; one that cannot be moved leaves the store in memory only.
    NotificationState load();
    // The stored state with the changes applied, as written; nothing when it could
    // not be written (the caller keeps the changes for the next try). known is
    // what the caller has, the base when the file turns out to be unreadable.
    std::optional<NotificationState> save(const std::vector<NotificationChange>& changes, const NotificationState& known);

    static std::string encode(const NotificationState& state);
    // Nothing when the text is not a state; entries that are not requests are kept
    // aside, unread.
    static std::optional<NotificationState> decode(const std::string& text);

    // Changes the centre makes.
    static NotificationChange upsert(NotificationRequest request);
    static NotificationChange remove(std::vector<std::string> identifiers);
    // Removes the request only while it is the same one (not replaced meanwhile).
    static NotificationChange removeExactly(NotificationRequest request);
    static NotificationChange addShown(ShownNotification shown);
    static NotificationChange removeShown(std::string server, uint32_t id);

    // The shown notifications kept, newest last; older ones can no longer be clicked.
    static constexpr size_t shownKept = 100;

private:
    std::nullopt_t failed(const std::string& error);

    std::filesystem::path file_;
    bool usable_ = true;
    bool failureLogged_ = false;
};

}  // namespace orvela
