// The engine's report as a SolverResults record.
#include "solver/search_results.h"

#include <algorithm>
#include <limits>

#include "board/moves.h"

namespace kvarlo {

namespace {

int32_t clampInt32(uint64_t v) {
    return static_cast<int32_t>(std::min<uint64_t>(v, std::numeric_limits<int32_t>::max()));
}

}  // namespace

int32_t storeSpectrum(const std::vector<engine::Count256>& counts, int64_t* out, int32_t n) {
    int32_t widest = 0;
    for (int32_t i = 0; i < n; ++i) {
        if (i < static_cast<int32_t>(counts.size())) {
            widest = std::max(widest, counts[i].bitLength());
        }
    }
    const int32_t shift = std::max(0, widest - 63);
    for (int32_t i = 0; i < n; ++i) {
        const engine::Count256 c =
            i < static_cast<int32_t>(counts.size()) ? counts[i] : engine::Count256{};
        uint64_t v = c.shiftedRight(shift).low64();
        if (v == 0 && !c.isZero()) {
            v = 1;  // a class that occurs must not vanish from the panel
        }
        out[i] = static_cast<int64_t>(v);
    }
    return shift;
}

std::vector<MoveRecord> replayableSolution(const Board& board, const engine::JumpGraph& graph,
                                           const std::vector<engine::Jump>& sequence) {
    std::vector<MoveRecord> records;
    if (graph.slotRefs.size() != static_cast<size_t>(graph.slotCount)) {
        return records;
    }
    for (const engine::Jump& j : sequence) {
        records.push_back(engine::toMoveRecord(graph, j));
    }
    if (!isPlayableSequence(board, records)) {
        return {};
    }
    return records;
}

void storeReport(const engine::EngineReport& report, const engine::JumpGraph& graph,
                 const Board& board, int64_t elapsedMs, SolverResults& results) {
    results.status = report.complete ? 2 : 1;
    results.depth = 1 + report.completedLayers;
    results.progressDone = clampInt32(report.progressDone);
    results.progressTotal = clampInt32(report.progressTotal);
    results.positionsExamined =
        static_cast<int64_t>(std::min<uint64_t>(report.jumpsGenerated, INT64_MAX));
    results.elapsedMs = clampInt32(static_cast<uint64_t>(std::max<int64_t>(0, elapsedMs)));

    const auto records = replayableSolution(board, graph, report.bestSequence);
    const int32_t bestCount =
        std::min<int32_t>(static_cast<int32_t>(records.size()), solverCapacity);
    results.bestSolution.zeroFill();
    std::copy(records.begin(), records.begin() + bestCount, results.bestSolution.data());
    results.bestCount = bestCount;

    results.spectrumCount = std::min<int32_t>(graph.startMatches() + 1, solverCapacity);
    results.spectrum.zeroFill();
    results.auxCounter =
        storeSpectrum(report.spectrum, results.spectrum.data(), results.spectrumCount);
}

}  // namespace kvarlo
