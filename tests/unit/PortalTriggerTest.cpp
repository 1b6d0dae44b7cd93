#include "capture/PortalTrigger.h"

#include <gtest/gtest.h>
#include <utility>
#include <vector>

namespace orvela {
namespace {

const Shortcut altSuperK{40, Shortcut::option | Shortcut::command};
const Shortcut ctrlShiftF1{122, Shortcut::control | Shortcut::shift};
const Shortcut ctrlAlt1{18, Shortcut::control | Shortcut::option};

// What each desktop answers for the key it bound, as its portal backend writes it.
TEST(PortalTrigger, EachDesktopsWordsForTheSameKeyAreRecognised) {
    const std::vector<std::pair<Shortcut, std::vector<const char*>>> cases = {
        {Shortcut::defaultCapture,
         {// KDE: Qt's native text, Meta Ctrl Alt Shift, translated by Qt ("Пробел" in Russian).
          "Ctrl+Shift+Space", "Ctrl+Shift+Пробел",
          // GNOME: "Press %s" around a GTK accelerator, in any language.
          "Press <Shift><Control>space", "Нажмите <Shift><Control>space", "Натиснете „<Shift><Control>space“",
          "<Shift><Control>space",
          // The portal's own form, and our own words.
          "CTRL+SHIFT+space", "⌃⇧Пробел",
          // Order, case and separators are the writer's.
          "shift-control-SPACE", "Ctrl Shift Space", "<ctrl><shift>Space"}},
        {altSuperK, {"Meta+Alt+K", "Press <Alt><Super>k", "ALT+LOGO+k", "Super+Alt+k", "mod1+mod4+K", "⌥⌘K"}},
        {ctrlShiftF1, {"Ctrl+Shift+F1", "Press <Shift><Control>F1", "CTRL+SHIFT+F1"}},
        {ctrlAlt1, {"Ctrl+Alt+1", "Нажмите <Control><Alt>1", "CTRL+ALT+1"}},
        // Qt names these keys otherwise than their keysyms.
        {{27, Shortcut::control}, {"Ctrl+-", "Press <Control>minus"}},
        {{53, Shortcut::control}, {"Ctrl+Esc", "Press <Control>Escape"}},
        {{116, Shortcut::shift | Shortcut::control}, {"Ctrl+Shift+PgUp", "Press <Shift><Control>Prior"}},
    };
    for (const auto& [shortcut, descriptions] : cases) {
        for (const char* description : descriptions) {
            EXPECT_TRUE(isSameTrigger(description, shortcut)) << description;
            EXPECT_EQ(keyToPress(shortcut, description), shortcut.displayForUser()) << description;
        }
    }
    // One of several triggers is enough: the user can press ours.
    EXPECT_TRUE(isSameTrigger("Meta+K, Ctrl+Shift+Space", Shortcut::defaultCapture));
    EXPECT_TRUE(isSameTrigger("Нажмите <Alt><Super>k или <Shift><Control>space", Shortcut::defaultCapture));
}

TEST(PortalTrigger, AnotherKeyOrOtherModifiersAreNotTheSame) {
    for (const char* description :
         {"Ctrl+Space", "Shift+Space", "Ctrl+Alt+Shift+Space", "Meta+Ctrl+Shift+Space", "Ctrl+Shift+Num+Space",
          "Press <Shift><Control><Hyper>space", "Press <Shift><Control>k", "Ctrl+Shift+F1", "Space",
          // A key in front of modifiers, or two keys, is no trigger.
          "Space+Ctrl+Shift", "Ctrl+Shift+Space+K", "Ctrl+Shift+", "<Shift><Control space",
          // Garbage and nothing.
          "", "   ", "Press", "Ctrl+Shift", "🙂", "+++", "<>"}) {
        EXPECT_FALSE(isSameTrigger(description, Shortcut::defaultCapture)) << description;
    }
    EXPECT_FALSE(isSameTrigger("Ctrl+Shift+F11", ctrlShiftF1));
    EXPECT_FALSE(isSameTrigger("Alt+K", altSuperK));
    EXPECT_FALSE(isSameTrigger("Ctrl+Alt+!", ctrlAlt1));
    // A key this keymap has no symbol for is no key a desktop can name.
    EXPECT_FALSE(isSameTrigger("Ctrl+#999", {999, Shortcut::control}));
}

TEST(PortalTrigger, AnotherKeyIsShownInTheDesktopsWords) {
    const Shortcut& ours = Shortcut::defaultCapture;
    // Qt's words stand as they are.
    EXPECT_EQ(keyToPress(ours, "Meta+Alt+K"), "Meta+Alt+K");
    EXPECT_EQ(keyToPress(ours, "Ctrl+Alt+K, Meta+F12"), "Ctrl+Alt+K, Meta+F12");
    EXPECT_EQ(keyToPress(ours, "F12"), "F12");
    // GTK accelerators as GNOME's keyboard settings label them, without the sentence.
    EXPECT_EQ(keyToPress(ours, "Press <Alt><Super>k"), "Alt+Super+K");
    EXPECT_EQ(keyToPress(ours, "Нажмите <Shift><Control>Page_Up"), "Shift+Ctrl+Page Up");
    EXPECT_EQ(keyToPress(ours, "Premere <Control>a o <Alt>b"), "Ctrl+A, Alt+B");
    EXPECT_EQ(keyToPress(ours, "Press F12"), "F12");
    // Words naming no key are passed on; nothing said is our key.
    EXPECT_EQ(keyToPress(ours, "Настройте сами"), "Настройте сами");
    EXPECT_EQ(keyToPress(ours, ""), "Ctrl+Shift+Пробел");
    EXPECT_EQ(keyToPress(ours, " "), "Ctrl+Shift+Пробел");
}

}  // namespace
}  // namespace orvela
