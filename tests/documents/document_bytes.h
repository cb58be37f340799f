// Test helpers: hand-assembled file images, and a program state that can be compared whole.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "board/board.h"
#include "board/moves.h"
#include "game/game.h"
#include "solver/solver_results.h"

namespace kvarlo::test {

// Appends fields in file order, little-endian, one byte at a time.
struct Bytes {
    std::vector<uint8_t> v;

    Bytes& u8(uint8_t b) {
        v.push_back(b);
        return *this;
    }
    Bytes& u32(uint32_t x) {
        for (int i = 0; i < 4; ++i) {
            v.push_back(static_cast<uint8_t>(x >> (8 * i)));
        }
        return *this;
    }
    Bytes& i32(int32_t x) { return u32(static_cast<uint32_t>(x)); }
    Bytes& i64(int64_t x) {
        const auto bits = static_cast<uint64_t>(x);
        return u32(static_cast<uint32_t>(bits)).u32(static_cast<uint32_t>(bits >> 32));
    }
    Bytes& ref(int16_t node, int8_t direction) {
        const auto bits = static_cast<uint16_t>(node);
        return u8(static_cast<uint8_t>(bits))
            .u8(static_cast<uint8_t>(bits >> 8))
            .u8(static_cast<uint8_t>(direction));
    }
    Bytes& move(const MoveRecord& m) {
        return ref(m.from.node, m.from.direction)
            .ref(m.to.node, m.to.direction)
            .ref(m.jumped.node, m.jumped.direction);
    }
    Bytes& header(uint32_t kind, uint32_t createdTime, int32_t width = 7, int32_t height = 7) {
        u32(kind).u32(0).u32(createdTime);
        for (int i = 0; i < 4; ++i) {
            u32(0);
        }
        return i32(width).i32(height);
    }
    // The node records as the board holds them in memory (they are stored byte for byte).
    Bytes& nodes(const Board& board) {
        const auto* raw = reinterpret_cast<const uint8_t*>(board.nodes.get());
        v.insert(v.end(), raw, raw + sizeof(Node) * board.nodeCount);
        return *this;
    }
};

// The legal jump (24,0) -> (31,0) over (24,1) and its reverse partner on the 7 x 7 board.
inline constexpr MoveRecord jumpA{{24, 0}, {31, 0}, {24, 1}};
inline constexpr MoveRecord jumpB{{24, 1}, {17, 1}, {24, 0}};

// Everything a load may change, filled with values no file in the tests holds.
struct World {
    Board board{7, 7};
    MoveHistory history;
    GameState state{11, 22, 33, 0};
    SolverResults results;

    World() {
        board.nodes[24].edges[0].hasMatch = 1;
        board.nodes[24].edges[1].hasMatch = 1;
        board.nodes[10].edges[2].hasMatch = 1;
        board.nodes[24].edges[0].selected = 1;
        for (int32_t i = 0; i < historyCapacity; ++i) {
            history.records[i] = MoveRecord{{static_cast<int16_t>(i % 49), 2}, {5, 1}, {6, 0}};
        }
        history.current = 3;
        history.total = 5;
        results.status = 1;
        results.depth = 4;
        results.auxCounter = 5;
        results.progressDone = 6;
        results.progressTotal = 7;
        results.positionsExamined = 8;
        results.elapsedMs = 9;
        results.bestCount = 2;
        results.spectrumCount = 3;
        for (int32_t i = 0; i < solverCapacity; ++i) {
            results.bestSolution[i] = MoveRecord{{7, 1}, {static_cast<int16_t>(i % 49), 0}, {8, 2}};
            results.spectrum[i] = 1000 + i;
        }
    }
};

inline bool sameBoard(const Board& a, const Board& b) {
    return a.width == b.width && a.height == b.height && a.nodeCount == b.nodeCount &&
           std::memcmp(a.nodes.get(), b.nodes.get(), sizeof(Node) * a.nodeCount) == 0;
}

inline bool sameHistory(const MoveHistory& a, const MoveHistory& b) {
    return a.current == b.current && a.total == b.total && a.records == b.records;
}

inline bool sameState(const GameState& a, const GameState& b) {
    return a.initialMatches == b.initialMatches && a.startTime == b.startTime &&
           a.elapsedSeconds == b.elapsedSeconds && a.gameOver == b.gameOver;
}

inline bool sameResults(const SolverResults& a, const SolverResults& b) {
    return a.status == b.status && a.depth == b.depth && a.auxCounter == b.auxCounter &&
           a.progressDone == b.progressDone && a.progressTotal == b.progressTotal &&
           a.positionsExamined == b.positionsExamined && a.elapsedMs == b.elapsedMs &&
           a.bestCount == b.bestCount && a.spectrumCount == b.spectrumCount &&
           std::memcmp(a.bestSolution.data(), b.bestSolution.data(), a.bestSolution.bytes()) == 0 &&
           std::memcmp(a.spectrum.data(), b.spectrum.data(), a.spectrum.bytes()) == 0;
}

inline bool sameWorld(const World& a, const World& b) {
    return sameBoard(a.board, b.board) && sameHistory(a.history, b.history) &&
           sameState(a.state, b.state) && sameResults(a.results, b.results);
}

}  // namespace kvarlo::test
