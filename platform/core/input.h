// The keyboard's and the mouse's state as the program asks for it (GetKeyState, GetCursorPos);
// each layer sets it from the input it turns into messages.
#pragma once

#include "platform/win32.h"

namespace kvarlo::platform {

void setCursorPosition(POINT screen);
void setKeyDown(int virtualKey, bool down);

}  // namespace kvarlo::platform
