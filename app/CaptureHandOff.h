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
// accepted answer, whenever the page reports ready. No text is ever dropped: a
// text is on disk before the page sees it, and the panel is told it is kept only
// when it is.
//
// A page that does not answer within the deadline counts as having refused; its
// answer, should it come later, is ignored (a duplicate in the Inbox at worst).
class CaptureHandOff : public std::enable_shared_from_this<CaptureHandOff> {
public:
    // Runs the task once after the given number of seconds.
    using Timer = std::function<void(double seconds, std::function<void()> task)>;
    static constexpr double defaultAnswerDeadline = 20;
    // Seconds between tries while another process holds the queue, and how long
    // before a holder that keeps it is taken to be stuck and the step fails.
    static constexpr double busyRetry = 0.05;
    static constexpr double busyPatience = 2;

    static std::shared_ptr<CaptureHandOff> create(PendingCaptures& pending, std::shared_ptr<CaptureTarget> target,
                                                  Timer timer, double answerDeadline = defaultAnswerDeadline);

    // done is called once: at once with queued while the page is not ready,
    // else with the page's answer (saved, or queued when it refused or was
    // silent); failed whenever the text could not be stored.
    void save(const std::string& text, std::function<void(CaptureOutcome)> done);
    // Sends the oldest queued text; each acceptance sends the next, the first
    // refusal stops until the next call.
    void flushPending();

    bool flushing() const { return flushing_; }

private:
    CaptureHandOff(PendingCaptures& pending, std::shared_ptr<CaptureTarget> target, Timer timer, double answerDeadline)
        : pending_(pending), target_(std::move(target)), timer_(std::move(timer)), answerDeadline_(answerDeadline) {}
    // Hands the text to the page; settled runs once, with the answer or with
    // false at the deadline.
    void ask(const std::string& text, std::function<void(bool accepted)> settled);
    void deliver(const std::string& text, std::function<void(CaptureOutcome)> done);
    void flushAnswered(const std::string& head, bool accepted);
    // Runs a step of the queue; while another process holds the queue it is tried
    // again from the timer, and the panel keeps showing the text as being saved.
    void store(std::function<bool(PendingCaptures&)> step, std::function<void(bool stored)> then, double waited = 0);

    PendingCaptures& pending_;
    std::shared_ptr<CaptureTarget> target_;
    Timer timer_;
    double answerDeadline_;
    bool flushing_ = false;
};

}  // namespace orvela
