#pragma once

#include "capture/CaptureJournal.h"
#include "platform/DefaultsStore.h"

#include <memory>
#include <string>
#include <vector>

namespace orvela {

// The captures that could not be delivered yet, oldest first, kept in the defaults
// so they survive a restart; each operation says whether its change reached the
// disk.
//
// Beside the queue, under the key followed by "InFlight", is the journal of texts
// handed to the page whose answer has not come: a text is written there before the
// page sees it and leaves only once the page has taken it or it went to the queue,
// so a crash while the page thinks loses nothing (a duplicate at worst).
//
// With the defaults in a file, each change is one line appended to a journal
// beside it (CaptureJournal), so it costs the same however long the queue is; the
// lists in the defaults are brought up to date when the journal has grown as long
// as the queue, in the form earlier versions read. Other processes may share the
// queue: each change first replays what they appended. No operation waits for
// another process: one that finds the queue locked fails at once with busy() set,
// for the caller to try again a moment later.
class PendingCaptures {
public:
    PendingCaptures(DefaultsStore& defaults, std::string key);
    PendingCaptures(const PendingCaptures&) = delete;
    PendingCaptures& operator=(const PendingCaptures&) = delete;

    std::vector<std::string> items();
    // The oldest text, without copying the rest.
    std::optional<std::string> first();
    bool add(const std::string& text);
    // Removes the oldest text only when it equals the given one, so a flush that
    // raced with another can never remove the wrong capture.
    bool removeFirst(const std::string& text);

    std::vector<std::string> inFlight();
    // The text is about to be handed to the page.
    bool beginDelivery(const std::string& text);
    // The page has taken it.
    bool delivered(const std::string& text);
    // The page did not take it: from the journal to the end of the queue, in one write.
    bool returnToQueue(const std::string& text);
    // At start-up: whatever a previous run left in the journal joins the queue, in
    // its order.
    bool requeueUndelivered();
    // At start-up: the queued and journalled texts of defaults files that were
    // moved aside join the queue, each file once (its name is written down in the
    // same write, under the key followed by "Recovered").
    bool recoverMovedAside();

    // The last change failed, or the last look showed what was known before,
    // only because another process held the queue.
    bool busy() const { return busy_; }

    // Journal lines below which the lists in the defaults are left as they are.
    static constexpr size_t compactAfter = 256;

    DefaultsStore& defaults;
    const std::string key;
    const std::string inFlightKey;
    const std::string recoveredKey;
    const std::string generationKey;

private:
    using Operation = QueueState::Operation;

    bool change(Operation operation, const std::string& text);
    bool changeStored(Operation operation, const std::string& text);
    std::optional<std::string> synchronise();
    // Brings the state up to date unless another process holds the queue.
    void look();
    // Writes the state into the defaults and starts the next journal.
    bool compact(QueueState& state, const std::vector<std::string>& recovered);
    bool refused(const std::string& error, bool busy);
    int64_t storedGeneration() const;

    std::unique_ptr<CaptureJournal> journal_;
    QueueState state_;
    bool loaded_ = false;
    bool busy_ = false;
};

}  // namespace orvela
