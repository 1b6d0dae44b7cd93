#include "app/AppLinks.h"
#include "app/PageZoom.h"
#include "app/StatusMenu.h"
#include "app/TrayIcon.h"
#include "capture/RecordedKey.h"
#include "platform/DefaultsStore.h"
#include "platform/TextParsing.h"
#include "web/SnapshotOptions.h"

#include <algorithm>
#include <array>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace orvela {
namespace {

TEST(PageZoom, StepsAccumulateInDoublesAndStopAtTheBounds) {
    double zoom = PageZoom::actualSize;
    for (int i = 0; i < 4; ++i) zoom = PageZoom::zoomedOut(zoom);
    EXPECT_EQ(zoom, 0.6000000000000001);
    zoom = PageZoom::zoomedOut(zoom);
    EXPECT_EQ(zoom, 0.6);
    EXPECT_EQ(PageZoom::zoomedOut(zoom), 0.6);

    zoom = PageZoom::actualSize;
    for (int i = 0; i < 9; ++i) zoom = PageZoom::zoomedIn(zoom);
    EXPECT_EQ(zoom, 1.9000000000000008);
    EXPECT_EQ(PageZoom::zoomedIn(zoom), 2.0);
    EXPECT_EQ(PageZoom::zoomedIn(1.95), 2.0);
    EXPECT_EQ(PageZoom::zoomedIn(2.0), 2.0);
}

TEST(AppLinks, OnlyTheHostOfOrvelaAddressesCountsInTheirOrder) {
    using Kind = AppLink::Kind;
    EXPECT_EQ(appLinks({"orvela://capture", "orvela://someday/deep/path?x=1#top", "https://orvela.ru/inbox",
                        "mailto:someone@example.org", "orvela:", "orvela://inbox", "not a link", ""}),
              (std::vector<AppLink>{{Kind::capture, ""},
                                    {Kind::navigate, "/someday"},
                                    {Kind::navigate, "/"},
                                    {Kind::navigate, "/inbox"}}));
    EXPECT_EQ(appLinks({"orvela://capture/more"}), (std::vector<AppLink>{{Kind::capture, ""}}));
    EXPECT_EQ(appLinks({"orvela://inbox?q=50%"}), (std::vector<AppLink>{{Kind::navigate, "/inbox"}}));
    EXPECT_TRUE(appLinks({"orvelax://capture", "file:///tmp/orvela", "ORVELA://inbox", "Orvela://capture"}).empty());
}

TEST(LaunchArguments, DefaultsPairsAreTakenOutAndTheRestKeptInOrder) {
    std::vector<std::string> arguments{"-origin", "http://localhost:8080", "orvela://inbox",
                                       "-smokeTest", "YES", "orvela://capture", "--help"};
    EXPECT_EQ(DefaultsStore::otherArguments(arguments),
              (std::vector<std::string>{"orvela://inbox", "orvela://capture", "--help"}));
    EXPECT_EQ(DefaultsStore::argumentDomain(arguments).size(), 2u);
    // A lone key at the end has no value and is not a pair.
    EXPECT_EQ(DefaultsStore::otherArguments({"orvela://next", "-origin"}),
              (std::vector<std::string>{"orvela://next", "-origin"}));
}

TEST(LaunchArguments, GnuAndGtkOptionsAndLinksAreNeverTakenForPairs) {
    // A long option's value, GTK's among them, stays with it for GApplication to read.
    std::vector<std::string> arguments{"--display", ":3", "--no-such-option", "orvela://inbox", "-origin",
                                       "https://staging.orvela.ru", "--class=Orvela", "https://orvela.ru/next"};
    EXPECT_EQ(DefaultsStore::otherArguments(arguments),
              (std::vector<std::string>{"--display", ":3", "--no-such-option", "orvela://inbox", "--class=Orvela",
                                        "https://orvela.ru/next"}));
    EXPECT_EQ(DefaultsStore::argumentDomain(arguments),
              (std::map<std::string, std::string>{{"origin", "https://staging.orvela.ru"}}));

    // A key before a link is left for GApplication to refuse; the link still opens.
    EXPECT_EQ(DefaultsStore::otherArguments({"-x", "orvela://capture"}),
              (std::vector<std::string>{"-x", "orvela://capture"}));
    EXPECT_TRUE(DefaultsStore::argumentDomain({"-x", "orvela://capture"}).empty());
    // Values may look like options; after "--" nothing is a pair.
    EXPECT_EQ(DefaultsStore::argumentDomain({"-snapshotSize", "-1", "--", "-origin", "https://a.example"}),
              (std::map<std::string, std::string>{{"snapshotSize", "-1"}}));
    EXPECT_EQ(DefaultsStore::otherArguments({"--", "-origin", "https://a.example"}),
              (std::vector<std::string>{"--", "-origin", "https://a.example"}));
}

}  // namespace
}  // namespace orvela


namespace orvela {
namespace {

std::vector<std::string> titles(const std::vector<StatusMenuRow>& rows) {
    std::vector<std::string> found;
    for (const auto& row : rows) found.push_back(row.kind == StatusMenuRow::Kind::separator ? "—" : row.title);
    return found;
}

TEST(StatusMenu, RowsFollowTheCountAndTheCaptureKey) {
    Shortcut commandShiftSpace{49, Shortcut::command | Shortcut::shift};
    auto rows = statusMenuRows(7, false, commandShiftSpace);
    EXPECT_EQ(titles(rows), (std::vector<std::string>{"Записать во «Входящие»…", "    Shift+Super+Пробел", "—", "Входящие — 7",
                                                      "Сегодня", "Действия", "—", "Открыть Orvela", "Настройки…", "—",
                                                      "Завершить Orvela"}));
    EXPECT_EQ(rows[1].kind, StatusMenuRow::Kind::note);
    EXPECT_EQ(rows[3].action, "go");
    EXPECT_EQ(rows[3].path, "/inbox");
    EXPECT_EQ(rows[4].path, "/now");
    EXPECT_EQ(rows[5].path, "/next");

    auto taken = statusMenuRows(0, true, commandShiftSpace);
    EXPECT_EQ(taken.size(), 10u);
    EXPECT_EQ(taken[1].kind, StatusMenuRow::Kind::separator);
    EXPECT_EQ(taken[2].title, "Входящие");
    EXPECT_EQ(statusMenuRows(-3, true, commandShiftSpace)[2].title, "Входящие");
    // Row 2 is the key that works: the desktop's when it assigned another.
    EXPECT_EQ(statusMenuRows(0, false, commandShiftSpace, "Ctrl+Alt+K")[1].title, "    Ctrl+Alt+K");
    EXPECT_EQ(statusMenuRows(0, false, commandShiftSpace, "SHIFT+LOGO+space")[1].title, "    Shift+Super+Пробел");
}

TEST(TrayIcon, TheCountIsToldInTheNameAndTheTitle) {
    EXPECT_EQ(TrayIcon::name(0), "ru.orvela.Orvela-tray");
    EXPECT_EQ(TrayIcon::name(5), "ru.orvela.Orvela-tray-5");
    EXPECT_EQ(TrayIcon::name(150), TrayIcon::name(100));
    EXPECT_EQ(TrayIcon::badgeText(150), "99+");
    EXPECT_EQ(TrayIcon::title(0), "Orvela");
    EXPECT_EQ(TrayIcon::title(5), "Orvela — 5 во «Входящих»");
}

// At every size a tray asks for, the badge's text lies inside the badge's rim
// and the badge inside the icon, the widest text included.
TEST(TrayIcon, TheBadgeAndItsTextFitAtEverySize) {
    for (int size : {16, 22, 24, 32, 48}) {
        for (int64_t count : {1, 7, 42, 99, 100, 123456}) {
            auto badge = TrayIcon::badge(count, size);
            double rim = std::max(1.0, size / 22.0);
            SCOPED_TRACE(std::to_string(count) + " at " + std::to_string(size) + " px");
            EXPECT_GE(badge.shape.left, 0);
            EXPECT_LE(badge.shape.right(), size);
            EXPECT_GT(badge.ink.width, 0);
            EXPECT_GE(badge.ink.left, badge.shape.left + rim);
            EXPECT_LE(badge.ink.right(), badge.shape.right() - rim);
            EXPECT_GE(badge.ink.top, badge.shape.top + rim / 2);
            EXPECT_LE(badge.ink.bottom(), badge.shape.bottom() - rim / 2);
        }
    }
    // Shrinking is the last resort: a single digit keeps the full size.
    EXPECT_GT(TrayIcon::badge(7, 22).fontPixels, TrayIcon::badge(100, 22).fontPixels);
}

// Hosts read alpha first, then red, green and blue, with the colour not
// premultiplied; the badge is there only with a count.
TEST(TrayIcon, PixelsAreAlphaRedGreenBlueWithTheBadgeOnlyWithACount) {
    auto pixelAt = [](const TrayIcon::Pixels& pixels, int x, int y) {
        const uint8_t* p = &pixels.argb[(static_cast<size_t>(y) * pixels.size + x) * 4];
        return std::array<int, 4>{p[0], p[1], p[2], p[3]};
    };
    const std::array<int, 4> red{255, 0xe0, 0x1b, 0x24};
    for (int size : {16, 22, 48}) {
        SCOPED_TRACE(std::to_string(size) + " px");
        auto none = TrayIcon::pixels(0, size);
        auto some = TrayIcon::pixels(3, size);
        ASSERT_EQ(some.argb.size(), static_cast<size_t>(size * size * 4));
        int redWith = 0, redWithout = 0, brighterThanOpaque = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                redWith += pixelAt(some, x, y) == red;
                redWithout += pixelAt(none, x, y) == red;
                auto p = pixelAt(some, x, y);
                brighterThanOpaque += p[0] > 0 && p[0] < 128 && std::max({p[1], p[2], p[3]}) > p[0] + 40;
            }
        EXPECT_GT(redWith, size / 4);
        EXPECT_EQ(redWithout, 0);
        EXPECT_GT(brighterThanOpaque, 0) << "edge pixels look premultiplied";
        // The glyph's light fill in the middle of the tray's bottom.
        EXPECT_EQ(pixelAt(none, size / 2, size * 17 / 22), (std::array<int, 4>{255, 0xf6, 0xf5, 0xf4}));
    }
    EXPECT_EQ(TrayIcon::png(5, 22).substr(1, 3), "PNG");
}

TEST(StatusMenu, TitleAndBadgeShowOnlyACountOfOneOrMore) {
    EXPECT_EQ(statusTitle(0), "");
    EXPECT_EQ(statusTitle(-1), "");
    EXPECT_EQ(statusTitle(7), " 7");
    EXPECT_EQ(launcherBadge(7, true), (LauncherBadge{7, true}));
    EXPECT_EQ(launcherBadge(7, false), (LauncherBadge{0, false}));
    EXPECT_EQ(launcherBadge(0, true), (LauncherBadge{0, false}));
    EXPECT_EQ(launcherBadge(-5, true), (LauncherBadge{0, false}));
}

TEST(RecordedKey, EscapeCancelsAKeyWithAModifierIsTakenAnythingElseRefused) {
    using Kind = RecordedKey::Kind;
    EXPECT_EQ(RecordedKey::of(53, Shortcut::command).kind, Kind::cancel);
    EXPECT_EQ(RecordedKey::of(53, 0).kind, Kind::cancel);
    EXPECT_EQ(RecordedKey::of(40, 0).kind, Kind::refuse);
    EXPECT_EQ(RecordedKey::of(40, Shortcut::shift).kind, Kind::refuse);
    auto controlShiftK = RecordedKey::of(40, Shortcut::control | Shortcut::shift);
    EXPECT_EQ(controlShiftK.kind, Kind::accept);
    EXPECT_EQ(controlShiftK.shortcut, (Shortcut{40, 0x60000}));
    // Caps Lock (0x10000) is not part of a shortcut.
    auto optionCommandF5 = RecordedKey::of(96, 0x10000 | Shortcut::option | Shortcut::command);
    EXPECT_EQ(optionCommandF5.shortcut, (Shortcut{96, 0x180000}));
    EXPECT_EQ(optionCommandF5.shortcut.display(), "⌥⌘F5");
}

}  // namespace
}  // namespace orvela


namespace orvela {
namespace {

// GTK sets the user's locale at start-up; in Russian the C library's decimal
// point is a comma, and the numbers given to the application use a point.
TEST(TextParsing, NumbersReadTheSameInARussianLocale) {
    std::string folder = (std::filesystem::temp_directory_path() / "orvela-locale-XXXXXX").string();
    ASSERT_TRUE(::mkdtemp(folder.data()));
    std::string make = "localedef -i ru_RU -f UTF-8 " + folder + "/ru_RU.UTF-8 >/dev/null 2>&1";
    if (std::system(make.c_str()) != 0) GTEST_SKIP() << "this machine cannot build the ru_RU locale";
    ::setenv("LOCPATH", folder.c_str(), 1);
    ASSERT_TRUE(std::setlocale(LC_NUMERIC, "ru_RU.UTF-8"));
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");

    EXPECT_EQ(decimalNumber("800.5"), 800.5);
    EXPECT_EQ(decimalNumber("800,5"), std::nullopt);
    EXPECT_EQ(SnapshotOptions::windowSize("1440.5x900"), (SnapshotOptions::Size{1440.5, 900}));
    EXPECT_TRUE(DefaultsStore(std::nullopt, {"-switch", "0.5"}).boolForKey("switch"));

    std::setlocale(LC_NUMERIC, "C");
    ::unsetenv("LOCPATH");
    std::filesystem::remove_all(folder);
}

TEST(TextParsing, PiecesAreKeptAsWrittenWithoutTheEmptyOnes) {
    EXPECT_EQ(nonEmptyPieces(",/inbox,, /next,", ','), (std::vector<std::string>{"/inbox", " /next"}));
    EXPECT_TRUE(nonEmptyPieces("", ',').empty());
    EXPECT_TRUE(nonEmptyPieces(",,", ',').empty());
}

}  // namespace
}  // namespace orvela
