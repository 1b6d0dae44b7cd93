#pragma once

#include "tests/integration/Harness.h"
#include "web/WebController.h"

#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvela {

// One fresh web host on the stand-in site, with what reached its callbacks.
struct WebHost : ::testing::Test {
    testing::Harness& harness = testing::Harness::shared();
    DefaultsStore defaults{std::nullopt, {"-origin", harness.origin()}};
    std::shared_ptr<WebController> web;
    std::vector<BridgeMessage> messages;
    std::vector<bool> readiness;

    void SetUp() override {
        harness.control("captures=ok&delay=0&hang=0");
        web = WebController::create(defaults);
        web->onMessage = [this](const BridgeMessage& message) { messages.push_back(message); };
        web->onBridgeReadyChange = [this](bool ready) { readiness.push_back(ready); };
        web->bringForward();
    }

    bool waitReady(double seconds = 20) { return testing::runUntil([&] { return web->bridgeReady(); }, seconds); }

    std::string uri() const {
        const char* current = webkit_web_view_get_uri(web->webView());
        return current ? current : "";
    }

    void loadAndWait(const std::string& address) {
        bool finished = false;
        auto connection = SignalConnection::connect<void(WebKitWebView*, WebKitLoadEvent)>(
            web->webView(), "load-changed",
            [&](WebKitWebView*, WebKitLoadEvent event) { finished = finished || event == WEBKIT_LOAD_FINISHED; });
        webkit_web_view_load_uri(web->webView(), address.c_str());
        ASSERT_TRUE(testing::runUntil([&] { return finished; }));
    }

    // Runs a script in the page and waits for it to finish.
    void runScript(const std::string& script) {
        bool done = false;
        webkit_web_view_evaluate_javascript(web->webView(), script.c_str(), -1, nullptr, nullptr, nullptr,
            [](GObject* view, GAsyncResult* result, gpointer flag) {
                JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, nullptr);
                if (value) g_object_unref(value);
                *static_cast<bool*>(flag) = true;
            },
            &done);
        ASSERT_TRUE(testing::runUntil([&] { return done; }));
    }

    // Starts a script whose result is a text (awaited when it is a promise); the
    // answer lands in the returned slot when the script has finished.
    std::shared_ptr<std::optional<std::string>> startScript(const std::string& script) {
        auto answer = std::make_shared<std::optional<std::string>>();
        auto* slot = new std::shared_ptr<std::optional<std::string>>(answer);
        webkit_web_view_call_async_javascript_function(web->webView(), ("return String(await (" + script + "))").c_str(), -1,
            nullptr, nullptr, nullptr, nullptr,
            [](GObject* view, GAsyncResult* result, gpointer data) {
                std::unique_ptr<std::shared_ptr<std::optional<std::string>>> slot(
                    static_cast<std::shared_ptr<std::optional<std::string>>*>(data));
                GError* error = nullptr;
                JSCValue* value = webkit_web_view_call_async_javascript_function_finish(WEBKIT_WEB_VIEW(view), result, &error);
                if (value) {
                    char* text = jsc_value_to_string(value);
                    **slot = text;
                    g_free(text);
                    g_object_unref(value);
                } else {
                    **slot = std::string("error: ") + (error ? error->message : "?");
                    g_clear_error(&error);
                }
            },
            slot);
        return answer;
    }

    std::string evaluate(const std::string& script) {
        auto answer = startScript(script);
        EXPECT_TRUE(testing::runUntil([&] { return answer->has_value(); })) << script;
        return answer->value_or("");
    }

    // How many entries of this call the site's trace holds, with this value when given.
    static int traced(const nlohmann::json& state, const std::string& call, const std::string& value = "") {
        int count = 0;
        for (const auto& entry : state["trace"])
            if (entry["call"] == call && (value.empty() || entry["value"] == value)) ++count;
        return count;
    }

    template <class Case>
    std::vector<Case> received() const {
        std::vector<Case> found;
        for (const auto& message : messages) {
            if (auto* value = std::get_if<Case>(&message.value)) found.push_back(*value);
        }
        return found;
    }
};

}  // namespace orvela
