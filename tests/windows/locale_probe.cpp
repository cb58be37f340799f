// Starts kvarlo.exe as a user would, in a folder holding default.t1a, and reads back through the
// window system what a player sees: the title, the About box's texts, and the pixels of the
// status panel's text, which it writes to a BMP file for comparing between locales. Then closes
// the program and expects exit code 0. Run under a Russian and a non-Russian locale: the
// Russian texts must come out the same under both.
#include <windows.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "shell/resource.h"
#include "view/status.h"

namespace {

// What the start-up shows once default.t1a is loaded: the resource title, then the figure.
const std::wstring expectedTitle = L"Головоломка \"Кварло 1\" - Фигура default";
const std::wstring aboutCaption = L"О программе";
const std::wstring aboutButton = L"Красота спасет мир :-)";

// The panel's first lines ("Игра, спичек", "в начале: ...", ...): the text that does not tick.
constexpr RECT panelText{0, 12, 180, 84};
constexpr int minimumTextPixels = 100;

int failures = 0;

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "locale-probe: %s\n", what);
        ++failures;
    }
}

std::wstring windowText(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

// The main window of the program started here, not of some other copy.
HWND findProgramWindow(DWORD processId) {
    struct Search {
        DWORD processId;
        HWND found;
    } search{processId, nullptr};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(data);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            wchar_t className[16] = {};
            GetClassNameW(window, className, 16);
            if (owner != s.processId || std::wstring(className) != L"IGAME")
                return TRUE;
            s.found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Waits (up to about 30 s) for a condition the program reaches on its own.
template <typename Condition>
bool waitFor(Condition condition) {
    for (int attempt = 0; attempt < 300; ++attempt) {
        if (condition())
            return true;
        Sleep(100);
    }
    return false;
}

// The client area's pixels in the rectangle, top-down rows of 0x00RRGGBB.
std::vector<DWORD> capture(HWND window, const RECT& area) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(window);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    std::vector<DWORD> pixels(static_cast<const DWORD*>(bits),
                              static_cast<const DWORD*>(bits) + width * height);
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, screen);
    return pixels;
}

int textPixels(const std::vector<DWORD>& pixels) {
    // The panel's COLORREF is 0x00BBGGRR, a DIB pixel 0x00RRGGBB: grey reads the same.
    int count = 0;
    for (DWORD pixel : pixels)
        count += (pixel & 0xFFFFFF) == kvarlo::textColour;
    return count;
}

bool writeBmp(const char* path, const std::vector<DWORD>& pixels, const RECT& area) {
    const LONG width = area.right - area.left;
    const LONG height = area.bottom - area.top;
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = -height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    const DWORD dataSize = static_cast<DWORD>(pixels.size() * sizeof(DWORD));
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + dataSize;
    FILE* out = std::fopen(path, "wb");
    if (out == nullptr)
        return false;
    bool ok = std::fwrite(&file, sizeof file, 1, out) == 1 &&
              std::fwrite(&header, sizeof header, 1, out) == 1 &&
              std::fwrite(pixels.data(), dataSize, 1, out) == 1;
    return std::fclose(out) == 0 && ok;
}

// Opens the About box through the menu command, reads its texts and closes it with its button.
void checkAbout(HWND window) {
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_ABOUT, 0), 0);
    HWND dialog = nullptr;
    check(waitFor([&] {
              dialog = FindWindowW(L"#32770", nullptr);
              return dialog != nullptr && GetWindow(dialog, GW_OWNER) == window;
          }),
          "the About box did not open");
    if (dialog == nullptr)
        return;
    check(windowText(dialog) == aboutCaption, "the About box's caption is not the Russian one");
    check(windowText(GetDlgItem(dialog, IDOK)) == aboutButton,
          "the About box's button does not read the Russian text");
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    check(waitFor([&] { return !IsWindow(dialog); }), "the About box did not close");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: locale-probe PATH\\kvarlo.exe PANEL.bmp\n");
        return 2;
    }
    DeleteFileA(argv[2]);  // a picture from an earlier run must not stand in for this one
    std::string commandLine = std::string("\"") + argv[1] + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(argv[1], commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::fprintf(stderr, "locale-probe: cannot start the program (error %lu)\n",
                     GetLastError());
        return 1;
    }

    HWND window = nullptr;
    const bool titled = waitFor([&] {
        window = findProgramWindow(process.dwProcessId);
        return window != nullptr && windowText(window) == expectedTitle;
    });
    if (!titled) {
        std::fprintf(stderr, "locale-probe: the title never read \"%ls\"; last: \"%ls\"\n",
                     expectedTitle.c_str(), window ? windowText(window).c_str() : L"(no window)");
        TerminateProcess(process.hProcess, 3);
        return 1;
    }

    // The same picture twice in a row: the paint that follows the loaded figure is done.
    std::vector<DWORD> panel;
    check(waitFor([&] {
              std::vector<DWORD> previous = std::move(panel);
              panel = capture(window, panelText);
              return textPixels(panel) >= minimumTextPixels && panel == previous;
          }),
          "the status panel's text never appeared");
    check(writeBmp(argv[2], panel, panelText), "cannot write the panel's picture");
    checkAbout(window);

    PostMessageW(window, WM_CLOSE, 0, 0);
    DWORD code = 1;
    if (WaitForSingleObject(process.hProcess, 20000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 3);
        check(false, "the program did not end after WM_CLOSE");
    } else {
        GetExitCodeProcess(process.hProcess, &code);
        check(code == 0, "the program did not end with exit code 0");
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (failures == 0)
        std::printf("locale-probe: title, About box and panel read right\n");
    return failures == 0 ? 0 : 1;
}
