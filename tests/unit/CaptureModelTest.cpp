#include "capture/CaptureModel.h"

#include <glib.h>
#include <gtest/gtest.h>

namespace orvela {
namespace {

class FakePanel : public CaptureHost {
public:
    CaptureModel& model() override { return model_; }
    void hide() override { ++hides; }

    int hides = 0;

private:
    CaptureModel model_;
};

// Runs the main loop until the condition holds or the time is up.
bool runLoopUntil(const std::function<bool()>& condition, double seconds = 3) {
    gint64 deadline = g_get_monotonic_time() + static_cast<gint64>(seconds * G_USEC_PER_SEC);
    while (!condition() && g_get_monotonic_time() < deadline) {
        if (!g_main_context_iteration(nullptr, FALSE)) g_usleep(1000);
    }
    return condition();
}

// Long enough for the panel's delayed hide to have run.
void runLoopPastTheHide() { runLoopUntil([] { return false; }, CaptureHost::hideDelay + 0.3); }

struct SaveCycle : ::testing::Test {
    std::shared_ptr<FakePanel> panel = std::make_shared<FakePanel>();
    CaptureModel& model = panel->model();
    std::vector<std::string> saved;
    CaptureHost::Done pendingDone;

    void SetUp() override {
        CaptureHost::installSaveCycle(panel);
        panel->onSave = [this](const std::string& text, CaptureHost::Done done) {
            saved.push_back(text);
            pendingDone = std::move(done);
        };
    }
};

TEST_F(SaveCycle, BlankTextIsNeverSubmitted) {
    for (const char* blank : {"", "   ", "\n\t \n", "\u00a0\u2028"}) {
        model.text.set(blank);
        EXPECT_TRUE(model.empty());
        model.submit();
    }
    EXPECT_TRUE(saved.empty());
    EXPECT_FALSE(model.busy.get());
}

TEST_F(SaveCycle, TextIsHandedOverUntrimmedAndOnlyOnceWhileBusy) {
    model.text.set("  купить хлеб \n");
    model.submit();
    model.submit();
    EXPECT_EQ(saved, std::vector<std::string>{"  купить хлеб \n"});
    EXPECT_TRUE(model.busy.get());
}

TEST_F(SaveCycle, FailureKeepsTextAndPanel) {
    model.text.set("идея");
    model.submit();
    pendingDone(CaptureOutcome::failed);
    EXPECT_FALSE(model.busy.get());
    EXPECT_EQ(model.text.get(), "идея");
    EXPECT_EQ(model.flash.get(), "Не получилось сохранить — попробуйте ещё раз");
    runLoopPastTheHide();
    EXPECT_EQ(panel->hides, 0);
}

TEST_F(SaveCycle, SavedEmptiesTheFieldAndHidesLater) {
    model.text.set("идея");
    model.submit();
    pendingDone(CaptureOutcome::saved);
    EXPECT_EQ(model.text.get(), "");
    EXPECT_EQ(model.flash.get(), "Во «Входящих»");
    EXPECT_EQ(panel->hides, 0);
    EXPECT_TRUE(runLoopUntil([&] { return panel->hides == 1; }));
}

TEST_F(SaveCycle, QueuedSynchronouslyInsideOnSaveEndsIdle) {
    std::vector<bool> busyValues;
    auto subscription = model.busy.subscribe([&](bool busy) { busyValues.push_back(busy); });
    panel->onSave = [](const std::string&, CaptureHost::Done done) { done(CaptureOutcome::queued); };
    model.text.set("идея");
    model.submit();
    EXPECT_EQ(busyValues, (std::vector<bool>{false, true, false}));
    EXPECT_EQ(model.flash.get(), "Сохранено — уйдёт во «Входящие», когда Orvela откроется");
}

TEST_F(SaveCycle, WithoutOnSaveNothingHappens) {
    panel->onSave = nullptr;
    model.text.set("идея");
    model.submit();
    EXPECT_FALSE(model.busy.get());
    EXPECT_EQ(model.text.get(), "идея");
}

TEST_F(SaveCycle, APanelGoneBeforeTheHideIsNotTouched) {
    model.text.set("идея");
    model.submit();
    pendingDone(CaptureOutcome::saved);
    pendingDone = nullptr;
    std::weak_ptr<FakePanel> weak = panel;
    panel.reset();
    EXPECT_TRUE(weak.expired());
    runLoopPastTheHide();
}

TEST(CaptureModel, EveryAssignmentNotifiesEvenWhenEqual) {
    CaptureModel model;
    int notifications = 0;
    auto subscription = model.focusToken.subscribe([&](int64_t) { ++notifications; });
    model.focusToken.set(0);
    model.focusToken.set(0);
    EXPECT_EQ(notifications, 3);
    subscription.reset();
    model.focusToken.set(1);
    EXPECT_EQ(notifications, 3);
}

}  // namespace
}  // namespace orvela
