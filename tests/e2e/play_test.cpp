// Whole flows through the real input path: Qt mouse and key events on the window, the frames it
// presents, the jump sound, and the solver searching, stopping and handing its best solution
// to the game.
#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <string>

#include "e2e/program_fixture.h"
#include "view/status.h"

namespace kvarlo::testing {
namespace {

class Play : public ProgramTest {
protected:
    void prepareFolder(const std::filesystem::path& folder) override { writeDefaultFigure(folder); }
    // A real press of the left button at a client pixel, through Qt.
    void pressAt(ScreenPoint p) {
        QTest::mouseClick(seam::clientWidget(mainWindow), Qt::LeftButton, Qt::NoModifier,
                          QPoint(p.x, p.y));
        pump();
    }
    void keypad(Qt::Key key) {
        QTest::keyClick(seam::clientWidget(mainWindow), key, Qt::KeypadModifier);
        pump();
    }
    QRgb pixel(ScreenPoint p) { return frame().pixel(p.x, p.y) & 0xFFFFFF; }
    // In the editor: every slot but the centre's holds a match, a figure far too big for the
    // search to finish here.
    void editAlmostFullBoard() {
        command(ID_FIGURE_EDIT);
        state().board = fullBoardLessOne(ref(24, 0));
    }
};

constexpr QRgb brown = 0xB47800;   // red 180, green 120, blue 0
constexpr QRgb orange = 0xD28C00;  // red 210, green 140
constexpr QRgb grid = 0x808080;
constexpr QRgb background = 0xB0B0B0;

TEST_F(Play, AClickSelectsAndASecondClickJumpsWithItsSound) {
    const ScreenPoint from = slotMiddle(ref(24, 1));
    const ScreenPoint to = slotMiddle(ref(17, 1));
    const ScreenPoint over = slotMiddle(ref(24, 0));
    EXPECT_EQ(pixel(to), grid);  // an empty slot: the thin line

    pressAt(from);
    EXPECT_TRUE(state().board.slot(ref(24, 1)).selected);
    EXPECT_EQ(pixel(from), orange);  // the selected match
    EXPECT_EQ(pixel(to), orange);    // its landing slot

    pressAt(to);
    EXPECT_EQ(state().history.total, 1);
    EXPECT_EQ(state().board.countMatches(), 2);
    EXPECT_EQ(pixel(to), brown);
    EXPECT_NE(pixel(over), brown);
    const auto sounds = seam::soundLog();
    ASSERT_FALSE(sounds.empty());
    EXPECT_EQ(sounds.back().kind, seam::SoundEvent::Kind::File);
    EXPECT_EQ(sounds.back().name, "explosio.wav");
}

TEST_F(Play, TheGamePlaysDownToOneMatchAndEnds) {
    pressAt(slotMiddle(ref(24, 1)));
    pressAt(slotMiddle(ref(17, 1)));
    while (jumpFirst()) {
    }
    EXPECT_EQ(state().board.countMatches(), 1);
    EXPECT_EQ(state().game.gameOver, 1);
    // Undo through the keyboard keeps the game ended; the keypad keys reach the window too.
    QTest::keyClick(seam::clientWidget(mainWindow), Qt::Key_Left);
    pump();
    EXPECT_EQ(state().history.current, state().history.total - 1);
    EXPECT_EQ(state().game.gameOver, 1);
    keypad(Qt::Key_Asterisk);
    EXPECT_EQ(state().window.showBoard, 0);
    EXPECT_EQ(pixel(slotMiddle(ref(31, 0))), background);
}

TEST_F(Play, TheSolverSolvesAndItsBestSolutionReplaysInTheGame) {
    command(ID_SOLVER_SEARCH_ANEW);
    EXPECT_EQ(state().window.mode, AppMode::Solver);
    ASSERT_TRUE(waitWhileBusy());
    const SolverResults& r = state().results;
    EXPECT_EQ(r.status, 2);
    ASSERT_GE(r.spectrumCount, 2);
    EXPECT_GT(r.spectrum[1], 0);
    ASSERT_EQ(r.bestCount, 2);

    command(ID_SOLVER_BEST_TO_GAME);
    EXPECT_EQ(state().window.mode, AppMode::Game);
    EXPECT_EQ(state().history.current, 0);
    EXPECT_EQ(state().history.total, 2);
    EXPECT_TRUE(state().board.slot(r.bestSolution[0].from).selected);
    QTest::keyClick(seam::clientWidget(mainWindow), Qt::Key_Right);
    pump();
    QTest::keyClick(seam::clientWidget(mainWindow), Qt::Key_Right);
    pump();
    EXPECT_EQ(state().history.current, 2);
    EXPECT_EQ(state().board.countMatches(), 1);
}

// Insert with results at hand: in the solver it brings the best into the game (as the menu
// does); in any other mode it searches on and leaves the mode alone.
TEST_F(Play, InsertBringsTheBestIntoTheGameInTheSolverAndSearchesOnElsewhere) {
    command(ID_SOLVER_SEARCH_ANEW);
    ASSERT_TRUE(waitWhileBusy());
    ASSERT_EQ(state().results.bestCount, 2);

    command(ID_FIGURE_EDIT);
    keyUp(VK_INSERT);
    EXPECT_GE(solverBusy(), 1);
    ASSERT_TRUE(waitWhileBusy());
    EXPECT_EQ(state().window.mode, AppMode::Editor);
    EXPECT_EQ(state().results.status, 2);

    command(ID_SOLVER_STOP);  // back to the solver, idle
    ASSERT_EQ(state().window.mode, AppMode::Solver);
    keyUp(VK_INSERT);
    EXPECT_EQ(solverBusy(), 0);
    EXPECT_EQ(state().window.mode, AppMode::Game);
    EXPECT_EQ(state().history.current, 0);
    EXPECT_EQ(state().history.total, 2);
}

TEST_F(Play, ABestSolutionThatNoLongerFitsTheBoardIsRefused) {
    command(ID_SOLVER_SEARCH_ANEW);
    ASSERT_TRUE(waitWhileBusy());
    command(ID_FIGURE_EDIT);
    clickSlot(ref(24, 1));    // the editor takes a match away
    command(ID_SOLVER_STOP);  // back to the solver, with the old results
    ASSERT_EQ(state().window.mode, AppMode::Solver);
    const int before = beeps();
    command(ID_SOLVER_BEST_TO_GAME);
    EXPECT_EQ(beeps(), before + 1);
    EXPECT_EQ(state().window.mode, AppMode::Solver);
    EXPECT_EQ(state().history.total, 0);
}

TEST_F(Play, KeypadMinusStopsALongSearchAndKeypadPlusGoesOn) {
    editAlmostFullBoard();
    command(ID_SOLVER_SEARCH_ANEW);
    ASSERT_GE(solverBusy(), 1);
    // Until the window's ticks show the search under way.
    ASSERT_TRUE(QTest::qWaitFor(
        [this] {
            pump();
            return state().results.depth >= 1;
        },
        20000));
    keypad(Qt::Key_Minus);
    ASSERT_TRUE(waitWhileBusy(std::chrono::seconds(5)));
    EXPECT_EQ(state().results.status, 1);
    const int32_t depth = state().results.depth;
    EXPECT_GE(depth, 1);

    keypad(Qt::Key_Plus);  // goes on from where it stopped
    EXPECT_GE(solverBusy(), 1);
    EXPECT_EQ(state().window.showStats, 1);
    keyUp(VK_SUBTRACT);
    ASSERT_TRUE(waitWhileBusy(std::chrono::seconds(5)));
    EXPECT_GE(state().results.depth, depth);
}

TEST_F(Play, AStoppedSearchOnADenseFigureNamesTheBestItFoundAndThatIsWhatThePlayReaches) {
    editAlmostFullBoard();
    const int32_t matches = state().board.countMatches();
    command(ID_SOLVER_SEARCH_ANEW);
    ASSERT_GE(solverBusy(), 1);
    // Until the best-ending search has a solution down to a single match (each jump takes one
    // away), so no class lies below it, and the probes have estimated other classes: the
    // layers of this figure end no game for a long while, so those counts are estimates.
    const auto estimatedWithABest = [this, matches] {
        pump();
        const SolverResults& r = state().results;
        const int64_t* counts = r.spectrum.data();
        return r.bestCount == matches - 1 &&
               std::any_of(counts + 2, counts + r.spectrumCount, [](int64_t c) { return c > 0; });
    };
    ASSERT_TRUE(QTest::qWaitFor(estimatedWithABest, 60000));
    command(ID_SOLVER_STOP);
    ASSERT_TRUE(waitWhileBusy(std::chrono::seconds(5)));
    const SolverResults& r = state().results;
    ASSERT_EQ(r.status, 1);
    ASSERT_GT(r.bestCount, 0);

    // The panel's last solver line: "NN: cложность  D", the lowest class with games in it.
    const std::vector<StatusLine> lines =
        composeSolverStats(r, state().window.statsColumnMode, 0, 0);
    ASSERT_FALSE(lines.empty());
    const std::string summary = lines.back().text;
    ASSERT_GE(summary.size(), 4u);
    const int named = std::stoi(summary.substr(0, 2));
    const double difficulty = std::strtod(summary.substr(summary.rfind(' ') + 1).c_str(), nullptr);
    EXPECT_GE(difficulty, 1.0) << summary;

    command(ID_SOLVER_BEST_TO_GAME);
    ASSERT_EQ(state().window.mode, AppMode::Game);
    QTest::keyClick(seam::clientWidget(mainWindow), Qt::Key_Down);  // to the last jump
    pump();
    EXPECT_EQ(state().history.current, r.bestCount);
    EXPECT_EQ(state().board.countMovable(), 0);  // a real ending
    EXPECT_EQ(state().board.countMatches(), named) << summary;
}

TEST_F(Play, ClosingTheWindowDuringASearchStopsIt) {
    editAlmostFullBoard();
    command(ID_SOLVER_SEARCH_ANEW);
    ASSERT_GE(solverBusy(), 1);
    command(IDM_EXIT);
    EXPECT_EQ(solverBusy(), 0);
    mainWindow = nullptr;
}

TEST_F(Play, ASolutionSavedAndOpenedAgainShowsTheSameStatistics) {
    command(ID_SOLVER_SEARCH_ANEW);
    ASSERT_TRUE(waitWhileBusy());
    const std::string path = (folder_ / "solved").string();
    seam::answerNextFileDialog(path);
    command(ID_SOLUTION_SAVE);
    ASSERT_TRUE(std::filesystem::exists(path + ".t1c"));
    const SolverResults saved = state().results;

    command(ID_FIGURE_REMOVE);
    EXPECT_EQ(state().results.status, 0);
    seam::answerNextFileDialog(path + ".t1c");
    command(ID_SOLUTION_OPEN);
    const SolverResults& r = state().results;
    EXPECT_EQ(state().window.mode, AppMode::Solver);
    EXPECT_EQ(r.status, saved.status);
    EXPECT_EQ(r.bestCount, saved.bestCount);
    EXPECT_EQ(r.spectrumCount, saved.spectrumCount);
    EXPECT_EQ(r.positionsExamined, saved.positionsExamined);
    EXPECT_EQ(state().board.countMatches(), 3);
}

}  // namespace
}  // namespace kvarlo::testing
