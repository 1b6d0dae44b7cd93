#pragma once

#include <functional>
#include <glib-object.h>
#include <utility>

namespace orvela {

// A GObject signal handler that is disconnected when this object is destroyed, so
// a handler never runs after the C++ object that owns the connection is gone.
// The instance is watched weakly: destroying the connection after the instance is
// harmless.
//
//     connection = SignalConnection::connect<gboolean(GtkWidget*, GdkEvent*)>(
//         window, "delete-event", [this](GtkWidget*, GdkEvent*) { return hide(); });
class SignalConnection {
public:
    SignalConnection() = default;
    SignalConnection(SignalConnection&& other) noexcept : handler_(std::exchange(other.handler_, 0)) {
        moveFrom(other);
    }
    SignalConnection& operator=(SignalConnection&& other) noexcept {
        if (this != &other) {
            disconnect();
            handler_ = std::exchange(other.handler_, 0);
            moveFrom(other);
        }
        return *this;
    }
    SignalConnection(const SignalConnection&) = delete;
    SignalConnection& operator=(const SignalConnection&) = delete;
    ~SignalConnection() {
        disconnect();
        g_weak_ref_clear(&instance_);
    }

    template <class Signature, class Instance, class Handler>
    [[nodiscard]] static SignalConnection connect(Instance* instance, const char* signal, Handler handler) {
        using Function = typename Trampoline<Signature>::Function;
        SignalConnection connection;
        gulong id = g_signal_connect_data(
            instance, signal, G_CALLBACK(&Trampoline<Signature>::call), new Function(std::move(handler)),
            [](gpointer data, GClosure*) { delete static_cast<Function*>(data); }, GConnectFlags(0));
        connection.handler_ = id;
        g_weak_ref_set(&connection.instance_, instance);
        return connection;
    }

    void disconnect() {
        if (handler_ == 0) return;
        if (gpointer instance = g_weak_ref_get(&instance_)) {
            g_signal_handler_disconnect(instance, handler_);
            g_object_unref(instance);
        }
        handler_ = 0;
        g_weak_ref_set(&instance_, nullptr);
    }

private:
    template <class Signature>
    struct Trampoline;

    template <class Result, class Instance, class... Arguments>
    struct Trampoline<Result(Instance*, Arguments...)> {
        using Function = std::function<Result(Instance*, Arguments...)>;
        static Result call(Instance* instance, Arguments... arguments, gpointer data) {
            return (*static_cast<Function*>(data))(instance, arguments...);
        }
    };

    void moveFrom(SignalConnection& other) {
        gpointer instance = g_weak_ref_get(&other.instance_);
        g_weak_ref_set(&instance_, instance);
        if (instance) g_object_unref(instance);
        g_weak_ref_set(&other.instance_, nullptr);
    }

    gulong handler_ = 0;
    GWeakRef instance_{};  // all zero is the empty weak reference
};

}  // namespace orvela
