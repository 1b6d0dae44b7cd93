#include "app/UpdateChecker.h"

#include "app/VersionComparison.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"

#include <algorithm>
#include <libsoup/soup.h>

namespace orvela {
namespace {

double now() { return static_cast<double>(g_get_real_time()) / G_USEC_PER_SEC; }

struct Request {
    std::weak_ptr<UpdateChecker> checker;
    std::function<void(UpdateChecker::Result)> done;
    SoupMessage* message;
};

}  // namespace

std::shared_ptr<UpdateChecker> UpdateChecker::create(DefaultsStore& defaults, std::string currentVersion,
                                                     Presenter present) {
    return std::shared_ptr<UpdateChecker>(new UpdateChecker(defaults, std::move(currentVersion), std::move(present)));
}

UpdateChecker::UpdateChecker(DefaultsStore& defaults, std::string currentVersion, Presenter present)
    : defaults_(defaults), currentVersion_(std::move(currentVersion)), present_(std::move(present)),
      session_(soup_session_new_with_options("timeout", 30, "user-agent", "Orvela", nullptr)) {}

UpdateChecker::~UpdateChecker() {
    soup_session_abort(session_);
    g_object_unref(session_);
}

std::string UpdateChecker::feed() const { return defaults_.stringForKey(feedKey).value_or(defaultFeed); }

void UpdateChecker::start() {
    double last = 0;
    if (auto stored = defaults_.objectForKey(lastCheckKey); stored && std::holds_alternative<double>(*stored))
        last = std::get<double>(*stored);
    double wait = std::clamp(last + interval - now(), 0.0, interval);
    // Not in the first seconds of a start, when the page loads.
    scheduleAutomatic(std::max(wait, 10.0));
}

void UpdateChecker::scheduleAutomatic(double delay) {
    MainQueue::after<UpdateChecker>(delay, weak_from_this(), [](UpdateChecker& self) {
        self.defaults_.setObject(now(), lastCheckKey);
        std::weak_ptr<UpdateChecker> weak = self.weak_from_this();
        self.check([weak](Result result) {
            auto checker = weak.lock();
            if (!checker) return;
            if (result.kind == Result::Kind::failed) log("updates: " + result.error);
            if (result.kind == Result::Kind::newer && checker->present_) checker->present_(result, false);
        });
        self.scheduleAutomatic(interval);
    });
}

void UpdateChecker::checkForUpdates() {
    std::weak_ptr<UpdateChecker> weak = weak_from_this();
    check([weak](Result result) {
        if (auto checker = weak.lock(); checker && checker->present_) checker->present_(result, true);
    });
}

void UpdateChecker::check(std::function<void(Result)> done) {
    SoupMessage* message = soup_message_new("GET", feed().c_str());
    if (!message) {
        done({Result::Kind::failed, {}, "the feed address " + feed() + " is not valid"});
        return;
    }
    auto* request = new Request{weak_from_this(), std::move(done), message};
    soup_session_send_and_read_async(
        session_, message, G_PRIORITY_DEFAULT, nullptr,
        [](GObject* source, GAsyncResult* outcome, gpointer data) {
            std::unique_ptr<Request> request(static_cast<Request*>(data));
            GError* error = nullptr;
            GBytes* body = soup_session_send_and_read_finish(SOUP_SESSION(source), outcome, &error);
            auto checker = request->checker.lock();
            Result result{Result::Kind::failed, {}, {}};
            if (!body) {
                result.error = error ? error->message : "no answer";
            } else if (auto status = soup_message_get_status(request->message); status != SOUP_STATUS_OK) {
                result.error = "HTTP " + std::to_string(status);
            } else if (checker) {
                gsize size = 0;
                const char* data = static_cast<const char*>(g_bytes_get_data(body, &size));
                result = checker->judge(std::string(data ? data : "", size));
            }
            if (error) g_error_free(error);
            if (body) g_bytes_unref(body);
            g_object_unref(request->message);
            if (checker) request->done(result);
        },
        request);
}

UpdateChecker::Result UpdateChecker::judge(const std::string& body) const {
    auto appcast = Appcast::parse(body);
    if (!appcast) return {Result::Kind::failed, {}, "the feed is not an update feed"};
    auto newest = appcast->newestFor("linux");
    if (newest && compareVersions(newest->version, currentVersion_) > 0) return {Result::Kind::newer, *newest, {}};
    return {Result::Kind::upToDate, {}, {}};
}

}  // namespace orvela
