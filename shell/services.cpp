// The window services over the Win32 calls.
#include "shell/services.h"

#include <cstdio>
#include <cstring>

#include "shell/resource.h"

namespace kvarlo {

Application application;
HINSTANCE instance = nullptr;
HWND mainWindow = nullptr;

const char* const aboutSounds[3] = {"REC1", "REC2", "REC5"};
int32_t aboutSoundIndex = 0;

void setWindowTitle(const char* middle, const char* tail) {
    char text[324];
    std::snprintf(text, sizeof text, "%s%s%s", application.title, middle != nullptr ? middle : "",
                  tail != nullptr ? tail : "");
    SetWindowTextA(mainWindow, text);
}

void requestRepaint() {
    InvalidateRect(mainWindow, nullptr, FALSE);
    PostMessageA(mainWindow, WM_PAINT, 0, 0);
}

bool playFileSound(const char* name, bool loop) {
    if (name == nullptr)
        return false;  // a null name would stop playback instead
    return sndPlaySoundA(name, SND_ASYNC | SND_NODEFAULT | (loop ? SND_LOOP : 0)) != FALSE;
}

bool playResourceSound(const char* name, bool loop) {
    if (name == nullptr)
        return false;
    return PlaySoundA(name, instance,
                      SND_RESOURCE | SND_ASYNC | SND_NODEFAULT | (loop ? SND_LOOP : 0)) != FALSE;
}

void failureBeep() {
    MessageBeep(MB_ICONASTERISK);
}

void reportFailure(HWND owner, const std::string& message) {
    failureBeep();
    MessageBoxA(owner, message.c_str(), application.title, MB_OK | MB_ICONEXCLAMATION);
}

int32_t drainMessages(HWND window, UINT kind) {
    MSG msg;
    int32_t removed = 0;
    while (PeekMessageA(&msg, window, kind, kind, PM_REMOVE))
        ++removed;
    return removed;
}

bool shellOpen(const char* target) {
    const auto result = reinterpret_cast<intptr_t>(
        ShellExecuteA(nullptr, "open", target, nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
}

std::string programDirectory() {
    char path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    // A name cut short by the buffer names some other folder: better none than a wrong one.
    if (length == 0 || length >= MAX_PATH) {
        return {};
    }
    const std::string name(path, length);
    const size_t separator = name.find_last_of("\\/");
    return separator == std::string::npos ? std::string() : name.substr(0, separator + 1);
}

std::string programFilePath(const char* name) {
    return programDirectory() + (name != nullptr ? name : "");
}

bool openManual() {
    return shellOpen(programFilePath("help.txt").c_str());
}

void showAbout(HWND owner) {
    playResourceSound(aboutSounds[aboutSoundIndex], true);
    aboutSoundIndex = (aboutSoundIndex + 1) % 3;
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_ABOUTBOX), owner, aboutDialogProc, 0);
    PlaySoundA(nullptr, nullptr, 0);
}

INT_PTR CALLBACK aboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, LOWORD(wParam));
                return TRUE;
            }
            break;
        default:
            break;
    }
    return FALSE;
}

}  // namespace kvarlo
