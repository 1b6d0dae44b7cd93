#include "platform/OneShotTimer.h"

#include <cmath>
#include <glib.h>

namespace orvela {

void OneShotTimer::start(double seconds, std::function<void()> task) {
    cancel();
    task_ = std::move(task);
    auto milliseconds = static_cast<guint>(std::ceil(std::fmax(seconds, 0.0) * 1000.0));
    source_ = g_timeout_add(milliseconds, [](gpointer data) -> gboolean {
        auto* timer = static_cast<OneShotTimer*>(data);
        timer->source_ = 0;
        // The task may start the timer again or destroy its owner.
        auto task = std::move(timer->task_);
        task();
        return G_SOURCE_REMOVE;
    }, this);
}

void OneShotTimer::cancel() {
    if (source_ != 0) g_source_remove(source_);
    source_ = 0;
    task_ = nullptr;
}

}  // namespace orvela
