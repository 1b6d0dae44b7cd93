#include "platform/SoftwareDrawing.h"

#include <charconv>
#include <gio/gio.h>
#include <optional>
#include <string_view>

namespace orvela::SoftwareDrawing {
namespace {

std::vector<std::string> made;

// This runs before anything else in main(): a name that is no node's is skipped,
// never an exception.
std::optional<int> nodeNumber(std::string_view name) {
    constexpr std::string_view prefix = "renderD";
    if (!name.starts_with(prefix)) return std::nullopt;
    std::string_view digits = name.substr(prefix.size());
    // from_chars would take a sign as well.
    if (digits.empty() || digits.front() < '0' || digits.front() > '9') return std::nullopt;
    int number = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return number;
}

void set(const char* name, const std::string& value) {
    // The user's own setting wins.
    if (g_getenv(name)) return;
    g_setenv(name, value.c_str(), TRUE);
    made.push_back(std::string(name) + "=" + value);
}

}  // namespace

std::string renderNode(const std::filesystem::path& folder) {
    std::optional<int> lowest;
    std::error_code code;
    for (std::filesystem::directory_iterator entry(folder, code), end; !code && entry != end; entry.increment(code)) {
        auto number = nodeNumber(entry->path().filename().string());
        if (number && (!lowest || *number < *lowest)) lowest = number;
    }
    // Where WebKit would use a missing node it finds none, as on a machine without a GPU.
    return (folder / ("renderD" + std::to_string(lowest.value_or(128)))).string();
}

void choose() {
    // GTK's GLX probe at display open.
    set("GDK_GL", "disable");
    // WebKit's check whether the view could composite with the GPU.
    set("WEBKIT_DISABLE_COMPOSITING_MODE", "1");
    // WebKit's check which buffers the page's process may share with the view.
    set("WEBKIT_DISABLE_DMABUF_RENDERER", "1");
    // WebKit's question to EGL which device renders.
    set("WEBKIT_WEB_RENDER_DEVICE_FILE", renderNode());
}

const std::vector<std::string>& chosen() { return made; }

void leaveOut(GAppLaunchContext* context) {
    for (const auto& setting : made) g_app_launch_context_unsetenv(context, setting.substr(0, setting.find('=')).c_str());
}

}  // namespace orvela::SoftwareDrawing
