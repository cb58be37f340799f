// The six document commands through scripted file dialogs: what they ask the dialog, what they
// write and read, and the document name they leave.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "documents/document_bytes.h"
#include "documents/documents.h"
#include "documents/file_format.h"
#include "platform/qt/test_seams.h"
#include "support/test_files.h"

namespace kvarlo {
namespace {

namespace fs = std::filesystem;
using testing::bytesOf;
namespace seams = platform::testing;

// The calendar time every save and open in these tests happens at.
constexpr int32_t now = 1000;

class DocumentDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        seams::clearFileDialogAnswers();
        seams::clearFileDialogLog();
        board.nodes[24].edges[0].hasMatch = 1;
        board.nodes[24].edges[1].hasMatch = 1;
    }
    void TearDown() override { seams::clearFileDialogAnswers(); }

    std::string path(const char* file) const { return (dir / file).string(); }

    seams::FileDialogRequest lastRequest() const {
        const auto log = seams::fileDialogLog();
        return log.empty() ? seams::FileDialogRequest{} : log.back();
    }

    testing::TestFolder folder{"kvarlo-dialogs", true};
    const fs::path& dir = folder.path();
    Board board{7, 7};
    DocumentName name;
};

using Pairs = std::vector<std::pair<std::string, std::string>>;

TEST_F(DocumentDialogs, SavesProposeTheSharedNameWithTheirOwnExtension) {
    seams::answerNextFileDialog(path("star"));
    ASSERT_TRUE(saveFigure(nullptr, board, name, now));
    auto request = lastRequest();
    EXPECT_TRUE(request.save);
    EXPECT_EQ(request.title, saveFigureTitle);
    EXPECT_EQ(request.filters, (Pairs{{"Map Files", "*.t1a"}, {"Any Files", "*.*"}}));
    EXPECT_EQ(request.defaultExtension, "t1a");
    EXPECT_EQ(request.proposedName, "untitled.t1a");
    EXPECT_EQ(request.flags, 0x0006u);
    EXPECT_EQ(request.initialDir, dir.string());
    EXPECT_EQ(name.text, path("star"));
    EXPECT_EQ(testing::readBytes(dir / "star.t1a"), bytesOf(encodeFigure(board, 1000)));

    MoveHistory history;
    seams::answerNextFileDialog(path("star.t1b"));
    ASSERT_TRUE(saveGame(nullptr, board, history, GameState{2, 0, 75, 0}, name, now));
    request = lastRequest();
    EXPECT_EQ(request.title, saveGameTitle);
    EXPECT_EQ(request.filters, (Pairs{{"Game Files", "*.t1b"}, {"Any Files", "*.*"}}));
    EXPECT_EQ(request.defaultExtension, "t1b");
    EXPECT_EQ(request.proposedName, path("star.t1b"));
    EXPECT_EQ(testing::readBytes(dir / "star.t1b"),
              bytesOf(encodeGame(board, history, GameState{2, 0, 75, 0}, 1000)));

    SolverResults results;
    seams::answerNextFileDialog(path("other.t1c"));
    ASSERT_TRUE(saveSolution(nullptr, board, results, name, now));
    request = lastRequest();
    EXPECT_EQ(request.title, saveSolutionTitle);
    EXPECT_EQ(request.filters, (Pairs{{"Solving Files", "*.t1c"}, {"Any Files", "*.*"}}));
    EXPECT_EQ(request.proposedName, path("star.t1c"));
    EXPECT_EQ(name.text, path("other"));
    EXPECT_EQ(testing::readBytes(dir / "other.t1c"), bytesOf(encodeSolution(board, results, 1000)));
}

TEST_F(DocumentDialogs, ACancelledSaveWritesNothingAndKeepsTheName) {
    seams::cancelNextFileDialog();
    EXPECT_FALSE(saveFigure(nullptr, board, name, now));
    EXPECT_STREQ(name.text, "untitled");
    EXPECT_TRUE(fs::is_empty(dir));
}

TEST_F(DocumentDialogs, AFailedWriteKeepsTheOldFileAndTheName) {
    const std::vector<uint8_t> old(100, 0x5A);
    testing::writeBytes(dir / "star.t1a", old);
    // Writes past 500 bytes fail (EFBIG instead of the signal), as on a full disk.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 500;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    seams::answerNextFileDialog(path("star.t1a"));
    const bool saved918 = saveFigure(nullptr, board, name, now);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(saved918);
    EXPECT_EQ(testing::readBytes(dir / "star.t1a"), old);
    EXPECT_STREQ(name.text, "untitled");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1)
        << "the temporary file is removed again";
}

TEST_F(DocumentDialogs, OpenedGameRunsItsClockOnFromTheSavedTime) {
    MoveHistory history;
    history.records[0] = test::jumpA;
    history.total = 1;
    history.current = 1;
    testing::writeBytes(dir / "g.t1b",
                        bytesOf(encodeGame(board, history, GameState{2, 0, 75, 0}, 3)));
    test::World world;
    seams::answerNextFileDialog(path("g.t1b"));
    ASSERT_TRUE(openGame(nullptr, world.board, world.history, world.state, name, now));
    const auto request = lastRequest();
    EXPECT_FALSE(request.save);
    EXPECT_EQ(request.title, openGameTitle);
    EXPECT_EQ(request.flags, 0x1805u);
    EXPECT_EQ(request.defaultExtension, "");
    EXPECT_EQ(request.proposedName, "");
    EXPECT_EQ(world.state.startTime, 1000 - 75);
    EXPECT_EQ(world.history.total, 1);
    EXPECT_EQ(world.history.records[0], test::jumpA);
    EXPECT_EQ(name.text, path("g"));
}

TEST_F(DocumentDialogs, RefusedOrCancelledOpensChangeNothing) {
    auto figure = bytesOf(encodeFigure(board, 3));
    figure[28] = 8;
    testing::writeBytes(dir / "wide.t1a", figure);
    SolverResults results;
    auto solution = bytesOf(encodeSolution(board, results, 3));
    solution[72] = 44;  // spectrumCount 300 in a file of the size 300 entries need
    solution[73] = 1;
    solution.resize(958 + 8 * 300);
    testing::writeBytes(dir / "s.t1c", solution);
    setDocumentName(name, "/keep/me.t1a");

    test::World world;
    const test::World before = world;
    seams::answerNextFileDialog(path("wide.t1a"));
    EXPECT_FALSE(openFigure(nullptr, world.board, name));
    seams::answerNextFileDialog(path("s.t1c"));
    EXPECT_FALSE(openSolution(nullptr, world.board, world.results, name));
    seams::answerNextFileDialog(path("s.t1c"));
    EXPECT_FALSE(openGame(nullptr, world.board, world.history, world.state, name, now));
    seams::cancelNextFileDialog();
    EXPECT_FALSE(openSolution(nullptr, world.board, world.results, name));
    EXPECT_TRUE(test::sameWorld(world, before));
    EXPECT_STREQ(name.text, "/keep/me");
    EXPECT_EQ(seams::fileDialogLog().size(), 4u);
}

}  // namespace
}  // namespace kvarlo
