#pragma once

#include "capture/CaptureOutcome.h"
#include "platform/Observable.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace orvela {

// The state of the capture panel. Every assignment to one of the four observable
// fields notifies the view, also when the value did not change.
class CaptureModel {
public:
    static constexpr const char* savedMessage = "Во «Входящих»";
    static constexpr const char* queuedMessage = "Сохранено — уйдёт во «Входящие», когда Orvela откроется";
    static constexpr const char* failedMessage = "Не получилось сохранить — попробуйте ещё раз";

    Observable<std::string> text{""};
    Observable<bool> busy{false};
    Observable<std::optional<std::string>> flash{std::nullopt};
    Observable<int64_t> focusToken{0};

    std::function<void(const std::string&)> save = [](const std::string&) {};
    std::function<void()> close = [] {};

    // Nothing but white space and line breaks.
    bool empty() const { return isBlank(text.get()); }
    static bool isBlank(const std::string& text);
    // Hands the text, exactly as typed, to save, unless it is empty or a capture
    // is already on its way.
    void submit();
};

// What the save cycle needs of the panel that owns the model.
class CaptureHost {
public:
    using Done = std::function<void(CaptureOutcome)>;
    using OnSave = std::function<void(const std::string& text, Done done)>;

    virtual ~CaptureHost() = default;
    virtual CaptureModel& model() = 0;
    virtual void hide() = 0;

    OnSave onSave;

    // Seconds from a successful capture to the panel hiding itself.
    static constexpr double hideDelay = 0.9;

    // Installs the save step as the model's save callback. The host is held weakly;
    // while a capture is on its way its completion keeps the host alive.
    static void installSaveCycle(const std::shared_ptr<CaptureHost>& host);
};

}  // namespace orvela
