// kvarlo-cli as a user runs it: exit statuses, what goes to stdout and stderr, and the files it
// reads and writes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <QImage>

#include "documents/document_bytes.h"
#include "documents/file_format.h"
#include "support/test_files.h"
#include "support/unprivileged.h"

namespace kvarlo {
namespace {

namespace fs = std::filesystem;

using Outcome = testing::CliOutcome;
using testing::bytesOf;
using testing::readText;
using testing::writeBytes;

class Cli : public ::testing::Test {
protected:
    // Runs kvarlo-cli in the test's folder.
    Outcome run(const std::vector<std::string>& args) {
        return testing::runCli(dir.path(), KVARLO_CLI_PATH, args);
    }

    // Runs kvarlo-cli as an ordinary user: nobody when the tests run as root, as they do in CI.
    // The folder is opened to all for it.
    Outcome runAsOrdinaryUser(const std::vector<std::string>& args) {
        fs::permissions(dir.path(), fs::perms::all);
        const int status = testing::runUnprivileged([&] {
            const Outcome outcome = run(args);
            std::ofstream(dir / "child.err") << outcome.err;
            return outcome.status;
        });
        Outcome outcome{status, "", readText(dir / "child.err")};
        fs::remove(dir / "child.err");
        return outcome;
    }

    testing::TestFolder dir{"kvarlo-cli-test"};
};

Board twoMatches() {
    Board board(7, 7);
    board.nodes[24].edges[0].hasMatch = 1;
    board.nodes[24].edges[1].hasMatch = 1;
    return board;
}

TEST_F(Cli, FigureThenMovesListsTheJumpsInRuleOrder) {
    Outcome made = run({"figure", "--slots", "24:0,24:1", "-o", "f.t1a"});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(made.out, "");

    Outcome moves = run({"moves", "f.t1a", "--json"});
    EXPECT_EQ(moves.status, 0) << moves.err;
    EXPECT_EQ(moves.out, "[[24,0,31,0,24,1],[24,1,17,1,24,0]]\n");
    EXPECT_EQ(moves.err, "");

    Outcome text = run({"moves", "f.t1a"});
    EXPECT_EQ(text.out, "(24,0) -> (31,0) over (24,1)\n(24,1) -> (17,1) over (24,0)\n");
}

// A file may claim a slot whose far end the board lacks: (3, 0) to (4, 0) lies outside the
// hexagon. A match stored there is absent for every command alike, and the file's bytes stay.
TEST_F(Cli, AMatchOnASlotWithoutAFarEndIsAbsentForEveryCommand) {
    Board board(7, 7);
    board.nodes[3].edges[0].exists = 1;
    board.nodes[3].edges[0].hasMatch = 1;
    board.nodes[3].edges[1].hasMatch = 1;
    const auto image = bytesOf(encodeFigure(board, 0));
    writeBytes(dir / "claim.t1a", image);

    Outcome moves = run({"moves", "claim.t1a", "--json"});
    EXPECT_EQ(moves.status, 0) << moves.err;
    EXPECT_EQ(moves.out, "[]\n");

    Outcome info = run({"info", "claim.t1a", "--json"});
    EXPECT_NE(info.out.find("\"matches\": 1,"), std::string::npos) << info.out;

    Outcome solve = run({"solve", "claim.t1a", "--json"});
    ASSERT_EQ(solve.status, 0) << solve.err;
    EXPECT_NE(solve.out.find("\"matches\": 1,"), std::string::npos) << solve.out;
    EXPECT_NE(solve.out.find("\"best\": 1,"), std::string::npos) << solve.out;
    EXPECT_NE(solve.out.find("\"spectrum\": [\"0\", \"1\"]"), std::string::npos) << solve.out;

    EXPECT_EQ(testing::readBytes(dir / "claim.t1a"), image);
}

TEST_F(Cli, FigureWritesWhatTheGameSaves) {
    ASSERT_EQ(run({"figure", "--slots", "24:0,24:1", "-o", "f.t1a"}).status, 0);
    const std::string written = readText(dir / "f.t1a");
    const auto expected = bytesOf(encodeFigure(twoMatches(), 0));
    ASSERT_EQ(written.size(), expected.size());
    // Everything but createdTime (bytes 8 to 11).
    for (size_t i = 0; i < expected.size(); ++i) {
        if (i < 8 || i >= 12) {
            EXPECT_EQ(static_cast<uint8_t>(written[i]), expected[i]) << "byte " << i;
        }
    }

    // --full: every one of the board's 90 slots; written over the old file, nothing left beside.
    ASSERT_EQ(run({"figure", "--full", "-o", "f.t1a"}).status, 0);
    EXPECT_NE(run({"info", "f.t1a", "--json"}).out.find("\"matches\": 90,"), std::string::npos);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST_F(Cli, InfoJsonOnAGameShowsEveryField) {
    MoveHistory history;
    history.records[0] = test::jumpA;
    history.records[1] = test::jumpB;
    history.current = 1;
    history.total = 2;
    // Saved under a figure's name: the header decides the kind.
    writeBytes(dir / "g.t1a",
               bytesOf(encodeGame(twoMatches(), history, GameState{2, 0, 75, 1}, 1000)));
    Outcome info = run({"info", "g.t1a", "--json"});
    ASSERT_EQ(info.status, 0) << info.err;
    for (const char* field :
         {"\"kind\": \"game\",", "\"width\": 7,", "\"height\": 7,", "\"createdTime\": 1000,",
          "\"matches\": 2,", "\"initialMatches\": 2,", "\"current\": 1,", "\"total\": 2,",
          "\"elapsedSeconds\": 75,", "\"gameOver\": 1,",
          "\"moves\": [[24,0,31,0,24,1],[24,1,17,1,24,0]],",
          "{\"node\": 24, \"direction\": 1, \"exists\": 1, \"hasMatch\": 1, \"movable\": 0, "
          "\"selected\": 0, \"target\": 0}"}) {
        EXPECT_NE(info.out.find(field), std::string::npos) << field << "\n" << info.out;
    }
    size_t slots = 0;
    for (size_t at = info.out.find("{\"node\""); at != std::string::npos;
         at = info.out.find("{\"node\"", at + 1)) {
        ++slots;
    }
    EXPECT_EQ(slots, 147u);
}

TEST_F(Cli, InfoJsonOnASolutionShowsEveryField) {
    SolverResults r;
    r.status = 2;
    r.depth = 3;
    r.auxCounter = 4;
    r.progressDone = 5;
    r.progressTotal = 6;
    r.positionsExamined = (int64_t{5} << 32) + 7;
    r.elapsedMs = 1234;
    r.bestCount = 1;
    r.spectrumCount = 3;
    r.bestSolution[0] = test::jumpA;
    r.spectrum[1] = 12;
    r.spectrum[2] = 5;
    writeBytes(dir / "s.t1c", bytesOf(encodeSolution(twoMatches(), r, 1000)));
    Outcome info = run({"info", "s.t1c", "--json"});
    ASSERT_EQ(info.status, 0) << info.err;
    for (const char* field :
         {"\"kind\": \"solution\",", "\"status\": 2,", "\"depth\": 3,", "\"auxCounter\": 4,",
          "\"progressDone\": 5,", "\"progressTotal\": 6,", "\"positionsExamined\": 21474836487,",
          "\"elapsedMs\": 1234,", "\"bestCount\": 1,", "\"spectrumCount\": 3,",
          "\"best\": [[24,0,31,0,24,1]],", "\"spectrum\": [0,12,5],", "\"matches\": 2,"}) {
        EXPECT_NE(info.out.find(field), std::string::npos) << field << "\n" << info.out;
    }
    EXPECT_EQ(run({"info", "s.t1c"}).status, 0);
}

TEST_F(Cli, RefusedFilesGetOneLineOnStderrOnly) {
    auto figure = bytesOf(encodeFigure(twoMatches(), 0));
    figure.pop_back();
    writeBytes(dir / "short.t1a", figure);
    MoveHistory history;
    history.current = 5;
    writeBytes(dir / "bad.t1b", bytesOf(encodeGame(twoMatches(), history, GameState{}, 0)));
    auto other = bytesOf(encodeFigure(twoMatches(), 0));
    other[0] = 9;
    writeBytes(dir / "other.t1a", other);

    const std::pair<const char*, const char*> cases[] = {
        {"short.t1a", "kvarlo-cli: short.t1a: size 917, a figure needs 918\n"},
        {"bad.t1b", "kvarlo-cli: bad.t1b: current 5 outside 0..0\n"},
        {"other.t1a",
         "kvarlo-cli: other.t1a: kind 9 is none of a figure (3), a game (4) or a solution (2)\n"},
    };
    for (const auto& [file, message] : cases) {
        for (const char* command : {"info", "moves"}) {
            Outcome refused = run({command, file, "--json"});
            EXPECT_EQ(refused.status, 1) << command << " " << file;
            EXPECT_EQ(refused.out, "");
            EXPECT_EQ(refused.err, message);
        }
    }
    Outcome missing = run({"info", "missing.t1a"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err.rfind("kvarlo-cli: missing.t1a: cannot open", 0), 0u) << missing.err;
}

// A FIFO with no writer: every command that reads a document used to wait for one for ever.
TEST_F(Cli, APipeIsRefusedAtOnceByEveryCommandThatReadsADocument) {
    ASSERT_EQ(::mkfifo((dir / "pipe.t1a").c_str(), 0600), 0);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"info", "pipe.t1a"},
                                                 {"info", "pipe.t1a", "--json"},
                                                 {"moves", "pipe.t1a"},
                                                 {"render", "pipe.t1a", "-o", "x.png"},
                                                 {"solve", "pipe.t1a", "-o", "x.t1c"}}) {
        Outcome refused = run(args);
        EXPECT_EQ(refused.status, 1) << args[0];
        EXPECT_EQ(refused.out, "") << args[0];
        EXPECT_EQ(refused.err, "kvarlo-cli: pipe.t1a: is not a regular file\n") << args[0];
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

// The game reads a figure's records and ignores what follows them, and a game's or a
// solution's when its counts are at their most; info accepts them alike and counts the rest.
TEST_F(Cli, InfoCountsTheBytesAfterTheRecords) {
    const auto figure = bytesOf(encodeFigure(twoMatches(), 0));
    writeBytes(dir / "plain.t1a", figure);
    auto longer = figure;
    longer.push_back(0);
    writeBytes(dir / "one.t1a", longer);
    longer.resize(figure.size() + (1 << 20), 0xEE);
    writeBytes(dir / "megabyte.t1a", longer);
    MoveHistory history;
    history.records.fill(test::jumpA);
    history.total = historyCapacity;
    auto game = bytesOf(encodeGame(twoMatches(), history, GameState{2, 0, 0, 0}, 0));
    game.resize(game.size() + 5, 0);
    writeBytes(dir / "full.t1b", game);

    const std::pair<const char*, uint64_t> cases[] = {
        {"plain.t1a", 0}, {"one.t1a", 1}, {"megabyte.t1a", 1 << 20}, {"full.t1b", 5}};
    for (const auto& [file, extra] : cases) {
        Outcome json = run({"info", file, "--json"});
        ASSERT_EQ(json.status, 0) << file << json.err;
        const std::string field = "\"extraBytes\": " + std::to_string(extra) + ",";
        EXPECT_NE(json.out.find(field), std::string::npos) << file << "\n" << json.out;
        Outcome text = run({"info", file});
        ASSERT_EQ(text.status, 0) << file << text.err;
        const std::string line =
            "extra bytes      " + std::to_string(extra) + " after the records (ignored)\n";
        EXPECT_EQ(text.out.find(line) != std::string::npos, extra > 0) << file << "\n" << text.out;
    }
}

TEST_F(Cli, UsageErrorsExitWithTwoAndWriteNothing) {
    const std::vector<std::vector<std::string>> wrong = {
        {},
        {"frobnicate"},
        {"info"},
        {"info", "a", "b"},
        {"moves", "--yaml", "a"},
        {"figure"},
        {"figure", "-o"},
        {"figure", "-o", "f.t1a", "--slots", "24:5"},
        {"figure", "-o", "f.t1a", "--slots", "6:0"},  // node 6 lies outside the hexagon
        {"figure", "-o", "f.t1a", "--slots", "24"},
        {"figure", "-o", "f.t1a", "--slots", "24:0,x:1"},
    };
    for (const auto& args : wrong) {
        Outcome result = run(args);
        std::string line;
        for (const auto& a : args) {
            line += a + " ";
        }
        EXPECT_EQ(result.status, 2) << line;
        EXPECT_EQ(result.out, "") << line;
        EXPECT_FALSE(result.err.empty()) << line;
        EXPECT_FALSE(fs::exists(dir / "f.t1a")) << line;
    }
}

// A number out of range is refused with the range it must lie in; the ends of the ranges are
// taken.
TEST_F(Cli, NumbersOutOfRangeAreRefusedWithTheirRange) {
    writeBytes(dir / "f.t1a", bytesOf(encodeFigure(twoMatches(), 0)));
    const std::string memory = "--memory needs a whole number of MiB from 1 to 1073741824";
    const std::string time = "--time-limit needs a number of seconds above 0, at most 10000000";
    const std::string size = "--size needs WxH, each a whole number of pixels from 1 to 8192";
    const std::string side = "--thumbnail needs a whole number of pixels from 1 to 8192";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"solve", "f.t1a", "--memory", "1073741825"}, memory},
        {{"solve", "f.t1a", "--memory", "0"}, memory},
        {{"solve", "f.t1a", "--memory", "1.5"}, memory},
        {{"solve", "f.t1a", "--time-limit", "1e308"}, time},
        {{"solve", "f.t1a", "--time-limit", "0"}, time},
        {{"solve", "f.t1a", "--time-limit", "nan"}, time},
        {{"solve", "f.t1a", "--time-limit", "inf"}, time},
        {{"solve", "f.t1a", "--time-limit", "+5"}, time},
        {{"solve", "f.t1a", "--time-limit", " 5"}, time},
        {{"solve", "f.t1a", "--time-limit", "0x10"}, time},
        {{"solve", "f.t1a", "--time-limit", "2.5s"}, time},
        {{"solve", "f.t1a", "--time-limit", "1e"}, time},
        {{"solve", "f.t1a", "--threads", "65"}, "--threads needs a number from 1 to 64"},
        {{"solve", "f.t1a", "--seed", "-1"},
         "--seed needs a whole number from 0 to 18446744073709551615"},
        {{"render", "f.t1a", "-o", "x.png", "--size", "8193x10"}, size},
        {{"render", "f.t1a", "-o", "x.png", "--size", "10x0"}, size},
        {{"render", "f.t1a", "-o", "x.png", "--thumbnail", "0"}, side},
    };
    for (const auto& [args, message] : cases) {
        const Outcome refused = run(args);
        const std::string command = args[0];
        EXPECT_EQ(refused.status, 2) << message;
        EXPECT_EQ(refused.out, "");
        EXPECT_EQ(refused.err, "kvarlo-cli " + command + ": " + message + " (see 'kvarlo-cli " +
                                   command + " --help')\n");
    }
    EXPECT_FALSE(fs::exists(dir / "x.png"));
    const Outcome ends = run({"solve", "f.t1a", "--memory", "1073741824", "--time-limit", "1e7",
                              "--seed", "18446744073709551615", "--threads", "64"});
    EXPECT_EQ(ends.status, 0) << ends.err;
    EXPECT_EQ(run({"render", "f.t1a", "-o", "x.png", "--size", "8192x1"}).status, 0);
}

TEST_F(Cli, EveryCommandHasHelp) {
    for (const std::string command : {"info", "moves", "figure", "solve", "render"}) {
        Outcome help = run({command, "--help"});
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.out.rfind("usage: kvarlo-cli " + command, 0), 0u) << help.out;
    }
    Outcome overall = run({"--help"});
    EXPECT_EQ(overall.status, 0);
    EXPECT_NE(overall.out.find("figure -o OUT.t1a"), std::string::npos);
}

TEST_F(Cli, AFigureThatCannotBeWrittenFailsCleanly) {
    Outcome result = run({"figure", "-o", "no/such/folder/f.t1a"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err.rfind("kvarlo-cli: no/such/folder/f.t1a: cannot create", 0), 0u)
        << result.err;
}

// Outputs are written through a symbolic link to the file it names, with that file's
// permissions kept, like the program's saves.
TEST_F(Cli, OutputsGoThroughLinksAndKeepThePermissions) {
    const auto owner = fs::perms::owner_read | fs::perms::owner_write;
    fs::create_directories(dir / "keep");
    writeBytes(dir / "keep" / "f.t1a", std::vector<uint8_t>(10, 1));
    fs::permissions(dir / "keep" / "f.t1a", owner);
    fs::create_symlink("keep/f.t1a", dir / "f.t1a");
    Outcome made = run({"figure", "--slots", "24:0,24:1", "-o", "f.t1a"});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_TRUE(fs::is_symlink(dir / "f.t1a"));
    EXPECT_EQ(testing::readBytes(dir / "keep" / "f.t1a").size(), 918u);
    EXPECT_EQ(fs::status(dir / "keep" / "f.t1a").permissions() & fs::perms::mask, owner);

    writeBytes(dir / "keep" / "s.t1c", std::vector<uint8_t>(10, 1));
    fs::permissions(dir / "keep" / "s.t1c", owner);
    fs::create_symlink("keep/s.t1c", dir / "s.t1c");
    Outcome solved = run({"solve", "f.t1a", "-o", "s.t1c", "--json"});
    ASSERT_EQ(solved.status, 0) << solved.err;
    EXPECT_TRUE(fs::is_symlink(dir / "s.t1c"));
    EXPECT_EQ(run({"info", "s.t1c", "--json"}).status, 0);
    EXPECT_EQ(fs::status(dir / "keep" / "s.t1c").permissions() & fs::perms::mask, owner);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "keep"), fs::directory_iterator()), 2);
}

// An output the user may not write is refused, although the folder would let it be replaced:
// write-protected, or another user's (which a replace would also have given to this one).
TEST_F(Cli, AnOutputTheUserMayNotWriteIsRefusedAndKept) {
    const std::vector<uint8_t> old(10, 1);
    writeBytes(dir / "protected.t1a", old);
    if (::geteuid() == 0) {  // the ordinary user's own file, which only the mode protects
        ASSERT_EQ(::chown((dir / "protected.t1a").c_str(), 65534, 65534), 0);
    }
    fs::permissions(dir / "protected.t1a",
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    Outcome refused = runAsOrdinaryUser({"figure", "--full", "-o", "protected.t1a"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "kvarlo-cli: protected.t1a: is write-protected\n");
    EXPECT_EQ(testing::readBytes(dir / "protected.t1a"), old);
    if (::geteuid() != 0) {
        GTEST_SKIP() << "another user's file needs root to make";
    }
    writeBytes(dir / "root-owned.t1a", old);  // 0644 by the usual umask, in a folder open to all
    refused = runAsOrdinaryUser({"figure", "--full", "-o", "root-owned.t1a"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(testing::readBytes(dir / "root-owned.t1a"), old);
    struct stat info {};
    ASSERT_EQ(::stat((dir / "root-owned.t1a").c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 0u);
}

TEST_F(Cli, RenderDrawsTheFrameTheWindowWouldShow) {
    writeBytes(dir / "f.t1a", bytesOf(encodeFigure(twoMatches(), 0)));
    Outcome result = run({"render", "f.t1a", "-o", "f.png"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "");
    QImage image((dir / "f.png").c_str());
    ASSERT_FALSE(image.isNull());
    ASSERT_EQ(image.size(), QSize(640, 480));
    EXPECT_EQ(image.pixel(630, 10) & 0xFFFFFF, 0xB0B0B0u);  // the grey background
    // A figure is shown as a game started on it: both matches movable, brown on top.
    EXPECT_EQ(image.pixel(320 + 36, 240) & 0xFFFFFF, 0xB47800u);  // the slot (24, 0)

    result = run({"render", "f.t1a", "-o", "small.png", "--size", "300x200", "--mode", "editor"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(QImage((dir / "small.png").c_str()).size(), QSize(300, 200));
}

// Without XDG_RUNTIME_DIR (root, cron, CI) Qt complains about it on every start: render, which
// file managers run for every thumbnail, keeps stderr for what matters.
TEST_F(Cli, RenderSaysNothingWithoutARuntimeFolder) {
    writeBytes(dir / "f.t1a", bytesOf(encodeFigure(twoMatches(), 0)));
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string saved = runtime ? runtime : "";
    unsetenv("XDG_RUNTIME_DIR");
    const Outcome result = run({"render", "f.t1a", "-o", "f.png"});
    if (runtime) {
        setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
    }
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(fs::exists(dir / "f.png"));
}

// A thumbnail is the board alone in a square: the corner where the panel writes its lines
// stays background, and the figure is drawn.
TEST_F(Cli, RenderDrawsASquareThumbnailWithoutThePanel) {
    writeBytes(dir / "f.t1a", bytesOf(encodeFigure(twoMatches(), 0)));
    ASSERT_EQ(run({"render", "f.t1a", "-o", "frame.png", "--size", "128x128"}).status, 0);
    Outcome result = run({"render", "f.t1a", "-o", "thumb.png", "--thumbnail", "128"});
    ASSERT_EQ(result.status, 0) << result.err;
    const QImage frame((dir / "frame.png").c_str());
    const QImage thumb((dir / "thumb.png").c_str());
    ASSERT_EQ(thumb.size(), QSize(128, 128));
    auto backgroundOnly = [](const QImage& image, QRect area) {
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                if ((image.pixel(x, y) & 0xFFFFFF) != 0xB0B0B0u) {
                    return false;
                }
            }
        }
        return true;
    };
    const QRect panelCorner(0, 0, 24, 36);  // the first line's start, left of the board
    EXPECT_FALSE(backgroundOnly(frame, panelCorner));
    EXPECT_TRUE(backgroundOnly(thumb, panelCorner));
    EXPECT_FALSE(backgroundOnly(thumb, QRect(0, 0, 128, 128)));

    for (const char* size : {"0", "-3", "big", "9000"}) {
        EXPECT_EQ(run({"render", "f.t1a", "-o", "x.png", "--thumbnail", size}).status, 2) << size;
    }
    EXPECT_FALSE(fs::exists(dir / "x.png"));
}

TEST_F(Cli, RenderRefusesBadArgumentsAndFilesWithoutWritingAnImage) {
    writeBytes(dir / "f.t1a", bytesOf(encodeFigure(twoMatches(), 0)));
    writeBytes(dir / "short.t1a", std::vector<uint8_t>(917, 0));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"render", "f.t1a"},
          {"render", "f.t1a", "-o", "x.png", "--size", "0x10"},
          {"render", "f.t1a", "-o", "x.png", "--size", "wide"},
          {"render", "f.t1a", "-o", "x.png", "--mode", "museum"}}) {
        Outcome result = run(args);
        EXPECT_EQ(result.status, 2) << args.back();
        EXPECT_FALSE(result.err.empty());
    }
    Outcome refused = run({"render", "short.t1a", "-o", "x.png"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, "");
    EXPECT_NE(refused.err.find("short.t1a"), std::string::npos) << refused.err;
    EXPECT_FALSE(fs::exists(dir / "x.png"));
}

}  // namespace
}  // namespace kvarlo
