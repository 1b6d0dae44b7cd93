#include "web/WebController.h"

#include "platform/Activation.h"

#include "app/AppConfig.h"
#include "platform/Desktop.h"
#include "platform/Log.h"
#include "platform/StartupTrace.h"
#include "resources/AppStyle.h"
#include "web/LoadError.h"
#include "web/PageMessages.h"
#include "web/QuietWindow.h"
#include "web/ViewDelegates.h"
#include "web/WebContext.h"
#include "web/WindowFrame.h"

#include <algorithm>

namespace orvela {
namespace {

constexpr const char* userAgentApplication = "Version/26.0 Safari/605.1.15 OrvelaMac";

GVariant* arguments(std::initializer_list<std::pair<const char*, const std::string*>> entries) {
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("a{sv}"));
    for (const auto& [key, value] : entries) g_variant_builder_add(&builder, "{sv}", key, g_variant_new_string(value->c_str()));
    return g_variant_builder_end(&builder);
}

// The capture succeeded only when the page's answer converts exactly to true.
bool isTrue(JSCValue* value) {
    if (!value) return false;
    if (jsc_value_is_boolean(value)) return jsc_value_to_boolean(value);
    if (jsc_value_is_number(value)) return jsc_value_to_double(value) == 1.0;
    return false;
}

bool isWebAddress(const char* uri) {
    const char* scheme = g_uri_peek_scheme(uri);
    return scheme && (g_str_equal(scheme, "http") || g_str_equal(scheme, "https"));
}

bool isAttachment(WebKitURIResponse* response) {
    SoupMessageHeaders* headers = webkit_uri_response_get_http_headers(response);
    if (!headers) return false;
    char* disposition = nullptr;
    bool attachment = soup_message_headers_get_content_disposition(headers, &disposition, nullptr) &&
                      g_ascii_strcasecmp(disposition, "attachment") == 0;
    g_free(disposition);
    return attachment;
}

// A frame remembered on a monitor that is gone is not restored: the left end of
// its title bar must lie on some monitor, so that the window can be moved.
bool reachable(const WindowFrame& frame) {
    GdkDisplay* display = gdk_display_get_default();
    if (!display) return false;
    int x = frame.x + 40;
    int y = frame.y + 10;
    for (int i = 0; i < gdk_display_get_n_monitors(display); ++i) {
        GdkRectangle area;
        gdk_monitor_get_geometry(gdk_display_get_monitor(display, i), &area);
        if (x >= area.x && x < area.x + area.width && y >= area.y && y < area.y + area.height) return true;
    }
    return false;
}

}  // namespace

std::shared_ptr<WebController> WebController::create(DefaultsStore& defaults) {
    std::shared_ptr<WebController> controller(new WebController(defaults));
    controller->start();
    return controller;
}

WebController::WebController(DefaultsStore& defaults)
    : defaults_(defaults), policy_(AppConfig::origin(defaults)) {
    AppStyle::install();

    WebKitSettings* settings = webkit_settings_new();
    webkit_settings_set_user_agent_with_application_details(settings, userAgentApplication,
                                                            AppConfig::version().c_str());
    webkit_settings_set_enable_fullscreen(settings, TRUE);
    webkit_settings_set_enable_back_forward_navigation_gestures(settings, TRUE);
    // Drawn without GPU compositing: the task lists have no effects that need it,
    // and it costs each web process some 80 MiB.
    webkit_settings_set_hardware_acceleration_policy(settings, WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
    webkit_settings_set_media_playback_requires_user_gesture(settings, FALSE);
    // The page's dictation needs the microphone; who may use it is decided per request.
    webkit_settings_set_enable_media_stream(settings, TRUE);
    webView_ = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", WebContext::shared(), "settings",
                                            settings, nullptr));
    g_object_unref(settings);
    StartupTrace::mark("view-made");

    // Inside the application the window carries its menu bar and keyboard shortcuts.
    GApplication* application = g_application_get_default();
    window_ = GObjectPtr<GtkWidget>::retain(GTK_IS_APPLICATION(application)
                                                ? gtk_application_window_new(GTK_APPLICATION(application))
                                                : gtk_window_new(GTK_WINDOW_TOPLEVEL));
    GtkWindow* window = GTK_WINDOW(window_.get());
    if (quiet) QuietWindow::configure(window);
    // A group of its own: the page's modal dialogs, which join it as transients of
    // the window, then hold the keyboard of this window only, never the capture
    // panel's or the settings'.
    GtkWindowGroup* group = gtk_window_group_new();
    gtk_window_group_add_window(group, window);
    g_object_unref(group);
    gtk_window_set_title(window, "Orvela");
    gtk_window_set_default_size(window, defaultWidth, defaultHeight);
    GdkGeometry minimum{};
    minimum.min_width = minimumWidth;
    minimum.min_height = minimumHeight;
    gtk_window_set_geometry_hints(window, nullptr, &minimum, GDK_HINT_MIN_SIZE);

    // The offline screen is laid over the page when it is first needed.
    overlay_ = gtk_overlay_new();
    gtk_container_add(GTK_CONTAINER(overlay_), GTK_WIDGET(webView_));
    gtk_container_add(GTK_CONTAINER(window), overlay_);
    gtk_widget_show_all(overlay_);
    restoreFrame();
}

WebController::~WebController() {
    connections_.clear();
    gtk_widget_destroy(window_.get());
}

void WebController::start() {
    std::weak_ptr<WebController> weak = weak_from_this();
    offline_.retry = [weak] {
        if (auto controller = weak.lock()) controller->reload();
    };
    connectSignals();
    load(AppConfig::url("/", defaults_));
}

void WebController::connectSignals() {
    delegates_ = std::make_unique<ViewDelegates>(webView_, window(), policy_);
    auto& c = connections_;
    c.push_back(SignalConnection::connect<gboolean(WebKitWebView*, WebKitUserMessage*)>(
        webView_, "user-message-received", [this](WebKitWebView*, WebKitUserMessage* message) -> gboolean {
            if (g_strcmp0(webkit_user_message_get_name(message), channelName) != 0) return FALSE;
            receive(message);
            return TRUE;
        }));
    c.push_back(SignalConnection::connect<gboolean(WebKitWebView*, WebKitPolicyDecision*, WebKitPolicyDecisionType)>(
        webView_, "decide-policy", [this](WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type) {
            return decidePolicy(decision, type) ? TRUE : FALSE;
        }));
    // The spell-checker's dictionaries take a fifth of a second and some 20 MiB:
    // they are loaded when the user first types into the page, after that key
    // was handled, rather than on the way to the first page.
    c.push_back(SignalConnection::connect<gboolean(GtkWidget*, GdkEvent*)>(
        GTK_WIDGET(webView_), "key-press-event", [](GtkWidget*, GdkEvent*) {
            static bool asked = false;
            if (std::exchange(asked, true)) return FALSE;
            g_idle_add_full(G_PRIORITY_LOW, [](gpointer) {
                WebContext::startSpellChecking();
                return G_SOURCE_REMOVE;
            }, nullptr, nullptr);
            return FALSE;
        }));
    c.push_back(SignalConnection::connect<gboolean(GtkWidget*, cairo_t*)>(
        GTK_WIDGET(webView_), "draw", [this](GtkWidget*, cairo_t*) {
            if (committed_) StartupTrace::mark("first-paint");
            return FALSE;
        }));
    c.push_back(SignalConnection::connect<void(WebKitWebView*, WebKitLoadEvent)>(
        webView_, "load-changed", [this](WebKitWebView*, WebKitLoadEvent event) { loadChanged(event); }));
    c.push_back(SignalConnection::connect<gboolean(WebKitWebView*, WebKitLoadEvent, gchar*, GError*)>(
        webView_, "load-failed", [this](WebKitWebView*, WebKitLoadEvent event, gchar* uri, GError* error) {
            loadFailed(event, uri, error);
            // The engine's own error page never shows.
            return TRUE;
        }));
    c.push_back(SignalConnection::connect<void(WebKitWebView*, WebKitWebProcessTerminationReason)>(
        webView_, "web-process-terminated", [this](WebKitWebView*, WebKitWebProcessTerminationReason) {
            clearReadiness();
            committedAddress_.reset();
            // Before the first page committed there is nothing to reload.
            if (committed_) webkit_web_view_reload(webView_);
            else load(AppConfig::url("/", defaults_));
        }));
    // Scripts opening a window come here without a policy question first.
    c.push_back(SignalConnection::connect<GtkWidget*(WebKitWebView*, WebKitNavigationAction*)>(
        webView_, "create", [this](WebKitWebView*, WebKitNavigationAction* action) -> GtkWidget* {
            openNewWindowRequest(action);
            return nullptr;
        }));
    c.push_back(SignalConnection::connect<gboolean(GtkWidget*, GdkEvent*)>(
        window_.get(), "delete-event", [this](GtkWidget*, GdkEvent*) {
            saveFrame();
            gtk_widget_hide(window_.get());
            return TRUE;
        }));
    c.push_back(SignalConnection::connect<gboolean(GtkWidget*, GdkEvent*)>(
        window_.get(), "configure-event", [this](GtkWidget*, GdkEvent*) {
            // Moving or resizing sends many events; the frame is written once it rests.
            saveFrameTimer_.start(0.5, [this] { saveFrame(); });
            return FALSE;
        }));
}

void WebController::load(const std::string& uri) {
    StartupTrace::mark("load-requested");
    WebKitURIRequest* request = webkit_uri_request_new(uri.c_str());
    webkit_web_view_load_request(webView_, request);
    g_object_unref(request);
}

void WebController::clearReadiness() {
    if (!bridgeReady_) return;
    bridgeReady_ = false;
    if (onBridgeReadyChange) onBridgeReadyChange(false);
}

void WebController::receive(WebKitUserMessage* message) {
    auto heard = PageMessages::accept(message, policy_, committedAddress_);
    if (!heard) return;
    // A callback may drop the last owner of this controller.
    auto keepAlive = shared_from_this();
    // Calls go to the main frame's document: only it may say that it is ready for them.
    if (heard->fromMainFrame && std::holds_alternative<BridgeMessage::Ready>(heard->message.value) && !bridgeReady_) {
        StartupTrace::mark("ready");
        bridgeReady_ = true;
        if (onBridgeReadyChange) onBridgeReadyChange(true);
    }
    if (onMessage) onMessage(heard->message);
}

bool WebController::pageAnswers() const { return bridgeReady_ && policy_.isAppPage(committedAddress_); }

void WebController::callPage(const std::string& script, GVariant* arguments, Completion completion) {
    struct Call {
        std::weak_ptr<WebController> controller;
        Completion completion;
    };
    auto* call = new Call{weak_from_this(), std::move(completion)};
    webkit_web_view_call_async_javascript_function(
        webView_, script.c_str(), -1, arguments, nullptr, nullptr, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            std::unique_ptr<Call> call(static_cast<Call*>(data));
            GError* error = nullptr;
            JSCValue* value = webkit_web_view_call_async_javascript_function_finish(WEBKIT_WEB_VIEW(source), result, &error);
            if (call->controller.lock()) call->completion(value, error);
            g_clear_object(&value);
            g_clear_error(&error);
        },
        call);
}

void WebController::call(const std::string& script, GVariant* arguments) {
    callPage(script, arguments, [script](JSCValue*, GError* error) {
        if (error) log(script + ": " + error->message);
    });
}

void WebController::bringForward() {
    gtk_widget_show(window_.get());
    if (quiet) {
        if (GdkWindow* surface = gtk_widget_get_window(window_.get())) gdk_window_raise(surface);
        return;
    }
    Activation::present(window());
}

void WebController::navigate(const std::string& path) {
    bringForward();
    if (!pageAnswers()) {
        load(AppConfig::url(path, defaults_));
        return;
    }
    call(PageScripts::navigate, arguments({{"path", &path}}));
}

void WebController::openItem(const std::string& id) {
    bringForward();
    if (pageAnswers()) call(PageScripts::openItem, arguments({{"id", &id}}));
}

void WebController::command(const std::string& name) {
    bringForward();
    auto script = PageScripts::command(name);
    if (pageAnswers() && script) call(*script, arguments({}));
}

void WebController::capture(const std::string& text, std::function<void(bool)> done) {
    if (!pageAnswers()) {
        done(false);
        return;
    }
    callPage(PageScripts::capture, arguments({{"text", &text}}),
             [done = std::move(done)](JSCValue* value, GError* error) { done(!error && isTrue(value)); });
}

void WebController::snapshot(const std::filesystem::path& file, std::function<void(bool)> done) {
    struct Request {
        std::filesystem::path file;
        std::function<void(bool)> done;
    };
    webkit_web_view_get_snapshot(
        webView_, WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE, nullptr,
        [](GObject* view, GAsyncResult* result, gpointer data) {
            std::unique_ptr<Request> request(static_cast<Request*>(data));
            cairo_surface_t* picture = webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(view), result, nullptr);
            bool written = picture && cairo_surface_write_to_png(picture, request->file.c_str()) == CAIRO_STATUS_SUCCESS;
            if (picture) cairo_surface_destroy(picture);
            request->done(written);
        },
        new Request{file, std::move(done)});
}

void WebController::reload() {
    offline_.isOffline.set(false);
    const char* current = webkit_web_view_get_uri(webView_);
    if (current && policy_.isAppPage(std::string(current))) {
        webkit_web_view_reload(webView_);
        return;
    }
    load(AppConfig::url("/", defaults_));
}

void WebController::showOffline(bool on) {
    offline_.isOffline.set(on);
    retryTimer_.cancel();
    if (on) {
        std::weak_ptr<WebController> weak = weak_from_this();
        retryTimer_.start(OfflineModel::retryInterval, [weak] {
            if (auto controller = weak.lock()) controller->reload();
        });
        if (!offlineView_) {
            offlineView_ = std::make_unique<OfflineView>(offline_);
            gtk_overlay_add_overlay(GTK_OVERLAY(overlay_), offlineView_->widget());
        }
    }
    if (offlineView_) offlineView_->setVisible(on);
    // Covered, the page must not take the keyboard either (Tab).
    gtk_widget_set_sensitive(GTK_WIDGET(webView_), !on);
}

bool WebController::offlineScreenVisible() const {
    return offlineView_ && gtk_widget_get_visible(offlineView_->widget());
}

bool WebController::decidePolicy(WebKitPolicyDecision* decision, WebKitPolicyDecisionType type) {
    switch (type) {
    case WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION:
        return decideAction(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    case WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION:
        openNewWindowRequest(
            webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision)));
        webkit_policy_decision_ignore(decision);
        return true;
    case WEBKIT_POLICY_DECISION_TYPE_RESPONSE:
        return decideResponse(WEBKIT_RESPONSE_POLICY_DECISION(decision));
    }
    return false;
}

// The engine does not say which frame an action targets, so here only the scheme
// is judged; http and https are judged on the response, where the main frame is known.
bool WebController::decideAction(WebKitNavigationPolicyDecision* decision) {
    WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(decision);
    const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
    if (!uri) {
        webkit_policy_decision_ignore(WEBKIT_POLICY_DECISION(decision));
        return true;
    }
    if (!isWebAddress(uri) && policy_.decide(uri, true) == NavigationPolicy::Decision::openExternally) {
        openInOtherProgram(action, uri);
        webkit_policy_decision_ignore(WEBKIT_POLICY_DECISION(decision));
        return true;
    }
    webkit_policy_decision_use(WEBKIT_POLICY_DECISION(decision));
    return true;
}

// No window is ever opened: an application page loads in this one, anything else
// goes to the browser.
void WebController::openNewWindowRequest(WebKitNavigationAction* action) {
    WebKitURIRequest* request = webkit_navigation_action_get_request(action);
    const char* uri = webkit_uri_request_get_uri(request);
    if (!uri) return;
    std::string address(uri);
    if (policy_.decide(address, true) == NavigationPolicy::Decision::allow && policy_.isAppPage(address)) {
        webkit_web_view_load_request(webView_, request);
    } else if (isWebAddress(uri)) {
        Desktop::openUri(address);
    } else {
        openInOtherProgram(action, uri);
    }
}

// The engine does not say which frame asked, and any frame's script may ask
// without the user doing anything: only a navigation the user started may start
// another program.
void WebController::openInOtherProgram(WebKitNavigationAction* action, const char* uri) {
    if (webkit_navigation_action_is_user_gesture(action)) {
        Desktop::openUri(uri);
        return;
    }
    const char* scheme = g_uri_peek_scheme(uri);
    log(std::string("not opening a ") + (scheme ? scheme : "scheme-less") + ": address the user did not ask for");
}

bool WebController::decideResponse(WebKitResponsePolicyDecision* decision) {
    WebKitURIResponse* response = webkit_response_policy_decision_get_response(decision);
    const char* uri = webkit_uri_response_get_uri(response);
    bool mainFrame = webkit_response_policy_decision_is_main_frame_main_resource(decision);
    if (uri && policy_.decide(uri, mainFrame) == NavigationPolicy::Decision::openExternally) {
        // The interrupted load that follows is no network failure: no offline screen.
        Desktop::openUri(uri);
        webkit_policy_decision_ignore(WEBKIT_POLICY_DECISION(decision));
        return true;
    }
    if (!webkit_response_policy_decision_is_mime_type_supported(decision) || isAttachment(response)) {
        webkit_policy_decision_download(WEBKIT_POLICY_DECISION(decision));
        return true;
    }
    webkit_policy_decision_use(WEBKIT_POLICY_DECISION(decision));
    return true;
}

void WebController::loadChanged(WebKitLoadEvent event) {
    if (event == WEBKIT_LOAD_STARTED) {
        StartupTrace::mark("load-started");
        currentLoadFailed_ = false;
        readyBeforeLoad_ = bridgeReady_;
        clearReadiness();
        std::weak_ptr<WebController> weak = weak_from_this();
        loadTimer_.start(loadTimeout, [weak] {
            if (auto controller = weak.lock()) controller->loadTimedOut();
        });
    } else if (event == WEBKIT_LOAD_COMMITTED) {
        StartupTrace::mark("committed");
        readyBeforeLoad_ = false;
        committed_ = true;
        const char* committed = webkit_web_view_get_uri(webView_);
        committedAddress_ = committed ? std::optional<std::string>(committed) : std::nullopt;
        if (!policy_.isAppPage(committedAddress_)) clearReadiness();
        loadTimer_.cancel();
    } else if (event == WEBKIT_LOAD_FINISHED) {
        StartupTrace::mark("finished");
        loadTimer_.cancel();
        // The engine reports a failed load as finished too; only a success hides the screen.
        if (!currentLoadFailed_) showOffline(false);
    }
}

// A server that takes the connection and never answers is as unreachable as one
// that refuses it.
void WebController::loadTimedOut() {
    webkit_web_view_stop_loading(webView_);
    showOffline(true);
}

void WebController::loadFailed(WebKitLoadEvent event, const char* failingUri, GError* error) {
    currentLoadFailed_ = true;
    // A failure after the page was committed is not the offline screen's business.
    if (event == WEBKIT_LOAD_COMMITTED || event == WEBKIT_LOAD_FINISHED || !error) return;
    loadTimer_.cancel();
    // A load stopped by a policy decision, a link that became a download or went
    // to the browser, left the page that had said ready in place, and it still is.
    // A load cancelled by the next one did not: that one replaces the page.
    bool interruptedByPolicy = error->domain == WEBKIT_POLICY_ERROR &&
                               error->code == WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE;
    if (interruptedByPolicy && readyBeforeLoad_ && !bridgeReady_ && policy_.isAppPage(committedAddress_)) {
        readyBeforeLoad_ = false;
        bridgeReady_ = true;
        auto keepAlive = shared_from_this();
        if (onBridgeReadyChange) onBridgeReadyChange(true);
    }
    if (!isNetworkFailure(g_quark_to_string(error->domain), error->code)) return;
    // A foreign page is only judged on its response; one that cannot be reached
    // belongs in the browser, which can say so, not behind the offline screen.
    if (failingUri && policy_.decide(failingUri, true) == NavigationPolicy::Decision::openExternally) {
        Desktop::openUri(failingUri);
        return;
    }
    showOffline(true);
}

void WebController::restoreFrame() {
    GtkWindow* window = this->window();
    auto saved = defaults_.stringForKey(WindowFrame::defaultsKey());
    auto frame = saved ? WindowFrame::parse(*saved) : std::nullopt;
    if (!frame || !reachable(*frame)) {
        gtk_window_set_position(window, GTK_WIN_POS_CENTER);
        return;
    }
    gtk_window_set_default_size(window, std::max(frame->width, minimumWidth), std::max(frame->height, minimumHeight));
    gtk_window_move(window, frame->x, frame->y);
}

void WebController::saveFrame() {
    if (!remembersFrame || !gtk_widget_get_visible(window_.get())) return;
    WindowFrame frame;
    gtk_window_get_position(window(), &frame.x, &frame.y);
    gtk_window_get_size(window(), &frame.width, &frame.height);
    std::string text = frame.toString();
    if (defaults_.stringForKey(WindowFrame::defaultsKey()) != text)
        defaults_.setObject(text, WindowFrame::defaultsKey());
}

std::string WebController::userAgent() const {
    const char* agent = webkit_settings_get_user_agent(webkit_web_view_get_settings(webView_));
    return agent ? agent : "";
}

}  // namespace orvela
