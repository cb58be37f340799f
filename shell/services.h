// The application object, the module and window handles, and the small window services the rest
// of the program calls: title, repaint requests, sounds, the failure beep, draining queued
// messages, the shell, the manual and the About box.
#pragma once

#include <cstdint>
#include <string>

#include "platform/win32.h"

namespace kvarlo {

// Filled by the program entry; empty (and zero) before it runs.
struct Application {
    char title[324] = {};      // string resource 103
    char className[324] = {};  // string resource 109
    HACCEL accelerators = nullptr;
    int32_t windowWidth = 0;
    int32_t windowHeight = 0;
};

extern Application application;
extern HINSTANCE instance;  // the module; stored first thing by the entry
extern HWND mainWindow;     // null until the window exists

// The WAVE resources the About box plays in turn, and the one the next box plays.
extern const char* const aboutSounds[3];
extern int32_t aboutSoundIndex;

// The program's version, from the project's own (CMakeLists.txt), shown in the start-up title.
inline constexpr char programVersion[] = KVARLO_VERSION;

// The middle parts of the window title; the document name follows each.
inline constexpr char figureTitle[] = " - Фигура ";
inline constexpr char gameTitle[] = " - Игра ";
inline constexpr char solutionTitle[] = " - Решение ";

// The window text becomes the title followed by middle and tail.
void setWindowTitle(const char* middle, const char* tail);

// Invalidates the client area (no erase) and posts a paint, so every request gets a paint of
// its own whatever the update region holds by then.
void requestRepaint();

// Starts playing a WAVE file named relative to the current directory and returns at once;
// silence (no default sound) when it cannot be played. A new sound replaces a playing one.
bool playFileSound(const char* name, bool loop);

// Plays a WAVE resource of the module, asynchronously, without the default sound on failure.
bool playResourceSound(const char* name, bool loop);

// The information beep: the answer to a refused command.
void failureBeep();

// A failure the user must be told about (a save or an open that failed): the failure beep, then
// a message box over `owner` with this text (Windows-1251) under the program's title.
void reportFailure(HWND owner, const std::string& message);

// Removes every queued message of this kind for this window; returns how many.
int32_t drainMessages(HWND window, UINT kind);

// Opens a document or a web address through the shell; true when the shell accepted it.
bool shellOpen(const char* target);

// The executable's folder with a trailing separator ('/' or '\\', whichever the path uses);
// empty when the name cannot be had.
std::string programDirectory();
// programDirectory() followed by name.
std::string programFilePath(const char* name);

// Opens help.txt from the executable's folder, whatever the current directory is.
bool openManual();

// Runs the About box with the next of the About sounds playing, and stops the sound after.
void showAbout(HWND owner);
INT_PTR CALLBACK aboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace kvarlo
