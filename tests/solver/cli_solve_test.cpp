// kvarlo-cli solve as a user runs it: exact counts against the brute force, the solution file
// it saves, graph files, and refused input.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "documents/file_format.h"
#include "solver/brute_force.h"
#include "solver/engine/graph.h"
#include "support/test_files.h"

namespace kvarlo {
namespace {

namespace fs = std::filesystem;

using Outcome = testing::CliOutcome;

class SolveCli : public ::testing::Test {
protected:
    static std::string slurp(const fs::path& path) { return testing::readText(path); }

    Outcome run(std::vector<std::string> args) {
        args.insert(args.begin(), "solve");
        return testing::runCli(dir.path(), KVARLO_CLI_PATH, args);
    }

    void writeFigure(const std::string& name, const Board& board) {
        const auto image = encodeFigure(board, 0);
        std::ofstream out(dir / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(image.data()), image.count());
    }

    // The solution file the command saved, read as the game reads it.
    static void loadSaved(const fs::path& path, Board& board, SolverResults& results) {
        const std::string bytes = slurp(path);
        std::string reason;
        ASSERT_TRUE(loadSolutionImage(
            {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, board, results, reason))
            << reason;
    }

    testing::TestFolder dir{"kvarlo-solve-test"};
};

TEST_F(SolveCli, ExactCountsAndTheSavedSolution) {
    std::mt19937 rng(17);
    Board board = testing::randomFigure(rng, 12);
    writeFigure("f.t1a", board);
    const Outcome o = run({"f.t1a", "--json", "-o", "s.t1c", "--threads", "2"});
    ASSERT_EQ(o.status, 0) << o.err;
    testing::BruteForce brute;
    const auto expected = brute.spectrum(board);
    std::string spectrum = "\"spectrum\": [";
    testing::Wide games = 0;
    for (size_t m = 0; m < expected.size(); ++m) {
        spectrum += (m ? ", \"" : "\"") + std::to_string(static_cast<uint64_t>(expected[m])) + "\"";
        games += expected[m];
    }
    EXPECT_NE(o.out.find(spectrum + "]"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("\"games\": \"" + std::to_string(static_cast<uint64_t>(games)) + "\""),
              std::string::npos);
    EXPECT_NE(o.out.find("\"complete\": true"), std::string::npos);
    EXPECT_NE(o.out.find("\"estimated\": false"), std::string::npos);

    // The saved solution opens as the game opens it and its best moves replay.
    Board loaded(7, 7);
    SolverResults results;
    ASSERT_NO_FATAL_FAILURE(loadSaved(dir / "s.t1c", loaded, results));
    EXPECT_EQ(results.status, 2);
    EXPECT_EQ(results.spectrumCount, 13);
    for (int32_t i = 0; i < results.bestCount; ++i) {
        ASSERT_TRUE(isLegalJump(loaded, results.bestSolution[i]));
        testing::play(loaded, results.bestSolution[i]);
    }
    EXPECT_TRUE(testing::legalJumps(loaded).empty());
    EXPECT_EQ(results.spectrum[loaded.countMatches()],
              static_cast<int64_t>(expected[loaded.countMatches()]));
    for (size_t m = 0; m < static_cast<size_t>(loaded.countMatches()); ++m) {
        EXPECT_EQ(expected[m], 0u);
    }

    // Without --json: the panel's lines.
    const Outcome text = run({"f.t1a"});
    EXPECT_EQ(text.status, 0);
    // The program's literals are Windows-1251; the tool prints UTF-8.
    auto utf8 = [](const char8_t* s) { return std::string(reinterpret_cast<const char*>(s)); };
    EXPECT_EQ(text.out.rfind(utf8(u8"Полный перебор"), 0), 0u);
    EXPECT_NE(text.out.find(utf8(u8"Спектр:")), std::string::npos);
}

TEST_F(SolveCli, GraphFiles) {
    // A row of five holes, the middle one empty: a jump either way, one line per direction.
    std::ofstream(dir / "row.txt") << "slots 5\n"
                                      "jump 0 1 2\njump 2 1 0\njump 1 2 3\njump 3 2 1\n"
                                      "jump 2 3 4\njump 4 3 2\n"
                                      "symmetry 4 3 2 1 0\n"
                                      "start 0 1 3 4\n";
    const Outcome o = run({"--graph", "row.txt", "--json"});
    ASSERT_EQ(o.status, 0) << o.err;
    // 0 1 _ 3 4: 0 over 1 onto 2 or 4 over 3 onto 2; then only 3 over 2 onto 1 (or 1 over 2
    // onto 3). Two games, both ending with two matches.
    EXPECT_NE(o.out.find("\"spectrum\": [\"0\", \"0\", \"2\", \"0\", \"0\"]"), std::string::npos)
        << o.out;
    EXPECT_NE(o.out.find("\"best\": 2"), std::string::npos);

    std::ofstream(dir / "bad.txt") << "slots 3\njump 0 1 2\nsymmetry 1 0 2\n";
    const Outcome bad = run({"--graph", "bad.txt"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_TRUE(bad.out.empty());
    EXPECT_NE(bad.err.find("bad.txt: line 3"), std::string::npos) << bad.err;
}

TEST_F(SolveCli, GraphFilesOnlyRegularAndSmallAndNamedInShort) {
    // A FIFO with no writer is refused at once, where reading it would wait for ever.
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    Outcome o = run({"--graph", "fifo"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "kvarlo-cli: fifo: is not a regular file\n");
    fs::create_directory(dir / "folder");
    EXPECT_EQ(run({"--graph", "folder"}).err, "kvarlo-cli: folder: is a directory\n");

    // At the size limit a graph is read; a byte more, or two gigabytes of holes, is refused
    // without being read whole.
    const std::string graph = "slots 3\njump 0 1 2\nstart 0 1\n";
    std::ofstream(dir / "limit.txt")
        << graph << std::string(engine::maxGraphFileBytes - graph.size(), '\n');
    o = run({"--graph", "limit.txt", "--json"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.out.find("\"best\": 1"), std::string::npos) << o.out;
    std::ofstream(dir / "limit.txt", std::ios::app) << '\n';
    o = run({"--graph", "limit.txt"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "kvarlo-cli: limit.txt: larger than 1048576 bytes, the most it may hold\n");
    std::ofstream(dir / "holes.txt") << graph;
    fs::resize_file(dir / "holes.txt", uintmax_t{2} << 30);
    EXPECT_EQ(run({"--graph", "holes.txt"}).err,
              "kvarlo-cli: holes.txt: larger than 1048576 bytes, the most it may hold\n");

    // An escape sequence ahead of kilobytes: a short line, and nothing for the terminal.
    std::ofstream(dir / "noise.txt") << "slots 3\njump \x1b[2J" << std::string(4000, '7') << "\n";
    o = run({"--graph", "noise.txt"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "kvarlo-cli: noise.txt: line 2: '\\x1B[2J" + std::string(28, '7') +
                         "'... (4004 bytes) is not a number\n");
    std::ofstream(dir / "noise.txt") << "slots 3\njump \x1b[2J" << std::string(10000, '7') << "\n";
    EXPECT_EQ(run({"--graph", "noise.txt"}).err,
              "kvarlo-cli: noise.txt: line 2: longer than 4096 bytes, the most a line may hold\n");
}

TEST_F(SolveCli, BestStopsOnceProven) {
    // The full board less one slot: far too many positions for the layers, but an ending with
    // a single match exists and proves itself. --best stops there with status 0.
    Board board(7, 7);
    for (int32_t n = 0; n < board.nodeCount; ++n) {
        for (int32_t d = 0; d < 3; ++d) {
            board.nodes[n].edges[d].hasMatch = board.slotExists(n, d);
        }
    }
    board.slot(testing::ref(0, 0)).hasMatch = 0;
    writeFigure("full.t1a", board);
    const Outcome o = run({"full.t1a", "--json", "--best", "--threads", "2", "-o", "s.t1c"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.out.find("\"complete\": false"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("\"best\": 1,"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("\"bestProven\": true"), std::string::npos) << o.out;
    EXPECT_EQ(o.out.find("\"bestFoundMs\": null"), std::string::npos) << o.out;
    // The saved best solution replays to that single match.
    Board loaded(7, 7);
    SolverResults results;
    ASSERT_NO_FATAL_FAILURE(loadSaved(dir / "s.t1c", loaded, results));
    ASSERT_EQ(results.bestCount, 88);
    for (int32_t i = 0; i < results.bestCount; ++i) {
        ASSERT_TRUE(isLegalJump(loaded, results.bestSolution[i])) << i;
        testing::play(loaded, results.bestSolution[i]);
    }
    EXPECT_EQ(loaded.countMatches(), 1);

    // Stopped by the time limit before any proof: status 1, and nothing claimed.
    const Outcome cut = run({"full.t1a", "--json", "--best", "--time-limit", "0.001"});
    EXPECT_EQ(cut.status, 1) << cut.out;
    EXPECT_NE(cut.out.find("\"bestProven\": false"), std::string::npos) << cut.out;

    // A small figure: the layers complete, and prove the best.
    std::mt19937 rng(23);
    writeFigure("small.t1a", testing::randomFigure(rng, 12));
    const Outcome small = run({"small.t1a", "--json", "--best"});
    EXPECT_EQ(small.status, 0) << small.err;
    EXPECT_NE(small.out.find("\"bestProven\": true"), std::string::npos) << small.out;
}

TEST_F(SolveCli, RefusedInputAndUsage) {
    std::ofstream(dir / "junk.t1a") << "not a figure";
    const Outcome junk = run({"junk.t1a"});
    EXPECT_EQ(junk.status, 1);
    EXPECT_TRUE(junk.out.empty());
    EXPECT_NE(junk.err.find("junk.t1a"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "out.t1c"));

    EXPECT_EQ(run({}).status, 2);
    EXPECT_EQ(run({"a.t1a", "--threads", "0"}).status, 2);
    EXPECT_EQ(run({"a.t1a", "--memory", "x"}).status, 2);
    EXPECT_EQ(run({"--graph", "g.txt", "-o", "x.t1c"}).status, 2);
    EXPECT_EQ(run({"a.t1a", "--bogus"}).status, 2);
}

}  // namespace
}  // namespace kvarlo
