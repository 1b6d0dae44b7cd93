// The tray icon on sway's usual bar: waybar is the tray host, and what it draws
// is read from pictures of the bar taken with grim.
#include "tests/integration/AppDriver.h"

#include <fstream>
#include <functional>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gdk/gdk.h>
#include <gtest/gtest.h>

namespace orvela {
namespace {

using namespace testing;

constexpr int barHeight = 30;

// waybar with only a tray, on a bar of the given colour, its output kept in a file.
class Waybar {
public:
    Waybar(const std::filesystem::path& folder, const std::string& background) : log_(folder / "waybar.log") {
        std::filesystem::create_directories(folder);
        std::ofstream(folder / "config") << R"({"layer": "top", "position": "top", "height": )" << barHeight
                                         << R"(, "modules-right": ["tray"], "tray": {"icon-size": 22}})";
        std::ofstream(folder / "style.css") << "* { font-family: sans-serif; } window#waybar { background: "
                                            << background << "; }\n";
        bar_ = std::make_unique<Background>(std::vector<std::string>{
            "sh", "-c", "exec waybar -c '" + (folder / "config").string() + "' -s '" + (folder / "style.css").string() +
                            "' >'" + log_.string() + "' 2>&1"});
    }

    std::string log() const {
        std::ifstream file(log_);
        return std::string((std::istreambuf_iterator<char>(file)), {});
    }

private:
    std::filesystem::path log_;
    std::unique_ptr<Background> bar_;
};

// The bar's strip of the screen.
struct Picture {
    GdkPixbuf* pixbuf = nullptr;

    explicit Picture(const std::filesystem::path& file) {
        GdkRectangle screen{};
        gdk_monitor_get_geometry(gdk_display_get_monitor(gdk_display_get_default(), 0), &screen);
        std::string strip = "0,0 " + std::to_string(screen.width) + "x" + std::to_string(barHeight);
        if (runProgram({"grim", "-g", strip, file.string()}).status == 0)
            pixbuf = gdk_pixbuf_new_from_file(file.c_str(), nullptr);
    }
    ~Picture() {
        if (pixbuf) g_object_unref(pixbuf);
    }

    // How many pixels are of the kind the test asks for.
    int count(const std::function<bool(const guchar*)>& kind) const {
        if (!pixbuf) return 0;
        int found = 0;
        int channels = gdk_pixbuf_get_n_channels(pixbuf), stride = gdk_pixbuf_get_rowstride(pixbuf);
        const guchar* data = gdk_pixbuf_read_pixels(pixbuf);
        for (int y = 0; y < gdk_pixbuf_get_height(pixbuf); ++y)
            for (int x = 0; x < gdk_pixbuf_get_width(pixbuf); ++x) found += kind(data + y * stride + x * channels);
        return found;
    }
    // Pixels of the badge's red.
    int redPixels() const { return count([](const guchar* p) { return p[0] > 190 && p[1] < 70 && p[2] < 80; }); }
    // Pixels far from the bar's own colour: what the tray drew on it.
    int drawnPixels(const std::array<int, 3>& bar) const {
        return count([&bar](const guchar* p) {
            return std::abs(p[0] - bar[0]) + std::abs(p[1] - bar[1]) + std::abs(p[2] - bar[2]) > 60;
        });
    }
};

struct WaybarTray : ApplicationTest {
    std::filesystem::path pictures = std::filesystem::temp_directory_path() / "orvela-waybar";

    void SetUp() override {
        ApplicationTest::SetUp();
        std::filesystem::create_directories(pictures);
    }
};

// waybar looks names up only in the item's own theme folder and remembers what
// it found: the count must reach it as pictures, at start and after each change.
TEST_F(WaybarTray, TheCountIsDrawnOnADarkAndALightBarWithNoIconMissing) {
    struct Bar {
        std::string name;
        std::string css;
        std::array<int, 3> rgb;
    };
    for (const Bar& bar : {Bar{"dark", "#202020", {0x20, 0x20, 0x20}}, Bar{"light", "#f0f0f0", {0xf0, 0xf0, 0xf0}}}) {
        SCOPED_TRACE(bar.name + " bar");
        Harness::shared().control("inbox=7");
        Waybar waybar(Harness::shared().home() / ("waybar-" + bar.name), bar.css);
        runFor(1.5);
        int emptyBar = Picture(pictures / (bar.name + "-empty.png")).drawnPixels(bar.rgb);

        size_t loads = traced("loaded").size();
        Application app;
        ASSERT_TRUE(waitForPage(loads));
        int sevenRed = 0;
        EXPECT_TRUE(runUntil([&] {
            Picture seven(pictures / (bar.name + "-7.png"));
            sevenRed = seven.redPixels();
            return sevenRed > 20 && seven.drawnPixels(bar.rgb) > emptyBar + 100;
        }, 15)) << "the item's badge is not on the bar";

        Harness::shared().control("inbox=120");
        EXPECT_TRUE(runUntil([&] { return Picture(pictures / (bar.name + "-120.png")).redPixels() > sevenRed + 20; }, 15))
            << "the wider badge of 99+ never came";

        Harness::shared().control("inbox=0");
        EXPECT_TRUE(runUntil([&] { return Picture(pictures / (bar.name + "-0.png")).redPixels() == 0; }, 15))
            << "the badge stayed after the Inbox emptied";
        std::string log = waybar.log();
        EXPECT_EQ(log.find("Could not find an icon"), std::string::npos) << log;
        EXPECT_EQ(log.find("No icon name or pixmap"), std::string::npos) << log;
    }
}

}  // namespace
}  // namespace orvela
