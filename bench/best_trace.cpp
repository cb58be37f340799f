// The way to a figure's best, counted in jumps on one thread rather than timed: on a shared
// machine the wall clock says little, a count says the same on every run.
//
//   best_trace run SCHEDULE JUMPS FIGURE.t1a ...
//       one best-ending search alone (SCHEDULE: alternate, fewer or beams) until it has made
//       JUMPS jumps or proven its best; prints each better ending as it comes: matches, the
//       search's jumps at that moment, and which method found it (a beam of which width, the
//       depth-first search).
//   best_trace beams SCHEDULE WIDTHS SALTS FIGURE.t1a ...
//       single beams of each width (a list: 64,128,...) with SALTS tie orders each, ranked as
//       the SCHEDULE's beams rank; prints per beam the fewest matches met, the jumps made when
//       it was met and the beam's jumps in all (best@at/all).
#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "board/board.h"
#include "documents/file_format.h"
#include "solver/engine/best.h"
#include "solver/engine/graph.h"

namespace {

using kvarlo::engine::BestEnding;
using kvarlo::engine::BestSearch;
using kvarlo::engine::Finder;
using kvarlo::engine::JumpGraph;
using kvarlo::engine::MemoryBudget;

constexpr uint64_t budgetBytes = 1ull << 30;
constexpr uint64_t searchBytes = 192ull << 20;  // the whole search's share beside a second one

bool loadGraph(const std::string& path, JumpGraph& graph) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    kvarlo::Board board(7, 7);
    std::string reason;
    if (!in) {
        reason = "cannot read";
    } else if (kvarlo::loadFigureImage(bytes, board, reason)) {
        board.clearMarks();
        graph = kvarlo::engine::graphFromBoard(board);
        return true;
    }
    std::fprintf(stderr, "best_trace: %s: %s\n", path.c_str(), reason.c_str());
    return false;
}

bool scheduleOf(const std::string& name, BestSearch::Schedule& schedule) {
    if (name == "alternate") {
        schedule = BestSearch::Schedule::Alternate;
    } else if (name == "fewer") {
        schedule = BestSearch::Schedule::FewerDescents;
    } else if (name == "beams") {
        schedule = BestSearch::Schedule::Beams;
    } else {
        std::fprintf(stderr, "best_trace: no schedule %s\n", name.c_str());
        return false;
    }
    return true;
}

const char* finderName(Finder f) {
    switch (f) {
        case Finder::Beam:
            return "beam";
        case Finder::Descent:
            return "descent";
        case Finder::Offered:
            return "offered";
        default:
            return "-";
    }
}

void printEnding(const std::string& figure, const BestEnding& r) {
    std::printf("%-28s best %3d  at %10" PRIu64 " jumps  by %-7s width %5u  lowest %d\n",
                figure.c_str(), r.best, r.jumpsAtBest, finderName(r.foundBy), r.foundWidth,
                r.lowest);
    std::fflush(stdout);
}

// One search alone until `jumps` or a proof, each better ending printed as it comes.
void traceRun(const std::string& figure, const JumpGraph& graph, BestSearch::Schedule schedule,
              uint64_t jumps) {
    MemoryBudget budget(budgetBytes);
    BestSearch search(graph, budget, searchBytes, true, schedule);
    std::atomic<bool> stop{false};
    std::thread worker([&] { search.run(stop); });
    int32_t shown = kvarlo::engine::noResult;
    BestEnding r;
    do {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        r = search.result();
        if (r.best != shown) {
            shown = r.best;
            printEnding(figure, r);
        }
    } while (!search.finished() && r.jumpsGenerated < jumps);
    stop = true;
    worker.join();
    std::printf("%-28s end  %3d  after %7" PRIu64 " jumps%s\n", figure.c_str(),
                search.result().best, search.result().jumpsGenerated,
                search.finished() ? ", proven" : "");
}

// Single beams, each on a fresh search so that no ending found before masks the next.
void traceBeams(const std::string& figure, const JumpGraph& graph, BestSearch::Schedule schedule,
                const std::vector<uint32_t>& widths, uint64_t salts) {
    for (uint32_t width : widths) {
        std::string line;
        for (uint64_t salt = 0; salt < salts; ++salt) {
            MemoryBudget budget(budgetBytes);
            BestSearch search(graph, budget, searchBytes, true, schedule);
            const std::atomic<bool> stop{false};
            search.beamAlone(width, salt, stop);
            const BestEnding r = search.result();
            line += " " + std::to_string(r.best) + "@" + std::to_string(r.jumpsAtBest) + "/" +
                    std::to_string(r.jumpsGenerated);
        }
        std::printf("%-28s width %5u:%s\n", figure.c_str(), width, line.c_str());
        std::fflush(stdout);
    }
}

std::vector<uint32_t> widthsOf(const std::string& list) {
    std::vector<uint32_t> widths;
    std::stringstream in(list);
    std::string item;
    while (std::getline(in, item, ',')) {
        widths.push_back(static_cast<uint32_t>(std::strtoul(item.c_str(), nullptr, 10)));
    }
    return widths;
}

int usage() {
    std::fprintf(stderr,
                 "usage: best_trace run SCHEDULE JUMPS FIGURE.t1a ...\n"
                 "       best_trace beams SCHEDULE WIDTHS SALTS FIGURE.t1a ...\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    BestSearch::Schedule schedule;
    const bool run = args.size() >= 4 && args[0] == "run";
    const bool beams = args.size() >= 5 && args[0] == "beams";
    if ((!run && !beams) || !scheduleOf(args[1], schedule)) {
        return usage();
    }
    const size_t firstFigure = run ? 3 : 4;
    for (size_t i = firstFigure; i < args.size(); ++i) {
        JumpGraph graph;
        if (!loadGraph(args[i], graph)) {
            return 1;
        }
        std::string name = args[i].substr(args[i].find_last_of('/') + 1);
        if (run) {
            traceRun(name, graph, schedule, std::strtoull(args[2].c_str(), nullptr, 10));
        } else {
            traceBeams(name, graph, schedule, widthsOf(args[2]),
                       std::strtoull(args[3].c_str(), nullptr, 10));
        }
    }
    return 0;
}
