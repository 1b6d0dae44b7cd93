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
// key on Wayland. Every bind opens a new portal session (closing the previous
// one) and binds the one shortcut in it; the answer comes back on the main loop.
class GlobalShortcutsPortal : public std::enable_shared_from_this<GlobalShortcutsPortal> {
public:
    enum class Answer {
        bound,        // the desktop assigned a trigger (perhaps not the preferred one)
        refused,      // the desktop or the user declined, or bound no trigger
        unavailable,  // no portal, or one without GlobalShortcuts
    };
    struct Shortcut {
        std::string id;
        std::string description;
        std::string preferredTrigger;  // freedesktop shortcuts format, may be empty
    };

    // appId is registered with the portal's host registry first where it has one:
    // newer portals name a program that is not sandboxed by it.
    static std::shared_ptr<GlobalShortcutsPortal> create(std::string appId);
    ~GlobalShortcutsPortal();
    GlobalShortcutsPortal(const GlobalShortcutsPortal&) = delete;
    GlobalShortcutsPortal& operator=(const GlobalShortcutsPortal&) = delete;

    // An answer of an earlier bind that is still under way is dropped. The trigger
    // is the desktop's own description of what it assigned ("Ctrl+Shift+Space"),
    // empty when it gave none.
    void bind(Shortcut shortcut, std::function<void(Answer, const std::string& trigger)> done);
    // Closes the session: the shortcut stops firing.
    void close();

    // Whether the portal lets the user change the bound shortcut in the desktop's
    // own dialog (GlobalShortcuts version 2), and the session is bound.
    bool canConfigure() const { return version_ >= 2 && !session_.empty(); }
    // Opens that dialog; the outcome arrives through onTriggerChanged.
    void configure(const std::string& activationToken);

    // A press of the bound shortcut, with the activation token the portal sent
    // (empty when none) for the window shown in answer.
    std::function<void(const std::string& activationToken)> onActivated;
    // The user changed the trigger in the desktop's settings (empty: none now).
    std::function<void(const std::string& trigger)> onTriggerChanged;

private:
    explicit GlobalShortcutsPortal(std::string appId);
    void subscribe();
    using Response = std::function<void(uint32_t code, GVariant* results)>;
    // Calls a portal method that answers through a Request object, listening on
    // the request's path before the call is made so no answer can be missed.
    void request(const char* method, GVariant* arguments, const std::string& token, Response answered);
    void createSession(uint64_t generation);
    void bindInSession(uint64_t generation);
    void listAssigned(uint64_t generation);
    void finish(uint64_t generation, Answer answer, const std::string& trigger);
    void activated(GVariant* parameters);
    void triggersChanged(GVariant* parameters);
    std::string nextToken();

    const std::string appId_;
    GDBusConnection* bus_ = nullptr;
    std::string session_;
    Shortcut shortcut_;
    std::function<void(Answer, const std::string&)> done_;
    uint64_t generation_ = 0;
    unsigned tokens_ = 0;
    uint32_t version_ = 0;
    bool registered_ = false;
    std::vector<unsigned> subscriptions_;
};

}  // namespace orvela
