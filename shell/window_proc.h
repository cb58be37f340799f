// The main window procedure: every message's meaning, every command, key and mouse button,
// and what is still accepted while the solver is busy.
#pragma once

#include "platform/win32.h"

namespace kvarlo {

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace kvarlo
