#pragma once

#include "capture/CaptureOutcome.h"
#include "capture/PendingCaptures.h"

#include <functional>
#include <memory>
#include <string>

namespace orvela {

// What the hand-off needs of the web host.
class CaptureTarget {
public:
    virtual ~CaptureTarget() = default;
    virtual bool bridgeReady() const = 0;
    // done(true) only when the page stored the text.
    virtual void capture(const std::string& text, std::function<void(bool)> done) = 0;
};

// Takes each capture from the panel to the page, or into the pending queue when
// the page cannot take it, and sends the queue, oldest first and one text per
// accepted answer, whenever the page reports ready. No text is ever dropped.
class CaptureHandOff : public std::enable_shared_from_this<CaptureHandOff> {
public:
    static std::shared_ptr<CaptureHandOff> create(PendingCaptures& pending, std::shared_ptr<CaptureTarget> target);

    // done is called once: at once with queued while the page is not ready,
    // else with the page's answer (saved, or queued when it refused).
    void save(const std::string& text, std::function<void(CaptureOutcome)> done);
    // Sends the oldest queued text; each acceptance sends the next, the first
    // refusal stops until the next call.
    void flushPending();

    bool flushing() const { return flushing_; }

private:
    CaptureHandOff(PendingCaptures& pending, std::shared_ptr<CaptureTarget> target)
        : pending_(pending), target_(std::move(target)) {}

    PendingCaptures& pending_;
    std::shared_ptr<CaptureTarget> target_;
    bool flushing_ = false;
};

}  // namespace orvela
