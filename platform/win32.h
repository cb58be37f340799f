// The Win32 subset kvarlo is written against. On Windows this is the real API; on Linux the
// same declarations are implemented over Qt 6 in platform/qt/, and in the browser (emscripten)
// over the page in platform/web/.
//
// Everything the layer provides on Linux (nothing else is emulated):
//
//   USER32  RegisterClassA, UnregisterClassA, CreateWindowExA, DestroyWindow, IsWindow,
//           ShowWindow, UpdateWindow, DefWindowProcA, SetWindowTextA, GetWindowTextA,
//           GetWindowTextLengthA, GetClientRect, InvalidateRect, ValidateRect, BeginPaint,
//           EndPaint, GetMessageA, PeekMessageA, TranslateMessage, DispatchMessageA,
//           PostMessageA (any thread), SendMessageA (window's thread), PostQuitMessage,
//           SetTimer, KillTimer, LoadStringA, LoadAcceleratorsA, TranslateAcceleratorA,
//           LoadMenuA, GetMenu, GetSubMenu, GetMenuItemCount, GetMenuItemID, GetMenuStringA,
//           LoadIconA, LoadCursorA, LoadBitmapA, DialogBoxParamA, EndDialog, GetCursorPos,
//           SetCursorPos, ScreenToClient, ClientToScreen, GetKeyState, MessageBeep,
//           MessageBoxA (MB_OK, MB_OKCANCEL, MB_YESNO), GetModuleHandleA
//   GDI32   GetStockObject, CreateCompatibleDC, DeleteDC, CreateDIBSection, SelectObject,
//           GetCurrentObject, CreatePen, DeleteObject, MoveToEx, LineTo, SetBkMode, SetBkColor,
//           SetTextColor, TextOutA, BitBlt (SRCCOPY)
//   COMDLG32 GetOpenFileNameA, GetSaveFileNameA, CommDlgExtendedError
//   KERNEL32 CreateFileA, ReadFile, WriteFile, CloseHandle, FlushFileBuffers, GetFileSize,
//           GetCurrentDirectoryA, SetCurrentDirectoryA, GetModuleFileNameA, MoveFileExA,
//           DeleteFileA, GetTempFileNameA, GetLastError, SetLastError, FindResourceA,
//           LoadResource, LockResource, SizeofResource, Sleep
//   WINMM   sndPlaySoundA, PlaySoundA (SND_FILENAME, SND_RESOURCE, SND_LOOP, null = stop)
//   SHELL32 ShellExecuteA ("open" only)
//   macros  MAKEINTRESOURCEA, IS_INTRESOURCE, LOWORD, HIWORD, LOBYTE, MAKEWORD, MAKELONG,
//           MAKEWPARAM, MAKELPARAM, GET_X_LPARAM, GET_Y_LPARAM, RGB, GetRValue, GetGValue,
//           GetBValue
//
// Messages the Linux layer generates: WM_CREATE, WM_DESTROY, WM_NCDESTROY, WM_CLOSE, WM_PAINT,
// WM_KEYDOWN, WM_KEYUP, WM_CHAR, WM_SYSKEYDOWN, WM_SYSKEYUP, WM_SYSCHAR, WM_COMMAND,
// WM_TIMER, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONUP, WM_INITDIALOG,
// WM_ACTIVATE, WM_QUIT. Any other message id can be posted and sent; DefWindowProcA handles
// WM_CLOSE (destroys the window) and answers 0 to everything else.
//
// A message box or file dialog deactivates its owner window as it comes, as on Windows: the owner
// gets WM_ACTIVATE (WA_INACTIVE, the box's handle), and WA_ACTIVE once the box has gone. A
// WM_COMMAND with one of the box's buttons (IDOK, IDCANCEL, IDYES, IDNO) posted to that handle
// answers the box as the button would; OK takes the name proposed in lpstrFile. Where nothing
// can be shown (Qt's offscreen platform) the box runs its loop unseen while messages are ready;
// unanswered then, a message box gives its first button and a file dialog is cancelled.

// Narrow strings are Windows-1251 everywhere, file paths included; the Linux layer converts them
// to and from Unicode where they meet Qt and the file system, and on Windows the same calls go
// through the wide functions (platform/windows/). A file name the other side cannot represent
// makes the call fail.
//
// Where the Linux layer knowingly differs from Windows:
// - A paint surface (BeginPaint) is not clipped to the update region: a posted WM_PAINT that finds
//   the window valid still reaches the screen.
// - DIB sections keep their rows top-down in memory whatever the sign of biHeight; only 32 bpp
//   BI_RGB sections exist. Partial invalidation and validation cover the bounding rectangle.
// - WM_CHAR/WM_SYSCHAR are queued with their key message, so TranslateMessage has nothing to do.
//   Menu commands are posted, not sent. SendMessageA works on the window's own thread only.
//   WM_SIZE, WM_ERASEBKGND, WM_SETFOCUS, WM_MOUSEMOVE and the non-client messages are not sent;
//   WM_ACTIVATE comes only as a message box or file dialog comes and goes, never as a window is
//   shown or the user switches windows.
// - The file dialogs never change the current directory. Share modes are not enforced. They
//   remember the folder last chosen for the process only (Windows keeps it for the program
//   across runs), and open in it when lpstrInitialDir is the one first given, as Windows does
//   (Wine's dialogs open in lpstrInitialDir each time).
// - CreateFileA opens regular files only: a FIFO, a device or a socket fails at once with
//   ERROR_BAD_FILE_TYPE (a folder with ERROR_ACCESS_DENIED), never waiting for a pipe's other end.
// - Sounds play asynchronously always (SND_SYNC is treated as SND_ASYNC); PCM WAVE only.
// - GetCursorPos reports the position of the last mouse event over a window of ours (or the
//   last SetCursorPos); SetCursorPos does not move the pointer on screen.
// - Stock objects, classes, menus and icons live until the process ends. DeleteObject refuses an
//   object still selected into a DC (Windows marks it and deletes it once deselected).
// - RT_GROUP_ICON holds the whole .ico file (16-byte entries with file offsets), not a group
//   directory of 14-byte entries naming RT_ICON resources; LoadIconA reads it.
// - TranslateAcceleratorA takes Alt from the message (bit 29 of lParam), Windows from the key
//   state (GetKeyState(VK_MENU)). Alt+? and Alt+/ typed on the keyboard give About on both; a
//   WM_SYSCHAR posted while Alt is up is translated only here.
// tests/conformance/ runs the same tests on both sides; a difference it meets is stated by one test
// there, which skips on Linux with its reason.
//
// The browser layer (platform/web/) shares the differences above, and besides:
// - The program runs on a thread of its own (main() on a worker), where GetMessageA and the modal
//   boxes block as on Windows; the page's own thread only posts to it (input, menu commands,
//   answers), and the window calls fail there.
// - A window is a canvas under the page's menu bar; its client area is the size asked for less
//   the menu bar, as on Linux, and is never moved or resized (SW_SHOWMAXIMIZED only shows).
// - The browser draws the glyphs of TextOutA (DejaVu Sans at 13 pixels, or its sans serif where
//   that font is missing), inked where a glyph covers half a pixel; advances are the canvas's.
// - Message boxes and dialogs are modal over the whole page; a dialog template shows its first
//   picture only. Message boxes and file dialogs tell their owner as above, and are answered by a
//   posted WM_COMMAND as above too (the page's box then closes).
// - Open lists the play folder (and its folders one level down) or takes a file from the
//   computer, copied to /upload; Save names a file of the play folder, which the page offers as
//   a download once the program has written it. The page's box uses neither lpstrInitialDir nor
//   OFN_OVERWRITEPROMPT; OK posted by the owner takes the proposed name in lpstrInitialDir. No
//   folder is remembered.
// - GetModuleFileNameA names /app/kvarlo: the page's read-only folder of the manual and pages,
//   with no program file in it.
// - Sounds play only after the player's first click or key in the page (the browsers' rule);
//   MessageBeep is a short tone. ShellExecuteA opens a new tab (a file of /app as the site's
//   copy) and cannot tell when the browser blocks it.
// - GetCursorPos gives page coordinates; ScreenToClient and ClientToScreen use the canvas's
//   place as of the last mouse event over it.
// - Static data lies above the first 64 KiB of wasm memory, so that IS_INTRESOURCE tells a name
//   from a number there too.
// The conformance suite meets the program's path of these (tests/web runs it in Chromium), boxes
// answered by their owner among them; the page's own boxes as the player uses them, text and
// sound are what the page's own tests (tests/web) look at.
#pragma once

#ifdef _WIN32
#include <windows.h>
// The calls above that carry text or a path reach the wide functions through one conversion
// boundary, so the program's 1251 strings read right whatever the system's code page.
#include "platform/windows/wide_calls.h"
#else

#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------------------------------------
// Base types (LP64: LONG stays 32 bits as on Windows)

#define WINAPI
#define CALLBACK
#define APIENTRY
#define CONST const

typedef int BOOL;
typedef unsigned char BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef int INT;
typedef unsigned int UINT;
typedef char CHAR;
typedef int16_t SHORT;
typedef uint16_t ATOM;
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef ULONG_PTR DWORD_PTR;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef DWORD COLORREF;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef DWORD* LPDWORD;
typedef BYTE* LPBYTE;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define MAX_PATH 260

// Handles: distinct pointer types, as with STRICT.
typedef void* HANDLE;
#define KVARLO_DECLARE_HANDLE(name) \
    struct name##__ {               \
        int unused;                 \
    };                              \
    typedef struct name##__* name
KVARLO_DECLARE_HANDLE(HWND);
KVARLO_DECLARE_HANDLE(HINSTANCE);
KVARLO_DECLARE_HANDLE(HDC);
KVARLO_DECLARE_HANDLE(HMENU);
KVARLO_DECLARE_HANDLE(HACCEL);
KVARLO_DECLARE_HANDLE(HICON);
KVARLO_DECLARE_HANDLE(HRSRC);
KVARLO_DECLARE_HANDLE(HPEN);
KVARLO_DECLARE_HANDLE(HBRUSH);
KVARLO_DECLARE_HANDLE(HBITMAP);
KVARLO_DECLARE_HANDLE(HFONT);
#undef KVARLO_DECLARE_HANDLE
typedef HINSTANCE HMODULE;
typedef HICON HCURSOR;
typedef HANDLE HGDIOBJ;
typedef HANDLE HGLOBAL;

#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)

// ---------------------------------------------------------------------------------------------
// Small macros

#define MAKEINTRESOURCEA(i) ((LPSTR)((ULONG_PTR)((WORD)(i))))
#define MAKEINTRESOURCE MAKEINTRESOURCEA
#define IS_INTRESOURCE(r) ((((ULONG_PTR)(r)) >> 16) == 0)
#define LOWORD(l) ((WORD)(((DWORD_PTR)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((DWORD_PTR)(l)) >> 16) & 0xffff))
#define LOBYTE(w) ((BYTE)(((DWORD_PTR)(w)) & 0xff))
#define MAKEWORD(a, b) \
    ((WORD)(((BYTE)(((DWORD_PTR)(a)) & 0xff)) | ((WORD)((BYTE)(((DWORD_PTR)(b)) & 0xff))) << 8))
#define MAKELONG(a, b)                                                                         \
    ((LONG)(((WORD)(((DWORD_PTR)(a)) & 0xffff)) | ((DWORD)((WORD)(((DWORD_PTR)(b)) & 0xffff))) \
                                                      << 16))
#define MAKEWPARAM(l, h) ((WPARAM)(DWORD)MAKELONG(l, h))
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)MAKELONG(l, h))
#define GET_X_LPARAM(lp) ((int)(short)LOWORD(lp))
#define GET_Y_LPARAM(lp) ((int)(short)HIWORD(lp))
#define RGB(r, g, b) \
    ((COLORREF)(((BYTE)(r) | ((WORD)((BYTE)(g)) << 8)) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(rgb) (LOBYTE(rgb))
#define GetGValue(rgb) (LOBYTE(((WORD)(rgb)) >> 8))
#define GetBValue(rgb) (LOBYTE((rgb) >> 16))

// ---------------------------------------------------------------------------------------------
// Structures

typedef struct tagPOINT {
    LONG x;
    LONG y;
} POINT, *LPPOINT;

typedef struct tagRECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
} RECT, *LPRECT;
typedef const RECT* LPCRECT;

typedef struct tagMSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
} MSG, *LPMSG;

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef INT_PTR(CALLBACK* DLGPROC)(HWND, UINT, WPARAM, LPARAM);
typedef void(CALLBACK* TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);

typedef struct tagWNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
} WNDCLASSA;

typedef struct tagCREATESTRUCTA {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCSTR lpszName;
    LPCSTR lpszClass;
    DWORD dwExStyle;
} CREATESTRUCTA;

typedef struct tagPAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
} PAINTSTRUCT, *LPPAINTSTRUCT;

typedef struct tagACCEL {
    BYTE fVirt;
    WORD key;
    WORD cmd;
} ACCEL;

typedef struct tagBITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
} BITMAPINFOHEADER;

typedef struct tagRGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
} RGBQUAD;

typedef struct tagBITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
} BITMAPINFO;

typedef UINT_PTR(CALLBACK* LPOFNHOOKPROC)(HWND, UINT, WPARAM, LPARAM);

typedef struct tagOFNA {
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    LPCSTR lpstrFilter;       // pairs "description\0pattern[;pattern]\0", closed by "\0"
    LPSTR lpstrCustomFilter;  // ignored
    DWORD nMaxCustFilter;
    DWORD nFilterIndex;  // 1-based pair preselected; 0 counts as 1
    LPSTR lpstrFile;     // in: proposed name (or empty); out: the chosen path
    DWORD nMaxFile;
    LPSTR lpstrFileTitle;  // out: the chosen file's name without folder, when given
    DWORD nMaxFileTitle;
    LPCSTR lpstrInitialDir;
    LPCSTR lpstrTitle;
    DWORD Flags;
    WORD nFileOffset;
    WORD nFileExtension;
    LPCSTR lpstrDefExt;  // appended (after a '.') when the chosen name has no extension
    LPARAM lCustData;
    LPOFNHOOKPROC lpfnHook;  // ignored
    LPCSTR lpTemplateName;   // ignored
    void* pvReserved;
    DWORD dwReserved;
    DWORD FlagsEx;
} OPENFILENAMEA, *LPOPENFILENAMEA;

typedef struct _SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

typedef struct _OVERLAPPED OVERLAPPED, *LPOVERLAPPED;  // never used: pass nullptr

// ---------------------------------------------------------------------------------------------
// Constants

// Window messages
#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_ACTIVATE 0x0006
#define WM_SIZE 0x0005
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_ERASEBKGND 0x0014
#define WM_NCDESTROY 0x0082
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_SYSKEYDOWN 0x0104
#define WM_SYSKEYUP 0x0105
#define WM_SYSCHAR 0x0106
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define WM_SYSCOMMAND 0x0112
#define WM_TIMER 0x0113
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_RBUTTONDOWN 0x0204
#define WM_RBUTTONUP 0x0205
#define WM_USER 0x0400
#define WM_APP 0x8000

#define MK_LBUTTON 0x0001
#define MK_RBUTTON 0x0002
#define MK_SHIFT 0x0004
#define MK_CONTROL 0x0008

// WM_ACTIVATE
#define WA_INACTIVE 0
#define WA_ACTIVE 1

// PeekMessage
#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001
#define PM_NOYIELD 0x0002

// Class and window styles
#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002
#define CS_DBLCLKS 0x0008
#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_VISIBLE 0x10000000L
#define WS_DISABLED 0x08000000L
#define WS_CAPTION 0x00C00000L
#define WS_BORDER 0x00800000L
#define WS_DLGFRAME 0x00400000L
#define WS_SYSMENU 0x00080000L
#define WS_THICKFRAME 0x00040000L
#define WS_GROUP 0x00020000L
#define WS_TABSTOP 0x00010000L
#define WS_MINIMIZEBOX 0x00020000L
#define WS_MAXIMIZEBOX 0x00010000L
#define WS_OVERLAPPEDWINDOW \
    (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)
#define CW_USEDEFAULT ((int)0x80000000)

// ShowWindow
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_SHOW 5
#define SW_SHOWDEFAULT 10

// Dialogs and controls
#define IDOK 1
#define IDCANCEL 2
#define IDYES 6
#define IDNO 7
#define IDC_STATIC (-1)
#define DS_SETFONT 0x40L
#define DS_MODALFRAME 0x80L
#define DS_CENTER 0x0800L
#define SS_LEFT 0x00000000L
#define SS_CENTER 0x00000001L
#define SS_RIGHT 0x00000002L
#define SS_ICON 0x00000003L
#define SS_BITMAP 0x0000000EL
#define SS_NOPREFIX 0x00000080L
#define SS_REALSIZEIMAGE 0x00000800L
#define BS_PUSHBUTTON 0x00000000L
#define BS_DEFPUSHBUTTON 0x00000001L

// Resource types
#define RT_CURSOR MAKEINTRESOURCEA(1)
#define RT_BITMAP MAKEINTRESOURCEA(2)
#define RT_ICON MAKEINTRESOURCEA(3)
#define RT_MENU MAKEINTRESOURCEA(4)
#define RT_DIALOG MAKEINTRESOURCEA(5)
#define RT_STRING MAKEINTRESOURCEA(6)
#define RT_ACCELERATOR MAKEINTRESOURCEA(9)
#define RT_RCDATA MAKEINTRESOURCEA(10)
#define RT_GROUP_ICON MAKEINTRESOURCEA(14)
#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define IDI_APPLICATION MAKEINTRESOURCEA(32512)

// Accelerators
#define FVIRTKEY 0x01
#define FNOINVERT 0x02
#define FSHIFT 0x04
#define FCONTROL 0x08
#define FALT 0x10

// Menus
#define MF_BYCOMMAND 0x00000000L
#define MF_BYPOSITION 0x00000400L
#define MF_SEPARATOR 0x00000800L
#define MF_POPUP 0x00000010L

// Virtual keys
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_PAUSE 0x13
#define VK_CAPITAL 0x14
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_PRIOR 0x21
#define VK_NEXT 0x22
#define VK_END 0x23
#define VK_HOME 0x24
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_INSERT 0x2D
#define VK_DELETE 0x2E
#define VK_NUMPAD0 0x60
#define VK_NUMPAD9 0x69
#define VK_MULTIPLY 0x6A
#define VK_ADD 0x6B
#define VK_SEPARATOR 0x6C
#define VK_SUBTRACT 0x6D
#define VK_DECIMAL 0x6E
#define VK_DIVIDE 0x6F
#define VK_F1 0x70
#define VK_F12 0x7B
#define VK_NUMLOCK 0x90
#define VK_OEM_1 0xBA
#define VK_OEM_PLUS 0xBB
#define VK_OEM_COMMA 0xBC
#define VK_OEM_MINUS 0xBD
#define VK_OEM_PERIOD 0xBE
#define VK_OEM_2 0xBF
#define VK_OEM_3 0xC0
#define VK_OEM_4 0xDB
#define VK_OEM_5 0xDC
#define VK_OEM_6 0xDD
#define VK_OEM_7 0xDE

// MessageBeep, MessageBoxA
#define MB_OK 0x00000000L
#define MB_OKCANCEL 0x00000001L
#define MB_YESNO 0x00000004L
#define MB_ICONHAND 0x00000010L
#define MB_ICONQUESTION 0x00000020L
#define MB_ICONEXCLAMATION 0x00000030L
#define MB_ICONASTERISK 0x00000040L
#define MB_ICONINFORMATION MB_ICONASTERISK

// GDI
#define WHITE_BRUSH 0
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8
#define SYSTEM_FONT 13
#define DEFAULT_GUI_FONT 17
#define OBJ_PEN 1
#define OBJ_BRUSH 2
#define OBJ_DC 3
#define OBJ_FONT 6
#define OBJ_BITMAP 7
#define OBJ_MEMDC 10
#define PS_SOLID 0
#define PS_NULL 5
#define TRANSPARENT 1
#define OPAQUE 2
#define BI_RGB 0L
#define DIB_RGB_COLORS 0
#define SRCCOPY ((DWORD)0x00CC0020)
#define CLR_INVALID 0xFFFFFFFF
#define HGDI_ERROR ((HGDIOBJ)(LONG_PTR)-1)

// Common dialogs
#define OFN_READONLY 0x00000001
#define OFN_OVERWRITEPROMPT 0x00000002
#define OFN_HIDEREADONLY 0x00000004
#define OFN_NOCHANGEDIR 0x00000008
#define OFN_PATHMUSTEXIST 0x00000800
#define OFN_FILEMUSTEXIST 0x00001000
#define OFN_CREATEPROMPT 0x00002000
#define OFN_EXPLORER 0x00080000
#define FNERR_SUBCLASSFAILURE 0x3001
#define FNERR_INVALIDFILENAME 0x3002
#define FNERR_BUFFERTOOSMALL 0x3003
#define CDERR_INITIALIZATION 0x0002

// Files
#define GENERIC_READ 0x80000000L
#define GENERIC_WRITE 0x40000000L
#define FILE_SHARE_READ 0x00000001
#define FILE_SHARE_WRITE 0x00000002
#define FILE_SHARE_DELETE 0x00000004
#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define FILE_FLAG_WRITE_THROUGH 0x80000000
#define FILE_FLAG_SEQUENTIAL_SCAN 0x08000000
#define INVALID_FILE_SIZE ((DWORD)0xFFFFFFFF)
#define MOVEFILE_REPLACE_EXISTING 0x00000001
#define MOVEFILE_WRITE_THROUGH 0x00000008

// Error codes (GetLastError)
#define ERROR_SUCCESS 0L
#define NO_ERROR 0L
#define ERROR_INVALID_FUNCTION 1L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_WRITE_FAULT 29L
#define ERROR_READ_FAULT 30L
#define ERROR_SHARING_VIOLATION 32L
#define ERROR_HANDLE_DISK_FULL 39L
#define ERROR_FILE_EXISTS 80L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_DISK_FULL 112L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_INVALID_NAME 123L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_FILENAME_EXCED_RANGE 206L
#define ERROR_BAD_FILE_TYPE 222L
#define ERROR_NO_UNICODE_TRANSLATION 1113L
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814L
#define ERROR_RESOURCE_TYPE_NOT_FOUND 1813L
#define ERROR_INVALID_WINDOW_HANDLE 1400L
#define ERROR_CLASS_ALREADY_EXISTS 1410L
#define ERROR_CANNOT_FIND_WND_CLASS 1407L

// Sounds
#define SND_SYNC 0x0000
#define SND_ASYNC 0x0001
#define SND_NODEFAULT 0x0002
#define SND_MEMORY 0x0004
#define SND_LOOP 0x0008
#define SND_NOSTOP 0x0010
#define SND_FILENAME 0x00020000L
#define SND_RESOURCE 0x00040004L

// Shell: results up to 32 are errors
#define SE_ERR_NOASSOC 31

// ---------------------------------------------------------------------------------------------
// Functions

// USER32: windows and classes
ATOM WINAPI RegisterClassA(const WNDCLASSA* wc);
BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE instance);
HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param);
BOOL WINAPI DestroyWindow(HWND window);
BOOL WINAPI IsWindow(HWND window);
BOOL WINAPI ShowWindow(HWND window, int showCommand);
BOOL WINAPI UpdateWindow(HWND window);
LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text);
int WINAPI GetWindowTextA(HWND window, LPSTR buffer, int maxCount);
int WINAPI GetWindowTextLengthA(HWND window);
BOOL WINAPI GetClientRect(HWND window, LPRECT rect);
BOOL WINAPI InvalidateRect(HWND window, const RECT* rect, BOOL erase);
BOOL WINAPI ValidateRect(HWND window, const RECT* rect);
HDC WINAPI BeginPaint(HWND window, LPPAINTSTRUCT paint);
BOOL WINAPI EndPaint(HWND window, const PAINTSTRUCT* paint);

// USER32: messages and timers
BOOL WINAPI GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax);
BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags);
BOOL WINAPI TranslateMessage(const MSG* msg);
LRESULT WINAPI DispatchMessageA(const MSG* msg);
BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void WINAPI PostQuitMessage(int exitCode);
UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT elapseMs, TIMERPROC proc);
BOOL WINAPI KillTimer(HWND window, UINT_PTR id);

// USER32: resources, menus, accelerators, dialogs
int WINAPI LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int bufferMax);
HACCEL WINAPI LoadAcceleratorsA(HINSTANCE instance, LPCSTR name);
int WINAPI TranslateAcceleratorA(HWND window, HACCEL table, LPMSG msg);
HMENU WINAPI LoadMenuA(HINSTANCE instance, LPCSTR name);
HMENU WINAPI GetMenu(HWND window);
HMENU WINAPI GetSubMenu(HMENU menu, int position);
int WINAPI GetMenuItemCount(HMENU menu);
UINT WINAPI GetMenuItemID(HMENU menu, int position);
int WINAPI GetMenuStringA(HMENU menu, UINT item, LPSTR buffer, int maxCount, UINT flags);
HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name);
HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name);
HBITMAP WINAPI LoadBitmapA(HINSTANCE instance, LPCSTR name);
INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner,
                               DLGPROC dialogProc, LPARAM initParam);
BOOL WINAPI EndDialog(HWND dialog, INT_PTR result);

// USER32: input and feedback
BOOL WINAPI GetCursorPos(LPPOINT point);
BOOL WINAPI SetCursorPos(int x, int y);
BOOL WINAPI ScreenToClient(HWND window, LPPOINT point);
BOOL WINAPI ClientToScreen(HWND window, LPPOINT point);
SHORT WINAPI GetKeyState(int virtualKey);
BOOL WINAPI MessageBeep(UINT type);
// Modal over the owner's window, with the program's messages flowing meanwhile. Where no one could
// answer a box (Qt's offscreen and minimal platforms, no QApplication with widgets, a thread
// other than the GUI one) nothing is shown and the first button's id is returned at once; 0 for
// a button set other than the three above.
int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// GDI32
HGDIOBJ WINAPI GetStockObject(int index);
HDC WINAPI CreateCompatibleDC(HDC dc);
BOOL WINAPI DeleteDC(HDC dc);
HBITMAP WINAPI CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits,
                                HANDLE section, DWORD offset);
HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object);
HGDIOBJ WINAPI GetCurrentObject(HDC dc, UINT type);
HPEN WINAPI CreatePen(int style, int width, COLORREF colour);
BOOL WINAPI DeleteObject(HGDIOBJ object);
BOOL WINAPI MoveToEx(HDC dc, int x, int y, LPPOINT previous);
BOOL WINAPI LineTo(HDC dc, int x, int y);
int WINAPI SetBkMode(HDC dc, int mode);
COLORREF WINAPI SetBkColor(HDC dc, COLORREF colour);
COLORREF WINAPI SetTextColor(HDC dc, COLORREF colour);
BOOL WINAPI TextOutA(HDC dc, int x, int y, LPCSTR text, int length);
BOOL WINAPI BitBlt(HDC destination, int x, int y, int width, int height, HDC source, int sourceX,
                   int sourceY, DWORD rop);

// COMDLG32
// A chosen name the program's strings cannot hold (a character Windows-1251 lacks) fails the call
// with CommDlgExtendedError() == FNERR_INVALIDFILENAME and shows nothing: lpstrFile then holds
// the name with '?' for each such character, cut to nMaxFile, for the caller's message. It is
// no path to any file ('?' is no character of a Windows file name). On Windows the wrappers of
// platform/windows/ make the real dialogs behave so.
BOOL WINAPI GetOpenFileNameA(LPOPENFILENAMEA ofn);
BOOL WINAPI GetSaveFileNameA(LPOPENFILENAMEA ofn);
DWORD WINAPI CommDlgExtendedError(void);

// KERNEL32
HANDLE WINAPI CreateFileA(LPCSTR fileName, DWORD access, DWORD shareMode,
                          LPSECURITY_ATTRIBUTES security, DWORD disposition,
                          DWORD flagsAndAttributes, HANDLE templateFile);
BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read,
                     LPOVERLAPPED overlapped);
BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written,
                      LPOVERLAPPED overlapped);
BOOL WINAPI CloseHandle(HANDLE object);
BOOL WINAPI FlushFileBuffers(HANDLE file);
DWORD WINAPI GetFileSize(HANDLE file, LPDWORD sizeHigh);
DWORD WINAPI GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer);
BOOL WINAPI SetCurrentDirectoryA(LPCSTR path);
DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size);
HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName);
BOOL WINAPI MoveFileExA(LPCSTR existing, LPCSTR target, DWORD flags);
BOOL WINAPI DeleteFileA(LPCSTR fileName);
UINT WINAPI GetTempFileNameA(LPCSTR path, LPCSTR prefix, UINT unique, LPSTR tempFileName);
DWORD WINAPI GetLastError(void);
void WINAPI SetLastError(DWORD error);
HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
HGLOBAL WINAPI LoadResource(HMODULE module, HRSRC resource);
LPVOID WINAPI LockResource(HGLOBAL data);
DWORD WINAPI SizeofResource(HMODULE module, HRSRC resource);
void WINAPI Sleep(DWORD milliseconds);

// WINMM
BOOL WINAPI sndPlaySoundA(LPCSTR sound, UINT flags);
BOOL WINAPI PlaySoundA(LPCSTR sound, HMODULE module, DWORD flags);

// SHELL32
HINSTANCE WINAPI ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                               LPCSTR directory, INT showCommand);

// The GUI entry point the program defines; on Linux kvarlo_platform_main's main() calls it.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);

#endif  // _WIN32
