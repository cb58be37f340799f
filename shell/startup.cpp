// Program entry and start-up.
#include "shell/startup.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "documents/documents.h"
#include "shell/program.h"
#include "shell/resource.h"
#include "shell/services.h"
#include "shell/window_proc.h"
#include "solver/control.h"

namespace kvarlo {

namespace {

// The solver reaches the window through the program's host: the beep, repaints, its timer.
void bindSolverToWindow() {
    Program& p = program();
    bindSolver(SolverContext{&p.board, &p.results}, p.solverHost);
}

}  // namespace

int initApplication(UINT titleId, UINT classNameId, UINT menuId, UINT acceleratorsId, UINT iconId,
                    LPCSTR cursorId, int show, int width, int height) {
    if (!instance) {
        return 0;
    }
    application.windowWidth = width;
    application.windowHeight = height;
    if (LoadStringA(instance, titleId, application.title, sizeof application.title) == 0 ||
        LoadStringA(instance, classNameId, application.className, sizeof application.className) ==
            0) {
        return 0;
    }

    WNDCLASSA windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = mainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(iconId));
    windowClass.hCursor = LoadCursorA(nullptr, cursorId);
    // No background brush: every paint covers the whole client area itself.
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    windowClass.lpszMenuName = MAKEINTRESOURCEA(menuId);
    windowClass.lpszClassName = application.className;
    if (!RegisterClassA(&windowClass)) {
        return 0;
    }

    mainWindow =
        CreateWindowExA(0, application.className, application.title, WS_OVERLAPPEDWINDOW,
                        CW_USEDEFAULT, 0, width, height, nullptr, nullptr, instance, nullptr);
    if (!mainWindow) {
        return 0;
    }
    bindSolverToWindow();
    ShowWindow(mainWindow, show);
    UpdateWindow(mainWindow);

    application.accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(acceleratorsId));
    return 1;
}

namespace {

// The first argument of a command line, without the quotes around a path with spaces; empty
// when there is none.
std::string firstArgument(const char* commandLine) {
    if (commandLine == nullptr)
        return {};
    const char* c = commandLine;
    while (*c == ' ' || *c == '\t')
        ++c;
    if (*c == '"') {
        const char* end = std::strchr(c + 1, '"');
        return end != nullptr ? std::string(c + 1, end) : std::string(c + 1);
    }
    std::string argument(c);
    while (!argument.empty() && (argument.back() == ' ' || argument.back() == '\t'))
        argument.pop_back();
    return argument;
}

}  // namespace

void startUp(const char* commandLine) {
    char versionText[64];
    std::snprintf(versionText, sizeof versionText, " %s %s %s", "Public", "Version",
                  programVersion);
    setWindowTitle(versionText, "");

    // A file named on the command line (a file manager's "open with") takes the place of the
    // start-up figure; one that cannot be opened is explained, then the usual start-up follows.
    const std::string file = firstArgument(commandLine);
    if (!file.empty() && openDocumentFile(mainWindow, file.c_str())) {
        return;
    }

    Program& p = program();
    if (!openFigure(nullptr, p.board, p.documentName, "default.t1a").done()) {
        return;  // no figure: the editor stays open on the board as it was
    }
    setWindowTitle(figureTitle, p.documentName.text);
    p.window.mode = AppMode::Game;
    newGame(p.board, p.history, p.game, p.clock->calendarSeconds());
    requestRepaint();
}

int runMessageLoop() {
    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (!TranslateAcceleratorA(message.hwnd, application.accelerators, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return static_cast<int>(message.wParam);
}

int startProgram(HINSTANCE moduleInstance, int show, const char* commandLine) {
    instance = moduleInstance;
    if (!initApplication(IDS_APP_TITLE, IDC_IGAME, IDC_IGAME, IDC_IGAME, IDI_IGAME, IDC_ARROW, show,
                         640, 480)) {
        return 0;
    }
    startUp(commandLine);
    return 1;
}

int runProgram(HINSTANCE moduleInstance, int show, const char* commandLine) {
    if (!startProgram(moduleInstance, show, commandLine)) {
        return 0;
    }
    return runMessageLoop();
}

}  // namespace kvarlo
