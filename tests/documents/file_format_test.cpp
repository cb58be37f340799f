// The three document images: their bytes against hand-assembled layouts, round trips, the
// limits of their sizes, and every reason a file is refused, each leaving the state untouched.
#include "documents/file_format.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "documents/document_bytes.h"
#include "support/test_files.h"

namespace kvarlo {
namespace {

using test::Bytes;
using test::jumpA;
using test::jumpB;
using test::World;

using testing::bytesOf;

// A figure with the two matches of jumpA/jumpB and some marks, which files keep as they are.
Board sourceBoard() {
    Board board(7, 7);
    board.nodes[24].edges[0].hasMatch = 1;
    board.nodes[24].edges[1].hasMatch = 1;
    board.nodes[24].edges[0].movable = 1;
    board.nodes[24].edges[1].movable = 1;
    board.nodes[31].edges[0].target = 1;
    board.nodes[24].edges[0].selected = 1;
    return board;
}

MoveHistory sourceHistory(int32_t total, int32_t current) {
    MoveHistory history;
    for (int32_t i = 0; i < historyCapacity; ++i) {
        history.records[i] = i % 2 == 0 ? jumpA : jumpB;
    }
    history.records[1] = MoveRecord{{10, 1}, {3, 1}, {10, 0}};
    history.total = total;
    history.current = current;
    return history;
}

SolverResults sourceResults(int32_t bestCount, int32_t spectrumCount) {
    SolverResults r;
    r.status = 2;
    r.depth = 7;
    r.auxCounter = 3;
    r.progressDone = 4;
    r.progressTotal = 9;
    r.positionsExamined = (int64_t{5} << 32) + 7;
    r.elapsedMs = 1234;
    r.bestCount = bestCount;
    r.spectrumCount = spectrumCount;
    for (int32_t i = 0; i < solverCapacity; ++i) {
        r.bestSolution[i] = i % 2 == 0 ? jumpA : jumpB;
        r.spectrum[i] = (int64_t{1} << 40) + i;
    }
    r.spectrum[0] = 0;
    r.spectrum[1] = 12;
    return r;
}

std::vector<uint8_t> figureImage() {
    return bytesOf(encodeFigure(sourceBoard(), 1000));
}

std::vector<uint8_t> gameImage(int32_t total = 2, int32_t current = 1) {
    GameState state{2, 0, 75, 0};
    return bytesOf(encodeGame(sourceBoard(), sourceHistory(total, current), state, 1000));
}

std::vector<uint8_t> solutionImage(int32_t bestCount = 2, int32_t spectrumCount = 3) {
    return bytesOf(encodeSolution(sourceBoard(), sourceResults(bestCount, spectrumCount), 1000));
}

// ---- the images follow the layouts --------------------------------------------------------

TEST(DocumentImage, FigureIsHeaderThenNodeRecords) {
    const Board board = sourceBoard();
    const auto image = bytesOf(encodeFigure(board, 0x5F0A1B2C));
    EXPECT_EQ(image, Bytes().header(3, 0x5F0A1B2C).nodes(board).v);
    ASSERT_EQ(image.size(), 918u);
    const std::vector<uint8_t> start{0x03, 0, 0, 0, 0, 0, 0, 0, 0x2C, 0x1B, 0x0A, 0x5F};
    EXPECT_TRUE(std::equal(start.begin(), start.end(), image.begin()));

    // Node 0 of an empty board: at 0, 0, active, three existing empty slots.
    const auto empty = bytesOf(encodeFigure(Board(7, 7), 0));
    const std::vector<uint8_t> node0{0, 0, 1, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(empty.begin() + 36, empty.begin() + 54), node0);
}

TEST(DocumentImage, GameIsHeaderCountersNodesAndHistory) {
    const Board board = sourceBoard();
    const MoveHistory history = sourceHistory(2, 1);
    const auto image = bytesOf(encodeGame(board, history, GameState{2, 555, 75, 1}, 42));
    const auto expected = Bytes()
                              .header(4, 42)
                              .i32(2)   // initialMatches
                              .i32(1)   // current
                              .i32(2)   // total
                              .i32(75)  // elapsedSeconds
                              .i32(1)   // gameOver
                              .nodes(board)
                              .move(history.records[0])
                              .move(history.records[1])
                              .v;
    EXPECT_EQ(image, expected);
    ASSERT_EQ(image.size(), 938u + 18u);
    // Record 1 starts with the EdgeRef of node 10, direction 1.
    EXPECT_EQ(std::vector<uint8_t>(image.begin() + 947, image.begin() + 950),
              (std::vector<uint8_t>{0x0A, 0x00, 0x01}));
}

TEST(DocumentImage, SolutionIsHeaderWordsNodesBestAndSpectrum) {
    const Board board = sourceBoard();
    const SolverResults results = sourceResults(2, 3);
    const auto image = bytesOf(encodeSolution(board, results, 42));
    const auto expected = Bytes()
                              .header(2, 42)
                              .i32(2)
                              .i32(7)
                              .i32(3)
                              .i32(4)
                              .i32(9)
                              .u32(7)  // positionsExamined, low half
                              .u32(5)  // and high half
                              .i32(1234)
                              .i32(2)
                              .i32(3)
                              .nodes(board)
                              .move(jumpA)
                              .move(jumpB)
                              .i64(0)
                              .i64(12)
                              .i64((int64_t{1} << 40) + 2)
                              .v;
    EXPECT_EQ(image, expected);
    EXPECT_EQ(image.size(), 958u + 9u * 2 + 8u * 3);
}

// ---- round trips and sizes ----------------------------------------------------------------

TEST(DocumentImage, GameRoundTripAtBothEndsOfTheHistory) {
    for (int32_t total : {0, 148}) {
        const auto image = gameImage(total, total / 2);
        EXPECT_EQ(image.size(), 938u + 9u * total);
        World world;
        std::string reason;
        ASSERT_TRUE(loadGameImage(image, world.board, world.history, world.state, 1000, reason))
            << reason;
        const MoveHistory source = sourceHistory(total, total / 2);
        EXPECT_TRUE(test::sameBoard(world.board, sourceBoard()));
        EXPECT_EQ(world.history.total, total);
        EXPECT_EQ(world.history.current, total / 2);
        for (int32_t i = 0; i < total; ++i) {
            EXPECT_EQ(world.history.records[i], source.records[i]) << "record " << i;
        }
        EXPECT_EQ(world.state.initialMatches, 2);
        EXPECT_EQ(world.state.elapsedSeconds, 75);
    }
}

TEST(DocumentImage, SolutionRoundTripWithFullArraysIgnoresWhatFollows) {
    auto image = solutionImage(148, 148);
    EXPECT_EQ(image.size(), 3474u);
    image.insert(image.end(), 40, 0xEE);  // never read
    World world;
    std::string reason;
    ASSERT_TRUE(loadSolutionImage(image, world.board, world.results, reason)) << reason;
    EXPECT_TRUE(test::sameBoard(world.board, sourceBoard()));
    EXPECT_TRUE(test::sameResults(world.results, sourceResults(148, 148)));
}

TEST(DocumentImage, FigureIsJudgedByItsFirst918Bytes) {
    auto image = figureImage();
    std::string reason;

    auto shorter = image;
    shorter.resize(shorter.size() - 1);
    World world;
    EXPECT_FALSE(loadFigureImage(shorter, world.board, reason));
    EXPECT_EQ(reason, "size 917, a figure needs 918");

    auto longer = image;
    longer.insert(longer.end(), 100, 0xEE);
    EXPECT_TRUE(loadFigureImage(longer, world.board, reason)) << reason;
    EXPECT_TRUE(test::sameBoard(world.board, sourceBoard()));
}

TEST(DocumentImage, LongGameLoadsOnlyWithAFullHistory) {
    std::string reason;
    World world;
    auto full = gameImage(148, 10);
    full.insert(full.end(), 50, 0xEE);
    EXPECT_TRUE(loadGameImage(full, world.board, world.history, world.state, 0, reason)) << reason;
    EXPECT_EQ(world.history.total, 148);

    // 147 moves with anything behind them: the 2270 bytes read disagree with 2261.
    auto padded = gameImage(147, 10);
    padded.insert(padded.end(), 59, 0);
    World untouched;
    EXPECT_FALSE(
        loadGameImage(padded, untouched.board, untouched.history, untouched.state, 0, reason));
    EXPECT_EQ(reason, "size 2270, a game of 147 moves needs 2261");
}

// ---- loading installs what the program expects -------------------------------------------

TEST(DocumentImage, LoadedGameClockGoesOnAndStaleRecordsStay) {
    World world;
    const World before = world;
    GameState saved{2, 0, 75, 1};
    const auto image = bytesOf(encodeGame(sourceBoard(), sourceHistory(2, 2), saved, 0));
    std::string reason;
    ASSERT_TRUE(loadGameImage(image, world.board, world.history, world.state, 5000, reason));
    EXPECT_EQ(world.state.startTime, 5000 - 75);
    EXPECT_EQ(world.state.elapsedSeconds, 75);
    EXPECT_EQ(world.state.gameOver, 1);
    for (int32_t i = 2; i < historyCapacity; ++i) {
        EXPECT_EQ(world.history.records[i], before.history.records[i]) << "record " << i;
    }
    // A game file never touches the solver's results.
    EXPECT_TRUE(test::sameResults(world.results, before.results));
}

TEST(DocumentImage, LoadedSolutionKeepsEntriesPastItsCounts) {
    World world;
    const World before = world;
    std::string reason;
    ASSERT_TRUE(loadSolutionImage(solutionImage(1, 2), world.board, world.results, reason));
    EXPECT_EQ(world.results.positionsExamined, (int64_t{5} << 32) + 7);
    EXPECT_EQ(world.results.bestSolution[0], jumpA);
    EXPECT_EQ(world.results.spectrum[1], 12);
    for (int32_t i = 1; i < solverCapacity; ++i) {
        EXPECT_EQ(world.results.bestSolution[i], before.results.bestSolution[i]);
    }
    for (int32_t i = 2; i < solverCapacity; ++i) {
        EXPECT_EQ(world.results.spectrum[i], before.results.spectrum[i]);
    }
    EXPECT_TRUE(test::sameHistory(world.history, before.history));
    EXPECT_TRUE(test::sameState(world.state, before.state));
}

TEST(DocumentImage, ResavedSolutionIsIdenticalFromOffset28) {
    auto opened = solutionImage();
    for (size_t i = 4; i < 28; ++i) {
        opened[i] = static_cast<uint8_t>(0xA0 + i);  // reserved, createdTime and spare words
    }
    World world;
    std::string reason;
    ASSERT_TRUE(loadSolutionImage(opened, world.board, world.results, reason)) << reason;
    const auto saved = bytesOf(encodeSolution(world.board, world.results, 0x01020304));
    ASSERT_EQ(saved.size(), opened.size());
    EXPECT_TRUE(std::equal(saved.begin() + 28, saved.end(), opened.begin() + 28));
    // Only the kind, createdTime and zeros before the board's size.
    const auto header = Bytes().header(2, 0x01020304).v;
    EXPECT_TRUE(std::equal(saved.begin(), saved.begin() + 28, header.begin()));
}

// ---- refusals -----------------------------------------------------------------------------

void putWord(std::vector<uint8_t>& image, size_t at, int32_t value) {
    Bytes word;
    word.i32(value);
    std::copy(word.v.begin(), word.v.end(), image.begin() + at);
}

struct Refusal {
    const char* name;
    DocumentKind kind;
    std::function<void(std::vector<uint8_t>&)> damage;
    std::string reason;
};

bool load(DocumentKind kind, const std::vector<uint8_t>& image, World& world, std::string& reason) {
    switch (kind) {
        case DocumentKind::Figure:
            return loadFigureImage(image, world.board, reason);
        case DocumentKind::Game:
            return loadGameImage(image, world.board, world.history, world.state, 777, reason);
        case DocumentKind::Solution:
            return loadSolutionImage(image, world.board, world.results, reason);
    }
    return false;
}

std::vector<uint8_t> validImage(DocumentKind kind) {
    switch (kind) {
        case DocumentKind::Figure:
            return figureImage();
        case DocumentKind::Game:
            return gameImage();
        case DocumentKind::Solution:
            return solutionImage();
    }
    return {};
}

class RefusedFile : public ::testing::TestWithParam<Refusal> {};

TEST_P(RefusedFile, SaysWhyAndChangesNothing) {
    const Refusal& refusal = GetParam();
    auto image = validImage(refusal.kind);
    {
        World check;
        std::string reason;
        ASSERT_TRUE(load(refusal.kind, image, check, reason)) << "undamaged image: " << reason;
    }
    refusal.damage(image);
    World world;
    const World before = world;
    std::string reason;
    EXPECT_FALSE(load(refusal.kind, image, world, reason));
    EXPECT_EQ(reason, refusal.reason);
    EXPECT_TRUE(test::sameWorld(world, before));
}

constexpr auto F = DocumentKind::Figure;
constexpr auto G = DocumentKind::Game;
constexpr auto S = DocumentKind::Solution;
// Offsets in the test images: game counters at 40 (current) and 44 (total), moves from 938;
// solution counts at 68 and 72, best moves from 958.
const Refusal refusals[] = {
    {"figureShort", F, [](auto& v) { v.resize(917); }, "size 917, a figure needs 918"},
    {"figureEmpty", F, [](auto& v) { v.clear(); }, "size 0, a figure needs 918"},
    {"figureKind", F, [](auto& v) { v[0] = 4; }, "kind 4 where a figure (3) was expected"},
    {"figureWidth", F, [](auto& v) { v[28] = 8; }, "width 8 where the board's is 7"},
    {"figureHeight", F, [](auto& v) { v[32] = 6; }, "height 6 where the board's is 7"},
    {"figureNodeMoved", F, [](auto& v) { v[36 + 18 * 5] = 6; },
     "node 5 holds x 6, y 0 where 5, 0 belong"},
    {"figureNodesSwapped", F,
     [](auto& v) { std::swap_ranges(v.begin() + 36, v.begin() + 54, v.begin() + 54); },
     "node 0 holds x 1, y 0 where 0, 0 belong"},
    {"gameShort", G, [](auto& v) { v.resize(20); },
     "size 20, shorter than the 56-byte head of a game"},
    {"gameKind", G, [](auto& v) { v[0] = 3; }, "kind 3 where a game (4) was expected"},
    {"gameWidth", G, [](auto& v) { v[28] = 8; }, "width 8 where the board's is 7"},
    {"gameHeight", G, [](auto& v) { v[32] = 8; }, "height 8 where the board's is 7"},
    {"gameSizeDisagrees", G, [](auto& v) { v.erase(v.end() - 9, v.end()); },
     "size 947, a game of 2 moves needs 956"},
    {"gameOneByteOver", G, [](auto& v) { v.push_back(0); },
     "size 957, a game of 2 moves needs 956"},
    {"gameNegativeTotal", G,
     [](auto& v) {
         putWord(v, 40, 0);
         putWord(v, 44, -1);
         v.resize(929);
     },
     "total -1 outside 0..148"},
    {"gameCurrentPastTotal", G, [](auto& v) { putWord(v, 40, 3); }, "current 3 outside 0..2"},
    {"gameCurrentNegative", G, [](auto& v) { putWord(v, 40, -1); }, "current -1 outside 0..2"},
    {"gameNodeMoved", G, [](auto& v) { v[56 + 18 * 48 + 1] = 0; },
     "node 48 holds x 6, y 0 where 6, 6 belong"},
    {"gameMoveNodePastBoard", G, [](auto& v) { v[938 + 9 + 6] = 49; },
     "move 1 names node 49, direction 0, outside the board"},
    {"gameMoveDirection3", G, [](auto& v) { v[938 + 5] = 3; },
     "move 0 names node 31, direction 3, outside the board"},
    {"gameMoveNodeNegative", G, [](auto& v) { v[938] = 0xFF, v[939] = 0xFF; },
     "move 0 names node -1, direction 0, outside the board"},
    {"solutionShort", S, [](auto& v) { v.resize(75); },
     "size 75, shorter than the 76-byte head of a solution"},
    {"solutionKind", S, [](auto& v) { v[0] = 3; }, "kind 3 where a solution (2) was expected"},
    {"solutionWidth", S, [](auto& v) { v[28] = 8; }, "width 8 where the board's is 7"},
    {"solutionHeight", S, [](auto& v) { v[32] = 8; }, "height 8 where the board's is 7"},
    {"solutionOneByteShort", S, [](auto& v) { v.pop_back(); },
     "size 999, a solution of 2 best moves and 3 spectrum entries needs 1000"},
    {"solutionOneByteOver", S, [](auto& v) { v.push_back(0); },
     "size 1001, a solution of 2 best moves and 3 spectrum entries needs 1000"},
    {"solutionBestCountAboveCapacity", S,
     [](auto& v) {
         putWord(v, 68, 200);
         putWord(v, 72, 0);
         v.resize(958 + 9 * 200);
     },
     "bestCount 200 outside 0..148"},
    {"solutionSpectrumCountAboveCapacity", S,
     [](auto& v) {
         putWord(v, 68, 0);
         putWord(v, 72, 300);
         v.resize(958 + 8 * 300);
     },
     "spectrumCount 300 outside 0..148"},
    {"solutionNegativeCount", S,
     [](auto& v) {
         putWord(v, 68, -8);
         putWord(v, 72, 9);
         v.resize(958);
     },
     "bestCount -8 outside 0..148"},
    {"solutionNodeMoved", S, [](auto& v) { v[76] = 1; }, "node 0 holds x 1, y 0 where 0, 0 belong"},
    {"solutionBestMoveDirection", S, [](auto& v) { v[958 + 2] = 5; },
     "best move 0 names node 24, direction 5, outside the board"},
};

INSTANTIATE_TEST_SUITE_P(AllReasons, RefusedFile, ::testing::ValuesIn(refusals),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DocumentImage, AFileForAnotherBoardSizeIsRefused) {
    // An 8 x 8 board's figure is longer; its first 918 bytes are read and its width refuses it.
    const auto image = bytesOf(encodeFigure(Board(8, 8), 0));
    World world;
    const World before = world;
    std::string reason;
    EXPECT_FALSE(loadFigureImage(image, world.board, reason));
    EXPECT_EQ(reason, "width 8 where the board's is 7");
    EXPECT_TRUE(test::sameWorld(world, before));
}

}  // namespace
}  // namespace kvarlo
