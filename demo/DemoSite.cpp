// orvela-demo-site: a stand-in for the hosted Orvela web application, served on
// 127.0.0.1. It keeps the Inbox in a JSON file, so a capture filed through the page
// is really stored, and takes test controls that the page itself never sees:
//
//   POST /__control?captures=fail|ok   make filing captures fail, or work again
//   POST /__control?delay=MS           answer every page request MS milliseconds late
//   POST /__control?hang=1|0           stop answering page requests, or answer again
//   POST /__control?captureDelay=MS    the page waits MS milliseconds before it sends a capture on
//                                      (a page busy signing in), from its next look at the state
//   POST /__control?captureHang=1|0    leave captures unanswered, or file the held ones and answer again
//   POST /__control?reminders          the request body (a JSON list) becomes the reminders
//   POST /__control?poll=MS            the page refreshes every MS milliseconds (2000 by default)
//   POST /__control?resend=1|0         the page sends its reminders at every refresh, changed or not
//   POST /__control?redraw=1|0         the page redraws at every refresh (the default), or only
//                                      when what it shows changed, as a page that keeps its DOM does
//   POST /__control?inbox=N            the Inbox becomes N made-up records
//   POST /__control?release=VERSION    /appcast.xml offers this release ("" for none)
//   POST /__control?reject=TEXT        refuse to file captures of exactly this text ("" for none)
//   GET  /__state                      the Inbox and the reminders, as stored; every attempt to
//                                      file a capture; what the page reported doing ("trace");
//                                      how many requests are held unanswered ("held")
//
// Usage: orvela-demo-site [--port N] [--data FILE] [--site FOLDER]
// It prints "listening on http://127.0.0.1:PORT/" once it accepts connections.
#include "platform/AtomicFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <libsoup/soup.h>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace {

using nlohmann::json;

constexpr const char* sections[] = {"/",         "/now",     "/inbox",    "/next",   "/projects",
                                    "/waiting",  "/someday", "/calendar", "/review", "/settings"};

class DemoSite {
public:
    DemoSite(std::filesystem::path data, std::filesystem::path site) : data_(std::move(data)), site_(std::move(site)) {
        auto contents = orvela::readWholeFile(data_);
        if (contents.text) {
            auto stored = json::parse(*contents.text, nullptr, false);
            if (stored.is_object()) state_ = stored;
        }
        if (!state_["inbox"].is_array()) state_["inbox"] = json::array();
        if (!state_["reminders"].is_array()) state_["reminders"] = json::array();
    }

    void handle(SoupServerMessage* message, const char* path, GHashTable* query) {
        std::string route = path;
        if (route == "/__control") return control(message, query);
        if (route == "/__state") return reply(message, 200, "application/json", report().dump());
        bool filing = route == "/api/inbox" && g_strcmp0(soup_server_message_get_method(message), "POST") == 0;
        if (hanging_ || (filing && capturesHang_)) {
            // Never answered until hanging stops.
            soup_server_message_pause(message);
            held_.push_back(GObjectRef(message));
            return;
        }
        if (delayMilliseconds_ > 0) {
            soup_server_message_pause(message);
            auto* pending = new Pending{this, GObjectRef(message), route};
            g_timeout_add(static_cast<guint>(delayMilliseconds_), [](gpointer data) -> gboolean {
                std::unique_ptr<Pending> pending(static_cast<Pending*>(data));
                pending->site->serve(pending->message.get(), pending->route);
                soup_server_message_unpause(pending->message.get());
                return G_SOURCE_REMOVE;
            }, pending);
            return;
        }
        serve(message, route);
    }

private:
    // Keeps a message alive while it waits.
    struct GObjectRef {
        explicit GObjectRef(SoupServerMessage* message) : message_(SOUP_SERVER_MESSAGE(g_object_ref(message))) {}
        GObjectRef(GObjectRef&& other) noexcept : message_(std::exchange(other.message_, nullptr)) {}
        GObjectRef(const GObjectRef&) = delete;
        ~GObjectRef() {
            if (message_) g_object_unref(message_);
        }
        SoupServerMessage* get() const { return message_; }

    private:
        SoupServerMessage* message_;
    };

    struct Pending {
        DemoSite* site;
        GObjectRef message;
        std::string route;
    };

    void serve(SoupServerMessage* message, const std::string& route) {
        const char* method = soup_server_message_get_method(message);
        if (route == "/api/state") return reply(message, 200, "application/json", state_.dump());
        if (route == "/api/inbox" && g_strcmp0(method, "POST") == 0) return file(message);
        if (route == "/api/trace" && g_strcmp0(method, "POST") == 0) return trace(message);
        if (route == "/download/report.pdf") return download(message);
        if (route == "/appcast.xml") return appcast(message);
        if (route == "/frames") return frames(message);
        for (const char* section : sections) {
            if (route == section || route.starts_with("/item/")) return staticFile(message, "index.html", "text/html; charset=utf-8");
        }
        if (route == "/app.js") return staticFile(message, "app.js", "text/javascript; charset=utf-8");
        if (route == "/style.css") return staticFile(message, "style.css", "text/css; charset=utf-8");
        if (route == "/foreign") return staticFile(message, "foreign.html", "text/html; charset=utf-8");
        if (route == "/attack") return staticFile(message, "attack.html", "text/html; charset=utf-8");
        reply(message, 404, "text/plain; charset=utf-8", "Не найдено");
    }

    static json requestBody(SoupServerMessage* message) {
        GBytes* bytes = soup_message_body_flatten(soup_server_message_get_request_body(message));
        gsize size = 0;
        const char* data = static_cast<const char*>(g_bytes_get_data(bytes, &size));
        auto parsed = json::parse(std::string(data ? data : "", size), nullptr, false);
        g_bytes_unref(bytes);
        return parsed;
    }

    json report() const {
        json everything = state_;
        everything["attempts"] = attempts_;
        everything["trace"] = trace_;
        everything["held"] = held_.size();
        return everything;
    }

    void file(SoupServerMessage* message) {
        auto request = requestBody(message);
        if (!request.is_object() || !request["text"].is_string())
            return reply(message, 400, "application/json", R"({"error":"text required"})");
        bool refused = capturesFail_ || (rejected_ && request["text"] == *rejected_);
        attempts_.push_back({{"text", request["text"]}, {"accepted", !refused}});
        if (refused) return reply(message, 503, "application/json", R"({"error":"unavailable"})");
        json item = {{"id", "i" + std::to_string(state_["inbox"].size() + 1)}, {"text", request["text"]}};
        state_["inbox"].push_back(item);
        save();
        reply(message, 201, "application/json", item.dump());
    }

    // The page tells what the application asked of it: {"call": …, "value": …}.
    void trace(SoupServerMessage* message) {
        auto entry = requestBody(message);
        if (!entry.is_object()) return reply(message, 400, "text/plain", "a JSON object is required");
        // Wall-clock milliseconds, for timing a start-up from outside.
        entry["receivedAt"] = g_get_real_time() / 1000;
        trace_.push_back(entry);
        reply(message, 204, "text/plain", "");
    }

    // The update feed, with one release when one was set.
    void appcast(SoupServerMessage* message) {
        std::string items;
        if (release_) {
            GUri* uri = soup_server_message_get_uri(message);
            std::string page = "http://" + std::string(g_uri_get_host(uri)) + ":" + std::to_string(g_uri_get_port(uri)) +
                               "/download/" + *release_;
            items = "<item><title>Orvela " + *release_ + "</title><link>" + page + "</link><sparkle:version>" + *release_ +
                    "</sparkle:version><sparkle:os>linux</sparkle:os></item>";
        }
        reply(message, 200, "application/rss+xml",
              "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\" "
              "xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\"><channel><title>Orvela</title>" +
                  items + "</channel></rss>\n");
    }

    // The report, under the name ?name=… asks for (report.pdf when none).
    void download(SoupServerMessage* message) {
        std::string name = "report.pdf";
        if (const char* query = g_uri_get_query(soup_server_message_get_uri(message))) {
            if (GHashTable* params = g_uri_parse_params(query, -1, "&", G_URI_PARAMS_NONE, nullptr)) {
                if (auto* asked = static_cast<const char*>(g_hash_table_lookup(params, "name"))) name = asked;
                g_hash_table_unref(params);
            }
        }
        SoupMessageHeaders* headers = soup_server_message_get_response_headers(message);
        GHashTable* disposition = g_hash_table_new(g_str_hash, g_str_equal);
        g_hash_table_insert(disposition, const_cast<char*>("filename"), name.data());
        soup_message_headers_set_content_disposition(headers, "attachment", disposition);
        g_hash_table_unref(disposition);
        reply(message, 200, "application/pdf", "%PDF-1.4\n% Orvela weekly report\n%%EOF\n");
    }

    // A page of the application with a frame from the other loopback name inside:
    // the foreign page, or with ?attack=KIND the foreign page that plays that trick.
    // With ?child=app, a page of the application that never says ready itself,
    // with the Inbox in a frame.
    void frames(SoupServerMessage* message) {
        GUri* uri = soup_server_message_get_uri(message);
        std::string attack;
        bool appChild = false;
        if (const char* query = g_uri_get_query(uri)) {
            if (GHashTable* params = g_uri_parse_params(query, -1, "&", G_URI_PARAMS_NONE, nullptr)) {
                if (auto* kind = static_cast<const char*>(g_hash_table_lookup(params, "attack"))) attack = kind;
                appChild = g_strcmp0(static_cast<const char*>(g_hash_table_lookup(params, "child")), "app") == 0;
                g_hash_table_unref(params);
            }
        }
        if (appChild)
            return reply(message, 200, "text/html; charset=utf-8",
                         "<!doctype html><meta charset=utf-8><title>Рамки</title><iframe src=/inbox></iframe>");
        std::string host = g_uri_get_host(uri);
        std::string port = std::to_string(g_uri_get_port(uri));
        std::string other = host == "localhost" ? "127.0.0.1" : "localhost";
        std::string inner = attack.empty() ? "/foreign"
                                           : "/attack?kind=" + attack + "&app=http://" + host + ":" + port;
        std::string page = "<!doctype html><meta charset=utf-8><title>Рамки</title><script src=/app.js></script>"
                           "<iframe src=\"http://" + other + ":" + port + inner + "\"></iframe>";
        reply(message, 200, "text/html; charset=utf-8", page);
    }

    void control(SoupServerMessage* message, GHashTable* query) {
        auto value = [query](const char* key) -> const char* {
            return query ? static_cast<const char*>(g_hash_table_lookup(query, key)) : nullptr;
        };
        if (const char* captures = value("captures")) capturesFail_ = g_str_equal(captures, "fail");
        if (const char* delay = value("delay")) delayMilliseconds_ = std::atoi(delay);
        if (const char* hang = value("hang")) setHanging(g_str_equal(hang, "1"), capturesHang_);
        if (const char* delay = value("captureDelay")) state_["captureDelay"] = std::atoi(delay);
        if (const char* hang = value("captureHang")) setHanging(hanging_, g_str_equal(hang, "1"));
        if (const char* poll = value("poll")) state_["pollMs"] = std::atoi(poll);
        if (const char* resend = value("resend")) state_["resendReminders"] = g_str_equal(resend, "1");
        if (const char* redraw = value("redraw")) state_["redrawUnchanged"] = g_str_equal(redraw, "1");
        if (const char* inbox = value("inbox")) {
            state_["inbox"] = json::array();
            for (int i = 1; i <= std::atoi(inbox); ++i)
                state_["inbox"].push_back({{"id", std::string("i").append(std::to_string(i))}, {"text", std::string("Запись ").append(std::to_string(i))}});
            save();
        }
        if (const char* release = value("release")) {
            if (*release) release_ = release;
            else release_.reset();
        }
        if (const char* reject = value("reject")) {
            if (*reject) rejected_ = reject;
            else rejected_.reset();
        }
        if (query && g_hash_table_contains(query, "reminders")) {
            auto list = requestBody(message);
            if (!list.is_array()) return reply(message, 400, "text/plain", "a JSON list is required");
            state_["reminders"] = list;
            save();
        }
        reply(message, 200, "application/json", report().dump());
    }

    void setHanging(bool hanging, bool capturesHang) {
        hanging_ = hanging;
        capturesHang_ = capturesHang;
        if (hanging || capturesHang) return;
        for (auto& held : held_) {
            const char* path = g_uri_get_path(soup_server_message_get_uri(held.get()));
            serve(held.get(), path ? path : "/");
            soup_server_message_unpause(held.get());
        }
        held_.clear();
    }

    void staticFile(SoupServerMessage* message, const char* name, const char* type) {
        auto contents = orvela::readWholeFile(site_ / name);
        if (!contents.text) return reply(message, 404, "text/plain; charset=utf-8", "Не найдено");
        reply(message, 200, type, *contents.text);
    }

    static void reply(SoupServerMessage* message, int status, const char* type, const std::string& body) {
        soup_server_message_set_status(message, status, nullptr);
        soup_message_headers_replace(soup_server_message_get_response_headers(message), "Cache-Control", "no-store");
        soup_server_message_set_response(message, type, SOUP_MEMORY_COPY, body.data(), body.size());
    }

    void save() {
        if (data_.empty()) return;
        if (auto error = orvela::writeFileAtomically(data_, state_.dump(2) + "\n"))
            std::fprintf(stderr, "orvela-demo-site: %s\n", error->c_str());
    }

    std::filesystem::path data_;
    std::filesystem::path site_;
    json state_ = json::object();
    json attempts_ = json::array();
    json trace_ = json::array();
    std::optional<std::string> rejected_;
    std::optional<std::string> release_;
    bool capturesFail_ = false;
    int delayMilliseconds_ = 0;
    bool hanging_ = false;
    bool capturesHang_ = false;
    std::vector<GObjectRef> held_;
};

}  // namespace

int main(int argc, char** argv) {
    int port = 0;
    std::filesystem::path data;
    std::filesystem::path site = ORVELA_DEMO_SITE_FILES;
    const char* usage = "usage: orvela-demo-site [--port N] [--data FILE] [--site FOLDER]\n"
                        "Serves a stand-in of the Orvela web application on 127.0.0.1 (port 0: a free one),\n"
                        "keeping its Inbox in FILE, and prints the address it listens on.\n";
    for (int i = 1; i < argc; i += 2) {
        bool valued = i + 1 < argc;
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(usage, stdout);
            return 0;
        }
        if (valued && std::strcmp(argv[i], "--port") == 0) port = std::atoi(argv[i + 1]);
        else if (valued && std::strcmp(argv[i], "--data") == 0) data = argv[i + 1];
        else if (valued && std::strcmp(argv[i], "--site") == 0) site = argv[i + 1];
        else {
            std::fputs(usage, stderr);
            return 2;
        }
    }
    DemoSite demo(data, site);
    SoupServer* server = soup_server_new("server-header", "orvela-demo-site", nullptr);
    soup_server_add_handler(server, nullptr,
        [](SoupServer*, SoupServerMessage* message, const char* path, GHashTable* query, gpointer site) {
            static_cast<DemoSite*>(site)->handle(message, path, query);
        },
        &demo, nullptr);
    GError* error = nullptr;
    if (!soup_server_listen_local(server, static_cast<guint>(port), SOUP_SERVER_LISTEN_IPV4_ONLY, &error)) {
        std::fprintf(stderr, "orvela-demo-site: cannot listen on port %d: %s\n", port, error->message);
        return 1;
    }
    GSList* uris = soup_server_get_uris(server);
    if (uris) {
        char* text = g_uri_to_string(static_cast<GUri*>(uris->data));
        std::printf("listening on %s\n", text);
        std::fflush(stdout);
        g_free(text);
    }
    g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    g_main_loop_run(loop);
    return 0;
}
