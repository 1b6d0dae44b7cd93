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

void CaptureHandOff::save(const std::string& text, std::function<void(CaptureOutcome)> done) {
    if (!target_->bridgeReady()) {
        done(pending_.add(text) ? CaptureOutcome::queued : CaptureOutcome::failed);
        return;
    }
    // On disk before the page sees it: a crash while the page thinks loses nothing.
    if (!pending_.beginDelivery(text)) {
        done(CaptureOutcome::failed);
        return;
    }
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
            self->pending_.delivered(text);
            done(CaptureOutcome::saved);
            return;
        }
        // A text left in the journal is queued at the next start, but the user
        // is told it is kept only when it is in the queue now.
        done(self->pending_.returnToQueue(text) ? CaptureOutcome::queued : CaptureOutcome::failed);
    });
}

void CaptureHandOff::flushPending() {
    if (flushing_) return;
    auto items = pending_.items();
    if (items.empty() || !target_->bridgeReady()) return;
    std::string head = items.front();
    flushing_ = true;
    std::weak_ptr<CaptureHandOff> weak = weak_from_this();
    ask(head, [weak, head](bool accepted) {
        if (auto self = weak.lock()) self->flushAnswered(head, accepted);
    });
}

void CaptureHandOff::flushAnswered(const std::string& head, bool accepted) {
    flushing_ = false;
    if (!accepted) return;
    // A head that cannot be removed would be sent again and again: wait for the
    // next ready report instead.
    if (!pending_.removeFirst(head)) return;
    flushPending();
}

}  // namespace orvela
