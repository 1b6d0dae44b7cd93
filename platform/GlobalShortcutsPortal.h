#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

typedef struct _GDBusConnection GDBusConnection;
typedef struct _GVariant GVariant;

namespace orvela {

// One global shortcut through the desktop portal's GlobalShortcuts interface
// (org.freedesktop.portal.GlobalShortcuts), the way a program gets a system-wide
// key on Wayland. The desktop owns the binding: every bind opens a new portal
// session (closing the previous one) offering the shortcut, and asks the desktop
// to bind it only when the desktop does not hold it yet, so that a desktop which
// asks the user does so once, not at every start. Answers come on the main loop.
class GlobalShortcutsPortal : public std::enable_shared_from_this<GlobalShortcutsPortal> {
public:
    enum class Answer {
        bound,        // the desktop assigned a trigger (perhaps not the preferred one)
        unassigned,   // the desktop holds the shortcut but has no key for it yet
        declined,     // the user said no when the desktop asked, or was not asked again
        refused,      // the desktop failed or refused the request
        unavailable,  // no portal, or one without GlobalShortcuts
    };
    struct Shortcut {
        std::string id;
        std::string description;
        std::string preferredTrigger;  // freedesktop shortcuts format, may be empty
    };

    static std::shared_ptr<GlobalShortcutsPortal> create();
    ~GlobalShortcutsPortal();
    GlobalShortcutsPortal(const GlobalShortcutsPortal&) = delete;
    GlobalShortcutsPortal& operator=(const GlobalShortcutsPortal&) = delete;

    // An answer of an earlier bind that is still under way is dropped. The trigger
    // is the desktop's own description of what it assigned ("Ctrl+Shift+Space"),
    // empty when it gave none. Without mayAsk a shortcut the desktop does not hold
    // yet is declined rather than asked for (the user declined it before).
    void bind(Shortcut shortcut, bool mayAsk, std::function<void(Answer, const std::string& trigger)> done);
    // Closes the session: the shortcut stops firing.
    void close();

    // Whether the portal lets the user change the bound shortcut in the desktop's
    // own dialog (GlobalShortcuts version 2), and a session is open.
    bool canConfigure() const { return version_ >= 2 && !session_.empty(); }
    uint32_t version() const { return version_; }
    // Opens that dialog over the given parent ("wayland:HANDLE", or empty); the
    // outcome arrives through onTriggerChanged.
    void configure(const std::string& parentWindow, const std::string& activationToken);

    // A press of the bound shortcut, with the activation token the portal sent
    // (empty when none) for the window shown in answer.
    std::function<void(const std::string& activationToken)> onActivated;
    // The user changed the trigger in the desktop's settings (empty: none now).
    std::function<void(const std::string& trigger)> onTriggerChanged;
    // The desktop ended the session, or the portal went away (portalGone): the
    // key is dead. Without a portal there is nothing to bind until it returns.
    std::function<void(bool portalGone)> onSessionLost;
    // The portal came back after it went away (a restart): bind again.
    std::function<void()> onPortalReturned;

private:
    GlobalShortcutsPortal();
    static GDBusConnection* openConnection();
    void dropConnection();
    void renewConnection();
    void subscribe();
    void listen();
    void watchOwner();
    using Response = std::function<void(uint32_t code, GVariant* results)>;
    // Calls a portal method that answers through a Request object, listening on
    // the request's path before the call is made so no answer can be missed.
    void request(const char* method, GVariant* arguments, const std::string& token, Response answered);
    void askVersion(uint64_t generation);
    void createSession(uint64_t generation);
    void listHeld(uint64_t generation, std::function<void(bool listed, const std::string& trigger)> then);
    void bindInSession(uint64_t generation);
    void finish(uint64_t generation, Answer answer, const std::string& trigger);
    void followSession();
    void sessionLost(bool portalGone);
    void activated(GVariant* parameters);
    void triggersChanged(GVariant* parameters);
    GVariant* shortcutList() const;
    std::string nextToken();

    GDBusConnection* bus_ = nullptr;
    std::string session_;
    unsigned sessionClosed_ = 0;
    Shortcut shortcut_;
    bool mayAsk_ = true;
    bool wanted_ = false;
    std::function<void(Answer, const std::string&)> done_;
    uint64_t generation_ = 0;
    unsigned tokens_ = 0;
    uint32_t version_ = 0;
    std::string owner_;
    bool watched_ = false;
    unsigned ownerWatch_ = 0;
    std::vector<unsigned> subscriptions_;
};

}  // namespace orvela
