// Deterministic benchmarks of the search engine: fixed figures, fixed depths. Reports canonical
// positions expanded per second, jumps generated per second and the peak bytes per stored
// position, for one thread and for two.
#include <benchmark/benchmark.h>

#include <ctime>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "board/board.h"
#include "documents/file_format.h"
#include "solver/engine/graph_file.h"
#include "solver/engine/layers.h"
#include "support/boards.h"

namespace kvarlo::engine {
namespace {

// The figure the game starts with: 21 matches, solved to the end (20 layers, all small enough
// for the caches).
Board defaultFigure() {
    std::ifstream in(KVARLO_DEFAULT_FIGURE, std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    Board board(7, 7);
    std::string reason;
    if (!loadFigureImage(bytes, board, reason)) {
        throw std::runtime_error(KVARLO_DEFAULT_FIGURE ": " + reason);
    }
    return board;
}

// A graph file shipped in assets/graphs.
JumpGraph shippedGraph(const std::string& name) {
    std::ifstream in(std::string(KVARLO_GRAPHS) + "/" + name);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    JumpGraph graph;
    std::string error;
    if (!parseGraph(text, graph, error)) {
        throw std::runtime_error(name + ": " + error);
    }
    return graph;
}

// Expands up to `layers` layers (all of them with a large number) and reports the counters.
// `check`, when given, is shown the finished search and names what is wrong with it.
void runLayers(benchmark::State& state, const JumpGraph& graph, int32_t layers,
               const std::function<std::string(const LayeredSearch&)>& check = {}) {
    const int32_t threads = static_cast<int32_t>(state.range(0));
    uint64_t expanded = 0;
    uint64_t jumps = 0;
    uint64_t stored = 0;
    uint64_t peak = 0;
    double cpuSeconds = 0;
    for (auto _ : state) {
        const std::clock_t cpuStart = std::clock();
        MemoryBudget budget(uint64_t{8} << 30);
        LayeredSearch search(graph, budget, threads);
        for (int32_t k = 0; k < layers; ++k) {
            if (search.expandNext() != ExpandResult::Expanded) {
                break;
            }
        }
        expanded = 0;
        stored = 0;
        const auto& sizes = search.layerSizes();
        for (size_t k = 0; k < sizes.size(); ++k) {
            stored += sizes[k];
            expanded += k + 1 < sizes.size() || search.finished() ? sizes[k] : 0;
        }
        jumps = search.jumpsGenerated();
        peak = budget.peak();
        cpuSeconds += static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
        if (const std::string wrong = check ? check(search) : ""; !wrong.empty()) {
            state.SkipWithError(wrong.c_str());
            return;
        }
    }
    state.counters["positions/s"] = benchmark::Counter(
        static_cast<double>(expanded), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["jumps/s"] = benchmark::Counter(static_cast<double>(jumps),
                                                   benchmark::Counter::kIsIterationInvariantRate);
    // Per second of CPU time of the whole process, all threads: positions per second per core
    // whatever else the machine runs, as long as the workers are kept busy.
    state.counters["positions/cpu-s"] =
        static_cast<double>(expanded) * static_cast<double>(state.iterations()) / cpuSeconds;
    state.counters["stored"] = static_cast<double>(stored);
    state.counters["peakBytes/stored"] = static_cast<double>(peak) / static_cast<double>(stored);
}

// The floor under the dense figures: every child of an expansion lands in a cell of a table
// far larger than the caches. This touches random 24-byte cells of a table the size of the
// Hexagon's last layer (62 MB), in batches of 32 whose cells are asked for before the first
// is touched, as the engine inserts; but each touch is a plain increment, with no probing and
// no branch on what the cell holds. Reports the time per cell touched.
void BM_RandomCellFloor(benchmark::State& state) {
    struct Cell {
        uint64_t lo, hi, count;
    };
    const uint64_t cells = (uint64_t{62} << 20) / sizeof(Cell);
    std::vector<Cell> table(cells);
    constexpr int32_t batch = 32;
    uint64_t x = 88172645463325252ull;
    uint64_t at[batch];
    uint64_t touched = 0;
    for (auto _ : state) {
        for (int32_t i = 0; i < 1 << 16; ++i) {
            for (uint64_t& a : at) {
                x ^= x << 13;
                x ^= x >> 7;
                x ^= x << 17;
                a = static_cast<uint64_t>((static_cast<unsigned __int128>(x) * cells) >> 64);
                __builtin_prefetch(&table[a]);
            }
            for (uint64_t a : at) {
                ++table[a].count;
            }
        }
        touched += uint64_t{batch} << 16;
    }
    benchmark::DoNotOptimize(table.data());
    state.counters["seconds/cell"] = benchmark::Counter(
        static_cast<double>(touched), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The published totals of a board's complete search: canonical positions in all its layers
// (0: none published) and complete games.
std::function<std::string(const LayeredSearch&)> totals(uint64_t positions, const char* games) {
    return [=](const LayeredSearch& search) -> std::string {
        uint64_t stored = 0;
        for (uint64_t n : search.layerSizes()) {
            stored += n;
        }
        Count256 sum;
        for (const Count256& c : search.spectrum()) {
            addCount(sum, c);
        }
        if (!search.finished() || (positions != 0 && stored != positions) ||
            toDecimal(sum) != games) {
            return "not the published totals: " + std::to_string(stored) + " positions, " +
                   toDecimal(sum) + " games";
        }
        return "";
    };
}

void BM_AlmostFullEightLayers(benchmark::State& state) {
    runLayers(state, graphFromBoard(testing::fullBoardLessOne(EdgeRef{24, 0})), 8);
}
void BM_HexagonSixLayers(benchmark::State& state) {
    runLayers(state, graphFromBoard(testing::innerHexagon()), 6);
}
void BM_DefaultFigureComplete(benchmark::State& state) {
    runLayers(state, graphFromBoard(defaultFigure()), 1000);
}
// The 15-hole triangle and the English 33-hole board, from a corner and from the centre.
void BM_TriangleComplete(benchmark::State& state) {
    runLayers(state, shippedGraph("triangle.txt"), 1000, totals(0, "568630"));
}
void BM_EnglishComplete(benchmark::State& state) {
    runLayers(state, shippedGraph("english.txt"), 1000,
              totals(23'475'688, "577116156815309849672"));
}

BENCHMARK(BM_AlmostFullEightLayers)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HexagonSixLayers)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DefaultFigureComplete)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TriangleComplete)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EnglishComplete)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_RandomCellFloor)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace kvarlo::engine

BENCHMARK_MAIN();
