#include "platform/GlobalShortcutsPortal.h"

#include "platform/Log.h"
#include "platform/PortalRegistry.h"
#include "platform/SessionBus.h"

#include <gio/gio.h>
#include <optional>
#include <utility>
#include <vector>

namespace orvela {
namespace {

constexpr const char* portalName = "org.freedesktop.portal.Desktop";
constexpr const char* portalPath = "/org/freedesktop/portal/desktop";
constexpr const char* shortcutsInterface = "org.freedesktop.portal.GlobalShortcuts";
constexpr const char* sessionToken = "orvela_capture";
// A portal that does not answer within this time counts as absent.
constexpr int answerMilliseconds = 10000;

using Reply = std::function<void(GVariant* reply)>;

// An asynchronous method call whose reply (nothing on an error) arrives on the
// main loop.
void call(GDBusConnection* bus, const char* path, const char* interface, const char* method, GVariant* arguments,
          Reply replied) {
    g_dbus_connection_call(
        bus, portalName, path, interface, method, arguments, nullptr, G_DBUS_CALL_FLAGS_NONE, answerMilliseconds,
        nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            std::unique_ptr<Reply> replied(static_cast<Reply*>(data));
            GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr);
            (*replied)(reply);
            if (reply) g_variant_unref(reply);
        },
        new Reply(std::move(replied)));
}

std::string stringOf(GVariant* dictionary, const char* key) {
    GVariant* value = dictionary ? g_variant_lookup_value(dictionary, key, nullptr) : nullptr;
    std::string text;
    if (value && (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING) ||
                  g_variant_is_of_type(value, G_VARIANT_TYPE_OBJECT_PATH)))
        text = g_variant_get_string(value, nullptr);
    if (value) g_variant_unref(value);
    return text;
}

// The trigger given for the shortcut id in an a(sa{sv}) list; nothing when the
// id is not in it.
std::optional<std::string> triggerIn(GVariant* shortcuts, const std::string& id) {
    if (!shortcuts || !g_variant_is_of_type(shortcuts, G_VARIANT_TYPE("a(sa{sv})"))) return std::nullopt;
    GVariantIter iterator;
    g_variant_iter_init(&iterator, shortcuts);
    const char* name = nullptr;
    GVariant* options = nullptr;
    while (g_variant_iter_next(&iterator, "(&s@a{sv})", &name, &options)) {
        std::optional<std::string> trigger;
        if (id == name) trigger = stringOf(options, "trigger_description");
        g_variant_unref(options);
        if (trigger) return trigger;
    }
    return std::nullopt;
}

GVariant* tokenOptions(const std::string& handleToken) {
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&options, "{sv}", "handle_token", g_variant_new_string(handleToken.c_str()));
    return g_variant_builder_end(&options);
}

// One portal request: the answer is taken once, from whichever path the
// Response signal comes on.
// It is answered only while its connection is open: the Response signal and the
// call's own reply both come through it.
struct PendingRequest {
    explicit PendingRequest(GDBusConnection* connection) : bus(connection) {}
    GDBusConnection* bus;
    std::function<void(uint32_t, GVariant*)> answered;
    std::vector<unsigned> subscriptions;

    void listenOn(const std::string& path, const std::shared_ptr<PendingRequest>& self) {
        subscriptions.push_back(g_dbus_connection_signal_subscribe(
            bus, portalName, "org.freedesktop.portal.Request", "Response", path.c_str(), nullptr,
            G_DBUS_SIGNAL_FLAGS_NONE,
            [](GDBusConnection*, const char*, const char*, const char*, const char*, GVariant* parameters,
               gpointer data) {
                if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ua{sv})"))) return;
                auto request = *static_cast<std::shared_ptr<PendingRequest>*>(data);
                uint32_t code = 2;
                GVariant* results = nullptr;
                g_variant_get(parameters, "(u@a{sv})", &code, &results);
                request->answer(code, results);
                g_variant_unref(results);
            },
            new std::shared_ptr<PendingRequest>(self),
            [](gpointer data) { delete static_cast<std::shared_ptr<PendingRequest>*>(data); }));
    }

    void answer(uint32_t code, GVariant* results) {
        if (!answered) return;
        for (unsigned id : std::exchange(subscriptions, {})) g_dbus_connection_signal_unsubscribe(bus, id);
        std::exchange(answered, nullptr)(code, results);
    }
};

}  // namespace

std::shared_ptr<GlobalShortcutsPortal> GlobalShortcutsPortal::create() {
    std::shared_ptr<GlobalShortcutsPortal> portal(new GlobalShortcutsPortal());
    portal->subscribe();
    return portal;
}

GlobalShortcutsPortal::GlobalShortcutsPortal() : bus_(openConnection()) {}

GlobalShortcutsPortal::~GlobalShortcutsPortal() {
    close();
    dropConnection();
    if (ownerWatch_) g_bus_unwatch_name(ownerWatch_);
}

// A connection of the portal's own. The portal knows a session by the caller's
// bus name and the session's token, and the token must stay the same (Plasma
// names the binding after it): after a restart of the portal's front end its
// back end may still hold the old session, so a new connection, with a new
// name, opens the new one.
GDBusConnection* GlobalShortcutsPortal::openConnection() {
    GError* error = nullptr;
    char* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    GDBusConnection* connection =
        address ? g_dbus_connection_new_for_address_sync(
                      address,
                      GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                           G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
                      nullptr, nullptr, &error)
                : nullptr;
    g_free(address);
    if (error) {
        log(std::string("desktop portal: ") + error->message);
        g_error_free(error);
    }
    return connection;
}

void GlobalShortcutsPortal::dropConnection() {
    if (!bus_) return;
    if (sessionClosed_) g_dbus_connection_signal_unsubscribe(bus_, std::exchange(sessionClosed_, 0));
    for (unsigned id : std::exchange(subscriptions_, {})) g_dbus_connection_signal_unsubscribe(bus_, id);
    PortalRegistry::forget(bus_);
    g_dbus_connection_close(bus_, nullptr, nullptr, nullptr);
    g_object_unref(std::exchange(bus_, nullptr));
}

void GlobalShortcutsPortal::renewConnection() {
    dropConnection();
    session_.clear();
    bus_ = openConnection();
    listen();
}

void GlobalShortcutsPortal::subscribe() {
    listen();
    watchOwner();
}

void GlobalShortcutsPortal::listen() {
    if (!bus_) return;
    using Handler = std::function<void(GVariant*)>;
    auto on = [this](const char* signal, Handler handler) {
        subscriptions_.push_back(g_dbus_connection_signal_subscribe(
            bus_, portalName, shortcutsInterface, signal, portalPath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
            [](GDBusConnection*, const char*, const char*, const char*, const char*, GVariant* parameters,
               gpointer data) { (*static_cast<Handler*>(data))(parameters); },
            new Handler(std::move(handler)), [](gpointer data) { delete static_cast<Handler*>(data); }));
    };
    std::weak_ptr<GlobalShortcutsPortal> weak = weak_from_this();
    on("Activated", [weak](GVariant* parameters) {
        if (auto self = weak.lock()) self->activated(parameters);
    });
    on("ShortcutsChanged", [weak](GVariant* parameters) {
        if (auto self = weak.lock()) self->triggersChanged(parameters);
    });
}

// A portal that restarts has forgotten every session.
void GlobalShortcutsPortal::watchOwner() {
    GDBusConnection* shared = sessionBus();
    if (!shared) return;
    std::weak_ptr<GlobalShortcutsPortal> weak = weak_from_this();
    using Watched = std::weak_ptr<GlobalShortcutsPortal>;
    ownerWatch_ = g_bus_watch_name_on_connection(
        shared, portalName, G_BUS_NAME_WATCHER_FLAGS_NONE,
        [](GDBusConnection*, const char*, const char* owner, gpointer data) {
            auto self = static_cast<Watched*>(data)->lock();
            if (!self) return;
            bool first = !std::exchange(self->watched_, true);
            bool changed = self->owner_ != owner;
            self->owner_ = owner;
            if (first || !changed) return;
            self->renewConnection();
            if (self->wanted_ && self->onPortalReturned) self->onPortalReturned();
        },
        [](GDBusConnection*, const char*, gpointer data) {
            auto self = static_cast<Watched*>(data)->lock();
            if (!self) return;
            bool first = !std::exchange(self->watched_, true);
            if (first || self->owner_.empty()) return;
            self->owner_.clear();
            self->sessionLost(true);
        },
        new Watched(weak), [](gpointer data) { delete static_cast<Watched*>(data); });
}

std::string GlobalShortcutsPortal::nextToken() { return "orvela" + std::to_string(++tokens_); }

void GlobalShortcutsPortal::bind(Shortcut shortcut, bool mayAsk, std::function<void(Answer, const std::string&)> done) {
    close();
    uint64_t generation = ++generation_;
    shortcut_ = std::move(shortcut);
    mayAsk_ = mayAsk;
    done_ = std::move(done);
    wanted_ = true;
    if (!bus_) return finish(generation, Answer::unavailable, "");
    std::weak_ptr<GlobalShortcutsPortal> weak = weak_from_this();
    PortalRegistry::whenRegistered(bus_, [weak, generation] {
        if (auto self = weak.lock(); self && generation == self->generation_) self->askVersion(generation);
    });
}

void GlobalShortcutsPortal::askVersion(uint64_t generation) {
    std::weak_ptr<GlobalShortcutsPortal> weak = weak_from_this();
    call(bus_, portalPath, "org.freedesktop.DBus.Properties", "Get",
         g_variant_new("(ss)", shortcutsInterface, "version"), [weak, generation](GVariant* reply) {
             auto self = weak.lock();
             if (!self || generation != self->generation_) return;
             if (!reply) return self->finish(generation, Answer::unavailable, "");
             GVariant* version = nullptr;
             g_variant_get(reply, "(v)", &version);
             if (g_variant_is_of_type(version, G_VARIANT_TYPE_UINT32)) self->version_ = g_variant_get_uint32(version);
             g_variant_unref(version);
             self->createSession(generation);
         });
}

void GlobalShortcutsPortal::request(const char* method, GVariant* arguments, const std::string& token,
                                    Response answered) {
    // The request's object path is known before the call: the caller's unique
    // name without its colon, dots made underscores, then the token.
    std::string sender = g_dbus_connection_get_unique_name(bus_) + 1;
    for (char& c : sender) {
        if (c == '.') c = '_';
    }
    auto pending = std::make_shared<PendingRequest>(bus_);
    pending->answered = std::move(answered);
    pending->listenOn(std::string(portalPath) + "/request/" + sender + "/" + token, pending);
    call(bus_, portalPath, shortcutsInterface, method, arguments, [pending](GVariant* reply) {
        if (!reply) return pending->answer(2, nullptr);
        // An older portal may answer on a path of its own choosing.
        const char* path = nullptr;
        g_variant_get(reply, "(&o)", &path);
        if (pending->answered && path) pending->listenOn(path, pending);
    });
}

// The shortcut as the portal takes it, in CreateSession's options and in BindShortcuts.
GVariant* GlobalShortcutsPortal::shortcutList() const {
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&options, "{sv}", "description", g_variant_new_string(shortcut_.description.c_str()));
    if (!shortcut_.preferredTrigger.empty())
        g_variant_builder_add(&options, "{sv}", "preferred_trigger", g_variant_new_string(shortcut_.preferredTrigger.c_str()));
    GVariantBuilder shortcuts;
    g_variant_builder_init(&shortcuts, G_VARIANT_TYPE("a(sa{sv})"));
    g_variant_builder_add(&shortcuts, "(s@a{sv})", shortcut_.id.c_str(), g_variant_builder_end(&options));
    return g_variant_builder_end(&shortcuts);
}

// Plasma 5.27 registers only the shortcuts offered with the session; other
// desktops take them from BindShortcuts and ignore the option.
void GlobalShortcutsPortal::createSession(uint64_t generation) {
    std::weak_ptr<GlobalShortcutsPortal> weak = weak_from_this();
    std::string token = nextToken();
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&options, "{sv}", "handle_token", g_variant_new_string(token.c_str()));
    // Plasma names the shortcuts' owner in its own settings after the session's
    // token: the same token finds the same binding at every start.
    g_variant_builder_add(&options, "{sv}", "session_handle_token", g_variant_new_string(sessionToken));
    g_variant_builder_add(&options, "{sv}", "shortcuts", shortcutList());
    request("CreateSession", g_variant_new("(@a{sv})", g_variant_builder_end(&options)), token,
            [weak, generation](uint32_t code, GVariant* results) {
                auto self = weak.lock();
                if (!self || generation != self->generation_) return;
                std::string session = code == 0 ? stringOf(results, "session_handle") : "";
                if (session.empty() || !g_variant_is_object_path(session.c_str()))
                    return self->finish(generation, code == 1 ? Answer::declined : Answer::refused, "");
                self->session_ = session;
                self->followSession();
                // What the desktop holds already is not asked for again.
                self->listHeld(generation, [weak, generation](bool listed, const std::string& trigger) {
                    auto self = weak.lock();
                    if (!self || generation != self->generation_) return;
                    if (listed) return self->finish(generation, trigger.empty() ? Answer::unassigned : Answer::bound, trigger);
                    if (!self->mayAsk_) return self->finish(generation, Answer::declined, "");
                    self->bindInSession(generation);
                });
            });
}

void GlobalShortcutsPortal::followSession() {
    std::weak_ptr<GlobalShortcutsPortal> weak = weak_from_this();
    using Watched = std::weak_ptr<GlobalShortcutsPortal>;
    sessionClosed_ = g_dbus_connection_signal_subscribe(
        bus_, portalName, "org.freedesktop.portal.Session", "Closed", session_.c_str(), nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE,
        [](GDBusConnection*, const char*, const char* path, const char*, const char*, GVariant*, gpointer data) {
            auto self = static_cast<Watched*>(data)->lock();
            if (self && self->session_ == path) self->sessionLost(false);
        },
        new Watched(weak), [](gpointer data) { delete static_cast<Watched*>(data); });
}

// The session's shortcuts: whether ours is among them, and its trigger.
void GlobalShortcutsPortal::listHeld(uint64_t generation, std::function<void(bool, const std::string&)> then) {
    std::weak_ptr<GlobalShortcutsPortal> weak = weak_from_this();
    std::string token = nextToken();
    request("ListShortcuts", g_variant_new("(o@a{sv})", session_.c_str(), tokenOptions(token)), token,
            [weak, generation, then = std::move(then)](uint32_t code, GVariant* results) {
                auto self = weak.lock();
                if (!self || generation != self->generation_) return;
                GVariant* list = code == 0 && results ? g_variant_lookup_value(results, "shortcuts", nullptr) : nullptr;
                auto trigger = triggerIn(list, self->shortcut_.id);
                if (list) g_variant_unref(list);
                then(trigger.has_value(), trigger.value_or(""));
            });
}

void GlobalShortcutsPortal::bindInSession(uint64_t generation) {
    std::weak_ptr<GlobalShortcutsPortal> weak = weak_from_this();
    std::string token = nextToken();
    request("BindShortcuts",
            g_variant_new("(o@a(sa{sv})s@a{sv})", session_.c_str(), shortcutList(), "", tokenOptions(token)), token,
            [weak, generation](uint32_t code, GVariant* results) {
                auto self = weak.lock();
                if (!self || generation != self->generation_) return;
                if (code == 1) return self->finish(generation, Answer::declined, "");
                if (code != 0) return self->finish(generation, Answer::refused, "");
                GVariant* list = results ? g_variant_lookup_value(results, "shortcuts", nullptr) : nullptr;
                auto trigger = triggerIn(list, self->shortcut_.id);
                if (list) g_variant_unref(list);
                if (trigger && !trigger->empty()) return self->finish(generation, Answer::bound, *trigger);
                // An answer without the shortcut or its trigger is no refusal: Plasma
                // 5.27 answers at once with none and binds from the session's
                // offer; the session's list says what the desktop holds.
                self->listHeld(generation, [weak, generation](bool, const std::string& trigger) {
                    auto self = weak.lock();
                    if (!self || generation != self->generation_) return;
                    self->finish(generation, trigger.empty() ? Answer::unassigned : Answer::bound, trigger);
                });
            });
}

void GlobalShortcutsPortal::finish(uint64_t generation, Answer answer, const std::string& trigger) {
    if (generation != generation_ || !done_) return;
    auto done = std::exchange(done_, nullptr);
    if (answer != Answer::bound && answer != Answer::unassigned) {
        close();
        // Still wanted: a portal that comes (back) later is asked again.
        wanted_ = true;
    }
    done(answer, trigger);
}

void GlobalShortcutsPortal::close() {
    ++generation_;
    done_ = nullptr;
    wanted_ = false;
    if (sessionClosed_) g_dbus_connection_signal_unsubscribe(bus_, std::exchange(sessionClosed_, 0));
    if (session_.empty() || !bus_) return;
    g_dbus_connection_call(bus_, portalName, session_.c_str(), "org.freedesktop.portal.Session", "Close", nullptr,
                           nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
    session_.clear();
}

// The session is gone without our asking; the shortcut is still wanted.
void GlobalShortcutsPortal::sessionLost(bool portalGone) {
    if (session_.empty() && !done_ && !portalGone) return;
    bool wanted = wanted_;
    ++generation_;
    done_ = nullptr;
    if (sessionClosed_) g_dbus_connection_signal_unsubscribe(bus_, std::exchange(sessionClosed_, 0));
    session_.clear();
    wanted_ = wanted;
    if (wanted_ && onSessionLost) onSessionLost(portalGone);
}

void GlobalShortcutsPortal::configure(const std::string& parentWindow, const std::string& activationToken) {
    if (!canConfigure()) return;
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE("a{sv}"));
    if (!activationToken.empty())
        g_variant_builder_add(&options, "{sv}", "activation_token", g_variant_new_string(activationToken.c_str()));
    call(bus_, portalPath, shortcutsInterface, "ConfigureShortcuts",
         g_variant_new("(os@a{sv})", session_.c_str(), parentWindow.c_str(), g_variant_builder_end(&options)),
         [](GVariant*) {});
}

void GlobalShortcutsPortal::activated(GVariant* parameters) {
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(osta{sv})"))) return;
    const char* session = nullptr;
    const char* id = nullptr;
    uint64_t timestamp = 0;
    GVariant* options = nullptr;
    g_variant_get(parameters, "(&o&st@a{sv})", &session, &id, &timestamp, &options);
    std::string token = stringOf(options, "activation_token");
    g_variant_unref(options);
    if (session_.empty() || session_ != session || shortcut_.id != id) return;
    if (onActivated) onActivated(token);
}

void GlobalShortcutsPortal::triggersChanged(GVariant* parameters) {
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(oa(sa{sv}))"))) return;
    const char* session = nullptr;
    GVariant* shortcuts = nullptr;
    g_variant_get(parameters, "(&o@a(sa{sv}))", &session, &shortcuts);
    auto trigger = triggerIn(shortcuts, shortcut_.id);
    g_variant_unref(shortcuts);
    if (session_.empty() || session_ != session) return;
    if (onTriggerChanged) onTriggerChanged(trigger.value_or(""));
}

}  // namespace orvela
