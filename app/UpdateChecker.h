#pragma once

#include "app/Appcast.h"
#include "platform/DefaultsStore.h"

#include <functional>
#include <memory>
#include <string>

typedef struct _SoupSession SoupSession;

namespace orvela {

// Looks in the application's update feed for a newer release: by itself at most
// once a day, and whenever the user asks.
class UpdateChecker : public std::enable_shared_from_this<UpdateChecker> {
public:
    static constexpr const char* defaultFeed = "https://orvela.ru/desktop/linux/appcast.xml";
    static constexpr const char* feedKey = "updateFeed";
    static constexpr const char* lastCheckKey = "lastUpdateCheck";
    static constexpr double interval = 24 * 60 * 60;

    struct Result {
        enum class Kind { newer, upToDate, failed };
        Kind kind;
        Appcast::Item release;  // the newer one
        std::string error;      // why the feed could not be read
    };
    // Told of every result of a check the user asked for, and of a newer release
    // found by the daily check.
    using Presenter = std::function<void(const Result& result, bool asked)>;

    static std::shared_ptr<UpdateChecker> create(DefaultsStore& defaults, std::string currentVersion, Presenter present);
    ~UpdateChecker();
    UpdateChecker(const UpdateChecker&) = delete;
    UpdateChecker& operator=(const UpdateChecker&) = delete;

    // Begins the daily checks: the first when a day has passed since the last one.
    void start();
    void checkForUpdates();

    // The feed, its override in the defaults ("updateFeed") first.
    std::string feed() const;
    // One check, without presenting anything.
    void check(std::function<void(Result)> done);

private:
    UpdateChecker(DefaultsStore& defaults, std::string currentVersion, Presenter present);
    void scheduleAutomatic(double delay);
    Result judge(const std::string& body) const;

    DefaultsStore& defaults_;
    const std::string currentVersion_;
    Presenter present_;
    SoupSession* session_;
};

}  // namespace orvela
