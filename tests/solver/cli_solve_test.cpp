// kvarlo-cli solve as a user runs it: exact counts against the brute force, the solution file
// it saves, graph files, and refused input.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "documents/file_format.h"
#include "solver/brute_force.h"
#include "solver/engine/graph.h"
#include "solver/engine/graph_file.h"
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
    const Board board = testing::fullBoardLessOne(testing::ref(0, 0));
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

// kvarlo-cli run as a child of this process, for what std::system cannot do: a limit set on the
// child alone, signals sent to it while it runs.
class SolveChild {
public:
    // Starts `kvarlo-cli solve ARGS` in `folder`, stderr to a file there, stdout to `out` (a file
    // there when -1); `limitBytes`, when not 0, is the child's RLIMIT_AS.
    SolveChild(const fs::path& folder, const std::vector<std::string>& args, int out = -1,
               uint64_t limitBytes = 0)
        : folder_(folder) {
        pid_ = fork();
        if (pid_ == 0) {
            runChild(args, out, limitBytes);
        }
    }
    ~SolveChild() {
        if (!waited_ && pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    pid_t pid() const { return pid_; }

    // Waits (a minute at most: a child that never ends is killed) and returns the raw status.
    int wait() {
        int status = 0;
        for (int32_t i = 0; i < 6000 && waitpid(pid_, &status, WNOHANG) == 0; ++i) {
            usleep(10'000);
        }
        if (waitpid(pid_, &status, WNOHANG) == 0) {
            ADD_FAILURE() << "kvarlo-cli solve did not end";
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
        }
        waited_ = true;
        return status;
    }
    std::string out() const { return testing::readText(folder_ / ".stdout"); }
    std::string err() const { return testing::readText(folder_ / ".stderr"); }

    // Polls /proc until the child's search has begun: its threads beyond the first exist only
    // once the search runs, by when the signals are caught.
    bool waitForSearch() const {
        for (int32_t i = 0; i < 3000; ++i) {
            std::error_code e;
            const auto tasks = fs::path("/proc") / std::to_string(pid_) / "task";
            if (std::distance(fs::directory_iterator(tasks, e), fs::directory_iterator()) > 1) {
                return true;
            }
            usleep(10'000);
        }
        return false;
    }

    // Whether the child catches the signal (bit signal - 1 of SigCgt in /proc/PID/status).
    bool catches(int signal) const {
        const std::string status =
            testing::readText(fs::path("/proc") / std::to_string(pid_) / "status");
        const size_t at = status.find("SigCgt:");
        if (at == std::string::npos) {
            return false;
        }
        const uint64_t mask = std::stoull(status.substr(at + 7), nullptr, 16);
        return (mask >> (signal - 1)) & 1;
    }

private:
    [[noreturn]] void runChild(const std::vector<std::string>& args, int out, uint64_t limitBytes) {
        if (chdir(folder_.c_str()) != 0) {
            _exit(120);
        }
        const int err = open(".stderr", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0) {
            out = open(".stdout", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        }
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        if (limitBytes > 0) {
            const rlimit limit{limitBytes, limitBytes};
            setrlimit(RLIMIT_AS, &limit);
        }
        std::vector<std::string> all = {KVARLO_CLI_PATH, "solve"};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        execv(KVARLO_CLI_PATH, argv.data());
        _exit(121);
    }

    fs::path folder_;
    pid_t pid_ = -1;
    bool waited_ = false;
};

const std::string denseFigure = std::string(SOURCE_DIR) + "/assets/figures/full-centre.t1a";

// Under an address-space limit of 170 MB, with more threads than the machine has, the search
// ends as a memory stop: exit status 1, a line on stderr saying memory was the cause, the
// results printed; never an abort. The default budget is set below half of what the limit
// leaves (the allocator's arenas may still take the room first: then the line names the
// system's limit); a budget set above the limit meets the system's refusals, which the line
// names. The layers fill within a second on a quiet machine; the time limit that ends the
// search after that is the line's only rival, so it is kept well away: 10 s, for a machine
// loaded several times over.
TEST_F(SolveCli, AnAddressSpaceLimitIsAMemoryStopNotAnAbort) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "ASan reserves terabytes of address space: no RLIMIT_AS leaves it room to run";
#endif
    const uint64_t limit = 170ull << 20;
    for (const char* memory : {"", "2000"}) {
        SCOPED_TRACE(memory);
        std::vector<std::string> args = {denseFigure, "--json",       "--threads",
                                         "8",         "--time-limit", "10"};
        if (*memory) {
            args.insert(args.end(), {"--memory", memory});
        }
        SolveChild child(dir.path(), args, -1, limit);
        const int status = child.wait();
        const std::string err = child.err();
        ASSERT_FALSE(WIFSIGNALED(status)) << "signal " << WTERMSIG(status) << "\n" << err;
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 1) << err;
        EXPECT_NE(child.out().find("\"complete\": false"), std::string::npos) << child.out();
        EXPECT_EQ(err.rfind("kvarlo-cli solve: out of memory: ", 0), 0u) << err;
        const size_t at = err.find("budget of ");
        ASSERT_NE(at, std::string::npos) << err;
        const uint64_t budgetMiB = std::stoull(err.substr(at + 10));
        if (*memory) {
            EXPECT_EQ(budgetMiB, 2000u);
            EXPECT_NE(err.find("the memory the system allows"), std::string::npos) << err;
        } else {
            EXPECT_LT(budgetMiB, limit / 2 >> 20) << err;
        }
    }
}

// The first SIGINT or SIGTERM stops the search as a time limit does: the results so far on
// stdout, the solution file written, a line on stderr, and the shell's status for the signal.
TEST_F(SolveCli, AnInterruptKeepsTheResultsSoFar) {
    const std::pair<int, int> signals[] = {{SIGINT, 130}, {SIGTERM, 143}};
    for (const auto& [signal, expected] : signals) {
        SCOPED_TRACE(signal);
        fs::remove(dir / "s.t1c");
        SolveChild child(dir.path(),
                         {denseFigure, "-o", "s.t1c", "--threads", "2", "--memory", "256"});
        ASSERT_TRUE(child.waitForSearch());
        kill(child.pid(), signal);
        const int status = child.wait();
        ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), expected);
        const std::string name = signal == SIGINT ? "SIGINT" : "SIGTERM";
        EXPECT_EQ(child.err(),
                  "kvarlo-cli solve: interrupted by " + name + ": the results so far are kept\n");
        // The panel's lines of an incomplete search (the program's literals are Windows-1251,
        // the tool prints UTF-8).
        const std::string incomplete = reinterpret_cast<const char*>(u8"Неполный перебор");
        EXPECT_EQ(child.out().rfind(incomplete, 0), 0u) << child.out();
        Board loaded(7, 7);
        SolverResults results;
        ASSERT_NO_FATAL_FAILURE(loadSaved(dir / "s.t1c", loaded, results));
        EXPECT_EQ(results.status, 1);
        EXPECT_EQ(loaded.countMatches(), 89);
    }
}

// A second signal ends the program at once, even while it is busy with the first: here its
// results cannot be written, stdout being a pipe filled to the brim that nobody reads.
TEST_F(SolveCli, ASecondInterruptEndsAtOnce) {
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    fcntl(pipeEnds[1], F_SETFL, O_NONBLOCK);
    const std::string filler(4096, 'x');
    while (write(pipeEnds[1], filler.data(), filler.size()) > 0) {
    }
    fcntl(pipeEnds[1], F_SETFL, 0);
    SolveChild child(dir.path(), {denseFigure, "--threads", "2", "--memory", "256"}, pipeEnds[1]);
    close(pipeEnds[1]);
    ASSERT_TRUE(child.waitForSearch());
    ASSERT_TRUE(child.catches(SIGINT));
    kill(child.pid(), SIGINT);
    // The first one is handled at once, and gives the signal back its default.
    for (int32_t i = 0; i < 3000 && child.catches(SIGINT); ++i) {
        usleep(10'000);
    }
    ASSERT_FALSE(child.catches(SIGINT));
    kill(child.pid(), SIGINT);
    const int status = child.wait();
    close(pipeEnds[0]);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGINT);
}

}  // namespace
}  // namespace kvarlo
