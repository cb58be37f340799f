// Windows only: the ANSI calls of platform/win32.h that carry text or a path, done through the
// wide (W) functions. win32.h includes this after <windows.h>; the macros at the end make the
// program's calls of these A names reach the wrappers, so its code stays as it is and its
// strings stay Windows-1251, while what reaches Windows is UTF-16 whatever the system's code
// page (which is 1251 only on a Russian Windows).
//
// - The main window is a Unicode window: its class is registered wide, its messages are read,
//   dispatched, posted and sent wide, and what its procedure leaves goes to DefWindowProcW.
//   The procedure reads no text message (WM_CHAR, WM_SETTEXT, CREATESTRUCT), so nothing changes
//   for it; the title it sets is drawn in Russian on every Windows.
// - TextOutA draws with a Cyrillic variant of the font selected, when that is the stock system
//   font: on Windows that is a raster font of the system's code page, without Cyrillic letters
//   elsewhere. (Wine's has them under every locale; there the choice changes no pixel.)
// - Paths are converted both ways. One the program cannot hold (a folder with a letter 1251
//   lacks) is handed over in its short 8.3 form when that fits, so the program's own folder
//   keeps working; otherwise the call fails with ERROR_NO_UNICODE_TRANSLATION.
// - The file dialogs run wide; a chosen name with a character 1251 lacks is refused, never
//   changed into another name: the call returns FALSE, CommDlgExtendedError gives
//   FNERR_INVALIDFILENAME, and lpstrFile holds the name with '?' for each such character, for
//   the program's own message (the layer shows none). Hook procedures and custom templates are
//   not carried over.
// - Calls that carry only numeric resource ids or ASCII names (LoadMenuA, LoadIconA,
//   FindResourceA, ...) stay ANSI: no code page touches them.
#pragma once

#include <windows.h>

namespace kvarlo::wide {

ATOM WINAPI RegisterClassA(const WNDCLASSA* wc);
BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE instance);
HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param);
BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text);
int WINAPI GetWindowTextA(HWND window, LPSTR buffer, int maxCount);
int WINAPI LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int bufferMax);
int WINAPI GetMenuStringA(HMENU menu, UINT item, LPSTR buffer, int maxCount, UINT flags);
INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner,
                               DLGPROC dialogProc, LPARAM initParam);
int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
BOOL WINAPI TextOutA(HDC dc, int x, int y, LPCSTR text, int length);
BOOL WINAPI GetOpenFileNameA(LPOPENFILENAMEA ofn);
BOOL WINAPI GetSaveFileNameA(LPOPENFILENAMEA ofn);
DWORD WINAPI CommDlgExtendedError(void);
HANDLE WINAPI CreateFileA(LPCSTR fileName, DWORD access, DWORD shareMode,
                          LPSECURITY_ATTRIBUTES security, DWORD disposition,
                          DWORD flagsAndAttributes, HANDLE templateFile);
DWORD WINAPI GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer);
BOOL WINAPI SetCurrentDirectoryA(LPCSTR path);
DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size);
BOOL WINAPI MoveFileExA(LPCSTR existing, LPCSTR target, DWORD flags);
BOOL WINAPI DeleteFileA(LPCSTR fileName);
UINT WINAPI GetTempFileNameA(LPCSTR path, LPCSTR prefix, UINT unique, LPSTR tempFileName);
BOOL WINAPI sndPlaySoundA(LPCSTR sound, UINT flags);
BOOL WINAPI PlaySoundA(LPCSTR sound, HMODULE module, DWORD flags);
HINSTANCE WINAPI ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                               LPCSTR directory, INT showCommand);

}  // namespace kvarlo::wide

// The wrappers' own source defines them and calls the real functions: it does without these.
#ifndef KVARLO_WIDE_CALLS_SOURCE

#define RegisterClassA ::kvarlo::wide::RegisterClassA
#define UnregisterClassA ::kvarlo::wide::UnregisterClassA
#define CreateWindowExA ::kvarlo::wide::CreateWindowExA
#define SetWindowTextA ::kvarlo::wide::SetWindowTextA
#define GetWindowTextA ::kvarlo::wide::GetWindowTextA
#define GetWindowTextLengthA GetWindowTextLengthW  // one 1251 byte per UTF-16 unit
#define LoadStringA ::kvarlo::wide::LoadStringA
#define GetMenuStringA ::kvarlo::wide::GetMenuStringA
#define DialogBoxParamA ::kvarlo::wide::DialogBoxParamA
#define MessageBoxA ::kvarlo::wide::MessageBoxA
#define TextOutA ::kvarlo::wide::TextOutA
#define GetOpenFileNameA ::kvarlo::wide::GetOpenFileNameA
#define GetSaveFileNameA ::kvarlo::wide::GetSaveFileNameA
#define CommDlgExtendedError ::kvarlo::wide::CommDlgExtendedError
#define CreateFileA ::kvarlo::wide::CreateFileA
#define GetCurrentDirectoryA ::kvarlo::wide::GetCurrentDirectoryA
#define SetCurrentDirectoryA ::kvarlo::wide::SetCurrentDirectoryA
#define GetModuleFileNameA ::kvarlo::wide::GetModuleFileNameA
#define MoveFileExA ::kvarlo::wide::MoveFileExA
#define DeleteFileA ::kvarlo::wide::DeleteFileA
#define GetTempFileNameA ::kvarlo::wide::GetTempFileNameA
#define sndPlaySoundA ::kvarlo::wide::sndPlaySoundA
#define PlaySoundA ::kvarlo::wide::PlaySoundA
#define ShellExecuteA ::kvarlo::wide::ShellExecuteA

// The Unicode window's messages: the same signatures, no text to convert.
#define DefWindowProcA DefWindowProcW
#define GetMessageA GetMessageW
#define PeekMessageA PeekMessageW
#define DispatchMessageA DispatchMessageW
#define PostMessageA PostMessageW
#define SendMessageA SendMessageW
#define TranslateAcceleratorA TranslateAcceleratorW

#endif  // KVARLO_WIDE_CALLS_SOURCE
