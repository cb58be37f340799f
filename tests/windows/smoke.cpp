// Starts kvarlo.exe as a user would, in a folder holding default.t1a, waits for its window to
// show the loaded figure in its title, closes it through the window's close box and checks that
// the program ended with exit code 0.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int fail(const char* what) {
    std::fprintf(stderr, "smoke: %s (error %lu)\n", what, GetLastError());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: smoke PATH\\kvarlo.exe\n");
        return 2;
    }
    char commandLine[MAX_PATH + 2];
    std::snprintf(commandLine, sizeof commandLine, "\"%s\"", argv[1]);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(argv[1], commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return fail("cannot start the program");
    }

    // The window class is "IGAME"; once start-up has loaded default.t1a the title ends with
    // the document name.
    HWND window = nullptr;
    char title[400] = {};
    for (int attempt = 0; attempt < 300; ++attempt) {
        window = FindWindowA("IGAME", nullptr);
        if (window && GetWindowTextA(window, title, sizeof title) > 0) {
            const size_t length = std::strlen(title);
            if (length >= 7 && std::strcmp(title + length - 7, "default") == 0) {
                break;
            }
        }
        Sleep(100);
    }
    if (!window) {
        TerminateProcess(process.hProcess, 3);
        return fail("no window appeared");
    }
    const size_t length = std::strlen(title);
    if (length < 7 || std::strcmp(title + length - 7, "default") != 0) {
        std::fprintf(stderr, "smoke: the title does not name default.t1a: %s\n", title);
        TerminateProcess(process.hProcess, 3);
        return 1;
    }

    PostMessageA(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 20000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 3);
        return fail("the program did not end after WM_CLOSE");
    }
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (code != 0) {
        std::fprintf(stderr, "smoke: exit code %lu\n", code);
        return 1;
    }
    std::printf("smoke: started, loaded default.t1a, closed with exit code 0\n");
    return 0;
}
