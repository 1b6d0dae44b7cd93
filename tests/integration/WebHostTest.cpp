#include "tests/integration/WebHostFixture.h"
#include "platform/ColorScheme.h"
#include "web/WebContext.h"
#include "web/WebController.h"

#include <csignal>
#include <fstream>
#include <gtest/gtest.h>

namespace orvela {
namespace {

using testing::Harness;
using testing::runFor;
using testing::runUntil;

TEST_F(WebHost, ThePageReportsReadyInboxAndReminders) {
    harness.control("reminders=set", R"([{"id":"r1","itemId":"42","atMs":4102444800000,"title":"Позвонить"}])");
    ASSERT_TRUE(waitReady());
    EXPECT_EQ(readiness, std::vector<bool>{true});
    ASSERT_TRUE(runUntil([&] { return !received<BridgeMessage::Reminders>().empty(); }));
    auto reminders = received<BridgeMessage::Reminders>().back().list;
    ASSERT_EQ(reminders.size(), 1u);
    EXPECT_EQ(reminders[0], (NativeReminder{"r1", "42", "Позвонить", 4102444800000.0}));
    EXPECT_FALSE(received<BridgeMessage::Inbox>().empty());
    EXPECT_NE(web->userAgent().find(" Version/26.0 Safari/605.1.15 OrvelaMac/"), std::string::npos) << web->userAgent();
}

TEST_F(WebHost, MessagesFromForeignFramesAreIgnored) {
    ASSERT_TRUE(waitReady());
    messages.clear();
    // An application page with a frame from the other loopback name, which posts.
    loadAndWait(harness.origin() + "/frames");
    runFor(1);
    EXPECT_TRUE(messages.empty());
    // A main-frame page that is not the application's.
    loadAndWait("data:text/html,<script>window.webkit.messageHandlers.orvela.postMessage({type:'ready'})</script>");
    runFor(1);
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(web->bridgeReady());
}

bool attackReported(Harness& harness, const char* kind) {
    auto state = harness.siteState();
    for (const auto& entry : state["trace"])
        if (entry["call"] == "attack" && entry["value"] == std::string(kind) + ":sent") return true;
    return false;
}

TEST_F(WebHost, NoTrickOfAForeignFrameSpeaksWithTheApplicationsAddress) {
    ASSERT_TRUE(waitReady());
    // kept: a same-origin child's channel kept, the child sent to the application's host;
    // navigating: posts while the frame is on its way there; blank, srcdoc, data: children
    // without an address of their own.
    for (const char* kind : {"kept", "navigating", "blank", "srcdoc", "data"}) {
        messages.clear();
        loadAndWait(harness.origin() + "/frames?attack=" + kind);
        ASSERT_TRUE(runUntil([&] { return attackReported(harness, kind); }, 10)) << kind << " never ran";
        runFor(1.5);
        for (const auto& inbox : received<BridgeMessage::Inbox>()) EXPECT_NE(inbox.count, 777) << kind;
    }
}

// The desktop portal's settings on the test's bus, with the colour scheme the test sets.
class FakePortal {
public:
    explicit FakePortal(guint32 scheme) : scheme_(scheme) {
        GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(R"(<node><interface name="org.freedesktop.portal.Settings">
            <method name="Read"><arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="v" direction="out"/></method>
            <signal name="SettingChanged"><arg type="s"/><arg type="s"/><arg type="v"/></signal></interface></node>)", nullptr);
        static const GDBusInterfaceVTable table = {
            [](GDBusConnection*, const char*, const char*, const char*, const char*, GVariant*,
               GDBusMethodInvocation* invocation, gpointer self) {
                // Read answers the value wrapped once more, as the portal does.
                GVariant* value = g_variant_new_variant(g_variant_new_uint32(static_cast<FakePortal*>(self)->scheme_));
                g_dbus_method_invocation_return_value(invocation, g_variant_new("(v)", value));
            },
            nullptr, nullptr, {}};
        registration_ = g_dbus_connection_register_object(bus_, "/org/freedesktop/portal/desktop", node->interfaces[0],
                                                          &table, this, nullptr, nullptr);
        g_dbus_node_info_unref(node);
        owner_ = g_bus_own_name_on_connection(bus_, "org.freedesktop.portal.Desktop", G_BUS_NAME_OWNER_FLAGS_NONE,
            [](GDBusConnection*, const char*, gpointer self) { static_cast<FakePortal*>(self)->owned_ = true; }, nullptr,
            this, nullptr);
        runUntil([&] { return owned_; });
    }
    ~FakePortal() {
        g_bus_unown_name(owner_);
        g_dbus_connection_unregister_object(bus_, registration_);
        g_object_unref(bus_);
    }
    void change(guint32 scheme) {
        scheme_ = scheme;
        g_dbus_connection_emit_signal(bus_, nullptr, "/org/freedesktop/portal/desktop", "org.freedesktop.portal.Settings",
                                      "SettingChanged",
                                      g_variant_new("(ssv)", "org.freedesktop.appearance", "color-scheme",
                                                    g_variant_new_uint32(scheme)),
                                      nullptr);
    }

private:
    GDBusConnection* bus_ = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    guint32 scheme_;
    guint registration_ = 0;
    guint owner_ = 0;
    bool owned_ = false;
};

bool darkPreferred() {
    gboolean dark = FALSE;
    g_object_get(gtk_settings_get_default(), "gtk-application-prefer-dark-theme", &dark, nullptr);
    return dark;
}

TEST_F(WebHost, TheDesktopsColourSchemeReachesTheViewsAndThePage) {
    ASSERT_TRUE(waitReady());
    FakePortal portal(1);
    ColorScheme::follow();
    EXPECT_TRUE(runUntil(darkPreferred));
    auto pageDark = [&] { return evaluate("matchMedia('(prefers-color-scheme: dark)').matches"); };
    EXPECT_TRUE(runUntil([&] { return pageDark() == "true"; })) << pageDark();
    portal.change(2);
    EXPECT_TRUE(runUntil([] { return !darkPreferred(); }));
    EXPECT_TRUE(runUntil([&] { return pageDark() == "false"; }));
}

// The dictionaries load when the user first types into the page, not on the way to it.
TEST_F(WebHost, SpellCheckingKnowsRussianAndEnglishOnceTheUserTypes) {
    ASSERT_TRUE(waitReady());
    EXPECT_FALSE(webkit_web_context_get_spell_checking_enabled(WebContext::shared()));
    web->bringForward();
    ASSERT_TRUE(runUntil([&] { return gtk_window_is_active(web->window()); }));
    gtk_widget_grab_focus(GTK_WIDGET(web->webView()));
    runFor(0.3);
    ASSERT_EQ(testing::xdotool({"key", "Right"}), 0);
    EXPECT_TRUE(runUntil([] { return webkit_web_context_get_spell_checking_enabled(WebContext::shared()); }));
    const gchar* const* languages = webkit_web_context_get_spell_checking_languages(WebContext::shared());
    std::vector<std::string> known;
    for (auto language = languages; language && *language; ++language) known.emplace_back(*language);
    EXPECT_EQ(known, (std::vector<std::string>{"ru_RU", "en_US"}));
}

TEST_F(WebHost, CaptureAnswersWhatThePageAnswers) {
    ASSERT_TRUE(waitReady());
    std::vector<bool> answers;
    auto record = [&](bool saved) { answers.push_back(saved); };

    web->capture("  купить хлеб\nи молоко", record);
    ASSERT_TRUE(runUntil([&] { return answers.size() == 1; }));
    EXPECT_TRUE(answers[0]);
    EXPECT_EQ(harness.siteState()["inbox"].back()["text"], "  купить хлеб\nи молоко");

    harness.control("captures=fail");
    web->capture("не дойдёт", record);
    ASSERT_TRUE(runUntil([&] { return answers.size() == 2; }));
    EXPECT_FALSE(answers[1]);

    runScript("window.orvelaNative.capture = () => { throw new Error('сломалось'); }");
    web->capture("и это", record);
    ASSERT_TRUE(runUntil([&] { return answers.size() == 3; }));
    EXPECT_FALSE(answers[2]);
}

TEST_F(WebHost, CaptureWhileNotReadyAnswersFalseAtOnce) {
    std::optional<bool> answer;
    web->capture("рано", [&](bool saved) { answer = saved; });
    EXPECT_EQ(answer, false);
}

TEST_F(WebHost, NavigateLoadsTheAddressWhileNotReadyAndAsksThePageOnceReady) {
    web->navigate("/someday");
    ASSERT_TRUE(waitReady());
    EXPECT_EQ(uri(), harness.origin() + "/someday");

    web->navigate("/review");
    ASSERT_TRUE(runUntil([&] { return uri() == harness.origin() + "/review"; }));
    // The page moved by itself: no new load, so readiness never dropped.
    runFor(0.5);
    EXPECT_EQ(readiness, std::vector<bool>{true});
}

TEST_F(WebHost, CommandsReachThePageAndFailuresAreLogged) {
    ASSERT_TRUE(waitReady());
    web->command(PageScripts::openSearch);
    EXPECT_TRUE(runUntil([&] { return evaluate("document.getElementById('panel').textContent") == "Поиск"; }));

    // A name that is not one of the commands never becomes script.
    runScript("window.orvelaNative.noSuchCommand = () => document.title = 'ran'");
    web->command("noSuchCommand");
    runFor(0.5);
    EXPECT_NE(evaluate("document.title"), "ran");

    // A command the page fails at is logged with its script.
    runScript("window.orvelaNative.openDiktor = () => { throw new Error('нет микрофона') }");
    ::testing::internal::CaptureStderr();
    web->command(PageScripts::openDiktor);
    runFor(1);
    std::string logged = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(logged.find("Orvela: window.orvelaNative?.openDiktor(): "), std::string::npos) << logged;
}

// The web process of this test.
pid_t webProcess() { return testing::descendantNamed(::getpid(), "WebKitWebProces"); }

std::string namespaceOf(const std::string& process, const char* kind) {
    std::error_code ignored;
    return std::filesystem::read_symlink("/proc/" + process + "/ns/" + kind, ignored).string();
}

TEST_F(WebHost, PagesRunInASandboxWhereTheSystemCanMakeOne) {
    ASSERT_TRUE(waitReady());
    if (std::system("bwrap --ro-bind / / --unshare-all --die-with-parent true 2>/dev/null") != 0)
        GTEST_SKIP() << "bubblewrap cannot make a sandbox on this machine";
    pid_t process = webProcess();
    ASSERT_GT(process, 0);
    EXPECT_NE(namespaceOf(std::to_string(process), "pid"), namespaceOf("self", "pid"));
    EXPECT_NE(namespaceOf(std::to_string(process), "net"), namespaceOf("self", "net"));
}

TEST_F(WebHost, AKilledWebProcessClearsReadinessAndReloads) {
    ASSERT_TRUE(waitReady());
    pid_t process = webProcess();
    ASSERT_GT(process, 0);
    ::kill(process, SIGKILL);
    ASSERT_TRUE(runUntil([&] { return readiness.size() >= 2; }));
    EXPECT_FALSE(readiness[1]);
    ASSERT_TRUE(waitReady());
    EXPECT_EQ(readiness, (std::vector<bool>{true, false, true}));
}

TEST_F(WebHost, ACrashBeforeTheFirstPageCommittedLoadsTheStartPage) {
    harness.control("hang=1");
    web = WebController::create(defaults);
    web->onBridgeReadyChange = [this](bool ready) { readiness.push_back(ready); };
    // Once the page's request reached the site the web process is well under way
    // (the engine itself cannot survive one that dies while it starts).
    ASSERT_TRUE(runUntil([&] { return harness.siteState()["held"] > 0; }));
    ASSERT_GT(webProcess(), 0);
    ::kill(webProcess(), SIGKILL);
    runFor(1);
    harness.control("hang=0");
    EXPECT_TRUE(waitReady());
}

TEST_F(WebHost, AServerThatNeverAnswersShowsTheOfflineScreenAfterTheLoadTimeOut) {
    ASSERT_TRUE(waitReady());
    WebController::loadTimeout = 2;
    harness.control("hang=1");
    web->reload();
    EXPECT_TRUE(runUntil([&] { return web->offlineScreenVisible(); }, 8));
    WebController::loadTimeout = 60;
    harness.control("hang=0");
    // The next retry comes 15 seconds after the time-out.
    EXPECT_TRUE(runUntil([&] { return !web->offlineScreenVisible(); }, OfflineModel::retryInterval + 10));
    EXPECT_TRUE(waitReady());
}

TEST_F(WebHost, ALoadCancelledByTheNextOneDoesNotBringReadinessBack) {
    ASSERT_TRUE(waitReady());
    harness.control("delay=1500");
    webkit_web_view_load_uri(web->webView(), (harness.origin() + "/next").c_str());
    runFor(0.3);
    harness.control("delay=0");
    webkit_web_view_load_uri(web->webView(), (harness.origin() + "/inbox").c_str());
    ASSERT_TRUE(runUntil([&] { return readiness.size() >= 3; }));
    runFor(1);
    EXPECT_EQ(readiness, (std::vector<bool>{true, false, true}));
    EXPECT_EQ(uri(), harness.origin() + "/inbox");
}

TEST_F(WebHost, TheOfflineScreenIsNarrowAndKeepsTheKeyboardFromThePage) {
    ASSERT_TRUE(waitReady());
    harness.stopSite();
    web->reload();
    ASSERT_TRUE(runUntil([&] { return web->offlineScreenVisible(); }));
    runFor(0.3);
    for (int i = 0; i < 6; ++i) {
        gtk_widget_child_focus(GTK_WIDGET(web->window()), GTK_DIR_TAB_FORWARD);
        EXPECT_NE(gtk_window_get_focus(web->window()), GTK_WIDGET(web->webView())) << "Tab " << i;
    }
    // The message wraps within 360 pixels.
    std::function<GtkWidget*(GtkWidget*)> message = [&](GtkWidget* widget) -> GtkWidget* {
        if (gtk_style_context_has_class(gtk_widget_get_style_context(widget), "orvela-offline-message")) return widget;
        if (!GTK_IS_CONTAINER(widget)) return nullptr;
        GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
        GtkWidget* found = nullptr;
        for (GList* child = children; child && !found; child = child->next) found = message(GTK_WIDGET(child->data));
        g_list_free(children);
        return found;
    };
    GtkWidget* label = message(GTK_WIDGET(web->window()));
    ASSERT_TRUE(label);
    EXPECT_LE(gtk_widget_get_allocated_width(label), 360);
    EXPECT_GT(gtk_widget_get_allocated_width(label), 200);
    harness.startSite();
}

TEST_F(WebHost, TheOfflineScreenCoversAnUnreachableSiteAndRetriesByItself) {
    ASSERT_TRUE(waitReady());
    harness.stopSite();
    web->reload();
    ASSERT_TRUE(runUntil([&] { return web->offlineScreenVisible(); }));
    EXPECT_TRUE(web->offline().isOffline.get());

    harness.startSite();
    // The next retry comes 15 seconds after the failure.
    ASSERT_TRUE(runUntil([&] { return !web->offlineScreenVisible(); }, OfflineModel::retryInterval + 10));
    EXPECT_TRUE(waitReady());
}

TEST_F(WebHost, TheRetryButtonReloadsAtOnce) {
    ASSERT_TRUE(waitReady());
    harness.stopSite();
    web->reload();
    ASSERT_TRUE(runUntil([&] { return web->offlineScreenVisible(); }));
    harness.startSite();
    web->offline().retry();
    EXPECT_TRUE(runUntil([&] { return !web->offlineScreenVisible(); }, 5));
}

TEST_F(WebHost, DownloadsTakeFreeNamesInTheDownloadsFolder) {
    ASSERT_TRUE(waitReady());
    std::filesystem::remove_all(harness.downloads());
    for (int i = 0; i < 3; ++i) {
        runScript("document.getElementById('report').click()");
        auto expected = harness.downloads() / (i == 0 ? "report.pdf" : "report " + std::to_string(i + 1) + ".pdf");
        ASSERT_TRUE(runUntil([&] { return std::filesystem::exists(expected) && std::filesystem::file_size(expected) > 0; }))
            << expected;
    }
    // The folder is shown by the file manager, here the test's own handler for folders.
    EXPECT_TRUE(runUntil([&] {
        auto opened = harness.openedInBrowser();
        return std::find(opened.begin(), opened.end(), harness.downloads().string()) != opened.end();
    })) << ::testing::PrintToString(harness.openedInBrowser());
    // The page stays where it was.
    EXPECT_TRUE(web->bridgeReady());
}

TEST_F(WebHost, DownloadsAtTheSameMomentLongNamesAndHiddenNamesAllLand) {
    ASSERT_TRUE(waitReady());
    std::filesystem::remove_all(harness.downloads());
    std::string longName;
    for (int i = 0; i < 140; ++i) longName += "ж";
    auto download = [&](const std::string& name) {
        gchar* escaped = g_uri_escape_string(name.c_str(), nullptr, FALSE);
        std::string address = harness.origin() + "/download/report.pdf?name=" + escaped;
        g_free(escaped);
        g_object_unref(webkit_web_view_download_uri(web->webView(), address.c_str()));
    };
    download("same.pdf");
    download("same.pdf");
    download(longName + ".pdf");
    download(".hidden.pdf");
    auto landed = [&] {
        std::vector<std::string> names;
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(harness.downloads(), ignored))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    auto complete = [&] {
        auto names = landed();
        return names.size() == 4 && std::none_of(names.begin(), names.end(), [&](const std::string& name) {
            // GIO's temporary files come and go between the listing and this look.
            std::error_code gone;
            auto size = std::filesystem::file_size(harness.downloads() / name, gone);
            return name.ends_with(".wkdownload") || gone || size == 0;
        });
    };
    ASSERT_TRUE(runUntil(complete)) << ::testing::PrintToString(landed());
    auto names = landed();
    EXPECT_EQ(names[0], "hidden.pdf");
    EXPECT_EQ(names[1], "same 2.pdf");
    EXPECT_EQ(names[2], "same.pdf");
    EXPECT_LE(names[3].size(), 255u);
    EXPECT_TRUE(names[3].ends_with("ж.pdf")) << names[3];
}

TEST_F(WebHost, ForeignLinksGoToTheDefaultBrowser) {
    ASSERT_TRUE(waitReady());
    std::string foreign = "http://127.0.0.1:" + harness.origin().substr(harness.origin().rfind(':') + 1) + "/foreign";
    runScript("location.href = '" + foreign + "'");
    EXPECT_TRUE(runUntil([&] {
        auto opened = harness.openedInBrowser();
        return std::find(opened.begin(), opened.end(), foreign) != opened.end();
    }));
    // The engine runs the application's own scripts as the user's doing, so this one may start the mail program.
    runScript("location.href = 'mailto:team@orvela.ru'");
    EXPECT_TRUE(runUntil([&] {
        auto opened = harness.openedInBrowser();
        return std::find(opened.begin(), opened.end(), "mailto:team@orvela.ru") != opened.end();
    }));
    EXPECT_EQ(uri(), harness.origin() + "/");
    EXPECT_FALSE(web->offlineScreenVisible());
    EXPECT_TRUE(web->bridgeReady());
}

// The page's dialog that is open now, once it has appeared.
GtkDialog* openDialog() {
    GtkDialog* found = nullptr;
    runUntil([&] {
        GList* windows = gtk_window_list_toplevels();
        for (GList* item = windows; item; item = item->next) {
            if (GTK_IS_MESSAGE_DIALOG(item->data) && gtk_widget_get_visible(GTK_WIDGET(item->data))) found = GTK_DIALOG(item->data);
        }
        g_list_free(windows);
        return found != nullptr;
    });
    return found;
}

GtkEntry* entryOf(GtkDialog* dialog) {
    GtkWidget* area = gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(dialog));
    GList* children = gtk_container_get_children(GTK_CONTAINER(area));
    GtkEntry* entry = nullptr;
    for (GList* item = children; item; item = item->next) {
        if (GTK_IS_ENTRY(item->data)) entry = GTK_ENTRY(item->data);
    }
    g_list_free(children);
    return entry;
}

TEST_F(WebHost, PageDialogsAreModalOnTheMainWindow) {
    ASSERT_TRUE(waitReady());
    auto confirmed = startScript("confirm('Удалить запись?')");
    GtkDialog* dialog = openDialog();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(dialog)), web->window());
    EXPECT_TRUE(gtk_window_get_modal(GTK_WINDOW(dialog)));
    gtk_dialog_response(dialog, GTK_RESPONSE_CANCEL);
    ASSERT_TRUE(runUntil([&] { return confirmed->has_value(); }));
    EXPECT_EQ(*confirmed, "false");

    auto prompted = startScript("prompt('Название проекта')");
    dialog = openDialog();
    ASSERT_TRUE(dialog);
    GtkEntry* entry = entryOf(dialog);
    ASSERT_TRUE(entry);
    EXPECT_STREQ(gtk_entry_get_text(entry), "");
    gtk_entry_set_text(entry, "передумал");
    gtk_dialog_response(dialog, GTK_RESPONSE_CANCEL);
    ASSERT_TRUE(runUntil([&] { return prompted->has_value(); }));
    EXPECT_EQ(*prompted, "null");

    prompted = startScript("prompt('Название проекта', 'Дом')");
    dialog = openDialog();
    ASSERT_TRUE(dialog);
    entry = entryOf(dialog);
    EXPECT_STREQ(gtk_entry_get_text(entry), "Дом");
    gtk_entry_set_text(entry, "Дача");
    gtk_dialog_response(dialog, GTK_RESPONSE_OK);
    ASSERT_TRUE(runUntil([&] { return prompted->has_value(); }));
    EXPECT_EQ(*prompted, "Дача");
}

TEST_F(WebHost, NewWindowsLoadInPlaceOnlyForApplicationPages) {
    ASSERT_TRUE(waitReady());
    // Scripts here act without a user's click, which the engine would refuse a new window.
    webkit_settings_set_javascript_can_open_windows_automatically(webkit_web_view_get_settings(web->webView()), TRUE);
    evaluate("(window.open('https://passport.yandex.ru/auth'), 'sent')");
    evaluate("(window.open('https://example.com/news'), 'sent')");
    EXPECT_TRUE(runUntil([&] {
        auto opened = harness.openedInBrowser();
        return std::count(opened.begin(), opened.end(), "https://passport.yandex.ru/auth") == 1 &&
               std::count(opened.begin(), opened.end(), "https://example.com/news") == 1;
    })) << ::testing::PrintToString(harness.openedInBrowser());
    evaluate("(document.getElementById('new-window').click(), 'clicked')");
    EXPECT_TRUE(runUntil([&] { return uri() == harness.origin() + "/inbox"; }));
}

TEST_F(WebHost, OnlyTheApplicationMayUseTheMicrophone) {
    ASSERT_TRUE(waitReady());
    // Stand-in capture devices, as this machine has no sound card or camera.
    webkit_settings_set_enable_mock_capture_devices(webkit_web_view_get_settings(web->webView()), TRUE);
    auto ask = [&](const char* constraints) {
        return evaluate(std::string("navigator.mediaDevices.getUserMedia(") + constraints +
                        ").then(() => 'granted', (e) => e.name)");
    };
    EXPECT_EQ(ask("{audio: true}"), "granted");
    EXPECT_EQ(ask("{video: true}"), "NotAllowedError");
    EXPECT_EQ(ask("{audio: true, video: true}"), "NotAllowedError");
}

TEST_F(WebHost, ClosingTheWindowHidesIt) {
    ASSERT_TRUE(waitReady());
    GdkEvent* event = gdk_event_new(GDK_DELETE);
    event->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(GTK_WIDGET(web->window()))));
    gtk_main_do_event(event);
    gdk_event_free(event);
    EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(web->window())));
    web->bringForward();
    runFor(0.5);
    EXPECT_EQ(readiness, std::vector<bool>{true});
}

}  // namespace
}  // namespace orvela


namespace orvela {
namespace {

struct MainWindow : WebHost {
    void SetUp() override {}
    void TearDown() override { WebController::quiet = false; }
    void open() { WebHost::SetUp(); }
};

TEST_F(MainWindow, FirstStartIsCentredAtTheDefaultSizeAndLaterStartsRestoreTheFrame) {
    open();
    ASSERT_TRUE(runUntil([&] { return gtk_widget_get_mapped(GTK_WIDGET(web->window())); }));
    int width = 0, height = 0, x = 0, y = 0;
    gtk_window_get_size(web->window(), &width, &height);
    EXPECT_EQ(width, 1200);
    EXPECT_EQ(height, 800);
    runFor(0.3);
    gtk_window_get_position(web->window(), &x, &y);
    EXPECT_NEAR(x, (1600 - 1200) / 2, 20);

    web.reset();
    defaults.setObject(std::string("100 120 900 600"), "NSWindow Frame OrvelaMain");
    open();
    ASSERT_TRUE(runUntil([&] { return gtk_widget_get_mapped(GTK_WIDGET(web->window())); }));
    runFor(0.3);
    gtk_window_get_size(web->window(), &width, &height);
    gtk_window_get_position(web->window(), &x, &y);
    EXPECT_EQ(width, 900);
    EXPECT_EQ(height, 600);
    EXPECT_NEAR(x, 100, 20);
    EXPECT_NEAR(y, 120, 40);

    // Moving the window is remembered for the next start.
    gtk_window_move(web->window(), 300, 200);
    EXPECT_TRUE(runUntil([&] {
        auto saved = defaults.stringForKey("NSWindow Frame OrvelaMain");
        return saved && saved->starts_with("300 ");
    }));
}

TEST_F(MainWindow, AQuietWindowNeverTakesTheFocus) {
    WebController::quiet = true;
    open();
    EXPECT_FALSE(gtk_window_get_accept_focus(web->window()));
    EXPECT_TRUE(gtk_window_get_skip_taskbar_hint(web->window()));
    ASSERT_TRUE(runUntil([&] { return gtk_widget_get_mapped(GTK_WIDGET(web->window())); }));
    runFor(0.5);
    EXPECT_FALSE(gtk_window_has_toplevel_focus(web->window()));
}

}  // namespace
}  // namespace orvela
