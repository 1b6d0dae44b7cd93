#pragma once

#include <glib-object.h>
#include <utility>

namespace orvela {

// Owns one reference to a GObject. Move-only. Construction from a raw pointer
// adopts a reference the caller already owns; sink() takes a floating one (a GTK 3
// widget right after it is created), retain() adds a reference of its own.
template <class T>
class GObjectPtr {
public:
    GObjectPtr() = default;
    explicit GObjectPtr(T* adopted) : object_(adopted) {}
    GObjectPtr(GObjectPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    GObjectPtr& operator=(GObjectPtr&& other) noexcept {
        if (this != &other) reset(std::exchange(other.object_, nullptr));
        return *this;
    }
    GObjectPtr(const GObjectPtr&) = delete;
    GObjectPtr& operator=(const GObjectPtr&) = delete;
    ~GObjectPtr() { reset(); }

    static GObjectPtr sink(T* floating) {
        return GObjectPtr(floating ? static_cast<T*>(g_object_ref_sink(floating)) : nullptr);
    }
    static GObjectPtr retain(T* borrowed) {
        return GObjectPtr(borrowed ? static_cast<T*>(g_object_ref(borrowed)) : nullptr);
    }

    T* get() const { return object_; }
    T* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

    void reset(T* adopted = nullptr) {
        if (T* old = std::exchange(object_, adopted)) g_object_unref(old);
    }

private:
    T* object_ = nullptr;
};

}  // namespace orvela
