// kvarlo-cli solve: runs the game's search engine on a document's position or on a graph file
// and prints the Solver panel's lines or one JSON object; can save the solution file.
#include <charconv>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <locale>
#include <new>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/document_file.h"
#include "cli/interrupt.h"
#include "cli/move_format.h"
#include "documents/file_format.h"
#include "game/clock.h"
#include "platform/cp1251.h"
#include "platform/file_io.h"
#include "platform/terminal.h"
#include "solver/engine/engine.h"
#include "solver/engine/graph_file.h"
#include "solver/search_results.h"
#include "view/status.h"

namespace kvarlo::cli {

namespace {

const char* const help =
    "usage: kvarlo-cli solve FILE [-o OUT.t1c] [--threads N] [--memory MIB] [--time-limit SEC]\n"
    "                        [--json] [--seed N] [--best]\n"
    "       kvarlo-cli solve --graph GRAPH.txt [--threads N] [--memory MIB] [--time-limit SEC]\n"
    "                        [--json] [--seed N] [--best]\n"
    "\n"
    "Searches the position stored in a figure, game or solution file (or a jump graph read\n"
    "from a text file) with the game's search engine. The search is exact while its layers fit\n"
    "in memory; after that it goes on incomplete for 60 seconds more (or up to the time limit),\n"
    "estimating the counts it cannot finish.\n"
    "\n"
    "  -o FILE           save the results as a solution file, as the game saves one\n"
    "  --threads N       worker threads (default: one per hardware thread)\n"
    "  --memory MIB      memory budget in MiB (default: half of what the system allows the\n"
    "                    process: installed memory, ulimit -v and -d, the control group's limit)\n"
    "  --time-limit SEC  stop after this many seconds\n"
    "  --json            one JSON object instead of the panel's lines\n"
    "  --seed N          seed of the random probes of an incomplete search (default 1)\n"
    "  --best            stop as soon as the best result is proven\n"
    "\n"
    "The first Ctrl-C (SIGINT) or SIGTERM stops the search as a limit does: the results so far\n"
    "are printed and saved; a second one ends the program at once.\n"
    "\n"
    "Exit status: 0 when the search is complete (with --best: when the best result is proven),\n"
    "1 when a file was refused or not written or a limit (time or memory) left the search\n"
    "incomplete (with --best: the best result unproven), a line on stderr saying which, 2 on a\n"
    "usage error, 130 when stopped by SIGINT, 143 by SIGTERM.\n";

// Seconds the search goes on once it has become incomplete, without a time limit.
constexpr double incompleteSeconds = 60;
// The largest --memory (1 PiB, in MiB) and --time-limit (about four months) taken: beyond any
// machine and any wait, and far from overflowing the bytes and the clock they become.
constexpr uint64_t maxMemoryMiB = uint64_t{1} << 30;
constexpr double maxTimeLimit = 1e7;

struct SolveArguments {
    std::string file;
    std::string graph;
    std::string output;
    engine::EngineOptions options;
    double timeLimit = 0;  // 0: none
    bool json = false;
    bool best = false;  // stop once the best result is proven
};

template <typename T>
bool parseValue(const std::string& text, T& out) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

// Seconds are read by a stream in the C locale: std::from_chars for floating point is missing
// from some standard libraries (libc++ 13). Only digits, a point, an exponent and signs are
// taken, as from_chars takes them (no spaces, no hexadecimal, no "inf").
bool parseValue(const std::string& text, double& out) {
    if (text.empty() || text[0] == '+' ||
        text.find_first_not_of("0123456789.eE+-") != std::string::npos) {
        return false;
    }
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    in >> out;
    return !in.fail() && in.peek() == std::char_traits<char>::eof();
}

bool isNumberOption(const std::string& arg) {
    return arg == "--threads" || arg == "--memory" || arg == "--time-limit" || arg == "--seed";
}

// One of the options that take a number, with the range it accepts; a usage error when the
// value is missing or out of range.
std::optional<int> parseNumberOption(const std::string& arg, const std::string& v,
                                     SolveArguments& out) {
    if (arg == "--threads") {
        int32_t n = 0;
        if (!parseValue(v, n) || n < 1 || n > 64) {
            return usageError("solve", "--threads needs a number from 1 to 64");
        }
        out.options.threads = n;
    } else if (arg == "--memory") {
        uint64_t mib = 0;
        if (!parseValue(v, mib) || mib < 1 || mib > maxMemoryMiB) {
            return usageError("solve", "--memory needs a whole number of MiB from 1 to " +
                                           std::to_string(maxMemoryMiB));
        }
        out.options.memoryBytes = mib << 20;
    } else if (arg == "--time-limit") {
        double sec = 0;
        if (!parseValue(v, sec) || !(sec > 0) || sec > maxTimeLimit) {
            return usageError("solve", "--time-limit needs a number of seconds above 0, at most " +
                                           std::to_string(static_cast<int64_t>(maxTimeLimit)));
        }
        out.timeLimit = sec;
    } else {
        uint64_t seed = 0;
        if (!parseValue(v, seed)) {
            return usageError(
                "solve", "--seed needs a whole number from 0 to " + std::to_string(UINT64_MAX));
        }
        out.options.seed = seed;
    }
    return std::nullopt;
}

std::optional<int> parseArguments(const std::vector<std::string>& args, SolveArguments& out) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& v) {
            if (i + 1 >= args.size()) {
                return false;
            }
            v = args[++i];
            return true;
        };
        std::string v;
        if (arg == "--help" || arg == "-h") {
            std::fputs(help, stdout);
            return exitOk;
        } else if (arg == "--json") {
            out.json = true;
        } else if (arg == "--best") {
            out.best = true;
        } else if (arg == "-o") {
            if (!value(out.output) || out.output.empty()) {
                return usageError("solve", "-o needs a file");
            }
        } else if (arg == "--graph") {
            if (!value(out.graph) || out.graph.empty()) {
                return usageError("solve", "--graph needs a file");
            }
        } else if (isNumberOption(arg)) {
            value(v);  // a missing value stays empty, which no range takes
            if (auto done = parseNumberOption(arg, v, out)) {
                return done;
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usageError("solve", "unknown option '" + arg + "'");
        } else if (!out.file.empty()) {
            return usageError("solve", "one file only");
        } else {
            out.file = arg;
        }
    }
    if (out.file.empty() == out.graph.empty()) {
        return usageError("solve", "either a FILE or --graph GRAPH.txt is needed");
    }
    if (!out.graph.empty() && !out.output.empty()) {
        return usageError("solve", "-o saves a position of the board, not of a graph");
    }
    return std::nullopt;
}

std::string quoted(const std::string& s) {
    return "\"" + s + "\"";
}

std::string jsonReport(const engine::EngineReport& report, const SolverResults& results,
                       const engine::JumpGraph& graph, bool isGraph, int64_t elapsedMs) {
    std::string moves = "[";
    for (size_t i = 0; i < report.bestSequence.size(); ++i) {
        const engine::Jump j = report.bestSequence[i];
        moves += i ? ", " : "";
        if (isGraph) {
            moves += "[" + std::to_string(j.from) + ", " + std::to_string(j.over) + ", " +
                     std::to_string(j.to) + "]";
        } else {
            moves += jsonMove(engine::toMoveRecord(graph, j));
        }
    }
    moves += "]";
    std::string spectrum = "[";
    engine::Count256 games;
    for (size_t m = 0; m < report.spectrum.size(); ++m) {
        spectrum += (m ? ", " : "") + quoted(engine::toDecimal(report.spectrum[m]));
        engine::addCount(games, report.spectrum[m]);
    }
    spectrum += "]";
    std::string layers = "[";
    for (size_t k = 0; k < report.layers.size(); ++k) {
        layers += (k ? ", " : "") + std::to_string(report.layers[k]);
    }
    layers += "]";
    std::string text = "{\n";
    auto add = [&](const char* name, const std::string& value, bool last = false) {
        text += std::string("  \"") + name + "\": " + value + (last ? "\n" : ",\n");
    };
    add("complete", report.complete ? "true" : "false");
    add("status", std::to_string(results.status));
    add("depth", std::to_string(results.depth));
    add("matches", std::to_string(graph.startMatches()));
    add("best", report.best >= 0 ? std::to_string(report.best) : "null");
    add("bestProven", report.bestProven ? "true" : "false");
    add("bestFoundMs", report.bestFoundMs >= 0 ? std::to_string(report.bestFoundMs) : "null");
    add("moves", moves);
    add("spectrum", spectrum);
    add("estimated", report.estimated ? "true" : "false");
    add("games", quoted(engine::toDecimal(games)));
    add("layers", layers);
    add("positionsExamined", std::to_string(report.jumpsGenerated));
    add("elapsedMs", std::to_string(elapsedMs));
    add("auxCounter", std::to_string(results.auxCounter), true);
    return text + "}\n";
}

// A graph file is small (engine::maxGraphFileBytes): a larger one is refused before it is read
// whole, and anything but a regular file (a FIFO, /dev/zero, a folder) before it is read at all.
bool readGraphText(const std::string& path, std::string& text, std::string& reason) {
    std::vector<uint8_t> bytes;
    FileError error;
    if (!readRegularFile(nativePathFromCommandLine(path), engine::maxGraphFileBytes, true, bytes,
                         error)) {
        reason = error.reason;
        return false;
    }
    text.assign(bytes.begin(), bytes.end());
    return true;
}

// The input as the engine takes it: a graph file's graph, or the position of a document.
bool loadInput(const SolveArguments& a, LoadedDocument& doc, engine::JumpGraph& graph) {
    if (!a.graph.empty()) {
        std::string text;
        std::string reason;
        if (!readGraphText(a.graph, text, reason) || !engine::parseGraph(text, graph, reason)) {
            std::fprintf(stderr, "kvarlo-cli: %s: %s\n", a.graph.c_str(), reason.c_str());
            return false;
        }
        return true;
    }
    if (!readDocumentOrReport(a.file, doc)) {
        return false;
    }
    doc.board.clearMarks();
    graph = engine::graphFromBoard(doc.board);
    return true;
}

// The progress bar on stderr, redrawn in place.
void showProgress(const engine::EngineReport& r, double seconds) {
    const int32_t width = 30;
    const double share =
        r.progressTotal ? static_cast<double>(r.progressDone) / r.progressTotal : 0;
    const int32_t filled = static_cast<int32_t>(share * width);
    std::fprintf(stderr, "\r%s %3d [%s%s] %" PRIu64 " jumps, %.1f s ",
                 r.layersFull ? "probes" : "layer", r.completedLayers + 1,
                 std::string(filled, '#').c_str(), std::string(width - filled, '.').c_str(),
                 r.jumpsGenerated, seconds);
    std::fflush(stderr);
}

// Runs the search until it is complete (with --best: the best is proven), a limit stops it or
// a signal does, with the progress bar when stderr is a terminal. Returns the milliseconds taken.
int64_t runSearch(engine::SearchEngine& search, const SolveArguments& a) {
    const auto started = std::chrono::steady_clock::now();
    auto seconds = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    };
    double incompleteSince = -1;
    const bool showBar = standardErrorIsTerminal();
    double lastShown = -1;
    search.run(
        [&] {
            const double now = seconds();
            if (interruption() != 0 || (a.best && search.report().bestProven)) {
                return true;
            }
            if (a.timeLimit > 0) {
                return now >= a.timeLimit;
            }
            if (incompleteSince < 0 && search.report().layersFull) {
                incompleteSince = now;
            }
            return incompleteSince >= 0 && now - incompleteSince >= incompleteSeconds;
        },
        [&] {
            const double now = seconds();
            if (showBar && now - lastShown >= 0.2) {
                lastShown = now;
                showProgress(search.report(), now);
            }
        });
    if (showBar && lastShown >= 0) {
        std::fprintf(stderr, "\r%80s\r", "");
    }
    return static_cast<int64_t>(seconds() * 1000);
}

void printResults(const engine::EngineReport& report, const SolverResults& results,
                  const engine::JumpGraph& graph, bool isGraph, int64_t elapsedMs, bool json) {
    if (json) {
        std::fputs(jsonReport(report, results, graph, isGraph, elapsedMs).c_str(), stdout);
        return;
    }
    // The panel's columns side by side: lines drawn at the same height share a row.
    const auto lines = composeSolverStats(results, 1, 0, 0);
    for (size_t i = 0; i < lines.size(); ++i) {
        const bool sameRow = i > 0 && lines[i].y == lines[i - 1].y;
        std::printf("%s%s", sameRow ? "    " : (i ? "\n" : ""),
                    cp1251ToUtf8(lines[i].text).c_str());
    }
    std::printf("\n");
}

// The exit status of a search that ran, with a line on stderr saying why it stopped short of
// what was asked: a signal, memory (the system's or the budget's) or the time limit.
int endOfSearch(const SolveArguments& a, const engine::EngineReport& r) {
    const uint64_t budgetMiB = r.budgetBytes >> 20;
    if (const int signal = interruption()) {
        std::fprintf(stderr, "kvarlo-cli solve: interrupted by %s: the results so far are kept\n",
                     signalName(signal));
        return interruptedStatus(signal);
    }
    if (a.best ? r.bestProven : r.complete) {
        return exitOk;
    }
    // The system refusing memory the budget had room for means a limit below the budget.
    const std::string memory = r.memoryRefused
                                   ? "the memory the system allows (below the budget of " +
                                         std::to_string(budgetMiB) + " MiB)"
                                   : "the memory budget of " + std::to_string(budgetMiB) + " MiB";
    if (r.layersFull) {
        std::fprintf(stderr,
                     "kvarlo-cli solve: out of memory: layer %d did not fit in %s; the search "
                     "went on incomplete, its counts past layer %d are estimates\n",
                     r.completedLayers + 1, memory.c_str(), r.completedLayers);
    } else if (r.memoryRefused) {
        std::fprintf(stderr,
                     "kvarlo-cli solve: out of memory: the search needed more than %s; it "
                     "stopped incomplete\n",
                     memory.c_str());
    } else {
        std::fprintf(stderr, "kvarlo-cli solve: the time limit of %g s stopped the search %s\n",
                     a.timeLimit, a.best ? "before the best result was proven" : "incomplete");
    }
    return exitRefused;
}

int solve(const SolveArguments& a) {
    LoadedDocument doc;
    engine::JumpGraph graph;
    if (!loadInput(a, doc, graph)) {
        return exitRefused;
    }
    engine::SearchEngine search(graph, a.options);
    catchInterrupts();
    const int64_t elapsedMs = runSearch(search, a);
    const engine::EngineReport report = search.report();
    SolverResults results;
    storeReport(report, graph, doc.board, elapsedMs, results);
    printResults(report, results, graph, !a.graph.empty(), elapsedMs, a.json);
    std::fflush(stdout);

    if (!a.output.empty()) {
        const FixedArray<uint8_t> image = encodeSolution(
            doc.board, results, static_cast<uint32_t>(systemClock().calendarSeconds()));
        std::string reason;
        if (!writeFileAtomically(a.output, {image.data(), image.count()}, reason)) {
            std::fprintf(stderr, "kvarlo-cli: %s: %s\n", a.output.c_str(), reason.c_str());
            return exitRefused;
        }
    }
    return endOfSearch(a, report);
}

}  // namespace

int runSolve(const std::vector<std::string>& args) {
    SolveArguments a;
    if (auto done = parseArguments(args, a)) {
        return *done;
    }
    try {
        return solve(a);
    } catch (const std::bad_alloc&) {
        // The search itself turns refused memory into a memory stop; this is what is left:
        // the engine's first blocks, or the report's copy.
        std::fputs("kvarlo-cli solve: out of memory: the system refused the search its memory\n",
                   stderr);
        return exitRefused;
    }
}

}  // namespace kvarlo::cli
