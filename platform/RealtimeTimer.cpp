#include "platform/RealtimeTimer.h"

#include "platform/Log.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <string>
#include <glib-unix.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace orvela {

RealtimeTimer::RealtimeTimer() {
    fd_ = timerfd_create(CLOCK_REALTIME, TFD_CLOEXEC | TFD_NONBLOCK);
    if (fd_ < 0) {
        log(std::string("reminders: no real-time timer: ") + std::strerror(errno));
        return;
    }
    source_ = g_unix_fd_add(fd_, G_IO_IN, [](gint fd, GIOCondition, gpointer data) -> gboolean {
        uint64_t expirations = 0;
        // ECANCELED: the clock was set; the owner re-reads it and arms again.
        if (::read(fd, &expirations, sizeof expirations) < 0 && errno == EAGAIN) return G_SOURCE_CONTINUE;
        auto* timer = static_cast<RealtimeTimer*>(data);
        if (timer->wake_) {
            auto wake = timer->wake_;
            wake();
        }
        return G_SOURCE_CONTINUE;
    }, this);
}

RealtimeTimer::~RealtimeTimer() {
    if (source_) g_source_remove(source_);
    if (fd_ >= 0) ::close(fd_);
}

void RealtimeTimer::wakeAt(double instant, std::function<void()> wake) {
    wake_ = std::move(wake);
    if (fd_ < 0) return;
    itimerspec when{};
    double whole = std::floor(instant);
    when.it_value.tv_sec = static_cast<time_t>(whole);
    when.it_value.tv_nsec = static_cast<long>((instant - whole) * 1e9);
    // An instant at or before the epoch would disarm the timer; it is due now.
    if (when.it_value.tv_sec <= 0) when.it_value = {0, 1};
    if (timerfd_settime(fd_, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &when, nullptr) != 0)
        log(std::string("reminders: cannot arm the timer: ") + std::strerror(errno));
}

void RealtimeTimer::cancel() {
    wake_ = nullptr;
    if (fd_ < 0) return;
    itimerspec off{};
    timerfd_settime(fd_, 0, &off, nullptr);
}

}  // namespace orvela
