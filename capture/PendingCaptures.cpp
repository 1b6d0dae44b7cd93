#include "capture/PendingCaptures.h"

#include "platform/AtomicFile.h"
#include "platform/FileLock.h"

#include <algorithm>

namespace orvela {

PendingCaptures::PendingCaptures(DefaultsStore& defaults, std::string key)
    : defaults(defaults), key(std::move(key)), inFlightKey(this->key + "InFlight"),
      recoveredKey(this->key + "Recovered"), generationKey(this->key + "Generation") {
    if (auto file = defaults.file()) {
        std::filesystem::path target = followLinks(*file);
        journal_ = std::make_unique<CaptureJournal>(target.parent_path() /
                                                    (target.filename().string() + "." + this->key + ".journal"));
    }
}

int64_t PendingCaptures::storedGeneration() const {
    auto value = defaults.objectForKey(generationKey);
    auto* number = value ? std::get_if<double>(&*value) : nullptr;
    return number ? static_cast<int64_t>(*number) : 0;
}

bool PendingCaptures::refused(const std::string& error, bool busy) {
    busy_ = busy;
    // A queue locked for a moment is tried again; a refusing disk is logged once
    // for the settings and the queue together.
    if (!busy) defaults.failedBeside(error);
    return false;
}

// Another process may have changed the queue since this one last looked.
std::optional<std::string> PendingCaptures::synchronise() {
    if (loaded_ && journal_->current()) return journal_->catchUp(state_);
    QueueState stored;
    for (auto& text : defaults.textsForKey(key)) stored.queue.push_back(std::move(text));
    stored.inFlight = defaults.textsForKey(inFlightKey);
    if (auto error = journal_->replay(stored, storedGeneration())) return error;
    state_ = std::move(stored);
    loaded_ = true;
    return std::nullopt;
}

bool PendingCaptures::change(Operation operation, const std::string& text) {
    if (!journal_) return changeStored(operation, text);
    FileLock lock(journal_->file(), 0);
    if (!lock.held()) return refused(lock.error().value_or("the queue is locked"), lock.busy());
    // The defaults file itself may be unreadable: the queue in it is then unknown.
    if (!defaults.readable()) return refused(defaults.lastError().value_or("the defaults cannot be read"), false);
    if (auto error = synchronise()) return refused(*error, false);
    if (!state_.changes(operation, text)) return true;
    if (auto error = journal_->append(operation, text)) return refused(*error, false);
    state_.apply(operation, text);
    busy_ = false;
    defaults.succeededBeside();
    if (journal_->lines() < std::max(compactAfter, state_.queue.size())) return true;
    // An earlier version knows nothing of the journal and may have rewritten the
    // lists meanwhile: they are read again, the journal on top, before they are
    // written over.
    loaded_ = false;
    if (!synchronise()) compact(state_, {});
    return true;
}

bool PendingCaptures::compact(QueueState& state, const std::vector<std::string>& recovered) {
    int64_t next = storedGeneration() + 1;
    bool stored = defaults.modifyStringArrays(
        {key, inFlightKey, recoveredKey},
        [&](StringArrays& lists) {
            lists[key].assign(state.queue.begin(), state.queue.end());
            lists[inFlightKey] = state.inFlight;
            lists[recoveredKey].insert(lists[recoveredKey].end(), recovered.begin(), recovered.end());
        },
        {{generationKey, static_cast<double>(next)}}, 0.0);
    if (!stored) return false;
    // Should the new journal not be made, the old one is spent: the next change
    // starts from the lists just stored.
    if (journal_ && journal_->restart(next)) loaded_ = false;
    return true;
}

// Without a file there is no journal: the lists in the defaults are the queue.
bool PendingCaptures::changeStored(Operation operation, const std::string& text) {
    return defaults.modifyStringArrays({key, inFlightKey}, [&](StringArrays& lists) {
        QueueState state;
        state.queue.assign(lists[key].begin(), lists[key].end());
        state.inFlight = lists[inFlightKey];
        state.apply(operation, text);
        lists[key].assign(state.queue.begin(), state.queue.end());
        lists[inFlightKey] = state.inFlight;
    });
}

void PendingCaptures::look() {
    FileLock lock(journal_->file(), 0);
    busy_ = !lock.held() && lock.busy();
    if (lock.held() && defaults.readable()) synchronise();
}

std::vector<std::string> PendingCaptures::items() {
    if (!journal_) return defaults.textsForKey(key);
    look();
    return {state_.queue.begin(), state_.queue.end()};
}

std::optional<std::string> PendingCaptures::first() {
    if (!journal_) {
        auto queue = defaults.textsForKey(key);
        return queue.empty() ? std::nullopt : std::optional<std::string>(queue.front());
    }
    look();
    return state_.queue.empty() ? std::nullopt : std::optional<std::string>(state_.queue.front());
}

std::vector<std::string> PendingCaptures::inFlight() {
    if (!journal_) return defaults.textsForKey(inFlightKey);
    look();
    return state_.inFlight;
}

bool PendingCaptures::add(const std::string& text) { return change(Operation::add, text); }
bool PendingCaptures::removeFirst(const std::string& text) { return change(Operation::removeFirst, text); }
bool PendingCaptures::beginDelivery(const std::string& text) { return change(Operation::beginDelivery, text); }
bool PendingCaptures::delivered(const std::string& text) { return change(Operation::delivered, text); }
bool PendingCaptures::returnToQueue(const std::string& text) { return change(Operation::returnToQueue, text); }

bool PendingCaptures::requeueUndelivered() {
    for (const auto& text : inFlight()) {
        if (!returnToQueue(text)) return false;
    }
    return true;
}

bool PendingCaptures::recoverMovedAside() {
    auto files = defaults.movedAside();
    if (files.empty()) return true;
    auto done = defaults.textsForKey(recoveredKey);
    QueueState state;
    std::vector<std::string> recovered;
    std::unique_ptr<FileLock> lock;
    if (journal_) {
        lock = std::make_unique<FileLock>(journal_->file(), 0);
        if (!lock->held()) return refused(lock->error().value_or("the queue is locked"), lock->busy());
        if (auto error = synchronise()) return refused(*error, false);
        state = state_;
    } else {
        auto queue = defaults.textsForKey(key);
        state.queue.assign(queue.begin(), queue.end());
    }
    for (const auto& file : files) {
        if (std::find(done.begin(), done.end(), file.name) != done.end()) continue;
        for (const auto* listKey : {&key, &inFlightKey}) {
            auto list = file.values.find(*listKey);
            if (list == file.values.end() || !list->is_array()) continue;
            for (const auto& text : *list)
                if (text.is_string()) state.queue.push_back(text.get<std::string>());
        }
        recovered.push_back(file.name);
    }
    if (recovered.empty()) return true;
    // The texts and the names of their files go into one write: taken once only.
    if (!compact(state, recovered)) return refused(defaults.lastError().value_or("not stored"), defaults.lastFailureWasBusy());
    if (journal_) state_ = std::move(state);
    return true;
}

}  // namespace orvela
