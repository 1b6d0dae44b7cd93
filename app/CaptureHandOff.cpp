#include "app/CaptureHandOff.h"

namespace orvela {

std::shared_ptr<CaptureHandOff> CaptureHandOff::create(PendingCaptures& pending, std::shared_ptr<CaptureTarget> target,
                                                       Timer timer, double answerDeadline) {
    return std::shared_ptr<CaptureHandOff>(new CaptureHandOff(pending, std::move(target), std::move(timer), answerDeadline));
}

void CaptureHandOff::ask(const std::string& text, std::function<void(bool)> settled) {
    auto once = std::make_shared<std::function<void(bool)>>(std::move(settled));
    auto settle = [once](bool accepted) {
        if (auto run = std::exchange(*once, nullptr)) run(accepted);
    };
    timer_(answerDeadline_, [settle] { settle(false); });
    target_->capture(text, settle);
}

void CaptureHandOff::store(std::function<bool(PendingCaptures&)> step, std::function<void(bool)> then, double waited) {
    if (step(pending_)) return then(true);
    if (!pending_.busy() || waited >= busyPatience) return then(false);
    std::weak_ptr<CaptureHandOff> weak = weak_from_this();
    timer_(busyRetry, [weak, step = std::move(step), then = std::move(then), waited]() mutable {
        if (auto self = weak.lock()) self->store(std::move(step), std::move(then), waited + busyRetry);
        else then(false);
    });
}

void CaptureHandOff::save(const std::string& text, std::function<void(CaptureOutcome)> done) {
    if (!target_->bridgeReady()) {
        store([text](PendingCaptures& pending) { return pending.add(text); },
              [done = std::move(done)](bool stored) { done(stored ? CaptureOutcome::queued : CaptureOutcome::failed); });
        return;
    }
    // On disk before the page sees it: a crash while the page thinks loses nothing.
    std::weak_ptr<CaptureHandOff> weak = weak_from_this();
    store([text](PendingCaptures& pending) { return pending.beginDelivery(text); },
          [weak, text, done = std::move(done)](bool stored) mutable {
              auto self = weak.lock();
              if (!stored || !self) return done(CaptureOutcome::failed);
              self->deliver(text, std::move(done));
          });
}

void CaptureHandOff::deliver(const std::string& text, std::function<void(CaptureOutcome)> done) {
    std::weak_ptr<CaptureHandOff> weak = weak_from_this();
    ask(text, [weak, text, done = std::move(done)](bool accepted) {
        // Gone with the application: the journal keeps the text for the next start.
        auto self = weak.lock();
        if (!self) {
            done(CaptureOutcome::failed);
            return;
        }
        if (accepted) {
            // Should the journal keep it, the next start queues it again: a duplicate, never a loss.
            self->store([text](PendingCaptures& pending) { return pending.delivered(text); }, [](bool) {});
            done(CaptureOutcome::saved);
            return;
        }
        // A text left in the journal is queued at the next start, but the user
        // is told it is kept only when it is in the queue now.
        self->store([text](PendingCaptures& pending) { return pending.returnToQueue(text); },
                    [done](bool stored) { done(stored ? CaptureOutcome::queued : CaptureOutcome::failed); });
    });
}

void CaptureHandOff::flushPending() {
    if (flushing_ || !target_->bridgeReady()) return;
    auto head = pending_.first();
    if (!head) return;
    flushing_ = true;
    std::weak_ptr<CaptureHandOff> weak = weak_from_this();
    ask(*head, [weak, head = *head](bool accepted) {
        if (auto self = weak.lock()) self->flushAnswered(head, accepted);
    });
}

void CaptureHandOff::flushAnswered(const std::string& head, bool accepted) {
    if (!accepted) {
        flushing_ = false;
        return;
    }
    // The flush stays under way until the head is off the queue, so a ready
    // report meanwhile cannot send it again. A head that cannot be removed would
    // be sent again and again: wait for the next ready report instead.
    std::weak_ptr<CaptureHandOff> weak = weak_from_this();
    store([head](PendingCaptures& pending) { return pending.removeFirst(head); }, [weak](bool removed) {
        auto self = weak.lock();
        if (!self) return;
        self->flushing_ = false;
        if (removed) self->flushPending();
    });
}

}  // namespace orvela
