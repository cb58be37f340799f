// The window procedure message by message: start-up, commands in each mode, keys, mouse
// presses, titles, beeps and dialogs, and what is refused while the solver is busy.
#include "e2e/program_fixture.h"

#include <fstream>

namespace kvarlo::testing {
namespace {

const std::string appTitle = "Головоломка \"Кварло 1\"";

class WithDefaultFigure : public ProgramTest {
protected:
    void prepareFolder(const std::filesystem::path& folder) override { writeDefaultFigure(folder); }
};

using WithoutDefaultFigure = ProgramTest;

TEST_F(WithDefaultFigure, StartsAGameOnTheDefaultFigure) {
    EXPECT_EQ(title(), appTitle + " - Фигура default");
    EXPECT_EQ(state().window.mode, AppMode::Game);
    EXPECT_EQ(state().game.initialMatches, 3);
    EXPECT_EQ(state().history.total, 0);
    EXPECT_STREQ(state().documentName.text, "default");
    EXPECT_GT(state().board.countMovable(), 0);
}

TEST_F(WithoutDefaultFigure, StartsInTheEditorWithTheVersionInTheTitle) {
    EXPECT_EQ(title(), appTitle + " Public Version 25.02");
    EXPECT_EQ(state().window.mode, AppMode::Editor);
    EXPECT_STREQ(state().documentName.text, "untitled");
    EXPECT_EQ(state().board.countMatches(), 0);
}

TEST_F(WithDefaultFigure, ArrowKeysAndBackspaceWalkTheHistoryInGameModeOnly) {
    clickSlot(ref(24, 1));
    clickSlot(ref(17, 1));
    ASSERT_TRUE(jumpFirst());
    const int32_t total = state().history.total;
    ASSERT_EQ(total, 2);

    keyDown(VK_LEFT);
    EXPECT_EQ(state().history.current, total - 1);
    keyDown(VK_UP);
    EXPECT_EQ(state().history.current, 0);
    keyDown(VK_BACK);  // nothing left to take back
    EXPECT_EQ(state().history.current, 0);
    keyDown(VK_RIGHT);
    EXPECT_EQ(state().history.current, 1);
    keyDown(VK_DOWN);
    EXPECT_EQ(state().history.current, total);

    command(ID_FIGURE_EDIT);  // the editor: history forgotten, keys and history commands inert
    EXPECT_EQ(state().window.mode, AppMode::Editor);
    EXPECT_EQ(state().history.total, 0);
    const int before = beeps();
    keyDown(VK_LEFT);
    command(ID_GAME_BACK);
    command(ID_GAME_FIRST);
    EXPECT_EQ(beeps(), before);
}

TEST_F(WithDefaultFigure, KeyReleasesSwitchTheDisplay) {
    keyUp(VK_DIVIDE);
    EXPECT_EQ(state().window.showStats, 0);
    keyUp(VK_SPACE);
    EXPECT_EQ(state().window.statsColumnMode, 2);
    EXPECT_EQ(state().window.showStats, 1);
    keyUp(VK_SPACE);
    EXPECT_EQ(state().window.statsColumnMode, 0);
    keyUp(VK_SPACE);
    EXPECT_EQ(state().window.statsColumnMode, 1);

    keyUp(VK_MULTIPLY);
    EXPECT_EQ(state().window.showBoard, 0);
    // A click while the board is hidden waits, and takes effect once it is shown again.
    clickSlot(ref(24, 1));
    EXPECT_EQ(state().window.clickPending, 1);
    EXPECT_FALSE(state().board.slot(ref(24, 1)).selected);
    keyUp(VK_MULTIPLY);
    EXPECT_EQ(state().window.showBoard, 1);
    EXPECT_EQ(state().window.clickPending, 0);
    EXPECT_TRUE(state().board.slot(ref(24, 1)).selected);

    keyUp(VK_SUBTRACT);  // a stop request while idle is dropped
    EXPECT_EQ(solverBusy(), 0);
}

// Only a left press is a click (in the editor it would take the match away); and a paint with no
// press pending draws the frame again from the same state.
TEST_F(WithDefaultFigure, ARightPressAndARepaintChangeNothing) {
    command(ID_FIGURE_EDIT);
    const std::vector<uint8_t> before = nodeBytes(state().board);
    const ScreenPoint p = slotMiddle(ref(24, 1));
    clickAt(p.x, p.y, false);
    EXPECT_EQ(state().window.clickPending, 0);
    EXPECT_EQ(nodeBytes(state().board), before);

    const QImage first = frame();
    send(WM_PAINT);
    EXPECT_EQ(nodeBytes(state().board), before);
    EXPECT_EQ(state().history.total, 0);
    EXPECT_EQ(frame(), first);
}

TEST_F(WithDefaultFigure, CommandsOutsideTheirModeBeepAndShowNoDialog) {
    command(ID_SOLVER_SEARCH);
    command(ID_SOLVER_BEST_TO_GAME);
    command(ID_SOLUTION_SAVE);
    EXPECT_EQ(beeps(), 3);
    EXPECT_EQ(solverBusy(), 0);
    command(ID_FIGURE_EDIT);
    command(ID_GAME_SAVE);
    EXPECT_EQ(beeps(), 4);
    EXPECT_TRUE(seam::fileDialogLog().empty());
    EXPECT_EQ(state().window.mode, AppMode::Editor);
}

TEST_F(WithDefaultFigure, ACancelledOpenBeepsAndChangesNothing) {
    clickSlot(ref(24, 1));
    clickSlot(ref(17, 1));
    const std::string before = title();
    for (int id : {ID_FIGURE_OPEN, ID_GAME_OPEN, ID_SOLUTION_OPEN}) {
        seam::cancelNextFileDialog();
        command(id);
    }
    EXPECT_EQ(beeps(), 3);
    EXPECT_EQ(title(), before);
    EXPECT_EQ(state().window.mode, AppMode::Game);
    EXPECT_EQ(state().history.total, 1);
    // A cancelled save is silent; no cancel says more than the beep.
    seam::cancelNextFileDialog();
    command(ID_GAME_SAVE);
    EXPECT_EQ(beeps(), 3);
    EXPECT_TRUE(messages().empty());
}

// A save that cannot be written: the beep and one message naming the file and the reason; the
// title and the document name stay as they were, and nothing is written.
TEST_F(WithDefaultFigure, AFailedSaveBeepsAndSaysWhyAndKeepsTheName) {
    const std::string before = title();
    // Under a file, where no folder can be: the save cannot even begin.
    const std::string target = (folder_ / "default.t1a" / "star").string();
    seam::answerNextFileDialog(target);
    command(ID_FIGURE_SAVE);
    seam::answerNextFileDialog(target);
    command(ID_GAME_SAVE);
    EXPECT_EQ(beeps(), 2);
    const auto texts = messages();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].find("Не удалось сохранить Фигуру в файл\n\n" + target + ".t1a\n\n"), 0u)
        << texts[0];
    EXPECT_EQ(texts[1].find("Не удалось сохранить Игру в файл\n\n" + target + ".t1b\n\n"), 0u)
        << texts[1];
    EXPECT_EQ(seam::messageBoxLog()[0].type, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_EQ(title(), before);
    EXPECT_STREQ(state().documentName.text, "default");
    EXPECT_EQ(std::filesystem::file_size(folder_ / "default.t1a"), 918u);
}

// "λ-игра.t1b": a name the program's strings cannot hold gets one message, on save and on open,
// naming it as well as it can.
TEST_F(WithDefaultFigure, ANameTheProgramCannotSpellGetsOneMessage) {
    const std::string before = title();
    const std::string chosen =
        folder_.string() + "/" + reinterpret_cast<const char*>(u8"λ-игра.t1b");
    seam::answerNextFileDialogUtf8(chosen);
    command(ID_GAME_SAVE);
    seam::answerNextFileDialogUtf8(chosen);
    command(ID_GAME_OPEN);
    const auto texts = messages();
    ASSERT_EQ(texts.size(), 2u);
    const std::string shown = (folder_ / "?-игра.t1b").string();
    EXPECT_EQ(texts[0].find("Не удалось сохранить Игру в файл\n\n" + shown), 0u) << texts[0];
    EXPECT_EQ(texts[1].find("Не удалось открыть Игру из файла\n\n" + shown), 0u) << texts[1];
    EXPECT_EQ(beeps(), 2);
    EXPECT_EQ(title(), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(WithDefaultFigure, OpeningADamagedFileBeepsAndSaysSo) {
    const std::string before = title();
    const std::string damaged = (folder_ / "damaged.t1a").string();
    std::ofstream(damaged) << "not a figure at all";
    seam::answerNextFileDialog(damaged);
    command(ID_FIGURE_OPEN);
    EXPECT_EQ(beeps(), 1);
    const auto texts = messages();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "Не удалось открыть Фигуру из файла\n\n" + damaged +
                            "\n\nЭто не файл Фигуры для этого поля, или файл повреждён.");
    EXPECT_EQ(title(), before);
    EXPECT_EQ(state().board.countMatches(), 3);
    EXPECT_STREQ(state().documentName.text, "default");
}

TEST_F(WithDefaultFigure, SavingAndOpeningNameTheDocumentInTheTitle) {
    const std::string path = (folder_ / "star").string();
    seam::answerNextFileDialog(path);
    command(ID_FIGURE_SAVE);
    EXPECT_EQ(title(), appTitle + " - Фигура " + path);
    EXPECT_EQ(std::filesystem::file_size(path + ".t1a"), 918u);
    EXPECT_EQ(state().window.mode, AppMode::Game);
    const auto requests = seam::fileDialogLog();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].title, "Сохранить Фигуру в файл как");
    EXPECT_EQ(requests[0].proposedName, "default.t1a");
    EXPECT_EQ(requests[0].defaultExtension, "t1a");

    // A game saved after two moves opens with its history.
    clickSlot(ref(24, 1));
    clickSlot(ref(17, 1));
    seam::answerNextFileDialog(path);
    command(ID_GAME_SAVE);
    EXPECT_EQ(title(), appTitle + " - Игра " + path);
    EXPECT_EQ(seam::fileDialogLog().back().proposedName, path + ".t1b");
    command(ID_FIGURE_REMOVE);
    EXPECT_EQ(state().board.countMatches(), 0);
    seam::answerNextFileDialog(path + ".t1b");
    command(ID_GAME_OPEN);
    EXPECT_EQ(state().window.mode, AppMode::Game);
    EXPECT_EQ(state().history.total, 1);
    EXPECT_EQ(state().board.countMatches(), 2);

    // Opening the figure again starts a new game on it.
    seam::answerNextFileDialog(path + ".t1a");
    command(ID_FIGURE_OPEN);
    EXPECT_EQ(title(), appTitle + " - Фигура " + path);
    EXPECT_EQ(state().board.countMatches(), 3);
    EXPECT_EQ(state().history.total, 0);
    EXPECT_EQ(beeps(), 0);
    EXPECT_TRUE(messages().empty());
}

TEST_F(WithDefaultFigure, RemovingTheFigureAndStartingAnewGivesAnEmptyGame) {
    clickSlot(ref(24, 1));
    clickSlot(ref(17, 1));
    command(ID_FIGURE_REMOVE);
    EXPECT_EQ(state().window.mode, AppMode::Editor);
    command(ID_GAME_RESTART);
    EXPECT_EQ(state().window.mode, AppMode::Game);
    EXPECT_EQ(state().board.countMatches(), 0);
    EXPECT_EQ(state().history.current, 0);
    EXPECT_EQ(state().history.total, 0);
}

TEST_F(WithDefaultFigure, InterruptingWhileIdleOnlySwitchesToTheSolver) {
    command(ID_FIGURE_EDIT);
    const std::string before = title();
    command(ID_SOLVER_STOP);
    EXPECT_EQ(state().window.mode, AppMode::Solver);
    EXPECT_EQ(solverBusy(), 0);
    EXPECT_EQ(title(), before);
}

TEST_F(WithDefaultFigure, WhileBusyOnlyTheHarmlessInputIsAccepted) {
    // A search that runs longer than the test, with the window back in the game meanwhile (no
    // command can get there while the search runs), where clicks and most commands would act.
    state().board = fullBoardLessOne();
    command(ID_SOLVER_SEARCH_ANEW);
    ASSERT_EQ(solverBusy(), 1);
    state().window.mode = AppMode::Game;
    recomputeMovable(state().board);
    const int32_t matches = state().board.countMatches();
    const auto sounds = seam::soundLog().size();

    command(ID_FIGURE_OPEN);
    command(ID_GAME_SAVE);
    command(ID_SOLVER_SEARCH);
    command(ID_FIGURE_REMOVE);
    EXPECT_TRUE(seam::fileDialogLog().empty());
    EXPECT_EQ(seam::soundLog().size(), sounds);  // not even a beep
    EXPECT_EQ(state().board.countMatches(), matches);

    keyDown(VK_LEFT);
    keyUp(VK_ADD);
    keyUp(VK_INSERT);
    EXPECT_EQ(solverBusy(), 1);
    EXPECT_EQ(state().window.mode, AppMode::Game);  // VK_INSERT brought no solution in

    const auto jump = firstJump(state().board);
    ASSERT_TRUE(jump);
    const EdgeRef movable = jump->first;
    const ScreenPoint p = slotMiddle(movable);
    clickAt(p.x, p.y);
    EXPECT_EQ(state().window.mouseX, p.x);
    EXPECT_EQ(state().window.mouseY, p.y);
    EXPECT_EQ(state().window.clickPending, 0);
    EXPECT_FALSE(state().board.slot(movable).selected);

    keyUp(VK_SPACE);
    EXPECT_EQ(state().window.statsColumnMode, 2);

    command(ID_HELP_MANUAL);
    command(ID_HELP_SITE);
    command(ID_HELP_PRODUCT);
    ASSERT_EQ(seam::shellLog().size(), 3u);
    EXPECT_NE(seam::shellLog()[0].find("help.txt"), std::string::npos);
    // Run from the build tree, nothing is installed beside the program: the two pages are the
    // checkout's own read-me and figure page, files that exist.
    EXPECT_TRUE(std::filesystem::is_regular_file(seam::shellLog()[1])) << seam::shellLog()[1];
    EXPECT_TRUE(std::filesystem::is_regular_file(seam::shellLog()[2])) << seam::shellLog()[2];
    EXPECT_NE(seam::shellLog()[1].find("README.md"), std::string::npos);
    EXPECT_NE(seam::shellLog()[2].find("figures"), std::string::npos);

    command(ID_SOLVER_STOP);  // stops, and shows the solver
    EXPECT_NE(solverBusy(), 1);
    EXPECT_EQ(state().window.mode, AppMode::Solver);
    EXPECT_EQ(state().history.total, 0);
    EXPECT_TRUE(waitWhileBusy());
}

}  // namespace
}  // namespace kvarlo::testing
