#pragma once

#include "platform/Observable.h"

#include <functional>

namespace orvela {

// The offline screen's state: shown while the web application cannot be reached.
struct OfflineModel {
    static constexpr const char* title = "Нет связи с Orvela";
    static constexpr const char* message =
        "Проверьте интернет. Когда связь появится, Orvela откроется сам с того же места; всё записанное сохранится.";
    static constexpr const char* retryTitle = "Повторить";
    static constexpr double retryInterval = 15;

    Observable<bool> isOffline{false};
    std::function<void()> retry = [] {};
};

}  // namespace orvela
