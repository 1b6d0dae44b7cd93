#include "capture/HotKey.h"

#include "capture/KeyPositions.h"
#include "capture/PortalTrigger.h"
#include "capture/ShortcutRecorder.h"
#include "platform/Activation.h"
#include "platform/GlobalShortcutsPortal.h"
#include "platform/MainQueue.h"

#include <X11/XKBlib.h>
#include <algorithm>
#include <X11/Xlib.h>
#include <gdk/gdkwayland.h>
#include <gdk/gdkx.h>

namespace orvela {
namespace {

constexpr unsigned meaningfulModifiers = ShiftMask | ControlMask | Mod1Mask | Mod4Mask;

bool onX11() {
    GdkDisplay* display = gdk_display_get_default();
    return display && GDK_IS_X11_DISPLAY(display);
}

bool onWayland() {
    GdkDisplay* display = gdk_display_get_default();
    return display && GDK_IS_WAYLAND_DISPLAY(display);
}

HotKeyState stateOf(X11KeyGrab::Outcome outcome) {
    using Outcome = X11KeyGrab::Outcome;
    using Kind = HotKeyState::Kind;
    return {outcome == Outcome::grabbed ? Kind::working : outcome == Outcome::taken ? Kind::taken : Kind::layoutSwitch, ""};
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
        if (event->type == KeyPress) {
            bool taken = pressed(event->xkey.keycode, event->xkey.state, static_cast<uint32_t>(event->xkey.time));
            // A synchronous grab froze the keyboard at the press: it goes on, and a
            // press that is not ours is replayed to the window in front as if never
            // grabbed. Other presses are not frozen, and this does nothing to them.
            XAllowEvents(event->xkey.display, taken ? AsyncKeyboard : ReplayKeyboard, event->xkey.time);
            XFlush(event->xkey.display);
        } else {
            released(event->xkey.keycode);
        }
        return GDK_FILTER_REMOVE;
    }, nullptr);
    // The lock keys may move to other modifier bits, and the layout switches to
    // other keys, and the grabs with them.
    g_signal_connect(gdk_keymap_get_for_display(display), "keys-changed",
                     G_CALLBACK(+[](GdkKeymap*, gpointer) { keyboardMappingChanged(); }), nullptr);
}

bool HotKey::pressed(unsigned keycode, unsigned state, uint32_t time) {
    lastPressTime_ = time;
    auto found = std::find_if(instances_.begin(), instances_.end(), [&](const auto& entry) {
        return entry.second->grab_.isCombination(keycode, state & meaningfulModifiers);
    });
    if (found == instances_.end()) return false;
    // While a new key is being recorded, the current one is a key like any other,
    // with the modifiers a layout switch took out of the press put back.
    if (auto* recorder = ShortcutRecorder::recordingNow()) {
        recorder->record(keycode, state | found->second->grab_.modifiers());
        return true;
    }
    if (std::exchange(heldKeycode_, keycode) != keycode) found->second->fire();
    return true;
}

void HotKey::released(unsigned keycode) {
    if (heldKeycode_ == keycode) heldKeycode_ = 0;
}

void HotKey::keyboardMappingChanged() {
    for (const auto& [id, hotKey] : instances_) {
        if (!hotKey->grab_.held()) continue;
        auto before = hotKey->grab_.outcome();
        auto now = hotKey->grab_.regrab();
        if (now != before) hotKey->stateChanged(stateOf(now));
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
    if (!keycode) return {HotKeyState::Kind::taken, ""};
    return stateOf(grab_.grab(*keycode, KeyPositions::x11Modifiers(shortcut.modifiers)));
}

HotKeyState HotKey::bindThroughPortal(const Shortcut& shortcut) {
    if (!portal_) {
        portal_ = GlobalShortcutsPortal::create();
        uint32_t hotKeyId = id;
        auto found = [hotKeyId]() -> HotKey* {
            auto entry = instances_.find(hotKeyId);
            return entry == instances_.end() ? nullptr : entry->second.get();
        };
        portal_->onActivated = [found](const std::string& token) {
            HotKey* hotKey = found();
            if (!hotKey) return;
            Activation::setToken(token);
            hotKey->fire();
        };
        portal_->onTriggerChanged = [found](const std::string& trigger) {
            HotKey* hotKey = found();
            if (!hotKey) return;
            hotKey->portalBound_ = !trigger.empty();
            hotKey->stateChanged(hotKey->portalState(trigger.empty() ? HotKeyState::Kind::unassigned : HotKeyState::Kind::working, trigger));
        };
        // The key is dead until a new session binds it: the state says so
        // meanwhile, and a desktop that keeps ending sessions is asked less often.
        portal_->onSessionLost = [found](bool portalGone) {
            HotKey* hotKey = found();
            if (!hotKey) return;
            hotKey->portalBound_ = false;
            hotKey->stateChanged(hotKey->portalState(HotKeyState::Kind::waiting, ""));
            if (portalGone) return;
            double delay = hotKey->rebindDelay_;
            hotKey->rebindDelay_ = std::min(hotKey->rebindDelay_ * 2, 60.0);
            uint32_t hotKeyId = hotKey->id;
            MainQueue::after(delay, [hotKeyId] {
                auto entry = instances_.find(hotKeyId);
                if (entry != instances_.end()) entry->second->bindAgain();
            });
        };
        portal_->onPortalReturned = [found] {
            HotKey* hotKey = found();
            if (!hotKey) return;
            hotKey->portalBound_ = false;
            hotKey->bindAgain();
        };
    }
    portalShortcut_ = shortcut;
    uint32_t hotKeyId = id;
    portal_->bind({"capture", "Быстрая запись во «Входящие»", portalTrigger(shortcut).value_or("")}, mayAskDesktop_,
                  [hotKeyId](GlobalShortcutsPortal::Answer answer, const std::string& trigger) {
                      auto found = instances_.find(hotKeyId);
                      if (found == instances_.end()) return;
                      HotKey& hotKey = *found->second;
                      using Answer = GlobalShortcutsPortal::Answer;
                      using Kind = HotKeyState::Kind;
                      hotKey.portalBound_ = answer == Answer::bound;
                      if (answer == Answer::bound || answer == Answer::unassigned) hotKey.rebindDelay_ = 1;
                      auto kind = answer == Answer::bound        ? Kind::working
                                  : answer == Answer::unassigned ? Kind::unassigned
                                  : answer == Answer::declined   ? Kind::declined
                                  : answer == Answer::refused    ? Kind::taken
                                                                 : Kind::unsupported;
                      hotKey.stateChanged(hotKey.portalState(kind, trigger));
                  });
    return portalState(HotKeyState::Kind::waiting, "");
}

HotKeyState HotKey::portalState(HotKeyState::Kind kind, const std::string& trigger) const {
    bool desktop = kind != HotKeyState::Kind::unsupported;
    return {kind, trigger, desktop, desktop && portal_ && portal_->version() >= 2};
}

void HotKey::bindAgain() {
    if (!portal_ || portalBound_) return;
    bindThroughPortal(portalShortcut_);
}

bool HotKey::desktopBinds() {
    for (const auto& [id, hotKey] : instances_) {
        if (hotKey->portal_ && hotKey->portal_->version() > 0) return true;
    }
    return false;
}

void HotKey::setMayAskDesktop(bool mayAsk) { mayAskDesktop_ = mayAsk; }

bool HotKey::configureThroughDesktop(GtkWindow* parent) {
    for (const auto& [id, hotKey] : instances_) {
        if (!hotKey->portal_ || !hotKey->portal_->canConfigure()) continue;
        std::weak_ptr<GlobalShortcutsPortal> portal = hotKey->portal_;
        Activation::exportForPortal(parent, [portal](const std::string& handle, const std::string& token) {
            if (auto open = portal.lock()) open->configure(handle, token);
        });
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
