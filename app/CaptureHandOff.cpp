#include "app/CaptureHandOff.h"

namespace orvela {

std::shared_ptr<CaptureHandOff> CaptureHandOff::create(PendingCaptures& pending, std::shared_ptr<CaptureTarget> target) {
    return std::shared_ptr<CaptureHandOff>(new CaptureHandOff(pending, std::move(target)));
}

void CaptureHandOff::save(const std::string& text, std::function<void(CaptureOutcome)> done) {
    if (!target_->bridgeReady()) {
        pending_.add(text);
        done(CaptureOutcome::queued);
        return;
    }
    std::weak_ptr<CaptureHandOff> weak = weak_from_this();
    target_->capture(text, [weak, text, done = std::move(done)](bool accepted) {
        if (accepted) {
            done(CaptureOutcome::saved);
            return;
        }
        // Without the queue the text is nowhere: the panel keeps it for another try.
        auto self = weak.lock();
        if (!self) {
            done(CaptureOutcome::failed);
            return;
        }
        self->pending_.add(text);
        done(CaptureOutcome::queued);
    });
}

void CaptureHandOff::flushPending() {
    if (flushing_) return;
    auto items = pending_.items();
    if (items.empty() || !target_->bridgeReady()) return;
    std::string head = items.front();
    flushing_ = true;
    std::weak_ptr<CaptureHandOff> weak = weak_from_this();
    target_->capture(head, [weak, head](bool accepted) {
        auto self = weak.lock();
        if (!self) return;
        self->flushing_ = false;
        if (!accepted) return;
        self->pending_.removeFirst(head);
        self->flushPending();
    });
}

}  // namespace orvela
