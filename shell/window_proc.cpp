// The main window procedure.
#include "shell/window_proc.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>

#include "documents/documents.h"
#include "game/click.h"
#include "game/game.h"
#include "shell/pending_click.h"
#include "shell/program.h"
#include "shell/resource.h"
#include "shell/services.h"
#include "solver/control.h"
#include "view/board_view.h"

namespace kvarlo {

namespace {

bool isBusy() {
    return solverBusy() >= 1;
}

Program& p() {
    return program();
}

int32_t now() {
    return p().clock->calendarSeconds();
}

void showTitle(const char* middle) {
    setWindowTitle(middle, p().documentName.text);
}

// Leaving Game mode forgets the history (and every mark) of the game.
void resetHistoryIfIn(AppMode mode) {
    if (p().window.mode == mode) {
        resetHistory(p().board, p().history);
    }
}

void clearSolverState() {
    p().results.depth = 0;
    p().results.status = 0;
}

// --- Commands -----------------------------------------------------------------------------

void removeFigure(HWND) {
    resetHistoryIfIn(AppMode::Game);
    p().window.mode = AppMode::Editor;
    clearSolverState();
    p().board.clearAllMatches();
    requestRepaint();
}

void editFigure(HWND) {
    resetHistoryIfIn(AppMode::Game);
    p().window.mode = AppMode::Editor;
    requestRepaint();
}

// A save that failed is reported; a cancelled one says nothing.
void answerSave(HWND window, const DocumentResult& result) {
    if (result.failed()) {
        reportFailure(window, failureMessage(result));
    }
}

// An open that did not happen beeps, cancelled or not; one that failed also says why.
void answerOpen(HWND window, const DocumentResult& result) {
    if (result.cancelled()) {
        failureBeep();
    } else if (result.failed()) {
        reportFailure(window, failureMessage(result));
    }
}

void saveFigureCommand(HWND window) {
    const DocumentResult result = saveFigure(window, p().board, p().documentName, now());
    if (result.done()) {
        showTitle(figureTitle);
    }
    requestRepaint();
    answerSave(window, result);
}

// The open commands, with the dialog (no name) or for a named file; the file cancelled or
// refused changes nothing but what the open itself leaves behind.
DocumentResult openFigureDocument(HWND window, const char* fixedName) {
    const DocumentResult result = openFigure(window, p().board, p().documentName, fixedName);
    if (!result.done()) {
        return result;
    }
    clearSolverState();
    if (p().window.mode != AppMode::Editor) {
        resetHistory(p().board, p().history);
    }
    showTitle(figureTitle);
    p().window.mode = AppMode::Game;
    newGame(p().board, p().history, p().game, now());
    requestRepaint();
    return result;
}

void openFigureCommand(HWND window) {
    answerOpen(window, openFigureDocument(window, nullptr));
}

void restartGame(HWND) {
    resetHistoryIfIn(AppMode::Solver);
    p().window.mode = AppMode::Game;
    newGame(p().board, p().history, p().game, now());
    requestRepaint();
}

void saveGameCommand(HWND window) {
    if (p().window.mode != AppMode::Game) {
        failureBeep();
        return;
    }
    const DocumentResult result =
        saveGame(window, p().board, p().history, p().game, p().documentName, now());
    if (result.done()) {
        showTitle(gameTitle);
    }
    answerSave(window, result);
}

DocumentResult openGameDocument(HWND window, const char* fixedName) {
    const DocumentResult result =
        openGame(window, p().board, p().history, p().game, p().documentName, now(), fixedName);
    if (!result.done()) {
        return result;
    }
    clearSolverState();
    p().window.mode = AppMode::Game;
    showTitle(gameTitle);
    requestRepaint();
    return result;
}

void openGameCommand(HWND window) {
    answerOpen(window, openGameDocument(window, nullptr));
}

// The history commands act in Game mode only, silently otherwise.
template <void (*step)()>
void inGame(HWND) {
    if (p().window.mode == AppMode::Game) {
        step();
        requestRepaint();
    }
}
void undoStep() {
    undoMove(p().board, p().history);
}
void redoStep() {
    redoMove(p().board, p().history);
}
void firstStep() {
    goToMove(p().board, p().history, 0);
}
void lastStep() {
    goToMove(p().board, p().history, p().history.total);
}

// --- Solver commands: what each means in which mode, over the solver's operations ----------

// On from the depth reached; with none reached (cleared results, or none yet) from the start,
// so that layers kept from before the results were cleared are not taken up again.
void searchOnFromDepthReached() {
    if (p().results.depth == 0) {
        searchAnew();
    } else {
        searchOn();
    }
}

// The best sequence found (or read from a solution file) becomes the game's history, to be
// stepped through; the board may have changed since, and then nothing changes but a beep.
void bringBestSolutionIntoGame() {
    const SolverResults& results = p().results;
    const auto count = static_cast<size_t>(std::clamp(results.bestCount, 0, solverCapacity));
    if (!installSequence(p().board, p().history, p().game, {results.bestSolution.data(), count},
                         now())) {
        failureBeep();
        return;
    }
    p().window.mode = AppMode::Game;
    requestRepaint();
}

// With results to show, the solver's "go on" key brings the best into the game where the
// solver is shown and searches on elsewhere; without, it searches as the menu's "search" does.
void bestOrSearchOn() {
    if (p().results.status < 1) {
        searchOnFromDepthReached();
    } else if (p().window.mode == AppMode::Solver) {
        bringBestSolutionIntoGame();
    } else {
        searchOn();
    }
}

void searchAnewCommand(HWND) {
    resetHistoryIfIn(AppMode::Game);
    p().window.mode = AppMode::Solver;
    p().window.showStats = 1;
    clearSolverState();
    requestRepaint();
    searchAnew();
}

void searchOnCommand(HWND) {
    if (p().window.mode != AppMode::Solver) {
        failureBeep();
        return;
    }
    p().results.status = 0;
    requestRepaint();
    searchOnFromDepthReached();
}

void stopSearch(HWND) {
    if (p().window.mode != AppMode::Solver) {
        resetHistory(p().board, p().history);
        p().window.mode = AppMode::Solver;
    }
    requestStop();
    requestRepaint();
}

void bestSolutionCommand(HWND) {
    if (p().window.mode != AppMode::Solver) {
        failureBeep();
        return;
    }
    bestOrSearchOn();
}

DocumentResult openSolutionDocument(HWND window, const char* fixedName) {
    const DocumentResult result =
        openSolution(window, p().board, p().results, p().documentName, fixedName);
    if (!result.done()) {
        return result;
    }
    resetHistoryIfIn(AppMode::Game);
    p().window.mode = AppMode::Solver;
    showTitle(solutionTitle);
    requestRepaint();
    return result;
}

void openSolutionCommand(HWND window) {
    answerOpen(window, openSolutionDocument(window, nullptr));
}

void saveSolutionCommand(HWND window) {
    if (p().window.mode != AppMode::Solver) {
        failureBeep();
        return;
    }
    const DocumentResult result =
        saveSolution(window, p().board, p().results, p().documentName, now());
    if (result.done()) {
        showTitle(solutionTitle);
    }
    answerSave(window, result);
}

void about(HWND window) {
    showAbout(window);
}
void exitProgram(HWND window) {
    DestroyWindow(window);
}
void manual(HWND) {
    openManual();
}
void site(HWND) {
    shellOpen(siteAddress().c_str());
}
void product(HWND) {
    shellOpen(productAddress().c_str());
}

struct Command {
    int id;
    bool whileBusy;  // carried out also while a search runs
    void (*run)(HWND);
};

constexpr Command commands[] = {
    {IDM_ABOUT, true, about},
    {IDM_EXIT, true, exitProgram},
    {ID_HELP_MANUAL, true, manual},
    {ID_HELP_SITE, true, site},
    {ID_SOLVER_STOP, true, stopSearch},
    {ID_HELP_PRODUCT, true, product},
    {ID_FIGURE_REMOVE, false, removeFigure},
    {ID_FIGURE_EDIT, false, editFigure},
    {ID_FIGURE_SAVE, false, saveFigureCommand},
    {ID_FIGURE_OPEN, false, openFigureCommand},
    {ID_GAME_RESTART, false, restartGame},
    {ID_GAME_SAVE, false, saveGameCommand},
    {ID_GAME_OPEN, false, openGameCommand},
    {ID_GAME_BACK, false, inGame<undoStep>},
    {ID_GAME_FORWARD, false, inGame<redoStep>},
    {ID_GAME_FIRST, false, inGame<firstStep>},
    {ID_GAME_LAST, false, inGame<lastStep>},
    {ID_SOLVER_SEARCH_ANEW, false, searchAnewCommand},
    {ID_SOLVER_SEARCH, false, searchOnCommand},
    {ID_SOLVER_BEST_TO_GAME, false, bestSolutionCommand},
    {ID_SOLUTION_OPEN, false, openSolutionCommand},
    {ID_SOLUTION_SAVE, false, saveSolutionCommand},
};

LRESULT onCommand(HWND window, WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    const Command* found = nullptr;
    for (const Command& c : commands) {
        if (c.id == id) {
            found = &c;
        }
    }
    if (found && found->whileBusy) {
        found->run(window);
        return 0;
    }
    if (isBusy()) {
        return 0;  // everything else waits until the search is over, known or not
    }
    if (!found) {
        return DefWindowProcA(window, WM_COMMAND, wParam, lParam);
    }
    found->run(window);
    return 0;
}

// --- Keys ---------------------------------------------------------------------------------

void onKeyDown(WPARAM key) {
    if (isBusy() || p().window.mode != AppMode::Game) {
        return;
    }
    switch (key) {
        case VK_BACK:
        case VK_LEFT:
            undoStep();
            break;
        case VK_UP:
            firstStep();
            break;
        case VK_RIGHT:
            redoStep();
            break;
        case VK_DOWN:
            lastStep();
            break;
        default:
            return;
    }
    requestRepaint();
}

void onKeyUp(WPARAM key) {
    WindowState& w = p().window;
    switch (key) {
        case VK_SPACE:
            w.statsColumnMode = (w.statsColumnMode + 1) % 3;
            w.showStats = 1;
            requestRepaint();
            return;
        case VK_MULTIPLY:
            w.showBoard = w.showBoard ? 0 : 1;
            requestRepaint();
            return;
        case VK_DIVIDE:
            w.showStats = w.showStats ? 0 : 1;
            requestRepaint();
            return;
        case VK_SUBTRACT:
            requestStop();
            requestRepaint();
            return;
        default:
            break;
    }
    if (isBusy()) {
        return;
    }
    if (key == VK_ADD) {
        p().results.status = 0;
        w.showStats = 1;
        requestRepaint();
        searchOnFromDepthReached();
    } else if (key == VK_INSERT) {
        bestOrSearchOn();
    }
}

// --- Mouse and paint ----------------------------------------------------------------------

// The press is only recorded; the next paint that draws the board resolves a left one.
void onMousePress(HWND window, bool left) {
    WindowState& w = p().window;
    POINT cursor{};
    if (GetCursorPos(&cursor)) {
        ScreenToClient(window, &cursor);
        w.mouseX = cursor.x;
        w.mouseY = cursor.y;
        if (left) {
            w.clickPending = 1;
        }
        requestRepaint();
    }
    if (isBusy()) {
        w.clickPending = 0;
    }
}

// The paint: first the state is brought up to date (the pending click, the game's clock), then
// the frame is drawn from it without changing it.
void onPaint(HWND window) {
    Program& state = p();
    RECT client{};
    GetClientRect(window, &client);
    const int32_t time = now();
    const ClickOutcome click = resolvePendingClick(state.board, state.history, state.game,
                                                   state.window, client.right, client.bottom, time);
    if (click.sound) {
        playFileSound(click.sound, false);
    }
    if (state.window.mode == AppMode::Game) {
        tickClock(state.game, time);
    }
    const FrameState frame{state.board,  state.history, state.game,
                           state.window, state.results, solverBusy()};
    paintWindow(window, state.backBuffer, frame);
}

// The document a path names, by its extension, as a file manager tells them apart: "t1a",
// "t1b", "t1c"; nothing for any other name.
std::optional<DocumentKind> kindByExtension(const char* path) {
    const char* base = path;
    for (const char* c = path; *c != '\0'; ++c) {
        if (*c == '/' || *c == '\\')
            base = c + 1;
    }
    const char* dot = std::strrchr(base, '.');
    if (dot == nullptr || std::strlen(dot) != 4 ||
        std::tolower(static_cast<unsigned char>(dot[1])) != 't' || dot[2] != '1') {
        return std::nullopt;
    }
    switch (std::tolower(static_cast<unsigned char>(dot[3]))) {
        case 'a':
            return DocumentKind::Figure;
        case 'b':
            return DocumentKind::Game;
        case 'c':
            return DocumentKind::Solution;
        default:
            return std::nullopt;
    }
}

DocumentResult openDocumentByKind(HWND window, const char* path) {
    const std::optional<DocumentKind> kind = kindByExtension(path);
    if (kind == DocumentKind::Game) {
        return openGameDocument(window, path);
    }
    if (kind == DocumentKind::Solution) {
        return openSolutionDocument(window, path);
    }
    if (kind == DocumentKind::Figure) {
        return openFigureDocument(window, path);
    }
    DocumentResult result;
    result.outcome = DocumentOutcome::unknownKind;
    result.path = path;
    return result;
}

}  // namespace

bool openDocumentFile(HWND window, const char* path) {
    if (path == nullptr) {
        return false;
    }
    const DocumentResult result = openDocumentByKind(window, path);
    answerOpen(window, result);
    return result.done();
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY:
            // A search still running is stopped and joined before the loop ends.
            shutdownSolver();
            PostQuitMessage(0);
            return 0;
        case WM_PAINT:
            onPaint(window);
            return 0;
        case WM_KEYDOWN:
            onKeyDown(wParam);
            return 0;
        case WM_KEYUP:
            onKeyUp(wParam);
            return 0;
        case WM_COMMAND:
            return onCommand(window, wParam, lParam);
        case WM_TIMER:
            // The solver's ticks: take its newest results, then one repaint however many
            // ticks piled up behind a slow paint.
            solverTick();
            requestRepaint();
            drainMessages(window, WM_TIMER);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
            onMousePress(window, message == WM_LBUTTONDOWN);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace kvarlo
