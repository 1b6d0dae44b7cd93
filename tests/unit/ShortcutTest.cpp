#include "capture/KeyPositions.h"
#include "capture/PortalTrigger.h"
#include "capture/RecordedKey.h"
#include "capture/Shortcut.h"

#include <gtest/gtest.h>
#include <set>

namespace orvela {
namespace {

TEST(Shortcut, DisplayWritesModifiersInFixedOrderThenTheKey) {
    EXPECT_EQ(Shortcut::defaultCapture.display(), "⌃⇧Пробел");
    // What the user reads on Linux; the glyph form stays for the log and stored values.
    EXPECT_EQ(Shortcut::defaultCapture.displayForUser(), "Ctrl+Shift+Пробел");
    EXPECT_EQ((Shortcut{40, 0x1E0000}).displayForUser(), "Ctrl+Alt+Shift+Super+K");
    EXPECT_EQ((Shortcut{40, 0x180000}).displayForUser(), "Alt+Super+K");
    EXPECT_EQ((Shortcut{122, Shortcut::shift}).displayForUser(), "Shift+F1");
    EXPECT_EQ((Shortcut{40, 0x180000}).display(), "⌥⌘K");
    EXPECT_EQ((Shortcut{40, 0x1E0000}).display(), "⌃⌥⇧⌘K");
    EXPECT_EQ((Shortcut{36, Shortcut::control}).display(), "⌃↩");
    EXPECT_EQ((Shortcut{122, Shortcut::command}).display(), "⌘F1");
    EXPECT_EQ((Shortcut{117, Shortcut::control}).display(), "⌃#117");
    EXPECT_EQ((Shortcut{42, Shortcut::control | 0x1}).display(), "⌃\\");
}

TEST(Shortcut, KeyNamesFollowTheTablesInOrder) {
    EXPECT_EQ(Shortcut::keyName(10), "#10");
    EXPECT_EQ(Shortcut::keyName(50), "`");
    EXPECT_EQ(Shortcut::keyName(111), "F12");
    EXPECT_EQ(Shortcut::keyName(53), "⎋");
    EXPECT_EQ(Shortcut::keyName(4294967295u), "#4294967295");
}

TEST(Shortcut, RequiredModifierIsControlOptionOrCommand) {
    EXPECT_FALSE((Shortcut{40, Shortcut::shift}).hasRequiredModifier());
    EXPECT_FALSE((Shortcut{122, 0}).hasRequiredModifier());
    EXPECT_TRUE((Shortcut{40, Shortcut::shift | Shortcut::command}).hasRequiredModifier());
    EXPECT_TRUE((Shortcut{40, Shortcut::option}).hasRequiredModifier());
}

TEST(Shortcut, KeyPressKeepsOnlyTheFourModifiers) {
    Shortcut recorded = Shortcut::fromKeyPress(40, 0x100000 | 0x80000 | 0x20000 | 0x10000 | 0x8 | 0x800000);
    EXPECT_EQ(recorded, (Shortcut{40, 0x1A0000}));
    EXPECT_NE((Shortcut{40, 0x40000}), (Shortcut{40, 0x80000}));
}

TEST(Shortcut, JsonRoundTripAndStrictReading) {
    EXPECT_EQ(Shortcut::defaultCapture.toJson(), R"({"keyCode":49,"modifiers":393216})");
    EXPECT_EQ(Shortcut::fromJson(R"({"modifiers":393216,"keyCode":49})"), Shortcut::defaultCapture);
    EXPECT_EQ(Shortcut::fromJson(R"({"keyCode":49,"modifiers":393216,"extra":"x"})"), Shortcut::defaultCapture);
    Shortcut widest{4294967295u, 18446744073709551615ull};
    EXPECT_EQ(Shortcut::fromJson(widest.toJson()), widest);

    for (const char* bad : {R"({"keyCode":49})", R"({"keyCode":-1,"modifiers":0})",
                            R"({"keyCode":4294967296,"modifiers":0})", R"({"keyCode":49.5,"modifiers":0})",
                            R"({"keyCode":"49","modifiers":0})", R"({"keyCode":49,"modifiers":18446744073709551616})",
                            R"({"KeyCode":49,"modifiers":0})", "[49,393216]", "not json", ""}) {
        EXPECT_EQ(Shortcut::fromJson(bad), std::nullopt) << bad;
    }
}

TEST(KeyPositions, KeysWithoutAPositionAreRecordedAndGrabbedByTheirX11Keycode) {
    // F13 as Linux reports it, and the media key "play".
    for (uint32_t x11 : {191u, 172u}) {
        auto keyCode = KeyPositions::keyCodeOfX11(x11);
        ASSERT_TRUE(keyCode.has_value());
        EXPECT_GE(*keyCode, KeyPositions::unpositioned);
        EXPECT_EQ(KeyPositions::x11Keycode(*keyCode), x11);
        EXPECT_EQ(RecordedKey::of(*keyCode, Shortcut::control).kind, RecordedKey::Kind::accept);
    }
    EXPECT_EQ(Shortcut::keyName(KeyPositions::unpositioned + 191), "F13");
    EXPECT_EQ(Shortcut::keyName(KeyPositions::unpositioned + 202), "F24");
    EXPECT_EQ(KeyPositions::x11Keycode(KeyPositions::unpositioned + 300), std::nullopt);
    // Stored and read back like any other.
    Shortcut f13{KeyPositions::unpositioned + 191, Shortcut::control};
    EXPECT_EQ(Shortcut::fromJson(f13.toJson()), f13);
}

TEST(KeyPositions, KeysWithoutAPositionAreNamedByWhatTheySend) {
    auto media = [](uint32_t x11) { return Shortcut{KeyPositions::unpositioned + x11, Shortcut::control}; };
    // The same name in the settings and the tray as in the log line.
    EXPECT_EQ(media(172).displayForUser(), "Ctrl+Audio Play");
    EXPECT_EQ(media(172).display(), "⌃Audio Play");
    EXPECT_EQ(Shortcut::keyName(KeyPositions::unpositioned + 232), "Mon Brightness Down");
    EXPECT_EQ(Shortcut::keyName(KeyPositions::unpositioned + 180), "Home Page");
    // A keycode the layout sends nothing for still reads as a key, never as "#" and a number.
    EXPECT_EQ(Shortcut::keyName(KeyPositions::unpositioned + 248), "Клавиша 248");
    // Keys with a position and no name of their own keep their number.
    EXPECT_EQ(Shortcut::keyName(117), "#117");
}

TEST(KeyPositions, MapBothWaysWithoutCollisions) {
    std::set<uint32_t> x11Codes;
    int mapped = 0;
    for (uint32_t keyCode = 0; keyCode < 128; ++keyCode) {
        auto x11 = KeyPositions::x11Keycode(keyCode);
        if (!x11) continue;
        ++mapped;
        EXPECT_TRUE(x11Codes.insert(*x11).second) << keyCode;
        EXPECT_EQ(KeyPositions::keyCodeOfX11(*x11), keyCode);
    }
    // The 105 keys of a PC keyboard, the keypad's equals key and three media keys.
    EXPECT_EQ(mapped, 109);
    EXPECT_EQ(KeyPositions::x11Keycode(49), 65u);   // space
    EXPECT_EQ(KeyPositions::x11Keycode(40), 45u);   // K
    EXPECT_EQ(KeyPositions::x11Keycode(0), 38u);    // A
    EXPECT_EQ(KeyPositions::x11Keycode(122), 67u);  // F1
    EXPECT_EQ(KeyPositions::x11Keycode(10), 94u);   // the ISO key beside left Shift
    EXPECT_EQ(KeyPositions::x11Keycode(52), std::nullopt);
    EXPECT_EQ(KeyPositions::keyCodeOfX11(0), std::nullopt);
}

TEST(KeyPositions, ModifierBitsMapToControlAltShiftSuper) {
    EXPECT_EQ(KeyPositions::x11Modifiers(Shortcut::defaultCapture.modifiers),
              KeyPositions::x11Control | KeyPositions::x11Shift);
    EXPECT_EQ(KeyPositions::modifiersOfX11(KeyPositions::x11Alt | KeyPositions::x11Super | 0x2 | 0x10),
              Shortcut::option | Shortcut::command);
}

TEST(PortalTrigger, NamesModifiersAndTheKeysUsSymbol) {
    EXPECT_EQ(portalTrigger(Shortcut::defaultCapture), "CTRL+SHIFT+space");
    EXPECT_EQ(portalTrigger({40, Shortcut::option | Shortcut::command}), "ALT+LOGO+k");
    // Position 12 is the key of Q and of Й: the trigger names Q whatever layout types.
    EXPECT_EQ(portalTrigger({12, Shortcut::control}), "CTRL+q");
    EXPECT_EQ(portalTrigger({122, Shortcut::control | Shortcut::shift}), "CTRL+SHIFT+F1");
    // A key without a position: the symbol the keymap gives its keycode (here F16).
    EXPECT_EQ(portalTrigger({KeyPositions::unpositioned + 194, Shortcut::control}), "CTRL+XF86Launch7");
    EXPECT_EQ(portalTrigger({999, Shortcut::control}), std::nullopt);
}

TEST(PortalTrigger, TheKeyToPressIsTheDesktopsWhereItAssignedAnother) {
    EXPECT_TRUE(isSameTrigger("Ctrl+Shift+Space", Shortcut::defaultCapture));
    EXPECT_FALSE(isSameTrigger("Ctrl+Alt+Space", Shortcut::defaultCapture));
    EXPECT_EQ(keyToPress(Shortcut::defaultCapture, ""), "Ctrl+Shift+Пробел");
    EXPECT_EQ(keyToPress(Shortcut::defaultCapture, "CTRL+SHIFT+space"), "Ctrl+Shift+Пробел");
    EXPECT_EQ(keyToPress(Shortcut::defaultCapture, "Ctrl+Alt+K"), "Ctrl+Alt+K");
}

}  // namespace
}  // namespace orvela
