#pragma once

#include "platform/DefaultsStore.h"
#include "platform/GObjectPtr.h"
#include "platform/OneShotTimer.h"
#include "platform/SignalConnection.h"
#include "web/BridgeMessage.h"
#include "web/NavigationPolicy.h"
#include "web/OfflineModel.h"
#include "web/OfflineView.h"
#include "web/ViewDelegates.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>
#include <webkit2/webkit2.h>

namespace orvela {

// The main window and the web view that shows the web application in it: the
// page bridge both ways, the navigation rules, the offline screen, downloads and
// the page's dialogs. Closing the window hides it.
class WebController : public std::enable_shared_from_this<WebController> {
public:
    // Set before the controller is made: the window then never takes the focus.
    static inline bool quiet = false;
    // Set before the controller is made: false keeps the user's saved window
    // position and size as they are (launches for tests and pictures).
    static inline bool remembersFrame = true;

    // A load that has not committed by then is taken as unreachable (seconds).
    static inline double loadTimeout = 60;

    static constexpr const char* channelName = "orvela";
    static constexpr int defaultWidth = 1200;
    static constexpr int defaultHeight = 800;
    static constexpr int minimumWidth = 420;
    static constexpr int minimumHeight = 480;

    // Builds the window (hidden) and starts loading the start page.
    static std::shared_ptr<WebController> create(DefaultsStore& defaults = DefaultsStore::standardUserDefaults());
    ~WebController();
    WebController(const WebController&) = delete;
    WebController& operator=(const WebController&) = delete;

    GtkWindow* window() const { return GTK_WINDOW(window_.get()); }
    WebKitWebView* webView() const { return webView_; }
    const NavigationPolicy& policy() const { return policy_; }
    OfflineModel& offline() { return offline_; }
    bool offlineScreenVisible() const;

    bool bridgeReady() const { return bridgeReady_; }
    std::function<void(const BridgeMessage&)> onMessage;
    std::function<void(bool)> onBridgeReadyChange;

    // Reloads the current page when it is one of the application's, else loads the start page.
    void reload();
    // While the page is ready it navigates itself; otherwise the page's address is loaded.
    void navigate(const std::string& path);
    void openItem(const std::string& id);
    void command(const std::string& name);
    // done(true) only when the page answered true; done(false) at once while not ready.
    void capture(const std::string& text, std::function<void(bool)> done);
    void showOffline(bool on);
    // Shows the window in front; in quiet mode without taking the focus.
    void bringForward();

    // Writes what the web view shows as a PNG file; done(false) when there was no
    // picture or it could not be written.
    void snapshot(const std::filesystem::path& file, std::function<void(bool)> done);

    // The user agent the web view sends, for diagnostics and tests.
    std::string userAgent() const;

private:
    explicit WebController(DefaultsStore& defaults);
    void start();
    void connectSignals();
    void load(const std::string& uri);
    void clearReadiness();
    // Calls into the page go only to a ready application page in the main frame.
    bool pageAnswers() const;
    void openInOtherProgram(WebKitNavigationAction* action, const char* uri);

    using Completion = std::function<void(JSCValue* value, GError* error)>;
    void callPage(const std::string& script, GVariant* arguments, Completion completion);
    void call(const std::string& script, GVariant* arguments);

    void receive(WebKitUserMessage* message);
    bool decidePolicy(WebKitPolicyDecision* decision, WebKitPolicyDecisionType type);
    bool decideAction(WebKitNavigationPolicyDecision* decision);
    void openNewWindowRequest(WebKitNavigationAction* action);
    bool decideResponse(WebKitResponsePolicyDecision* decision);
    void loadChanged(WebKitLoadEvent event);
    void loadFailed(WebKitLoadEvent event, const char* failingUri, GError* error);
    void loadTimedOut();
    void restoreFrame();
    void saveFrame();

    DefaultsStore& defaults_;
    NavigationPolicy policy_;
    OfflineModel offline_;
    std::unique_ptr<OfflineView> offlineView_;
    bool bridgeReady_ = false;
    OneShotTimer retryTimer_;
    OneShotTimer saveFrameTimer_;
    OneShotTimer loadTimer_;
    bool currentLoadFailed_ = false;
    bool readyBeforeLoad_ = false;
    // Whether any page has committed yet: before that a crash has nothing to reload.
    bool committed_ = false;
    // The main frame's document as it committed; same-document moves keep its origin.
    std::optional<std::string> committedAddress_;

    GObjectPtr<GtkWidget> window_;
    GtkWidget* overlay_ = nullptr;
    WebKitWebView* webView_ = nullptr;
    std::unique_ptr<ViewDelegates> delegates_;
    std::vector<SignalConnection> connections_;
};

}  // namespace orvela
