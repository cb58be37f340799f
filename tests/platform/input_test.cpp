// Qt keys to virtual keys, held against the keyboards themselves: a physical key is one
// virtual key whatever character it types (shifted or not, Latin or Cyrillic), as on Windows.
#include <gtest/gtest.h>

#include <string_view>

#include "platform/qt/input.h"
#include "platform/win32.h"

namespace kvarlo::platform {
namespace {

// The US keyboard's character keys: the two characters each types (without and with Shift)
// and the virtual key Windows gives that key.
struct CharacterKey {
    char plain;
    char shifted;
    int virtualKey;
};
constexpr CharacterKey usCharacterKeys[] = {
    {'`', '~', VK_OEM_3},     {'1', '!', '1'},           {'2', '@', '2'},
    {'3', '#', '3'},          {'4', '$', '4'},           {'5', '%', '5'},
    {'6', '^', '6'},          {'7', '&', '7'},           {'8', '*', '8'},
    {'9', '(', '9'},          {'0', ')', '0'},           {'-', '_', VK_OEM_MINUS},
    {'=', '+', VK_OEM_PLUS},  {'[', '{', VK_OEM_4},      {']', '}', VK_OEM_6},
    {'\\', '|', VK_OEM_5},    {';', ':', VK_OEM_1},      {'\'', '"', VK_OEM_7},
    {',', '<', VK_OEM_COMMA}, {'.', '>', VK_OEM_PERIOD}, {'/', '?', VK_OEM_2},
};

TEST(VirtualKeys, BothCharactersOfAMainKeyboardKeyNameThatKey) {
    // Qt's codes of the printable ASCII characters are the characters themselves.
    for (const CharacterKey& k : usCharacterKeys) {
        EXPECT_EQ(virtualKeyFor(k.plain, false), k.virtualKey) << k.plain;
        EXPECT_EQ(virtualKeyFor(k.shifted, false), k.virtualKey) << k.shifted;
    }
    for (char c = 'A'; c <= 'Z'; ++c)
        EXPECT_EQ(virtualKeyFor(c, false), c) << c;
    EXPECT_EQ(virtualKeyFor(Qt::Key_F1, false), VK_F1);
    EXPECT_EQ(virtualKeyFor(Qt::Key_F12, false), VK_F12);
    EXPECT_EQ(virtualKeyFor(Qt::Key_Space, false), VK_SPACE);
    EXPECT_EQ(virtualKeyFor(Qt::Key_unknown, false), 0);
}

TEST(VirtualKeys, TheKeypadHasKeysOfItsOwnOnlyWithNumLock) {
    const std::string_view digits = "0123456789";
    for (size_t i = 0; i < digits.size(); ++i)
        EXPECT_EQ(virtualKeyFor(digits[i], true), VK_NUMPAD0 + static_cast<int>(i));
    EXPECT_EQ(virtualKeyFor(Qt::Key_Asterisk, true), VK_MULTIPLY);
    EXPECT_EQ(virtualKeyFor(Qt::Key_Slash, true), VK_DIVIDE);
    EXPECT_EQ(virtualKeyFor(Qt::Key_Minus, true), VK_SUBTRACT);
    EXPECT_EQ(virtualKeyFor(Qt::Key_Plus, true), VK_ADD);
    EXPECT_EQ(virtualKeyFor(Qt::Key_Period, true), VK_DECIMAL);
    EXPECT_EQ(virtualKeyFor(Qt::Key_Comma, true), VK_DECIMAL);  // the decimal key of a comma locale
    EXPECT_EQ(virtualKeyFor(Qt::Key_Enter, true), VK_RETURN);
    // Without Num Lock the same keys move the cursor, as the main keyboard's do.
    EXPECT_EQ(virtualKeyFor(Qt::Key_Home, true), VK_HOME);
    EXPECT_EQ(virtualKeyFor(Qt::Key_Left, true), VK_LEFT);
    EXPECT_EQ(virtualKeyFor(Qt::Key_Insert, true), VK_INSERT);
    EXPECT_EQ(virtualKeyFor(Qt::Key_Delete, true), VK_DELETE);
}

TEST(VirtualKeys, CyrillicLettersNameTheLatinKeyTheyShare) {
    // Keys of the Russian layout, against the US key in the same place: a letter's upper and
    // lower case alike (Qt sends the upper case; some platforms the lower).
    const struct {
        char16_t upper, lower;
        int virtualKey;
    } shared[] = {
        {u'Й', u'й', 'Q'},      {u'Ф', u'ф', 'A'},          {u'Я', u'я', 'Z'},
        {u'Ъ', u'ъ', VK_OEM_6}, {u'Х', u'х', VK_OEM_4},     {u'Ж', u'ж', VK_OEM_1},
        {u'Э', u'э', VK_OEM_7}, {u'Б', u'б', VK_OEM_COMMA}, {u'Ю', u'ю', VK_OEM_PERIOD},
    };
    for (const auto& k : shared) {
        EXPECT_EQ(virtualKeyFor(k.upper, false), k.virtualKey) << static_cast<int>(k.upper);
        EXPECT_EQ(virtualKeyFor(k.lower, false), k.virtualKey) << static_cast<int>(k.lower);
    }
}

}  // namespace
}  // namespace kvarlo::platform
