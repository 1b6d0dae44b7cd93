#pragma once

#include <functional>
#include <memory>

namespace orvela {

// Deferred work on the GLib main context of the main thread.
namespace MainQueue {

// Runs the task on a later turn of the main loop.
void async(std::function<void()> task);

// Runs the task once, at least the given number of seconds from now.
void after(double seconds, std::function<void()> task);

// The bound forms hold their target weakly: a task whose target is gone by the
// time it runs does nothing.
template <class Target>
void async(std::weak_ptr<Target> target, std::function<void(Target&)> task) {
    async([target = std::move(target), task = std::move(task)] {
        if (auto strong = target.lock()) task(*strong);
    });
}

template <class Target>
void after(double seconds, std::weak_ptr<Target> target, std::function<void(Target&)> task) {
    after(seconds, [target = std::move(target), task = std::move(task)] {
        if (auto strong = target.lock()) task(*strong);
    });
}

}  // namespace MainQueue
}  // namespace orvela
