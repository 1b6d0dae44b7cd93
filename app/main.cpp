// orvela: the desktop application. One instance per session: a second launch
// hands its links, or just the wish to see the window, to the running one.
#include "app/AppConfig.h"
#include "app/AppDelegate.h"
#include "app/LaunchOptions.h"
#include "platform/GObjectPtr.h"
#include "platform/SessionBus.h"
#include "platform/SignalConnection.h"
#include "platform/SoftwareDrawing.h"
#include "platform/StartupTrace.h"
#include "web/WebContext.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char* usage =
    "Usage: orvela [-key value]... [orvela://SECTION]\n"
    "The Orvela task manager, with a capture key that works in any program.\n"
    "\n"
    "  orvela://capture          open the capture panel\n"
    "  orvela://inbox            open a section (inbox, next, projects, waiting, ...)\n"
    "  -origin URL               the web application's address (https, or localhost)\n"
    "  -updateFeed URL           the update feed\n"
    "  -snapshot NAME            photograph the windows into $TMPDIR/NAME, then end\n"
    "                            (-snapshotPaths, -snapshotSize, -snapshotCapture, -appearance)\n"
    "  -smokeTest YES            start, print \"smoke: ok\" and end\n"
    "  --background              as at login: no window while a tray shows the icon\n"
    "  --help, --version         this text; the version\n"
    "  --help-gtk                GTK's own options (--display, --class, ...)\n"
    "\n"
    "A running instance takes the links of a second start. See orvela(1).\n";

// --help and --version answer at once, without a display or the running instance.
bool answeredAtOnce(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::string_view argument = argv[i];
        // What follows "--" is addresses, whatever they look like.
        if (argument == "--") return false;
        if (argument == "--help" || argument == "-h") {
            std::fputs(usage, stdout);
            return true;
        }
        if (argument == "--version") {
            std::printf("orvela %s\n", orvela::AppConfig::version().c_str());
            return true;
        }
    }
    return false;
}

constexpr const char* applicationId = "ru.orvela.Orvela";

// Whether a running instance owns the application's name, so that this launch
// only hands it its links and ends.
bool anotherInstanceRuns(GApplicationFlags flags) {
    GDBusConnection* bus = orvela::sessionBus();
    if ((flags & G_APPLICATION_NON_UNIQUE) || !bus) return false;
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
        g_variant_new("(s)", applicationId), G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
    if (!reply) return false;
    gboolean owned = FALSE;
    g_variant_get(reply, "(b)", &owned);
    g_variant_unref(reply);
    return owned;
}

// The options GApplication parses beside GTK's own, which GtkApplication adds.
// Unknown ones are refused there, on standard error, with a non-zero status.
void addOptions(GApplication* application, gboolean* background) {
    const GOptionEntry entries[] = {
        {"background", 0, G_OPTION_FLAG_NONE, G_OPTION_ARG_NONE, background,
         "As at login: no window while a tray shows the icon", nullptr},
        {}};
    g_application_add_main_option_entries(application, entries);
}

// A launch in the background while the application runs already leaves the
// running instance as it is, rather than bringing its window; links it carries
// still go there.
gint backgroundLaunch(GApplication* application, bool withLinks) {
    orvela::LaunchOptions::inBackground = true;
    if (withLinks || !g_application_register(application, nullptr, nullptr)) return -1;
    return g_application_get_is_remote(application) ? 0 : -1;
}

}  // namespace

int main(int argc, char** argv) {
    orvela::StartupTrace::mark("main");
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (answeredAtOnce(argc, argv)) return 0;
    // A session bus GLib has to start for the application (X11 without a user bus)
    // outlives it and starts other programs: it gets the user's environment.
    orvela::sessionBus();
    orvela::SoftwareDrawing::choose();

    orvela::LaunchOptions launch;
    // Smoke, snapshot and test-host runs are tools of their own and never reach a
    // running instance.
    auto flags = G_APPLICATION_HANDLES_OPEN;
    if (launch.underTests() || launch.smokeTest() || launch.snapshot())
        flags = GApplicationFlags(flags | G_APPLICATION_NON_UNIQUE);
    orvela::GObjectPtr<GtkApplication> application(gtk_application_new(applicationId, flags));
    GApplication* app = G_APPLICATION(application.get());
    gboolean background = FALSE;
    addOptions(app, &background);
    // The "-key value" pairs belong to the defaults; the application sees the rest.
    std::vector<std::string> arguments = orvela::DefaultsStore::otherArguments({argv + 1, argv + argc});
    // No option takes an orvela: link as its value, so any such argument is a link.
    bool withLinks = std::any_of(arguments.begin(), arguments.end(),
                                 [](const std::string& argument) { return argument.starts_with("orvela:"); });
    // Once the command line is known to be good, and unless a running instance
    // takes the launch over, the page's parts get going before GTK starts: the
    // sandbox check, and the web context, whose network process then gets ready
    // on the other core while GTK starts on this one. The context comes after the
    // application: WebKit takes the application's id, which the pages' sandbox
    // and the desktop portals know it by, from the first one it sees.
    auto localOptions = orvela::SignalConnection::connect<gint(GApplication*, GVariantDict*)>(
        app, "handle-local-options",
        [&background, &launch, flags, withLinks](GApplication* application, GVariantDict*) {
            if (!launch.underTests() && !anotherInstanceRuns(flags)) {
                orvela::WebContext::probeSandbox();
                orvela::WebContext::prepare();
            }
            return background ? backgroundLaunch(application, withLinks) : -1;
        });
    auto delegate = orvela::AppDelegate::create(application.get());

    std::vector<char*> applicationArguments{argv[0]};
    for (auto& argument : arguments) applicationArguments.push_back(argument.data());
    applicationArguments.push_back(nullptr);
    return g_application_run(app, static_cast<int>(applicationArguments.size() - 1), applicationArguments.data());
}
