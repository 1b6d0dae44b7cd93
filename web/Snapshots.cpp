#include "web/Snapshots.h"

#include "app/LaunchOptions.h"
#include "capture/CaptureView.h"
#include "platform/MainQueue.h"
#include "settings/SettingsView.h"
#include "web/SnapshotOptions.h"

#include <cstdio>
#include <cstdlib>

namespace orvela {
namespace {

double now() { return static_cast<double>(g_get_monotonic_time()) / G_USEC_PER_SEC; }

void settle() {
    while (gtk_events_pending()) gtk_main_iteration();
}

}  // namespace

std::shared_ptr<Snapshots> Snapshots::create(std::shared_ptr<WebController> web, const DefaultsStore& launch) {
    return std::shared_ptr<Snapshots>(new Snapshots(std::move(web), launch));
}

Snapshots::Snapshots(std::shared_ptr<WebController> web, const DefaultsStore& launch)
    : web(std::move(web)),
      folder(SnapshotOptions::folder(launch.stringForKey("snapshot").value_or(""), g_get_tmp_dir())),
      paths(LaunchOptions(launch).snapshotPaths()) {}

void Snapshots::run() {
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);

    auto& defaults = DefaultsStore::standardUserDefaults();
    auto appearance = defaults.stringForKey("appearance");
    if (appearance == "light" || appearance == "dark")
        g_object_set(gtk_settings_get_default(), "gtk-application-prefer-dark-theme", appearance == "dark", nullptr);

    auto size = SnapshotOptions::windowSize(defaults.stringForKey("snapshotSize"));
    GtkWindow* window = web->window();
    // The page alone fills the picture.
    if (GTK_IS_APPLICATION_WINDOW(window)) gtk_application_window_set_show_menubar(GTK_APPLICATION_WINDOW(window), FALSE);
    gtk_window_move(window, -20000, -20000);
    gtk_window_resize(window, static_cast<int>(size.width), static_cast<int>(size.height));
    gtk_widget_show(GTK_WIDGET(window));

    CaptureModel filled;
    filled.text.set(defaults.stringForKey("snapshotCapture").value_or(SnapshotOptions::defaultCapture));
    {
        CaptureView view(filled);
        render(view.widget(), "capture-panel", CaptureView::width, false);
    }
    CaptureModel empty;
    {
        CaptureView view(empty);
        render(view.widget(), "capture-panel-empty", CaptureView::width, false);
    }
    auto settings = SettingsView::create(AppSettings::shared(), HotKeyState{}, [] {});
    render(settings->widget(), "settings", SettingsView::width, true);

    waitForSite(now() + siteWait);
}

void Snapshots::render(GtkWidget* view, const std::string& name, int width, bool ground) {
    GtkWidget* offscreen = gtk_offscreen_window_new();
    // Transparent where nothing is drawn, unless the picture has a ground.
    if (GdkVisual* visual = gdk_screen_get_rgba_visual(gtk_widget_get_screen(offscreen))) gtk_widget_set_visual(offscreen, visual);
    if (ground)
        gtk_style_context_add_class(gtk_widget_get_style_context(offscreen), "orvela-snapshot-ground");
    else
        gtk_widget_set_app_paintable(offscreen, TRUE);
    GtkWidget* frame = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    g_object_set(frame, "border-width", inset, nullptr);
    gtk_box_pack_start(GTK_BOX(frame), view, TRUE, TRUE, 0);
    gtk_container_add(GTK_CONTAINER(offscreen), frame);

    int naturalWidth = 0;
    gtk_widget_get_preferred_width(frame, nullptr, &naturalWidth);
    int frameWidth = std::max(width, naturalWidth);
    int frameHeight = 0;
    gtk_widget_get_preferred_height_for_width(frame, frameWidth, nullptr, &frameHeight);
    gtk_widget_set_size_request(frame, frameWidth, frameHeight);
    // The views show their own parts; only what holds them is shown here.
    gtk_widget_show(view);
    gtk_widget_show(frame);
    gtk_widget_show(offscreen);
    settle();

    if (cairo_surface_t* picture = gtk_offscreen_window_get_surface(GTK_OFFSCREEN_WINDOW(offscreen))) {
        cairo_surface_write_to_png(picture, (folder / (name + ".png")).c_str());
        std::printf("snapshot: %s ok\n", name.c_str());
    }
    gtk_container_remove(GTK_CONTAINER(frame), view);
    gtk_widget_destroy(offscreen);
}

void Snapshots::waitForSite(double deadline) {
    if (!web->bridgeReady() && now() < deadline) {
        MainQueue::after<Snapshots>(0.5, weak_from_this(), [deadline](Snapshots& self) { self.waitForSite(deadline); });
        return;
    }
    MainQueue::after<Snapshots>(web->bridgeReady() ? pageWait : 0, weak_from_this(), [](Snapshots& self) { self.next(); });
}

void Snapshots::next() {
    if (paths.empty()) {
        std::printf("snapshot: done %s bridge=%s\n", folder.c_str(), web->bridgeReady() ? "true" : "false");
        std::exit(0);
    }
    std::string path = paths.front();
    paths.erase(paths.begin());
    // Ready, the page goes there itself; otherwise its address is loaded.
    web->navigate(path);
    MainQueue::after<Snapshots>(pageWait, weak_from_this(), [path](Snapshots& self) {
        std::string name = SnapshotOptions::siteName(path);
        std::weak_ptr<Snapshots> weak = self.weak_from_this();
        self.web->snapshot(self.folder / (name + ".png"), [weak, name](bool written) {
            auto snapshots = weak.lock();
            if (!snapshots) return;
            const char* address = webkit_web_view_get_uri(snapshots->web->webView());
            bool none = !address || !*address;
            std::printf("snapshot: %s %s url=%s\n", name.c_str(), written ? "ok" : "failed", none ? "-" : address);
            snapshots->next();
        });
    });
}

}  // namespace orvela
