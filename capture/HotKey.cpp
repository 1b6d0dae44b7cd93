#include "capture/HotKey.h"

#include "capture/KeyPositions.h"
#include "capture/PortalTrigger.h"
#include "capture/ShortcutRecorder.h"
#include "platform/Activation.h"
#include "platform/GlobalShortcutsPortal.h"
#include "platform/MainQueue.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <gdk/gdkwayland.h>
#include <gdk/gdkx.h>

namespace orvela {
namespace {

constexpr unsigned meaningfulModifiers = ShiftMask | ControlMask | Mod1Mask | Mod4Mask;
constexpr const char* applicationId = "ru.orvela.Orvela";

bool onX11() {
    GdkDisplay* display = gdk_display_get_default();
    return display && GDK_IS_X11_DISPLAY(display);
}

bool onWayland() {
    GdkDisplay* display = gdk_display_get_default();
    return display && GDK_IS_WAYLAND_DISPLAY(display);
}

}  // namespace

std::shared_ptr<HotKey> HotKey::create(std::function<void()> action) {
    std::shared_ptr<HotKey> hotKey(new HotKey(nextId_++, std::move(action)));
    instances_[hotKey->id] = hotKey;
    installHandlerOnce();
    return hotKey;
}

HotKey::HotKey(uint32_t id, std::function<void()> action) : id(id), action_(std::move(action)) {}

HotKey::~HotKey() { unregister(); }

void HotKey::teardown() {
    unregister();
    action_ = nullptr;
    onStateChanged = nullptr;
    portal_.reset();
    instances_.erase(id);
}

uint32_t HotKey::lastPressTime() { return lastPressTime_; }

bool HotKey::registered() const { return grab_.held() || portalBound_; }

void HotKey::installHandlerOnce() {
    if (handlerInstalled_ || !onX11()) return;
    handlerInstalled_ = true;
    GdkDisplay* display = gdk_display_get_default();
    // Held keys repeat as presses alone, without a release between them.
    XkbSetDetectableAutoRepeat(GDK_DISPLAY_XDISPLAY(display), True, nullptr);
    gdk_window_add_filter(nullptr, [](GdkXEvent* native, GdkEvent*, gpointer) -> GdkFilterReturn {
        auto* event = static_cast<XEvent*>(native);
        if (event->type != KeyPress && event->type != KeyRelease) return GDK_FILTER_CONTINUE;
        if (event->xkey.window != DefaultRootWindow(event->xkey.display)) return GDK_FILTER_CONTINUE;
        if (event->type == KeyPress)
            pressed(event->xkey.keycode, event->xkey.state, static_cast<uint32_t>(event->xkey.time));
        else
            released(event->xkey.keycode);
        return GDK_FILTER_REMOVE;
    }, nullptr);
    // The lock keys may move to other modifier bits, and the grabs with them.
    g_signal_connect(gdk_keymap_get_for_display(display), "keys-changed",
                     G_CALLBACK(+[](GdkKeymap*, gpointer) { keyboardMappingChanged(); }), nullptr);
}

void HotKey::pressed(unsigned keycode, unsigned state, uint32_t time) {
    lastPressTime_ = time;
    // While a new key is being recorded, the current one is a key like any other.
    if (auto* recorder = ShortcutRecorder::recordingNow()) {
        recorder->record(keycode, state);
        return;
    }
    for (const auto& [id, hotKey] : instances_) {
        if (!hotKey->grab_.held() || hotKey->grab_.keycode() != keycode) continue;
        if ((state & meaningfulModifiers) != hotKey->grab_.modifiers()) continue;
        if (std::exchange(heldKeycode_, keycode) == keycode) return;
        hotKey->fire();
        return;
    }
}

void HotKey::released(unsigned keycode) {
    if (heldKeycode_ == keycode) heldKeycode_ = 0;
}

void HotKey::keyboardMappingChanged() {
    for (const auto& [id, hotKey] : instances_) {
        if (!hotKey->grab_.held() || hotKey->grab_.regrab()) continue;
        hotKey->stateChanged({HotKeyState::Kind::taken, ""});
    }
}

void HotKey::fire() {
    // The action runs after the event has been handled; the task keeps its hot key
    // until then.
    auto self = instances_.count(id) ? instances_.at(id) : nullptr;
    MainQueue::async([self] {
        if (self && self->action_) self->action_();
    });
}

void HotKey::stateChanged(const HotKeyState& state) {
    if (onStateChanged) onStateChanged(state);
}

HotKeyState HotKey::registerShortcut(const Shortcut& shortcut) {
    unregister();
    if (onWayland()) return bindThroughPortal(shortcut);
    auto keycode = KeyPositions::x11Keycode(shortcut.keyCode);
    if (!onX11()) return {HotKeyState::Kind::unsupported, ""};
    if (!keycode || !grab_.grab(*keycode, KeyPositions::x11Modifiers(shortcut.modifiers)))
        return {HotKeyState::Kind::taken, ""};
    return {HotKeyState::Kind::working, ""};
}

HotKeyState HotKey::bindThroughPortal(const Shortcut& shortcut) {
    if (!portal_) {
        portal_ = GlobalShortcutsPortal::create(applicationId);
        uint32_t hotKeyId = id;
        portal_->onActivated = [hotKeyId](const std::string& token) {
            auto found = instances_.find(hotKeyId);
            if (found == instances_.end()) return;
            HotKey& hotKey = *found->second;
            // The desktop, not this program, saw the key: the recorder is handed
            // the combination the desktop reports.
            if (auto* recorder = ShortcutRecorder::recordingNow()) {
                auto keycode = KeyPositions::x11Keycode(hotKey.portalShortcut_.keyCode);
                if (keycode) recorder->record(*keycode, KeyPositions::x11Modifiers(hotKey.portalShortcut_.modifiers));
                return;
            }
            Activation::setToken(token);
            hotKey.fire();
        };
        portal_->onTriggerChanged = [hotKeyId](const std::string& trigger) {
            auto found = instances_.find(hotKeyId);
            if (found == instances_.end()) return;
            found->second->portalBound_ = !trigger.empty();
            found->second->stateChanged({trigger.empty() ? HotKeyState::Kind::taken : HotKeyState::Kind::working, trigger});
        };
    }
    portalShortcut_ = shortcut;
    uint32_t hotKeyId = id;
    portal_->bind({"capture", "Быстрая запись во «Входящие»", portalTrigger(shortcut).value_or("")},
                  [hotKeyId](GlobalShortcutsPortal::Answer answer, const std::string& trigger) {
                      auto found = instances_.find(hotKeyId);
                      if (found == instances_.end()) return;
                      using Answer = GlobalShortcutsPortal::Answer;
                      found->second->portalBound_ = answer == Answer::bound;
                      auto kind = answer == Answer::bound     ? HotKeyState::Kind::working
                                  : answer == Answer::refused ? HotKeyState::Kind::taken
                                                              : HotKeyState::Kind::unsupported;
                      found->second->stateChanged({kind, trigger});
                  });
    return {HotKeyState::Kind::waiting, ""};
}

bool HotKey::configureThroughDesktop() {
    for (const auto& [id, hotKey] : instances_) {
        if (!hotKey->portal_ || !hotKey->portalBound_ || !hotKey->portal_->canConfigure()) continue;
        hotKey->portal_->configure("");
        return true;
    }
    return false;
}

void HotKey::unregister() {
    grab_.release();
    heldKeycode_ = 0;
    portalBound_ = false;
    if (portal_) portal_->close();
}

}  // namespace orvela
