// Key translation shared by the window's input handling and its tests.
#pragma once

#include <QString>
#include <Qt>
#include <string>

namespace kvarlo::platform {

// The virtual-key code of a Qt key; keypad tells the numeric keypad's keys apart. 0: none.
int virtualKeyFor(int key, bool keypad);
// Shift, Ctrl, Alt and the like: they change other keys and are never delivered themselves.
bool isModifierOnly(int key);
// The characters (1251) that a key press types, for WM_CHAR / WM_SYSCHAR.
std::string characterText(int key, Qt::KeyboardModifiers modifiers, const QString& text);

}  // namespace kvarlo::platform
