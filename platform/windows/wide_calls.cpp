// The ANSI calls of the Win32 subset that carry text or a path, over the wide functions.
#define KVARLO_WIDE_CALLS_SOURCE
#include "platform/windows/wide_calls.h"

#include <optional>
#include <string>

#include "platform/windows/wide_text.h"

namespace kvarlo::wide {

namespace {

// A resource or class name: a number travels as it is, a text is converted.
struct WideName {
    explicit WideName(LPCSTR name) : text(IS_INTRESOURCE(name) ? std::wstring() : widen(name)) {
        pointer = IS_INTRESOURCE(name) ? reinterpret_cast<LPCWSTR>(name) : text.c_str();
    }
    std::wstring text;
    LPCWSTR pointer;
};

// A text that may be null, as the wide call wants it.
struct WideText {
    explicit WideText(LPCSTR source) : isNull(source == nullptr), text(widen(source)) {}
    LPCWSTR get() const { return isNull ? nullptr : text.c_str(); }
    bool isNull;
    std::wstring text;
};

// What a wrapped dialog call left for CommDlgExtendedError: 0 to ask the real dialogs.
DWORD refusedDialogError = 0;

// Hands a path over in the program's strings, the way the ANSI calls do: the length without
// the zero when it fits, the size needed with the zero when it does not.
DWORD deliverPath(const std::wstring& path, LPSTR buffer, DWORD size) {
    const auto narrow = narrowPath(path);
    if (!narrow) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    if (narrow->size() + 1 > size)
        return static_cast<DWORD>(narrow->size() + 1);
    return static_cast<DWORD>(copyTerminated(*narrow, buffer, static_cast<int>(size)));
}

// The stock system font with the Cyrillic character set asked for: the same letters as on a
// Russian Windows. Made once; lives as long as the process.
HFONT cyrillicSystemFont() {
    static const HFONT font = [] {
        LOGFONTW description{};
        GetObjectW(GetStockObject(SYSTEM_FONT), sizeof description, &description);
        description.lfCharSet = RUSSIAN_CHARSET;
        return CreateFontIndirectW(&description);
    }();
    return font;
}

// A chosen name the program's strings cannot hold, spelled for its message: '?' for each
// character 1251 lacks, cut to the caller's buffer.
void leaveRefusedName(const wchar_t* name, LPOPENFILENAMEA ofn) {
    copyTerminated(narrowLossy(name), ofn->lpstrFile, static_cast<int>(ofn->nMaxFile));
}

// One file dialog, wide: the caller's request converted, the answer converted back.
BOOL runFileDialog(LPOPENFILENAMEA ofn, BOOL(WINAPI* dialog)(LPOPENFILENAMEW)) {
    refusedDialogError = 0;
    if (ofn == nullptr || ofn->lpstrFile == nullptr || ofn->nMaxFile == 0) {
        refusedDialogError = CDERR_INITIALIZATION;
        return FALSE;
    }
    const std::wstring filter = widenFilter(ofn->lpstrFilter);
    const WideText initialDir(ofn->lpstrInitialDir), title(ofn->lpstrTitle),
        defaultExtension(ofn->lpstrDefExt);
    std::wstring file = widen(ofn->lpstrFile);
    file.resize(ofn->nMaxFile, L'\0');
    std::wstring fileTitle(ofn->lpstrFileTitle != nullptr ? ofn->nMaxFileTitle : 0, L'\0');

    OPENFILENAMEW request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = ofn->hwndOwner;
    request.hInstance = ofn->hInstance;
    request.lpstrFilter = ofn->lpstrFilter != nullptr ? filter.c_str() : nullptr;
    request.nFilterIndex = ofn->nFilterIndex;
    request.lpstrFile = file.data();
    request.nMaxFile = ofn->nMaxFile;
    request.lpstrFileTitle = fileTitle.empty() ? nullptr : fileTitle.data();
    request.nMaxFileTitle = static_cast<DWORD>(fileTitle.size());
    request.lpstrInitialDir = initialDir.get();
    request.lpstrTitle = title.get();
    request.lpstrDefExt = defaultExtension.get();
    request.Flags = ofn->Flags & ~static_cast<DWORD>(OFN_ENABLEHOOK | OFN_ENABLETEMPLATE |
                                                     OFN_ENABLETEMPLATEHANDLE);
    request.lCustData = ofn->lCustData;
    if (!dialog(&request))
        return FALSE;
    if (!deliverDialogResult(request, *ofn)) {
        leaveRefusedName(request.lpstrFile, ofn);
        refusedDialogError = FNERR_INVALIDFILENAME;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

ATOM WINAPI RegisterClassA(const WNDCLASSA* wc) {
    if (wc == nullptr)
        return ::RegisterClassW(nullptr);
    const WideName menuName(wc->lpszMenuName), className(wc->lpszClassName);
    WNDCLASSW wide{};
    wide.style = wc->style;
    wide.lpfnWndProc = wc->lpfnWndProc;
    wide.cbClsExtra = wc->cbClsExtra;
    wide.cbWndExtra = wc->cbWndExtra;
    wide.hInstance = wc->hInstance;
    wide.hIcon = wc->hIcon;
    wide.hCursor = wc->hCursor;
    wide.hbrBackground = wc->hbrBackground;
    wide.lpszMenuName = wc->lpszMenuName != nullptr ? menuName.pointer : nullptr;
    wide.lpszClassName = className.pointer;
    return ::RegisterClassW(&wide);
}

BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE instance) {
    return ::UnregisterClassW(WideName(className).pointer, instance);
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param) {
    return ::CreateWindowExW(exStyle, WideName(className).pointer, WideText(windowName).get(),
                             style, x, y, width, height, parent, menu, instance, param);
}

BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text) {
    return ::SetWindowTextW(window, WideText(text).get());
}

int WINAPI GetWindowTextA(HWND window, LPSTR buffer, int maxCount) {
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return copyTerminated(narrowLossy(text), buffer, maxCount);
}

int WINAPI LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int bufferMax) {
    // With no room given, the wide call hands out a pointer into the resource itself.
    const wchar_t* resource = nullptr;
    const int length = ::LoadStringW(instance, id, reinterpret_cast<LPWSTR>(&resource), 0);
    if (length <= 0 || resource == nullptr) {
        if (buffer != nullptr && bufferMax > 0)
            buffer[0] = '\0';
        return 0;
    }
    return copyTerminated(narrowLossy(std::wstring_view(resource, static_cast<size_t>(length))),
                          buffer, bufferMax);
}

int WINAPI GetMenuStringA(HMENU menu, UINT item, LPSTR buffer, int maxCount, UINT flags) {
    const int length = ::GetMenuStringW(menu, item, nullptr, 0, flags);
    if (length <= 0) {
        if (buffer != nullptr && maxCount > 0)
            buffer[0] = '\0';
        return 0;
    }
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(
        ::GetMenuStringW(menu, item, text.data(), static_cast<int>(text.size()), flags)));
    if (buffer == nullptr || maxCount <= 0)
        return static_cast<int>(text.size());
    return copyTerminated(narrowLossy(text), buffer, maxCount);
}

INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner,
                               DLGPROC dialogProc, LPARAM initParam) {
    return ::DialogBoxParamW(instance, WideName(templateName).pointer, owner, dialogProc,
                             initParam);
}

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    return ::MessageBoxW(owner, WideText(text).get(), WideText(caption).get(), type);
}

BOOL WINAPI TextOutA(HDC dc, int x, int y, LPCSTR text, int length) {
    const std::wstring wide = widen(text, length);
    HGDIOBJ systemFont = GetStockObject(SYSTEM_FONT);
    HGDIOBJ previous = nullptr;
    if (GetCurrentObject(dc, OBJ_FONT) == systemFont && cyrillicSystemFont() != nullptr) {
        previous = SelectObject(dc, cyrillicSystemFont());
    }
    const BOOL drawn = ::TextOutW(dc, x, y, wide.data(), static_cast<int>(wide.size()));
    if (previous != nullptr)
        SelectObject(dc, previous);
    return drawn;
}

BOOL WINAPI GetOpenFileNameA(LPOPENFILENAMEA ofn) {
    return runFileDialog(ofn, ::GetOpenFileNameW);
}

BOOL WINAPI GetSaveFileNameA(LPOPENFILENAMEA ofn) {
    return runFileDialog(ofn, ::GetSaveFileNameW);
}

DWORD WINAPI CommDlgExtendedError(void) {
    return refusedDialogError != 0 ? refusedDialogError : ::CommDlgExtendedError();
}

HANDLE WINAPI CreateFileA(LPCSTR fileName, DWORD access, DWORD shareMode,
                          LPSECURITY_ATTRIBUTES security, DWORD disposition,
                          DWORD flagsAndAttributes, HANDLE templateFile) {
    return ::CreateFileW(WideText(fileName).get(), access, shareMode, security, disposition,
                         flagsAndAttributes, templateFile);
}

DWORD WINAPI GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer) {
    const DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
    if (needed == 0)
        return 0;
    std::wstring directory(needed, L'\0');
    directory.resize(::GetCurrentDirectoryW(needed, directory.data()));
    return deliverPath(directory, buffer, bufferLength);
}

BOOL WINAPI SetCurrentDirectoryA(LPCSTR path) {
    return ::SetCurrentDirectoryW(WideText(path).get());
}

DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size) {
    std::wstring path(32768, L'\0');  // the longest path Windows has
    const DWORD length = ::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0)
        return 0;
    path.resize(length);
    const DWORD delivered = deliverPath(path, buffer, size);
    if (delivered <= size || buffer == nullptr || size == 0)
        return delivered;
    // Too long: cut and terminated, the size returned, as the ANSI call does.
    copyTerminated(*narrowPath(path), buffer, static_cast<int>(size));
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
}

BOOL WINAPI MoveFileExA(LPCSTR existing, LPCSTR target, DWORD flags) {
    return ::MoveFileExW(WideText(existing).get(), WideText(target).get(), flags);
}

BOOL WINAPI DeleteFileA(LPCSTR fileName) {
    return ::DeleteFileW(WideText(fileName).get());
}

UINT WINAPI GetTempFileNameA(LPCSTR path, LPCSTR prefix, UINT unique, LPSTR tempFileName) {
    wchar_t name[MAX_PATH] = {};
    const UINT result =
        ::GetTempFileNameW(WideText(path).get(), WideText(prefix).get(), unique, name);
    if (result == 0)
        return 0;
    const DWORD delivered = deliverPath(name, tempFileName, MAX_PATH);
    if (delivered == 0 || delivered >= MAX_PATH) {
        // Created but not nameable in the program's strings: leave nothing behind.
        if (unique == 0)
            ::DeleteFileW(name);
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    return result;
}

BOOL WINAPI sndPlaySoundA(LPCSTR sound, UINT flags) {
    if (sound == nullptr || (flags & SND_MEMORY))
        return ::sndPlaySoundW(reinterpret_cast<LPCWSTR>(sound), flags);
    return ::sndPlaySoundW(widen(sound).c_str(), flags);
}

BOOL WINAPI PlaySoundA(LPCSTR sound, HMODULE module, DWORD flags) {
    if (sound == nullptr || (flags & SND_MEMORY) || IS_INTRESOURCE(sound)) {
        return ::PlaySoundW(reinterpret_cast<LPCWSTR>(sound), module, flags);
    }
    return ::PlaySoundW(widen(sound).c_str(), module, flags);
}

HINSTANCE WINAPI ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                               LPCSTR directory, INT showCommand) {
    return ::ShellExecuteW(owner, WideText(verb).get(), WideText(file).get(),
                           WideText(parameters).get(), WideText(directory).get(), showCommand);
}

}  // namespace kvarlo::wide
