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
#include "support/unprivileged.h"

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
    // A name as the desktop spells it (UTF-8) in the test folder.
    std::string utf8Path(const char8_t* file) const {
        return dir.string() + "/" + reinterpret_cast<const char*>(file);
    }

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
    const DocumentResult saved = saveFigure(nullptr, board, name, now);
    ASSERT_TRUE(saved.done());
    EXPECT_EQ(saved.path, path("star.t1a"));
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
    ASSERT_TRUE(saveGame(nullptr, board, history, GameState{2, 0, 75, 0}, name, now).done());
    request = lastRequest();
    EXPECT_EQ(request.title, saveGameTitle);
    EXPECT_EQ(request.filters, (Pairs{{"Game Files", "*.t1b"}, {"Any Files", "*.*"}}));
    EXPECT_EQ(request.defaultExtension, "t1b");
    EXPECT_EQ(request.proposedName, path("star.t1b"));
    EXPECT_EQ(testing::readBytes(dir / "star.t1b"),
              bytesOf(encodeGame(board, history, GameState{2, 0, 75, 0}, 1000)));

    SolverResults results;
    seams::answerNextFileDialog(path("other.t1c"));
    ASSERT_TRUE(saveSolution(nullptr, board, results, name, now).done());
    request = lastRequest();
    EXPECT_EQ(request.title, saveSolutionTitle);
    EXPECT_EQ(request.filters, (Pairs{{"Solving Files", "*.t1c"}, {"Any Files", "*.*"}}));
    EXPECT_EQ(request.proposedName, path("star.t1c"));
    EXPECT_EQ(name.text, path("other"));
    EXPECT_EQ(testing::readBytes(dir / "other.t1c"), bytesOf(encodeSolution(board, results, 1000)));
}

TEST_F(DocumentDialogs, ACancelledSaveWritesNothingAndKeepsTheName) {
    seams::cancelNextFileDialog();
    EXPECT_TRUE(saveFigure(nullptr, board, name, now).cancelled());
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
    const DocumentResult result = saveFigure(nullptr, board, name, now);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(result.outcome, DocumentOutcome::fileProblem);
    EXPECT_EQ(result.path, path("star.t1a"));
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
    ASSERT_TRUE(openGame(nullptr, world.board, world.history, world.state, name, now).done());
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
    EXPECT_EQ(openFigure(nullptr, world.board, name).outcome, DocumentOutcome::refused);
    seams::answerNextFileDialog(path("s.t1c"));
    const DocumentResult refused = openSolution(nullptr, world.board, world.results, name);
    EXPECT_EQ(refused.outcome, DocumentOutcome::refused);
    EXPECT_EQ(refused.kind, DocumentKind::Solution);
    EXPECT_EQ(refused.path, path("s.t1c"));
    seams::answerNextFileDialog(path("s.t1c"));
    const DocumentResult game =
        openGame(nullptr, world.board, world.history, world.state, name, now);
    EXPECT_EQ(game.outcome, DocumentOutcome::otherDocument);
    EXPECT_EQ(game.foundKind, static_cast<uint32_t>(DocumentKind::Solution));
    seams::cancelNextFileDialog();
    EXPECT_TRUE(openSolution(nullptr, world.board, world.results, name).cancelled());
    EXPECT_TRUE(test::sameWorld(world, before));
    EXPECT_STREQ(name.text, "/keep/me");
    EXPECT_EQ(seams::fileDialogLog().size(), 4u);
}

// A save that cannot write says why and where, and leaves the name and the folder as they were.
TEST_F(DocumentDialogs, AFailedSaveNamesTheFileAndTheProblem) {
    testing::writeBytes(dir / "plain", {1, 2, 3});
    fs::create_directory(dir / "folder.t1b");
    struct Case {
        std::string answer;
        std::string file;
        FileProblem problem;
    };
    for (const Case& c : {
             Case{path("none/star"), path("none/star.t1b"), FileProblem::notFound},
             Case{path("plain/star.t1b"), path("plain/star.t1b"), FileProblem::notFound},
             Case{path("folder.t1b"), path("folder.t1b"), FileProblem::isFolder},
         }) {
        seams::answerNextFileDialog(c.answer);
        const DocumentResult result =
            saveGame(nullptr, board, MoveHistory{}, GameState{}, name, now);
        EXPECT_EQ(result.outcome, DocumentOutcome::fileProblem) << c.answer;
        EXPECT_EQ(result.problem, c.problem) << c.answer;
        EXPECT_TRUE(result.saving);
        EXPECT_EQ(result.kind, DocumentKind::Game);
        EXPECT_EQ(result.path, c.file);
        EXPECT_STREQ(name.text, "untitled");
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
    EXPECT_TRUE(fs::is_empty(dir / "folder.t1b"));
}

// The rights are checked by the system, as a user without special rights meets them.
TEST_F(DocumentDialogs, AFolderTheUserMayNotWriteAndAFileHeMayNotReadAreRefusedAsSuch) {
    fs::create_directory(dir / "locked");
    testing::writeBytes(dir / "secret.t1a", bytesOf(encodeFigure(board, 3)));
    fs::permissions(dir / "locked",
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    fs::permissions(dir / "secret.t1a", fs::perms::none);
    const int saveAnswer = testing::runUnprivileged([&] {
        seams::answerNextFileDialog(path("locked/star"));
        const DocumentResult result = saveSolution(nullptr, board, SolverResults{}, name, now);
        return result.outcome == DocumentOutcome::fileProblem &&
                       result.problem == FileProblem::noPermission &&
                       std::string(name.text) == "untitled"
                   ? 0
                   : 1;
    });
    const int openAnswer = testing::runUnprivileged([&] {
        seams::answerNextFileDialog(path("secret.t1a"));
        test::World world;
        const DocumentResult result = openFigure(nullptr, world.board, name);
        return result.outcome == DocumentOutcome::fileProblem &&
                       result.problem == FileProblem::noPermission
                   ? 0
                   : 1;
    });
    fs::permissions(dir / "locked", fs::perms::owner_all);
    EXPECT_EQ(saveAnswer, 0);
    EXPECT_EQ(openAnswer, 0);
    EXPECT_TRUE(fs::is_empty(dir / "locked"));
}

// "λ-игра.t1b": the Greek letter has no place in Windows-1251. The dialog refuses the name, and
// the result spells it with '?' so that the message can still name it.
TEST_F(DocumentDialogs, ANameTheProgramCannotSpellIsRefusedAndStillNamed) {
    const std::string shown = path("?-игра.t1b");
    seams::answerNextFileDialogUtf8(utf8Path(u8"λ-игра.t1b"));
    const DocumentResult saved = saveGame(nullptr, board, MoveHistory{}, GameState{}, name, now);
    EXPECT_EQ(saved.outcome, DocumentOutcome::unspellableName);
    EXPECT_EQ(saved.path, shown);

    testing::writeBytes(fs::path(utf8Path(u8"λ-игра.t1b")),
                        bytesOf(encodeGame(board, MoveHistory{}, GameState{}, 3)));
    seams::answerNextFileDialogUtf8(utf8Path(u8"λ-игра.t1b"));
    test::World world;
    const test::World before = world;
    const DocumentResult opened =
        openGame(nullptr, world.board, world.history, world.state, name, now);
    EXPECT_EQ(opened.outcome, DocumentOutcome::unspellableName);
    EXPECT_EQ(opened.path, shown);
    EXPECT_TRUE(test::sameWorld(world, before));
    EXPECT_STREQ(name.text, "untitled");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

// A name longer than the dialog's buffer never reaches the program: it is refused as such.
TEST_F(DocumentDialogs, ANameTooLongForTheProgramIsRefused) {
    seams::answerNextFileDialog(path(std::string(300, 'n').c_str()));
    const DocumentResult result = saveFigure(nullptr, board, name, now);
    EXPECT_EQ(result.outcome, DocumentOutcome::nameTooLong);
    EXPECT_EQ(result.path, "");
    EXPECT_STREQ(name.text, "untitled");
    EXPECT_TRUE(fs::is_empty(dir));
}

}  // namespace
}  // namespace kvarlo
