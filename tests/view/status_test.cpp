// The status panel's texts, positions and colours in each mode, and the solver statistics.
#include <gtest/gtest.h>

#include "platform/cp1251.h"
#include "view/status.h"

namespace kvarlo {
namespace {

// The panel of one test: an empty 7 x 7 board, a fresh game and empty results.
struct Panel {
    Board board{7, 7};
    WindowState window;
    MoveHistory history;
    GameState state;
    SolverResults results;
    int32_t busy = 0;

    std::vector<StatusLine> lines(int32_t height = 480) {
        return composeStatus(board, window, history, state, results, busy, height);
    }
    void spectrum(std::initializer_list<int64_t> counts) {
        results.spectrumCount = static_cast<int32_t>(counts.size());
        int32_t i = 0;
        for (int64_t c : counts) {
            results.spectrum[i++] = c;
        }
    }
};

// The text drawn at (x, y), or "<none>".
std::string at(const std::vector<StatusLine>& lines, int32_t x, int32_t y) {
    for (const StatusLine& l : lines) {
        if (l.x == x && l.y == y) {
            return l.text;
        }
    }
    return "<none>";
}

uint32_t colourAt(const std::vector<StatusLine>& lines, int32_t x, int32_t y) {
    for (const StatusLine& l : lines) {
        if (l.x == x && l.y == y) {
            return l.colour;
        }
    }
    return 0xFFFFFFFF;
}

TEST(StatusPanel, GameModeCountsTheMatchesAndShowsTheGamesTime) {
    Panel p;
    p.window.mode = AppMode::Game;
    p.board.slot(EdgeRef{24, 0}).hasMatch = 1;
    p.board.slot(EdgeRef{24, 1}).hasMatch = 1;
    p.board.slot(EdgeRef{24, 1}).movable = 1;
    p.state.initialMatches = 5;
    p.state.startTime = 100;
    p.state.elapsedSeconds = 42;
    p.history.current = 3;
    const GameState before = p.state;
    auto lines = p.lines(400);
    EXPECT_EQ(at(lines, 8, 16), "Игра, спичек");
    EXPECT_EQ(at(lines, 8, 32), "в начале: 5");
    EXPECT_EQ(at(lines, 8, 48), "осталось: 2");
    EXPECT_EQ(at(lines, 8, 64), "ходовых: 1");
    EXPECT_EQ(at(lines, 8, 368), "Сделано ходов: 3 за 42 сек");
    EXPECT_EQ(colourAt(lines, 8, 16), textColour);
    EXPECT_EQ(colourAt(lines, 8, 368), dimTextColour);
    EXPECT_EQ(lines.size(), 5u);
    EXPECT_EQ(p.state.elapsedSeconds, before.elapsedSeconds);  // composing changes nothing
    EXPECT_EQ(p.state.startTime, before.startTime);

    p.state.gameOver = 1;
    lines = p.lines(400);
    EXPECT_EQ(at(lines, 8, 16), "Конец, спичек");
    EXPECT_EQ(at(lines, 8, 368), "Сделано ходов: 3 за 42 сек");
}

// A file may claim the slot (3, 0) to (4, 0), which the hexagon lacks, with a match and a
// movable mark on it: the panel counts neither, as the game and the solver do not.
TEST(StatusPanel, AMatchOnASlotTheBoardLacksIsNotCounted) {
    Panel p;
    p.window.mode = AppMode::Game;
    EdgeSlot& claimed = p.board.slot(EdgeRef{3, 0});
    claimed.exists = claimed.hasMatch = claimed.movable = 1;
    p.board.slot(EdgeRef{3, 1}).hasMatch = 1;
    auto lines = p.lines(400);
    EXPECT_EQ(at(lines, 8, 48), "осталось: 1");
    EXPECT_EQ(at(lines, 8, 64), "ходовых: 0");
    p.window.mode = AppMode::Editor;
    EXPECT_EQ(at(p.lines(), 8, 32), "спичек: 1");
}

TEST(StatusPanel, EditorAndSolverNameTheModeAndCountTheMatches) {
    Panel p;
    p.board.slot(EdgeRef{24, 0}).hasMatch = 1;
    p.window.mode = AppMode::Editor;
    auto lines = p.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(at(lines, 8, 16), "Редактор");
    EXPECT_EQ(at(lines, 8, 32), "спичек: 1");
    p.window.mode = AppMode::Solver;
    lines = p.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(at(lines, 8, 16), "Решатель");
    EXPECT_EQ(at(lines, 8, 32), "спичек: 1");
}

TEST(StatusPanel, TheStatisticsShowWhileASearchRunsOrResultsExistAndAreNotHidden) {
    Panel p;
    p.window.mode = AppMode::Editor;
    p.results.depth = 4;
    EXPECT_EQ(p.lines().size(), 2u);  // nothing to show

    p.busy = 1;
    auto lines = p.lines();
    EXPECT_EQ(at(lines, 8, 64), "Неполный перебор 3");
    p.busy = 0;
    p.results.status = 2;
    lines = p.lines();
    EXPECT_EQ(at(lines, 8, 64), "Полный перебор 3");
    p.window.showStats = 0;
    EXPECT_EQ(p.lines().size(), 2u);

    // In a game the block starts further down, below the four count lines.
    p.window.showStats = 1;
    p.window.mode = AppMode::Game;
    p.state.gameOver = 1;
    lines = p.lines();
    EXPECT_EQ(at(lines, 8, 96), "Полный перебор 3");
}

TEST(StatusPanel, ProgressMovesSpeedAndTime) {
    Panel p;
    p.window.mode = AppMode::Solver;
    p.results.status = 1;
    p.results.progressDone = 12;
    p.results.progressTotal = 340;
    p.results.positionsExamined = 6000000000LL;  // past 32 bits
    auto lines = p.lines();
    EXPECT_EQ(at(lines, 8, 80), "Прогресс 12 из 340");
    EXPECT_EQ(at(lines, 8, 96), "Ходов 6000000000");
    EXPECT_EQ(colourAt(lines, 8, 96), dimTextColour);
    EXPECT_EQ(at(lines, 8, 112), "Спектр:");  // no time yet: the heading moves up

    p.results.elapsedMs = 2500;
    lines = p.lines();
    EXPECT_EQ(at(lines, 8, 112), "2.4e+06 тыс х/с");
    EXPECT_EQ(at(lines, 8, 128), "Время 2.5 сек");
    EXPECT_EQ(at(lines, 8, 144), "Спектр:");

    p.results.elapsedMs = 999999;
    EXPECT_EQ(at(p.lines(), 8, 128), "Время 1000 сек");
    p.results.elapsedMs = 1000000;
    EXPECT_EQ(at(p.lines(), 8, 128), "Время 1000 сек");
    p.results.elapsedMs = 1234567;
    EXPECT_EQ(at(p.lines(), 8, 128), "Время 1234 сек");
    p.results.elapsedMs = -5;
    EXPECT_EQ(at(p.lines(), 8, 112), "Спектр:");
}

TEST(StatusPanel, SpectrumRowsWithDifficultiesOrShares) {
    Panel p;
    p.window.mode = AppMode::Editor;
    p.results.status = 1;
    p.spectrum({77, 0, 3, 0, 1});
    auto lines = p.lines();
    EXPECT_EQ(at(lines, 8, 112), "Спектр:");
    EXPECT_EQ(at(lines, 148, 112), "сложность:");
    EXPECT_EQ(at(lines, 8, 128), "01:  00");
    EXPECT_EQ(at(lines, 8, 144), "02:  03");
    EXPECT_EQ(at(lines, 8, 160), "04:  01");
    EXPECT_EQ(at(lines, 148, 128), "0.0");
    EXPECT_EQ(at(lines, 148, 144), "1.3");
    EXPECT_EQ(at(lines, 148, 160), "4.0");
    EXPECT_EQ(at(lines, 8, 176), "02: cложность  1.3");
    EXPECT_EQ(colourAt(lines, 8, 176), textColour);
    EXPECT_EQ(colourAt(lines, 148, 144), dimTextColour);
    EXPECT_EQ(at(lines, 8, 192), "<none>");

    p.window.statsColumnMode = 2;
    lines = p.lines();
    EXPECT_EQ(at(lines, 148, 112), "    доля:");
    EXPECT_EQ(at(lines, 148, 128), "0.000000000");
    EXPECT_EQ(at(lines, 148, 144), "0.750000000");
    EXPECT_EQ(at(lines, 148, 160), "0.250000000");
    EXPECT_EQ(at(lines, 8, 176), "02: cложность  1.3");

    p.window.statsColumnMode = 0;
    lines = p.lines();
    EXPECT_EQ(at(lines, 148, 112), "<none>");
    EXPECT_EQ(at(lines, 148, 144), "<none>");
    EXPECT_EQ(at(lines, 8, 176), "02: cложность  1.3");
}

TEST(StatusPanel, SummaryOfEmptyAndAllZeroSpectra) {
    Panel p;
    p.window.mode = AppMode::Editor;
    p.results.status = 1;
    p.spectrum({5});
    auto lines = p.lines();
    EXPECT_EQ(at(lines, 8, 128), "00: cложность  0.0");  // right under the heading

    p.spectrum({0, 0, 0, 0});
    lines = p.lines();
    EXPECT_EQ(at(lines, 8, 128), "01:  00");
    EXPECT_EQ(at(lines, 148, 128), "0.0");
    EXPECT_EQ(at(lines, 8, 144), "01: cложность  0.0");
}

TEST(StatusPanel, NeverReadsPastTheSpectrumArray) {
    Panel p;
    p.window.mode = AppMode::Editor;
    p.results.status = 1;
    p.results.spectrumCount = 300;  // only a damaged file could say so
    for (int32_t i = 0; i < solverCapacity; ++i) {
        p.results.spectrum[i] = i;
    }
    const auto lines = p.lines();
    // 147 rows, their 147 difficulties, two headings, the summary and the fixed lines.
    EXPECT_EQ(at(lines, 8, 112 + 16 * 147), "147:  147");
    EXPECT_EQ(at(lines, 8, 112 + 16 * 148), "01: cложность  10878.0");
}

// The panel's texts are Windows-1251 bytes whichever compiler built the program: gcc converts
// the literals itself, clang builds compile a converted copy. The expected texts are UTF-8 (u8
// literals, which no build converts) and the panel's bytes are read through the 1251 table, so
// this holds only when the bytes are 1251 and the very ones gcc makes.
std::string utf8(const char8_t* text) {
    return reinterpret_cast<const char*>(text);
}

TEST(StatusPanel, TextsAreWindows1251WhicheverCompilerBuiltThem) {
    Panel p;
    p.board.slot(EdgeRef{24, 0}).hasMatch = 1;
    p.window.mode = AppMode::Editor;
    EXPECT_EQ(cp1251ToUtf8(at(p.lines(), 8, 16)), utf8(u8"Редактор"));
    p.window.mode = AppMode::Solver;
    EXPECT_EQ(cp1251ToUtf8(at(p.lines(), 8, 16)), utf8(u8"Решатель"));
    EXPECT_EQ(cp1251ToUtf8(at(p.lines(), 8, 32)), utf8(u8"спичек: 1"));

    p.results.status = 2;
    p.results.depth = 4;
    p.results.progressDone = 1;
    p.results.progressTotal = 2;
    p.results.elapsedMs = 2500;
    p.spectrum({0, 3});
    auto lines = p.lines();
    EXPECT_EQ(cp1251ToUtf8(at(lines, 8, 64)), utf8(u8"Полный перебор 3"));
    EXPECT_EQ(cp1251ToUtf8(at(lines, 8, 80)), utf8(u8"Прогресс 1 из 2"));
    EXPECT_EQ(cp1251ToUtf8(at(lines, 8, 128)), utf8(u8"Время 2.5 сек"));
    EXPECT_EQ(cp1251ToUtf8(at(lines, 8, 144)), utf8(u8"Спектр:"));
    EXPECT_EQ(cp1251ToUtf8(at(lines, 148, 144)), utf8(u8"сложность:"));

    p.window.mode = AppMode::Game;
    p.state.gameOver = 1;
    p.history.current = 3;
    p.state.elapsedSeconds = 42;
    EXPECT_EQ(cp1251ToUtf8(at(p.lines(400), 8, 16)), utf8(u8"Конец, спичек"));
    EXPECT_EQ(cp1251ToUtf8(at(p.lines(400), 8, 368)), utf8(u8"Сделано ходов: 3 за 42 сек"));
}

}  // namespace
}  // namespace kvarlo
