#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace orvela {

// Leaves the signal it came from when destroyed. Safe to outlive the signal.
class Subscription {
public:
    Subscription() = default;
    explicit Subscription(std::function<void()> leave) : leave_(std::move(leave)) {}
    Subscription(Subscription&& other) noexcept : leave_(std::exchange(other.leave_, nullptr)) {}
    Subscription& operator=(Subscription&& other) noexcept {
        if (this != &other) {
            reset();
            leave_ = std::exchange(other.leave_, nullptr);
        }
        return *this;
    }
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;
    ~Subscription() { reset(); }

    void reset() {
        if (auto leave = std::exchange(leave_, nullptr)) leave();
    }

private:
    std::function<void()> leave_;
};

// A list of listeners called synchronously, in the order they subscribed.
template <class... Args>
class Signal {
public:
    using Listener = std::function<void(const Args&...)>;

    [[nodiscard]] Subscription subscribe(Listener listener) {
        uint64_t id = state_->nextId++;
        state_->listeners.emplace_back(id, std::move(listener));
        std::weak_ptr<State> weak = state_;
        return Subscription([weak, id] {
            if (auto state = weak.lock()) {
                std::erase_if(state->listeners, [id](const auto& entry) { return entry.first == id; });
            }
        });
    }

    size_t listenerCount() const { return state_->listeners.size(); }

    void send(const Args&... args) const {
        // A listener may subscribe or leave while the signal is being sent, so walk
        // a copy and skip the ones that have left in the meantime.
        auto state = state_;
        auto snapshot = state->listeners;
        for (const auto& [id, listener] : snapshot) {
            bool present = std::any_of(state->listeners.begin(), state->listeners.end(),
                                       [id = id](const auto& entry) { return entry.first == id; });
            if (present) listener(args...);
        }
    }

private:
    struct State {
        uint64_t nextId = 0;
        std::vector<std::pair<uint64_t, Listener>> listeners;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

// A value whose subscribers receive the current value when they subscribe and then
// every assigned value, synchronously, before it is stored: inside a listener, get()
// still returns the previous value. Every assignment notifies, equal or not.
template <class T>
class Observable {
public:
    struct Hooks {
        std::function<void()> willSet;              // before the listeners
        std::function<void(const T&)> didSet;       // after the value is stored
    };

    explicit Observable(T initial, Hooks hooks = {})
        : value_(std::move(initial)), hooks_(std::move(hooks)) {}
    Observable(const Observable&) = delete;
    Observable& operator=(const Observable&) = delete;

    const T& get() const { return value_; }

    void set(T value) {
        if (hooks_.willSet) hooks_.willSet();
        changes_.send(value);
        value_ = std::move(value);
        if (hooks_.didSet) hooks_.didSet(value_);
    }

    [[nodiscard]] Subscription subscribe(std::function<void(const T&)> listener) {
        listener(value_);
        return changes_.subscribe(std::move(listener));
    }
    size_t subscriberCount() const { return changes_.listenerCount(); }

private:
    T value_;
    Hooks hooks_;
    Signal<T> changes_;
};

}  // namespace orvela
