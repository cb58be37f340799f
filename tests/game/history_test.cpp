// A game played through clicks at pixels: selection, jumps, the history with undo, redo and
// going to a move, the end of the game with its clock, and the editor's clicks.
#include <gtest/gtest.h>

#include <algorithm>

#include <cstring>
#include <random>

#include "game/click.h"
#include "shell/pending_click.h"
#include "support/boards.h"
#include "view/layout.h"

namespace kvarlo {
namespace {

using testing::ref;

int32_t fakeNow = 1000;

// The board, the game and the window of one test, with clicks made at the pixel in the middle
// of a slot on a 640 x 480 client and resolved by the paint handler's own step; the sounds the
// clicks ask for are kept.
struct Session {
    Board board{7, 7};
    MoveHistory history;
    GameState state;
    WindowState window;
    BoardLayout layout = computeLayout(640, 480, board);
    std::vector<std::string> sounds;

    Session() {
        fakeNow = 1000;
        window.mode = AppMode::Game;
    }

    void place(std::initializer_list<EdgeRef> matches) {
        for (EdgeRef r : matches) {
            board.slot(r).hasMatch = 1;
        }
    }
    // A left press at the pixel, resolved by the paint that follows.
    void clickAt(int32_t x, int32_t y) {
        window.mouseX = x;
        window.mouseY = y;
        window.clickPending = 1;
        const ClickOutcome outcome =
            resolvePendingClick(board, history, state, window, 640, 480, fakeNow);
        EXPECT_EQ(window.clickPending, 0);
        EXPECT_EQ(outcome.jumped, outcome.sound != nullptr);
        if (outcome.sound) {
            sounds.emplace_back(outcome.sound);
        }
    }
    void click(EdgeRef r) {
        const ScreenPoint p = nodeScreenPosition(board, r.node, layout);
        const ScreenPoint q =
            nodeScreenPosition(board, board.neighbourForward(r.node, r.direction), layout);
        clickAt((p.x + q.x) / 2, (p.y + q.y) / 2);
    }
    // Selects the match and clicks its landing slot.
    void jump(EdgeRef from, EdgeRef to) {
        click(from);
        ASSERT_TRUE(board.slot(from).selected);
        ASSERT_TRUE(board.slot(to).target);
        click(to);
    }
    // Makes the first jump the rule offers (in board order) and returns it.
    MoveRecord jumpFirst() {
        const auto first = testing::firstJump(board);
        if (!first) {
            ADD_FAILURE() << "no movable match";
            return {};
        }
        jump(first->first, first->second);
        return history.records[history.current - 1];
    }
    std::vector<EdgeRef> flagged(uint8_t EdgeSlot::*flag) const {
        std::vector<EdgeRef> out;
        for (int32_t i = 0; i < 49; ++i) {
            for (int32_t d = 0; d < 3; ++d) {
                if (board.nodes[i].edges[d].*flag) {
                    out.push_back(ref(i, d));
                }
            }
        }
        return out;
    }
};

using testing::nodeBytes;

// A dense figure with long games: the full board less a few slots.
void denseFigure(Session& s) {
    s.board = testing::fullBoardLessOne(ref(24, 0));
    for (EdgeRef r : {ref(10, 1), ref(38, 2)}) {
        s.board.slot(r).hasMatch = 0;
    }
}

TEST(NewGame, MarksTheMovableMatchesAndStartsTheClock) {
    Session s;
    s.place({ref(24, 0), ref(24, 1), ref(40, 0)});
    s.board.slot(ref(40, 0)).selected = 1;  // stale marks from before
    s.board.slot(ref(31, 0)).target = 1;
    newGame(s.board, s.history, s.state, fakeNow);
    EXPECT_EQ(s.history.current, 0);
    EXPECT_EQ(s.history.total, 0);
    EXPECT_EQ(s.state.gameOver, 0);
    EXPECT_EQ(s.state.initialMatches, 3);
    EXPECT_EQ(s.state.startTime, 1000);
    EXPECT_EQ(s.flagged(&EdgeSlot::movable), (std::vector<EdgeRef>{ref(24, 0), ref(24, 1)}));
    EXPECT_TRUE(s.flagged(&EdgeSlot::selected).empty());
    EXPECT_TRUE(s.flagged(&EdgeSlot::target).empty());
}

TEST(NewGame, RestartsFromTheFirstPositionOfTheGame) {
    Session s;
    denseFigure(s);
    newGame(s.board, s.history, s.state, fakeNow);
    const auto start = nodeBytes(s.board);
    s.jumpFirst();
    s.jumpFirst();
    newGame(s.board, s.history, s.state, fakeNow);
    EXPECT_EQ(nodeBytes(s.board), start);
    EXPECT_EQ(s.history.total, 0);
}

TEST(GameEnd, AStuckFigureEndsAtTheFirstResolvedClickOnly) {
    Session s;
    s.place({ref(24, 0)});
    newGame(s.board, s.history, s.state, fakeNow);
    fakeNow = 1030;
    s.clickAt(5, 5);  // far from every node: not resolved
    EXPECT_EQ(s.state.gameOver, 0);
    s.click(ref(24, 0));
    EXPECT_EQ(s.state.gameOver, 1);
    EXPECT_EQ(s.state.elapsedSeconds, 30);
}

TEST(GameEnd, TheClockRunsUntilTheGameIsOver) {
    Session s;
    s.place({ref(24, 0), ref(24, 1)});
    newGame(s.board, s.history, s.state, fakeNow);
    tickClock(s.state, 1042);
    EXPECT_EQ(s.state.elapsedSeconds, 42);
    fakeNow = 1075;
    s.jump(ref(24, 0), ref(31, 0));
    ASSERT_EQ(s.state.gameOver, 1);
    tickClock(s.state, 1500);
    EXPECT_EQ(s.state.elapsedSeconds, 75);
}

TEST(GameEnd, TheLastJumpEndsTheGameAndUndoKeepsItEnded) {
    Session s;
    s.place({ref(24, 0), ref(24, 1)});
    newGame(s.board, s.history, s.state, fakeNow);
    fakeNow = 1075;
    s.jump(ref(24, 0), ref(31, 0));
    EXPECT_EQ(s.state.gameOver, 1);
    EXPECT_EQ(s.state.elapsedSeconds, 75);
    EXPECT_EQ(s.sounds, std::vector<std::string>{"explosio.wav"});

    fakeNow = 1200;
    EXPECT_TRUE(undoMove(s.board, s.history));
    EXPECT_EQ(s.state.gameOver, 1);
    EXPECT_EQ(s.state.elapsedSeconds, 75);
    EXPECT_EQ(s.sounds.size(), 1u);  // undo is silent

    // The hinted move, clicked, is made again and the game ends anew at the new time.
    s.click(ref(31, 0));
    EXPECT_EQ(s.state.gameOver, 1);
    EXPECT_EQ(s.state.elapsedSeconds, 200);
    EXPECT_EQ(s.sounds.size(), 2u);
}

TEST(History, UndoAndRedoHintTheNeighbouringMoves) {
    Session s;
    denseFigure(s);
    newGame(s.board, s.history, s.state, fakeNow);
    const MoveRecord first = s.jumpFirst();
    const MoveRecord second = s.jumpFirst();
    const MoveRecord third = s.jumpFirst();
    (void)first;
    ASSERT_TRUE(undoMove(s.board, s.history));
    ASSERT_TRUE(undoMove(s.board, s.history));
    EXPECT_EQ(s.history.current, 1);
    EXPECT_EQ(s.history.total, 3);
    EXPECT_EQ(s.flagged(&EdgeSlot::selected), std::vector<EdgeRef>{second.from});
    EXPECT_EQ(s.flagged(&EdgeSlot::target), std::vector<EdgeRef>{second.to});

    ASSERT_TRUE(redoMove(s.board, s.history));
    EXPECT_EQ(s.flagged(&EdgeSlot::selected), std::vector<EdgeRef>{third.from});
    EXPECT_EQ(s.flagged(&EdgeSlot::target), std::vector<EdgeRef>{third.to});
    ASSERT_TRUE(redoMove(s.board, s.history));
    EXPECT_TRUE(s.flagged(&EdgeSlot::selected).empty());
    EXPECT_TRUE(s.flagged(&EdgeSlot::target).empty());
    const auto end = nodeBytes(s.board);
    EXPECT_FALSE(redoMove(s.board, s.history));
    EXPECT_EQ(nodeBytes(s.board), end);
    EXPECT_EQ(s.history.current, 3);

    EXPECT_EQ(s.sounds.size(), 3u);
}

TEST(History, ANewJumpAfterUndoCutsTheHistory) {
    Session s;
    denseFigure(s);
    newGame(s.board, s.history, s.state, fakeNow);
    s.jumpFirst();
    const MoveRecord second = s.jumpFirst();
    s.jumpFirst();
    undoMove(s.board, s.history);
    undoMove(s.board, s.history);

    // Pick a movable match other than the hinted one and jump it somewhere.
    for (EdgeRef m : s.flagged(&EdgeSlot::movable)) {
        if (m == second.from) {
            continue;
        }
        s.click(m);
        const std::vector<EdgeRef> targets = s.flagged(&EdgeSlot::target);
        ASSERT_FALSE(targets.empty());
        EXPECT_EQ(s.flagged(&EdgeSlot::selected), std::vector<EdgeRef>{m});
        s.click(targets.front());
        break;
    }
    EXPECT_EQ(s.history.current, 2);
    EXPECT_EQ(s.history.total, 2);
    EXPECT_FALSE(s.history.records[1] == second);
    EXPECT_FALSE(redoMove(s.board, s.history));
}

TEST(History, GoToMoveWalksTheWholeGameAndBack) {
    Session s;
    denseFigure(s);
    newGame(s.board, s.history, s.state, fakeNow);
    std::vector<MoveRecord> moves;
    for (int i = 0; i < 5; ++i) {
        moves.push_back(s.jumpFirst());
    }
    goToMove(s.board, s.history, 0);
    EXPECT_EQ(s.history.current, 0);
    EXPECT_EQ(s.flagged(&EdgeSlot::selected), std::vector<EdgeRef>{moves[0].from});
    EXPECT_EQ(s.flagged(&EdgeSlot::target), std::vector<EdgeRef>{moves[0].to});

    const auto atStart = nodeBytes(s.board);
    goToMove(s.board, s.history, 0);
    EXPECT_EQ(nodeBytes(s.board), atStart);

    goToMove(s.board, s.history, s.history.total);
    EXPECT_EQ(s.history.current, 5);
    EXPECT_TRUE(s.flagged(&EdgeSlot::selected).empty());
    EXPECT_TRUE(s.flagged(&EdgeSlot::target).empty());
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(undoMove(s.board, s.history)) << i;
    }
    EXPECT_EQ(s.history.current, 0);
    EXPECT_FALSE(undoMove(s.board, s.history));  // nothing before the first move
    EXPECT_EQ(s.history.current, 0);
}

// Random games with random walks through their history: after every step the board holds
// exactly the position of that move, its fresh movable flags, and the hint of the step taken.
TEST(History, StepsThroughRandomGamesRestoreEveryFlag) {
    std::mt19937 random(99);
    for (int round = 0; round < 25; ++round) {
        Session s;
        for (int32_t i = 0; i < 49; ++i) {
            for (EdgeSlot& slot : s.board.nodes[i].edges) {
                slot.hasMatch = slot.exists && random() % 100 < 70;
            }
        }
        newGame(s.board, s.history, s.state, fakeNow);
        std::vector<std::vector<uint8_t>> positions{nodeBytes(s.board)};
        while (s.board.countMovable() > 0) {
            const std::vector<EdgeRef> movable = s.flagged(&EdgeSlot::movable);
            s.click(movable[random() % movable.size()]);
            const std::vector<EdgeRef> targets = s.flagged(&EdgeSlot::target);
            s.click(targets[random() % targets.size()]);
            positions.push_back(nodeBytes(s.board));
        }
        ASSERT_EQ(s.history.total, static_cast<int32_t>(positions.size()) - 1);
        EXPECT_EQ(s.state.gameOver, 1);

        for (int step = 0; step < 40; ++step) {
            const int action = random() % 3;
            if (action == 0) {
                undoMove(s.board, s.history);
            } else if (action == 1) {
                redoMove(s.board, s.history);
            } else {
                goToMove(s.board, s.history, random() % (s.history.total + 1));
            }
            // Remove the hint and compare with the position as it stood after that move.
            Board plain(s.board);
            std::vector<EdgeRef> hinted;
            for (int32_t i = 0; i < 49; ++i) {
                for (int32_t d = 0; d < 3; ++d) {
                    EdgeSlot& slot = plain.nodes[i].edges[d];
                    if (slot.selected || slot.target) {
                        hinted.push_back(ref(i, d));
                    }
                    slot.selected = slot.target = 0;
                }
            }
            ASSERT_EQ(nodeBytes(plain), positions[s.history.current]) << "round " << round;
            // Short of the end the next move is hinted, whichever step led here; at the end
            // nothing is.
            std::vector<EdgeRef> expectedHint;
            if (s.history.current < s.history.total) {
                const MoveRecord& next = s.history.records[s.history.current];
                EXPECT_TRUE(s.board.slot(next.from).selected);
                EXPECT_TRUE(s.board.slot(next.to).target);
                expectedHint = {next.from, next.to};
                std::sort(expectedHint.begin(), expectedHint.end(), [](EdgeRef a, EdgeRef b) {
                    return a.node * 3 + a.direction < b.node * 3 + b.direction;
                });
            }
            EXPECT_EQ(hinted, expectedHint) << "round " << round << " step " << step;
            EXPECT_EQ(s.state.gameOver, 1);
        }
    }
}

// A sequence found elsewhere (the solver, a solution file) becomes the history only when it
// still fits the board; then it is stepped through like a game played and taken back.
TEST(Sequence, InstallsAPlayableSequenceAndRefusesAnyOther) {
    Session s;
    denseFigure(s);
    newGame(s.board, s.history, s.state, fakeNow);
    std::vector<MoveRecord> moves;
    for (int i = 0; i < 4; ++i) {
        moves.push_back(s.jumpFirst());
    }
    const auto end = nodeBytes(s.board);
    goToMove(s.board, s.history, 0);
    const auto undone = nodeBytes(s.board);  // the start, with the first move hinted
    s.history = MoveHistory{};
    s.state.gameOver = 1;

    // Out of order, the second record is no jump on this board: nothing changes.
    std::vector<MoveRecord> shuffled{moves[1], moves[0], moves[2], moves[3]};
    const auto before = nodeBytes(s.board);
    EXPECT_FALSE(isPlayableSequence(s.board, shuffled));
    EXPECT_FALSE(installSequence(s.board, s.history, s.state, shuffled, 2000));
    EXPECT_EQ(nodeBytes(s.board), before);
    EXPECT_EQ(s.history.total, 0);
    EXPECT_EQ(s.state.gameOver, 1);

    ASSERT_TRUE(isPlayableSequence(s.board, moves));
    ASSERT_TRUE(installSequence(s.board, s.history, s.state, moves, 2000));
    EXPECT_EQ(s.history.current, 0);
    EXPECT_EQ(s.history.total, 4);
    EXPECT_EQ(s.state.gameOver, 0);
    EXPECT_EQ(s.state.startTime, 2000);
    EXPECT_EQ(s.state.initialMatches, s.board.countMatches());
    EXPECT_EQ(s.flagged(&EdgeSlot::selected), std::vector<EdgeRef>{moves[0].from});
    EXPECT_EQ(s.flagged(&EdgeSlot::target), std::vector<EdgeRef>{moves[0].to});
    EXPECT_EQ(nodeBytes(s.board), undone);
    goToMove(s.board, s.history, 4);
    EXPECT_EQ(nodeBytes(s.board), end);
    goToMove(s.board, s.history, 0);
    EXPECT_EQ(nodeBytes(s.board), undone);

    // More records than the history holds: refused whole.
    std::vector<MoveRecord> tooMany(historyCapacity + 1, moves[0]);
    EXPECT_FALSE(installSequence(s.board, s.history, s.state, tooMany, 3000));
    EXPECT_EQ(s.state.startTime, 2000);
}

TEST(Clicks, SelectionMovesBetweenMatchesAndOtherClicksKeepIt) {
    Session s;
    s.place({ref(24, 0), ref(24, 1), ref(40, 0), ref(10, 2)});
    newGame(s.board, s.history, s.state, fakeNow);

    s.click(ref(24, 0));
    EXPECT_EQ(s.flagged(&EdgeSlot::selected), std::vector<EdgeRef>{ref(24, 0)});
    EXPECT_EQ(s.flagged(&EdgeSlot::target), std::vector<EdgeRef>{ref(31, 0)});

    s.click(ref(40, 0));  // a match that cannot move
    s.click(ref(3, 2));   // an empty slot that is no target
    EXPECT_EQ(s.flagged(&EdgeSlot::selected), std::vector<EdgeRef>{ref(24, 0)});
    EXPECT_EQ(s.flagged(&EdgeSlot::target), std::vector<EdgeRef>{ref(31, 0)});

    s.click(ref(24, 1));  // another movable match
    EXPECT_EQ(s.flagged(&EdgeSlot::selected), std::vector<EdgeRef>{ref(24, 1)});
    EXPECT_EQ(s.flagged(&EdgeSlot::target), std::vector<EdgeRef>{ref(17, 1)});

    s.click(ref(24, 1));  // the selected one: dropped
    EXPECT_TRUE(s.flagged(&EdgeSlot::selected).empty());
    EXPECT_TRUE(s.flagged(&EdgeSlot::target).empty());
    EXPECT_EQ(s.history.total, 0);
    EXPECT_EQ(s.state.gameOver, 0);
}

TEST(Clicks, TheSolverIgnoresTheBoardButTheGameCanStillEnd) {
    Session s;
    s.window.mode = AppMode::Solver;
    s.place({ref(24, 0), ref(24, 1)});
    const auto before = nodeBytes(s.board);  // no marks yet: nothing movable
    s.click(ref(24, 0));
    EXPECT_EQ(nodeBytes(s.board), before);
    EXPECT_EQ(s.state.gameOver, 1);
}

TEST(Editor, ClicksSwitchMatchesOnExistingSlotsOnly) {
    Session s;
    s.window.mode = AppMode::Editor;
    s.click(ref(24, 0));
    EXPECT_TRUE(s.board.slot(ref(24, 0)).hasMatch);
    s.click(ref(24, 0));
    EXPECT_FALSE(s.board.slot(ref(24, 0)).hasMatch);

    s.board.slot(ref(24, 1)).exists = 0;
    s.click(ref(24, 1));
    EXPECT_FALSE(s.board.slot(ref(24, 1)).hasMatch);
    s.board.slot(ref(24, 1)).hasMatch = 1;  // a file can put one there; a click clears it
    s.click(ref(24, 1));
    EXPECT_FALSE(s.board.slot(ref(24, 1)).hasMatch);
    EXPECT_TRUE(s.flagged(&EdgeSlot::movable).empty());
}

TEST(ResetHistory, KeepsTheMatchesAndTheClockButForgetsTheMoves) {
    Session s;
    denseFigure(s);
    newGame(s.board, s.history, s.state, fakeNow);
    s.jumpFirst();
    s.jumpFirst();
    undoMove(s.board, s.history);
    const int32_t matches = s.board.countMatches();
    const GameState state = s.state;
    resetHistory(s.board, s.history);
    EXPECT_EQ(s.history.current, 0);
    EXPECT_EQ(s.history.total, 0);
    EXPECT_EQ(s.board.countMatches(), matches);
    EXPECT_EQ(s.board.countMovable(), 0);
    EXPECT_TRUE(s.flagged(&EdgeSlot::selected).empty());
    EXPECT_TRUE(s.flagged(&EdgeSlot::target).empty());
    EXPECT_EQ(s.state.initialMatches, state.initialMatches);
    EXPECT_EQ(s.state.startTime, state.startTime);
    EXPECT_EQ(s.state.gameOver, state.gameOver);
}

}  // namespace
}  // namespace kvarlo
