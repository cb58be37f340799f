// The desktop program's save of a game, for the browser build's tests to compare the page's
// save with byte for byte: the real program under Qt's offscreen platform, on a clock stopped
// at a given second, opens a figure, plays the moves of a given game file by clicks on their
// slots, and saves the game through its own menu command. It runs as the one test of its own
// GoogleTest program (the fixture's folders are named after the running test); not registered
// with CTest, since it needs its arguments.
//
// usage: e2e_reference_save FIGURE.t1a MOVES.t1b SECONDS OUT.t1b
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "documents/file_format.h"
#include "e2e/program_fixture.h"

namespace kvarlo::testing {
namespace {

struct Arguments {
    std::filesystem::path figure, moves, out;
    int32_t seconds = 0;
};
Arguments arguments;

class StoppedClock : public Clock {
public:
    explicit StoppedClock(int32_t seconds) : seconds_(seconds) {}
    int32_t calendarSeconds() const override { return seconds_; }

private:
    int32_t seconds_;
};

std::vector<uint8_t> readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ReferenceSave : public ProgramTest {
protected:
    void prepareFolder(const std::filesystem::path& folder) override {
        std::filesystem::copy_file(arguments.figure, folder / "default.t1a");
    }
    const Clock* gameClock() const override { return &clock_; }

private:
    StoppedClock clock_{arguments.seconds};
};

TEST_F(ReferenceSave, PlaysTheGamesMovesByClicksAndSavesIt) {
    GameContents game;
    std::string reason;
    ASSERT_TRUE(decodeGame(readAll(arguments.moves), Board(7, 7), game, reason)) << reason;
    for (int32_t i = 0; i < game.history.total; ++i) {
        const MoveRecord& move = game.history.records[i];
        ASSERT_TRUE(state().board.slot(move.from).hasMatch) << "move " << i + 1;
        clickSlot(move.from);
        clickSlot(move.to);
    }
    ASSERT_EQ(state().history.total, game.history.total);
    seam::answerNextFileDialog(arguments.out.string());
    command(ID_GAME_SAVE);
    EXPECT_EQ(seam::pendingFileDialogAnswers(), 0u);
    EXPECT_TRUE(messages().empty());
}

}  // namespace
}  // namespace kvarlo::testing

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc != 5) {
        std::fputs("usage: e2e_reference_save FIGURE.t1a MOVES.t1b SECONDS OUT.t1b\n", stderr);
        return 2;
    }
    auto& a = kvarlo::testing::arguments;
    a.figure = std::filesystem::absolute(argv[1]);
    a.moves = std::filesystem::absolute(argv[2]);
    a.seconds = static_cast<int32_t>(std::strtol(argv[3], nullptr, 10));
    a.out = std::filesystem::absolute(argv[4]);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return RUN_ALL_TESTS();
}
