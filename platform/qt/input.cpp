// The keyboard: Qt key codes to virtual keys, and the characters (1251) a key press types.
#include <QKeyEvent>
#include <algorithm>
#include <initializer_list>
#include <span>
#include <vector>

#include "platform/qt/input.h"
#include "platform/qt/layer.h"

namespace kvarlo::platform {

namespace {

// The Russian layout's letters on the keys of the Latin one, so that a Cyrillic key press
// still names its physical key, as on Windows.
constexpr char16_t cyrillicRow[] = u"йцукенгшщзхъфывапролджэячсмитьбю";
constexpr char latinKeys[] =
    "QWERTYUIOP\xDB\xDD"
    "ASDFGHJKL\xBA\xDE"
    "ZXCVBNM\xBC\xBE";

struct KeyMapping {
    int qtKey;
    int virtualKey;
};

// The numeric keypad's keys with Num Lock on (its digits are a range of their own).
constexpr KeyMapping keypadKeys[] = {
    {Qt::Key_Asterisk, VK_MULTIPLY}, {Qt::Key_Slash, VK_DIVIDE},   {Qt::Key_Minus, VK_SUBTRACT},
    {Qt::Key_Plus, VK_ADD},          {Qt::Key_Period, VK_DECIMAL}, {Qt::Key_Comma, VK_DECIMAL},
    {Qt::Key_Enter, VK_RETURN},
};

// Editing, navigation and modifier keys, on the main keyboard or the keypad without Num Lock.
constexpr KeyMapping namedKeys[] = {
    {Qt::Key_Backspace, VK_BACK},
    {Qt::Key_Tab, VK_TAB},
    {Qt::Key_Backtab, VK_TAB},
    {Qt::Key_Return, VK_RETURN},
    {Qt::Key_Enter, VK_RETURN},
    {Qt::Key_Escape, VK_ESCAPE},
    {Qt::Key_Space, VK_SPACE},
    {Qt::Key_PageUp, VK_PRIOR},
    {Qt::Key_PageDown, VK_NEXT},
    {Qt::Key_End, VK_END},
    {Qt::Key_Home, VK_HOME},
    {Qt::Key_Left, VK_LEFT},
    {Qt::Key_Up, VK_UP},
    {Qt::Key_Right, VK_RIGHT},
    {Qt::Key_Down, VK_DOWN},
    {Qt::Key_Insert, VK_INSERT},
    {Qt::Key_Delete, VK_DELETE},
    {Qt::Key_Pause, VK_PAUSE},
    {Qt::Key_CapsLock, VK_CAPITAL},
    {Qt::Key_NumLock, VK_NUMLOCK},
    {Qt::Key_Shift, VK_SHIFT},
    {Qt::Key_Control, VK_CONTROL},
    {Qt::Key_Alt, VK_MENU},
};

// The main keyboard's punctuation, shifted or not, names its key.
constexpr KeyMapping punctuationKeys[] = {
    {Qt::Key_Exclam, '1'},
    {Qt::Key_At, '2'},
    {Qt::Key_NumberSign, '3'},
    {Qt::Key_Dollar, '4'},
    {Qt::Key_Percent, '5'},
    {Qt::Key_AsciiCircum, '6'},
    {Qt::Key_Ampersand, '7'},
    {Qt::Key_Asterisk, '8'},
    {Qt::Key_ParenLeft, '9'},
    {Qt::Key_ParenRight, '0'},
    {Qt::Key_Minus, VK_OEM_MINUS},
    {Qt::Key_Underscore, VK_OEM_MINUS},
    {Qt::Key_Equal, VK_OEM_PLUS},
    {Qt::Key_Plus, VK_OEM_PLUS},
    {Qt::Key_Semicolon, VK_OEM_1},
    {Qt::Key_Colon, VK_OEM_1},
    {Qt::Key_Comma, VK_OEM_COMMA},
    {Qt::Key_Less, VK_OEM_COMMA},
    {Qt::Key_Period, VK_OEM_PERIOD},
    {Qt::Key_Greater, VK_OEM_PERIOD},
    {Qt::Key_Slash, VK_OEM_2},
    {Qt::Key_Question, VK_OEM_2},
    {Qt::Key_QuoteLeft, VK_OEM_3},
    {Qt::Key_AsciiTilde, VK_OEM_3},
    {Qt::Key_BracketLeft, VK_OEM_4},
    {Qt::Key_BraceLeft, VK_OEM_4},
    {Qt::Key_Backslash, VK_OEM_5},
    {Qt::Key_Bar, VK_OEM_5},
    {Qt::Key_BracketRight, VK_OEM_6},
    {Qt::Key_BraceRight, VK_OEM_6},
    {Qt::Key_Apostrophe, VK_OEM_7},
    {Qt::Key_QuoteDbl, VK_OEM_7},
};

// A key listed twice would be answered by its first entry alone; the main keyboard's two
// tables are walked one after the other, so they count as one.
constexpr bool listsEachKeyOnce(std::initializer_list<std::span<const KeyMapping>> tables) {
    std::vector<int> keys;
    for (const auto table : tables) {
        for (const KeyMapping& m : table)
            keys.push_back(m.qtKey);
    }
    std::sort(keys.begin(), keys.end());
    return std::adjacent_find(keys.begin(), keys.end()) == keys.end();
}
static_assert(listsEachKeyOnce({keypadKeys}));
static_assert(listsEachKeyOnce({namedKeys, punctuationKeys}));

// The virtual key a table gives the Qt key; 0 when it is not listed.
int lookUp(std::span<const KeyMapping> table, int key) {
    for (const KeyMapping& m : table) {
        if (m.qtKey == key)
            return m.virtualKey;
    }
    return 0;
}

// The keys whose codes run in step with the virtual keys': letters, digits, F1 to F12.
int virtualKeyInRange(int key) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return 'A' + (key - Qt::Key_A);
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return '0' + (key - Qt::Key_0);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12)
        return VK_F1 + (key - Qt::Key_F1);
    return 0;
}

int keypadVirtualKey(int key) {
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return VK_NUMPAD0 + (key - Qt::Key_0);
    return lookUp(keypadKeys, key);
}

// Cyrillic letters arrive as their (upper-case) code points.
int cyrillicLetterKey(int key) {
    const char32_t lower = QChar::toLower(static_cast<char32_t>(key));
    for (size_t i = 0; i + 1 < sizeof cyrillicRow / sizeof cyrillicRow[0]; ++i) {
        if (cyrillicRow[i] == lower)
            return static_cast<unsigned char>(latinKeys[i]);
    }
    return 0;
}

}  // namespace

int virtualKeyFor(int key, bool keypad) {
    // Without Num Lock the keypad sends the navigation keys, which the main keyboard's
    // tables name.
    if (keypad) {
        if (const int vk = keypadVirtualKey(key))
            return vk;
    }
    if (const int vk = virtualKeyInRange(key))
        return vk;
    if (const int vk = lookUp(namedKeys, key))
        return vk;
    if (const int vk = lookUp(punctuationKeys, key))
        return vk;
    return cyrillicLetterKey(key);
}

bool isModifierOnly(int key) {
    switch (key) {
        case Qt::Key_Shift:
        case Qt::Key_Control:
        case Qt::Key_Alt:
        case Qt::Key_AltGr:
        case Qt::Key_Meta:
        case Qt::Key_Super_L:
        case Qt::Key_Super_R:
        case Qt::Key_Hyper_L:
        case Qt::Key_Hyper_R:
        case Qt::Key_CapsLock:
        case Qt::Key_NumLock:
        case Qt::Key_ScrollLock:
            return true;
        default:
            return false;
    }
}

std::string characterText(int key, Qt::KeyboardModifiers modifiers, const QString& text) {
    QString chars = text;
    if (chars.isEmpty() && (modifiers & Qt::AltModifier) && key >= 0x20 && key < 0x7F) {
        // With Alt held some platforms send no text; the key code is the character then.
        QChar c(key);
        chars = (modifiers & Qt::ShiftModifier) ? QString(c) : QString(c.toLower());
    }
    std::string out;
    for (QChar c : chars) {
        if (c.unicode() < 0x20 && c != u'\b' && c != u'\r' && c != u'\t' && c != u'\x1b')
            continue;
        if (c.unicode() == 0x7F)
            continue;
        if (const auto ansi = toAnsi(QString(c)))
            out += *ansi;
    }
    return out;
}

}  // namespace kvarlo::platform
