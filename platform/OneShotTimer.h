#pragma once

#include <functional>

namespace orvela {

// A timer on the main loop that fires once. Starting it again, cancelling it or
// destroying it removes a pending firing.
class OneShotTimer {
public:
    OneShotTimer() = default;
    OneShotTimer(const OneShotTimer&) = delete;
    OneShotTimer& operator=(const OneShotTimer&) = delete;
    ~OneShotTimer() { cancel(); }

    void start(double seconds, std::function<void()> task);
    void cancel();
    bool armed() const { return source_ != 0; }

private:
    unsigned source_ = 0;
    std::function<void()> task_;
};

}  // namespace orvela
