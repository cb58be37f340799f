// Keyboard and mouse: Qt key codes to virtual keys, the key state, and the cursor position.
#include <QKeyEvent>
#include <array>
#include <mutex>

#include "platform/qt/input.h"
#include "platform/qt/layer.h"

namespace kvarlo::platform {

namespace {

std::mutex inputMutex;
QPoint cursor;
std::array<bool, 256> keysDown{};

// The Russian layout's letters on the keys of the Latin one, so that a Cyrillic key press
// still names its physical key, as on Windows.
constexpr char16_t cyrillicRow[] = u"йцукенгшщзхъфывапролджэячсмитьбю";
constexpr char latinKeys[] =
    "QWERTYUIOP\xDB\xDD"
    "ASDFGHJKL\xBA\xDE"
    "ZXCVBNM\xBC\xBE";

}  // namespace

int virtualKeyFor(int key, bool keypad) {
    if (keypad) {
        switch (key) {
            case Qt::Key_Asterisk:
                return VK_MULTIPLY;
            case Qt::Key_Slash:
                return VK_DIVIDE;
            case Qt::Key_Minus:
                return VK_SUBTRACT;
            case Qt::Key_Plus:
                return VK_ADD;
            case Qt::Key_Period:
            case Qt::Key_Comma:
                return VK_DECIMAL;
            case Qt::Key_Enter:
                return VK_RETURN;
            default:
                if (key >= Qt::Key_0 && key <= Qt::Key_9)
                    return VK_NUMPAD0 + (key - Qt::Key_0);
                break;  // without Num Lock the keypad sends the navigation keys below
        }
    }
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return 'A' + (key - Qt::Key_A);
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return '0' + (key - Qt::Key_0);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12)
        return VK_F1 + (key - Qt::Key_F1);
    switch (key) {
        case Qt::Key_Backspace:
            return VK_BACK;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return VK_TAB;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return VK_RETURN;
        case Qt::Key_Escape:
            return VK_ESCAPE;
        case Qt::Key_Space:
            return VK_SPACE;
        case Qt::Key_PageUp:
            return VK_PRIOR;
        case Qt::Key_PageDown:
            return VK_NEXT;
        case Qt::Key_End:
            return VK_END;
        case Qt::Key_Home:
            return VK_HOME;
        case Qt::Key_Left:
            return VK_LEFT;
        case Qt::Key_Up:
            return VK_UP;
        case Qt::Key_Right:
            return VK_RIGHT;
        case Qt::Key_Down:
            return VK_DOWN;
        case Qt::Key_Insert:
            return VK_INSERT;
        case Qt::Key_Delete:
            return VK_DELETE;
        case Qt::Key_Pause:
            return VK_PAUSE;
        case Qt::Key_CapsLock:
            return VK_CAPITAL;
        case Qt::Key_NumLock:
            return VK_NUMLOCK;
        case Qt::Key_Shift:
            return VK_SHIFT;
        case Qt::Key_Control:
            return VK_CONTROL;
        case Qt::Key_Alt:
            return VK_MENU;
        // The main keyboard's punctuation, shifted or not, names its key.
        case Qt::Key_Exclam:
            return '1';
        case Qt::Key_At:
            return '2';
        case Qt::Key_NumberSign:
            return '3';
        case Qt::Key_Dollar:
            return '4';
        case Qt::Key_Percent:
            return '5';
        case Qt::Key_AsciiCircum:
            return '6';
        case Qt::Key_Ampersand:
            return '7';
        case Qt::Key_Asterisk:
            return '8';
        case Qt::Key_ParenLeft:
            return '9';
        case Qt::Key_ParenRight:
            return '0';
        case Qt::Key_Minus:
        case Qt::Key_Underscore:
            return VK_OEM_MINUS;
        case Qt::Key_Equal:
        case Qt::Key_Plus:
            return VK_OEM_PLUS;
        case Qt::Key_Semicolon:
        case Qt::Key_Colon:
            return VK_OEM_1;
        case Qt::Key_Comma:
        case Qt::Key_Less:
            return VK_OEM_COMMA;
        case Qt::Key_Period:
        case Qt::Key_Greater:
            return VK_OEM_PERIOD;
        case Qt::Key_Slash:
        case Qt::Key_Question:
            return VK_OEM_2;
        case Qt::Key_QuoteLeft:
        case Qt::Key_AsciiTilde:
            return VK_OEM_3;
        case Qt::Key_BracketLeft:
        case Qt::Key_BraceLeft:
            return VK_OEM_4;
        case Qt::Key_Backslash:
        case Qt::Key_Bar:
            return VK_OEM_5;
        case Qt::Key_BracketRight:
        case Qt::Key_BraceRight:
            return VK_OEM_6;
        case Qt::Key_Apostrophe:
        case Qt::Key_QuoteDbl:
            return VK_OEM_7;
        default:
            break;
    }
    // Cyrillic letters arrive as their (upper-case) code points.
    const char32_t lower = QChar::toLower(static_cast<char32_t>(key));
    for (size_t i = 0; i + 1 < sizeof cyrillicRow / sizeof cyrillicRow[0]; ++i) {
        if (cyrillicRow[i] == lower)
            return static_cast<unsigned char>(latinKeys[i]);
    }
    return 0;
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

void setCursorPosition(QPoint screen) {
    std::lock_guard lock(inputMutex);
    cursor = screen;
}

void setKeyDown(int virtualKey, bool down) {
    if (virtualKey <= 0 || virtualKey > 255)
        return;
    std::lock_guard lock(inputMutex);
    keysDown[static_cast<size_t>(virtualKey)] = down;
}

}  // namespace kvarlo::platform

using namespace kvarlo::platform;

BOOL WINAPI GetCursorPos(LPPOINT point) {
    if (point == nullptr)
        return FALSE;
    std::lock_guard lock(inputMutex);
    point->x = cursor.x();
    point->y = cursor.y();
    return TRUE;
}

BOOL WINAPI SetCursorPos(int x, int y) {
    setCursorPosition(QPoint(x, y));
    return TRUE;
}

SHORT WINAPI GetKeyState(int virtualKey) {
    if (virtualKey <= 0 || virtualKey > 255)
        return 0;
    std::lock_guard lock(inputMutex);
    return keysDown[static_cast<size_t>(virtualKey)] ? static_cast<SHORT>(0x8000) : 0;
}
