// Temporary: the GUI side of the layer, answering "failed" until the Qt implementation lands.
#include "platform/win32.h"

ATOM WINAPI RegisterClassA(const WNDCLASSA* wc) { return 0; }
BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE instance) { return 0; }
HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) { return nullptr; }
BOOL WINAPI DestroyWindow(HWND window) { return 0; }
BOOL WINAPI IsWindow(HWND window) { return 0; }
BOOL WINAPI ShowWindow(HWND window, int showCommand) { return 0; }
BOOL WINAPI UpdateWindow(HWND window) { return 0; }
LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) { return 0; }
BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text) { return 0; }
BOOL WINAPI GetClientRect(HWND window, LPRECT rect) { return 0; }
BOOL WINAPI InvalidateRect(HWND window, const RECT* rect, BOOL erase) { return 0; }
BOOL WINAPI ValidateRect(HWND window, const RECT* rect) { return 0; }
HDC WINAPI BeginPaint(HWND window, LPPAINTSTRUCT paint) { return nullptr; }
BOOL WINAPI EndPaint(HWND window, const PAINTSTRUCT* paint) { return 0; }
BOOL WINAPI GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) { return 0; }
BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) { return 0; }
BOOL WINAPI TranslateMessage(const MSG* msg) { return 0; }
LRESULT WINAPI DispatchMessageA(const MSG* msg) { return 0; }
BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) { return 0; }
LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) { return 0; }
UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT elapseMs, TIMERPROC proc) { return 0; }
BOOL WINAPI KillTimer(HWND window, UINT_PTR id) { return 0; }
HACCEL WINAPI LoadAcceleratorsA(HINSTANCE instance, LPCSTR name) { return nullptr; }
HMENU WINAPI LoadMenuA(HINSTANCE instance, LPCSTR name) { return nullptr; }
HMENU WINAPI GetMenu(HWND window) { return nullptr; }
HMENU WINAPI GetSubMenu(HMENU menu, int position) { return nullptr; }
UINT WINAPI GetMenuItemID(HMENU menu, int position) { return 0; }
HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) { return nullptr; }
HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) { return nullptr; }
HBITMAP WINAPI LoadBitmapA(HINSTANCE instance, LPCSTR name) { return nullptr; }
INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC dialogProc, LPARAM initParam) { return -1; }
BOOL WINAPI EndDialog(HWND dialog, INT_PTR result) { return 0; }
BOOL WINAPI GetCursorPos(LPPOINT point) { return 0; }
BOOL WINAPI SetCursorPos(int x, int y) { return 0; }
BOOL WINAPI ScreenToClient(HWND window, LPPOINT point) { return 0; }
BOOL WINAPI ClientToScreen(HWND window, LPPOINT point) { return 0; }
SHORT WINAPI GetKeyState(int virtualKey) { return 0; }
BOOL WINAPI MessageBeep(UINT type) { return 0; }
HGDIOBJ WINAPI GetStockObject(int index) { return nullptr; }
HDC WINAPI CreateCompatibleDC(HDC dc) { return nullptr; }
BOOL WINAPI DeleteDC(HDC dc) { return 0; }
HBITMAP WINAPI CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset) { return nullptr; }
HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object) { return nullptr; }
HGDIOBJ WINAPI GetCurrentObject(HDC dc, UINT type) { return nullptr; }
HPEN WINAPI CreatePen(int style, int width, COLORREF colour) { return nullptr; }
BOOL WINAPI DeleteObject(HGDIOBJ object) { return 0; }
BOOL WINAPI MoveToEx(HDC dc, int x, int y, LPPOINT previous) { return 0; }
BOOL WINAPI LineTo(HDC dc, int x, int y) { return 0; }
COLORREF WINAPI SetBkColor(HDC dc, COLORREF colour) { return 0; }
COLORREF WINAPI SetTextColor(HDC dc, COLORREF colour) { return 0; }
BOOL WINAPI TextOutA(HDC dc, int x, int y, LPCSTR text, int length) { return 0; }
BOOL WINAPI BitBlt(HDC destination, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, DWORD rop) { return 0; }
BOOL WINAPI GetOpenFileNameA(LPOPENFILENAMEA ofn) { return 0; }
BOOL WINAPI GetSaveFileNameA(LPOPENFILENAMEA ofn) { return 0; }
DWORD WINAPI CommDlgExtendedError(void) { return 0; }
HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) { return nullptr; }
HGLOBAL WINAPI LoadResource(HMODULE module, HRSRC resource) { return nullptr; }
LPVOID WINAPI LockResource(HGLOBAL data) { return nullptr; }
DWORD WINAPI SizeofResource(HMODULE module, HRSRC resource) { return 0; }
BOOL WINAPI sndPlaySoundA(LPCSTR sound, UINT flags) { return 0; }
BOOL WINAPI PlaySoundA(LPCSTR sound, HMODULE module, DWORD flags) { return 0; }
HINSTANCE WINAPI ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory, INT showCommand) { return nullptr; }
