// Program entry and start-up: the window with its menu, icon and accelerators, the start-up
// figure and its game, and the message loop.
#pragma once

#include "platform/win32.h"

namespace kvarlo {

// Registers the window class and creates the main window (outer size width x height), showing
// it at once. 1 on success, 0 on failure (no instance, a missing string, class or window refused).
int initApplication(UINT titleId, UINT classNameId, UINT menuId, UINT acceleratorsId, UINT iconId,
                    LPCSTR cursorId, int show, int width, int height);

// The version in the title, then the figure, game or solution the command line names, opened as
// its Open command would (a refusal is explained in a message box); without one, or when it is
// refused, "default.t1a" from the current folder into the board, and on success the title names
// it and a game starts on it.
void startUp(const char* commandLine = nullptr);

// Fetches and dispatches messages, accelerators first, until the quit message; its code.
int runMessageLoop();

// The entry up to the message loop: the instance stored, the window made, start-up done.
// 1 on success, 0 when the window could not be made.
int startProgram(HINSTANCE instance, int show, const char* commandLine = nullptr);

// The whole entry: what WinMain does.
int runProgram(HINSTANCE instance, int show, const char* commandLine = nullptr);

}  // namespace kvarlo
