#pragma once

#include <functional>

namespace orvela {

// Wakes the main loop when the wall clock reaches an instant, also when the
// clock is set or the machine was suspended meanwhile: a timer on the real-time
// clock that is cancelled, and reported as fired, whenever the clock is set.
class RealtimeTimer {
public:
    RealtimeTimer();
    ~RealtimeTimer();
    RealtimeTimer(const RealtimeTimer&) = delete;
    RealtimeTimer& operator=(const RealtimeTimer&) = delete;

    // Seconds since the epoch; replaces an earlier instant.
    void wakeAt(double instant, std::function<void()> wake);
    void cancel();

private:
    int fd_ = -1;
    unsigned source_ = 0;
    std::function<void()> wake_;
};

}  // namespace orvela
