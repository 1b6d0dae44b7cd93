// The portable core on the sizes a heavy user could reach.
#include "app/CaptureHandOff.h"
#include "capture/PendingCaptures.h"
#include "reminders/ReminderPlan.h"
#include "web/BridgeMessage.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <deque>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace orvela {
namespace {

constexpr double now = 1'700'000'000;

// Half of the wanted reminders are pending already, half of the pending ones are
// no longer wanted, and a tenth of the wanted ones are past.
void reminderPlanMake(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    std::vector<NativeReminder> wanted;
    std::vector<std::string> pending;
    for (int i = 0; i < count; ++i) {
        double offset = (i % 10 == 0) ? -60 : 60 + i;
        wanted.push_back({"r" + std::to_string(i), "item" + std::to_string(i), "Напоминание", (now + offset) * 1000});
        pending.push_back("reminder:r" + std::to_string(i + count / 2));
    }
    for (auto _ : state) benchmark::DoNotOptimize(ReminderPlan::make(wanted, pending, now));
}
BENCHMARK(reminderPlanMake)->Arg(100'000)->Unit(benchmark::kMillisecond);

void decodeRemindersMessage(benchmark::State& state) {
    nlohmann::json list = nlohmann::json::array();
    for (int i = 0; i < state.range(0); ++i) {
        list.push_back({{"id", "r" + std::to_string(i)}, {"itemId", "item" + std::to_string(i)},
                        {"title", "Позвонить в банк"}, {"atMs", 1.7e12 + i * 1000.0}});
    }
    std::string body = nlohmann::json{{"type", "reminders"}, {"list", list}}.dump();
    for (auto _ : state) benchmark::DoNotOptimize(BridgeMessage::decodeText(body));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * body.size()));
}
BENCHMARK(decodeRemindersMessage)->Arg(10'000)->Unit(benchmark::kMillisecond);

std::vector<std::string> texts(int count) {
    std::vector<std::string> list;
    for (int i = 0; i < count; ++i) list.push_back("Купить молоко и позвонить маме, запись " + std::to_string(i));
    return list;
}

// A fresh folder under the temporary one; without it no measure means anything.
std::string freshFolder() {
    std::string folder = (std::filesystem::temp_directory_path() / "orvela-bench-XXXXXX").string();
    if (!::mkdtemp(folder.data())) {
        std::perror("orvela-core-bench: a temporary folder");
        std::exit(1);
    }
    return folder;
}

// A queue of the given length in a defaults file of a fresh folder, removed afterwards.
struct QueueOnDisk {
    explicit QueueOnDisk(int length) {
        folder = freshFolder();
        store = std::make_unique<DefaultsStore>(std::filesystem::path(folder) / "defaults.json");
        store->setObject(texts(length), "pendingCaptures");
        queue = std::make_unique<PendingCaptures>(*store, "pendingCaptures");
    }
    ~QueueOnDisk() {
        queue.reset();
        store.reset();
        std::filesystem::remove_all(folder);
    }
    std::string folder;
    std::unique_ptr<DefaultsStore> store;
    std::unique_ptr<PendingCaptures> queue;
};

void pendingCapturesAddInMemory(benchmark::State& state) {
    DefaultsStore store(std::nullopt);
    store.setObject(texts(static_cast<int>(state.range(0))), "pendingCaptures");
    PendingCaptures queue(store, "pendingCaptures");
    for (auto _ : state) {
        queue.add("ещё одна мысль");
        state.PauseTiming();
        queue.removeFirst(queue.items().front());
        state.ResumeTiming();
    }
}
BENCHMARK(pendingCapturesAddInMemory)->Arg(10'000)->Unit(benchmark::kMillisecond);

// One capture queued on disk while the queue is as long as given; the queue is
// brought back to its length outside the timing.
void pendingCapturesAddOnDisk(benchmark::State& state) {
    QueueOnDisk disk(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        disk.queue->add("ещё одна мысль");
        state.PauseTiming();
        disk.queue->removeFirst(*disk.queue->first());
        state.ResumeTiming();
    }
}
BENCHMARK(pendingCapturesAddOnDisk)->Arg(10)->Arg(10'000)->Unit(benchmark::kMillisecond);

// One step of a flush on disk: the head read, then, accepted, removed.
void pendingCapturesFlushStepOnDisk(benchmark::State& state) {
    QueueOnDisk disk(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto head = disk.queue->first();
        disk.queue->removeFirst(*head);
        state.PauseTiming();
        disk.queue->add(*head);
        state.ResumeTiming();
    }
}
BENCHMARK(pendingCapturesFlushStepOnDisk)->Arg(10)->Arg(10'000)->Unit(benchmark::kMillisecond);

// A fresh capture delivered while the queue is long: into the journal before the
// page sees it, out of it once the page took it.
void captureJournalOnDisk(benchmark::State& state) {
    QueueOnDisk disk(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        disk.queue->beginDelivery("ещё одна мысль");
        disk.queue->delivered("ещё одна мысль");
    }
}
BENCHMARK(captureJournalOnDisk)->Arg(0)->Arg(10'000)->Unit(benchmark::kMillisecond);

// A page that takes every text at once; its answers arrive as main-loop tasks do,
// one at a time after the task that asked.
class AnsweringPage : public CaptureTarget {
public:
    std::deque<std::function<void(bool)>> answers;
    bool bridgeReady() const override { return true; }
    void capture(const std::string&, std::function<void(bool)> done) override { answers.push_back(std::move(done)); }
};

// The whole queue sent into the page, wall time from the first ask to an empty
// queue; the longest task is the longest the main thread would stall.
void flushQueueOnDisk(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    const int length = static_cast<int>(state.range(0));
    double longest = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QueueOnDisk disk(length);
        auto page = std::make_shared<AnsweringPage>();
        auto handOff = CaptureHandOff::create(*disk.queue, page, [](double, std::function<void()>) {});
        state.ResumeTiming();
        auto task = [&](const std::function<void()>& run) {
            auto started = Clock::now();
            run();
            longest = std::max(longest, std::chrono::duration<double, std::milli>(Clock::now() - started).count());
        };
        task([&] { handOff->flushPending(); });
        while (!page->answers.empty()) {
            auto answer = std::move(page->answers.front());
            page->answers.pop_front();
            task([&] { answer(true); });
        }
        state.PauseTiming();
        if (disk.queue->first()) state.SkipWithError("the queue was not emptied");
        handOff.reset();
        state.ResumeTiming();
    }
    state.counters["longest task ms"] = longest;
}
BENCHMARK(flushQueueOnDisk)->Arg(1'000)->Arg(10'000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace orvela

#include "reminders/LocalNotificationCenter.h"
#include "reminders/ReminderScheduler.h"

#include <glib.h>

namespace orvela {
namespace {

// A page list of 10,000 reminders against 10,000 pending requests, half of them
// still wanted: plan, withdrawals, additions, the state file and the next wake-up.
void schedulerUpdate(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    std::string folder = freshFolder();
    auto stateFile = std::filesystem::path(folder) / "notifications.json";
    double clock = now;
    LocalNotificationCenter::Environment environment;
    environment.stateFile = stateFile;
    environment.now = [&] { return clock; };
    environment.zone = [] { return g_time_zone_new_identifier("Europe/Moscow"); };
    environment.show = [](const NotificationRequest&, std::function<void(std::optional<LocalNotificationCenter::Shown>)> done) {
        done(LocalNotificationCenter::Shown{"bus/:1.1", 1});
    };
    environment.wakeAt = [](double, std::function<void()>) {};
    auto idle = [] {
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
    };
    auto list = [&](int first) {
        std::vector<NativeReminder> reminders;
        for (int i = first; i < first + count; ++i)
            reminders.push_back({"r" + std::to_string(i), "item" + std::to_string(i), "Позвонить в банк",
                                 (now + 3600 + i) * 1000});
        return reminders;
    };
    {
        auto center = LocalNotificationCenter::create(environment);
        auto scheduler = ReminderScheduler::create(center, [&] { return clock; });
        idle();
        int first = 0;
        for (auto _ : state) {
            state.PauseTiming();
            scheduler->update(list(first));  // 10,000 pending before the measured update
            idle();
            first += count / 2;
            auto next = list(first);
            state.ResumeTiming();
            scheduler->update(next);
            idle();
        }
        state.counters["state file KiB"] = static_cast<double>(std::filesystem::file_size(stateFile)) / 1024;
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(schedulerUpdate)->Arg(10'000)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace orvela
