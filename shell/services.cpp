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
    if (name == nullptr) return false;  // a null name would stop playback instead
    return sndPlaySoundA(name, SND_ASYNC | SND_NODEFAULT | (loop ? SND_LOOP : 0)) != FALSE;
}

bool playResourceSound(const char* name, bool loop) {
    if (name == nullptr) return false;
    return PlaySoundA(name, instance, SND_RESOURCE | SND_ASYNC | SND_NODEFAULT | (loop ? SND_LOOP : 0)) != FALSE;
}

void failureBeep() { MessageBeep(MB_ICONASTERISK); }

int32_t drainMessages(HWND window, UINT kind) {
    MSG msg;
    int32_t removed = 0;
    while (PeekMessageA(&msg, window, kind, kind, PM_REMOVE)) ++removed;
    return removed;
}

bool shellOpen(const char* target) {
    const auto result = reinterpret_cast<intptr_t>(ShellExecuteA(nullptr, "open", target, nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
}

const char* programDirectory() {
    static char directory[MAX_PATH + 1];
    const DWORD length = GetModuleFileNameA(nullptr, directory, MAX_PATH);
    // A name cut short by the buffer names some other folder: better none than a wrong one.
    if (length == 0 || length >= MAX_PATH) {
        directory[0] = '\0';
        return directory;
    }
    directory[length] = '\0';
    char* cut = nullptr;
    for (char* p = directory; *p != '\0'; ++p) {
        if (*p == '\\' || *p == '/') cut = p + 1;
    }
    if (cut != nullptr) {
        *cut = '\0';
    } else {
        directory[0] = '\0';
    }
    return directory;
}

const char* programFilePath(const char* name) {
    static char path[2 * MAX_PATH];
    std::snprintf(path, sizeof path, "%s%s", programDirectory(), name != nullptr ? name : "");
    return path;
}

bool openManual() { return shellOpen(programFilePath("help.txt")); }

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
