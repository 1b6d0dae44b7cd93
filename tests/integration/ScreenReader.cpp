#include "tests/integration/ScreenReader.h"

#include "tests/integration/Harness.h"

#include <algorithm>
#include <unistd.h>

namespace orvela::testing {
namespace {

const std::string script = std::string(ORVELA_TEST_TOOLS) + "/screen-reader";

// The script with its output to read; it ends with the tests, also when they crash.
GSubprocess* spawn(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), script.c_str());
    arguments.push_back(nullptr);
    GObjectPtr<GSubprocessLauncher> launcher(g_subprocess_launcher_new(G_SUBPROCESS_FLAGS_STDOUT_PIPE));
    g_subprocess_launcher_set_child_setup(launcher.get(), endWithTests, GINT_TO_POINTER(getpid()), nullptr);
    return g_subprocess_launcher_spawnv(launcher.get(), arguments.data(), nullptr);
}

}  // namespace

nlohmann::json ScreenReader::tree(const std::string& windowRole) {
    std::string pid = std::to_string(getpid());
    std::vector<const char*> arguments{"tree", pid.c_str()};
    if (!windowRole.empty()) arguments.push_back(windowRole.c_str());
    GObjectPtr<GSubprocess> process(spawn(arguments));
    if (!process) return nlohmann::json::array();
    struct Answer {
        bool done = false;
        std::string text;
    } answer;
    g_subprocess_communicate_utf8_async(
        process.get(), nullptr, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            auto* answer = static_cast<Answer*>(data);
            gchar* out = nullptr;
            if (g_subprocess_communicate_utf8_finish(G_SUBPROCESS(source), result, &out, nullptr, nullptr) && out)
                answer->text = out;
            g_free(out);
            answer->done = true;
        },
        &answer);
    runUntil([&] { return answer.done; }, 30);
    return nlohmann::json::parse(answer.text, nullptr, false);
}

nlohmann::json ScreenReader::find(const nlohmann::json& tree, const std::string& role, const std::string& name) {
    if (!tree.is_array()) return nullptr;
    for (const auto& node : tree)
        if (node.value("role", "") == role && node.value("name", "") == name) return node;
    return nullptr;
}

ScreenReader::ScreenReader() : cancellable_(g_cancellable_new()) {
    process_ = GObjectPtr<GSubprocess>(spawn({"listen"}));
    if (!process_) return;
    lines_ = GObjectPtr<GDataInputStream>(g_data_input_stream_new(g_subprocess_get_stdout_pipe(process_.get())));
    readLine();
    runUntil([&] { return ready_; }, 20);
    // The program learns of a new listener from the registry, on a later turn of
    // its main loop; until then it sends no events.
    runFor(0.5);
}

ScreenReader::~ScreenReader() {
    g_cancellable_cancel(cancellable_.get());
    if (process_) {
        g_subprocess_force_exit(process_.get());
        g_subprocess_wait(process_.get(), nullptr, nullptr);
    }
}

void ScreenReader::readLine() {
    g_data_input_stream_read_line_async(lines_.get(), G_PRIORITY_DEFAULT, cancellable_.get(), lineRead, this);
}

void ScreenReader::lineRead(GObject* source, GAsyncResult* result, gpointer self) {
    GError* error = nullptr;
    gchar* line = g_data_input_stream_read_line_finish(G_DATA_INPUT_STREAM(source), result, nullptr, &error);
    // Cancelled: the reader is gone.
    if (error) {
        g_error_free(error);
        return;
    }
    if (!line) return;
    auto* reader = static_cast<ScreenReader*>(self);
    std::string text(line);
    g_free(line);
    if (text == "ready") reader->ready_ = true;
    else reader->heard_.push_back(nlohmann::json::parse(text, nullptr, false));
    reader->readLine();
}

bool ScreenReader::hears(const std::function<bool(const nlohmann::json&)>& event, double seconds) {
    return runUntil([&] { return std::any_of(heard_.begin(), heard_.end(), event); }, seconds);
}

std::vector<std::string> ScreenReader::focused() const {
    std::vector<std::string> names;
    for (const auto& event : heard_)
        if (event.value("event", "") == "object:state-changed:focused" && event.value("detail", 0) == 1 &&
            (names.empty() || names.back() != event.value("name", "")))
            names.push_back(event.value("name", ""));
    return names;
}

}  // namespace orvela::testing
