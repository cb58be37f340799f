// The main window procedure: every message's meaning, every command, key and mouse button,
// and what is still accepted while the solver is busy.
#pragma once

#include "platform/win32.h"

namespace kvarlo {

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Opens a figure (.t1a), game (.t1b) or solution (.t1c) named by its path, without a dialog, as
// the matching Open command would. False for any other name or a file that cannot be opened,
// after the failure beep and a message saying why.
bool openDocumentFile(HWND window, const char* path);

}  // namespace kvarlo
