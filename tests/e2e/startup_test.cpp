// A file named on the command line (a file manager's "open with"): opened in place of the
// start-up figure, as its Open command would open it; refused, it leaves the usual start-up.
#include <sys/stat.h>

#include <fstream>

#include "documents/file_format.h"
#include "e2e/program_fixture.h"

namespace kvarlo::testing {
namespace {

const std::string appTitle = "Головоломка \"Кварло 1\"";

// Five matches near the centre, on slots every figure has: (16, 0), (16, 1), (18, 0), (23, 0)
// and (23, 1); none of them is in default.t1a.
Board fiveMatches() {
    Board board(7, 7);
    for (EdgeRef r : {ref(16, 0), ref(16, 1), ref(18, 0), ref(23, 0), ref(23, 1)}) {
        board.slot(r).hasMatch = 1;
    }
    return board;
}

void writeImage(const std::filesystem::path& path, const FixedArray<uint8_t>& image) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(image.data()), image.count());
}

// The folder holds default.t1a and one more document; the command line names that one.
class StartedWith : public ProgramTest {
protected:
    void prepareFolder(const std::filesystem::path& folder) override {
        writeDefaultFigure(folder);
        Board board = fiveMatches();
        writeImage(folder / "five matches.t1a", encodeFigure(board, 0));
        MoveHistory history;
        GameState game;
        newGame(board, history, game, 0);
        writeImage(folder / "game.t1b", encodeGame(board, history, game, 0));
        writeImage(folder / "solution.t1c", encodeSolution(board, SolverResults{}, 0));
        std::ofstream(folder / "damaged.t1a") << "not a figure at all";
        writeImage(folder / "figure.txt", encodeFigure(board, 0));
    }
    std::string commandLine() const override { return line; }
    std::string pathOf(const char* name) const { return (folder_ / name).string(); }
    // The document name of a file in the test folder: its path without the extension.
    std::string stemOf(const char* name) const {
        return (folder_ / name).replace_extension().string();
    }

    // The refused file was explained, with the beep, before the default figure came.
    void expectExplainedThenDefaultStartUp(const char* file, const std::string& reason) {
        const auto texts = messages();
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_EQ(texts[0].find("\n\n" + pathOf(file) + "\n\n" + reason), texts[0].find("\n\n"))
            << texts[0];
        EXPECT_EQ(texts[0].size(), texts[0].find(reason) + reason.size());
        EXPECT_EQ(beeps(), 1);
        EXPECT_EQ(title(), appTitle + " - Фигура default");
        EXPECT_EQ(state().window.mode, AppMode::Game);
        EXPECT_EQ(state().game.initialMatches, 3);
    }

    static inline std::string line;
};

class StartedWithAFigure : public StartedWith {
    void SetUp() override {
        // Quoted, as Windows and the Linux entry pass a path with a space.
        line = "\"" + (folder_ / "five matches.t1a").string() + "\"";
        StartedWith::SetUp();
    }
};
class StartedWithAGame : public StartedWith {
    void SetUp() override {
        line = (folder_ / "game.t1b").string();
        StartedWith::SetUp();
    }
};
class StartedWithASolution : public StartedWith {
    void SetUp() override {
        line = (folder_ / "solution.t1c").string() + " ";
        StartedWith::SetUp();
    }
};
class StartedWithADamagedFigure : public StartedWith {
    void SetUp() override {
        line = (folder_ / "damaged.t1a").string();
        StartedWith::SetUp();
    }
};
class StartedWithAnotherKindOfFile : public StartedWith {
    void SetUp() override {
        line = (folder_ / "figure.txt").string();
        StartedWith::SetUp();
    }
};
class StartedWithAMissingFile : public StartedWith {
    void SetUp() override {
        line = (folder_ / "missing.t1b").string();
        StartedWith::SetUp();
    }
};

// A FIFO with no writer: opening it as a file used to wait for ever, a black and frozen window.
class StartedWithAPipe : public StartedWith {
    void prepareFolder(const std::filesystem::path& folder) override {
        StartedWith::prepareFolder(folder);
        ASSERT_EQ(::mkfifo((folder / "pipe.t1a").c_str(), 0600), 0);
    }
    void SetUp() override {
        line = (folder_ / "pipe.t1a").string();
        StartedWith::SetUp();
    }
};
class StartedWithAPipeAsTheDefaultFigure : public ProgramTest {
    void prepareFolder(const std::filesystem::path& folder) override {
        ASSERT_EQ(::mkfifo((folder / "default.t1a").c_str(), 0600), 0);
    }
};

TEST_F(StartedWithAFigure, ItsGameStartsInsteadOfTheDefaultOne) {
    EXPECT_EQ(title(), appTitle + " - Фигура " + stemOf("five matches.t1a"));
    EXPECT_EQ(state().window.mode, AppMode::Game);
    EXPECT_EQ(state().game.initialMatches, 5);
    EXPECT_EQ(state().board.slot(ref(23, 1)).hasMatch, 1);
    EXPECT_EQ(state().board.slot(ref(24, 0)).hasMatch, 0);
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(beeps(), 0);
}

TEST_F(StartedWithAGame, TheGameGoesOnFromTheFile) {
    EXPECT_EQ(title(), appTitle + " - Игра " + stemOf("game.t1b"));
    EXPECT_EQ(state().window.mode, AppMode::Game);
    EXPECT_EQ(state().board.countMatches(), 5);
}

TEST_F(StartedWithASolution, TheSolverShowsIt) {
    EXPECT_EQ(title(), appTitle + " - Решение " + stemOf("solution.t1c"));
    EXPECT_EQ(state().window.mode, AppMode::Solver);
    EXPECT_EQ(state().board.countMatches(), 5);
}

TEST_F(StartedWithADamagedFigure, SaysWhyThenLoadsTheDefaultFigure) {
    expectExplainedThenDefaultStartUp("damaged.t1a",
                                      "Это не файл Фигуры для этого поля, или файл повреждён.");
}
TEST_F(StartedWithAnotherKindOfFile, SaysWhyThenLoadsTheDefaultFigure) {
    expectExplainedThenDefaultStartUp(
        "figure.txt", "Программа открывает файлы Фигур (.t1a), Игр (.t1b) и Решений (.t1c).");
}
TEST_F(StartedWithAMissingFile, SaysWhyThenLoadsTheDefaultFigure) {
    expectExplainedThenDefaultStartUp("missing.t1b", "Такого файла нет.");
}
TEST_F(StartedWithAPipe, SaysWhyThenLoadsTheDefaultFigure) {
    expectExplainedThenDefaultStartUp("pipe.t1a",
                                      "Это не обычный файл, а устройство, канал или сокет.");
}

TEST_F(StartedWithAPipeAsTheDefaultFigure, TheEditorOpensOnAnEmptyBoard) {
    EXPECT_EQ(title(), appTitle + " Public Version 25.02");
    EXPECT_EQ(state().window.mode, AppMode::Editor);
    EXPECT_EQ(state().board.countMatches(), 0);
    EXPECT_EQ(beeps(), 0);
}

}  // namespace
}  // namespace kvarlo::testing
