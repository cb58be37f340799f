// An independent reference for the engine's tests: a memoised depth-first search over jump
// sequences played on the Board itself with the game's rule, without the jump graph, without
// symmetry and without layers.
#pragma once

#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "board/board.h"
#include "board/moves.h"
#include "support/boards.h"

namespace kvarlo::testing {

using Wide = unsigned __int128;

// Every legal jump of the board's present position, found as the game finds landing slots.
inline std::vector<MoveRecord> legalJumps(Board& board) {
    std::vector<MoveRecord> jumps;
    for (int32_t i = 0; i < board.nodeCount; ++i) {
        for (int32_t d = 0; d < 3; ++d) {
            if (!board.nodes[i].active || !board.nodes[i].edges[d].hasMatch) {
                continue;
            }
            const EdgeRef from{static_cast<int16_t>(i), static_cast<int8_t>(d)};
            board.clearTargets();
            markTargets(board, i, d);
            for (int32_t q = 0; q < board.nodeCount; ++q) {
                if (board.nodes[q].active && board.nodes[q].edges[d].target) {
                    const EdgeRef to{static_cast<int16_t>(q), static_cast<int8_t>(d)};
                    EdgeRef jumped{};
                    findJumped(board, from, to, jumped);
                    jumps.push_back(MoveRecord{from, to, jumped});
                }
            }
            board.clearTargets();
        }
    }
    return jumps;
}

inline std::string positionKey(const Board& board) {
    std::string key;
    for (int32_t i = 0; i < board.nodeCount; ++i) {
        for (const EdgeSlot& s : board.nodes[i].edges) {
            key.push_back(s.hasMatch ? '1' : '0');
        }
    }
    return key;
}

inline void play(Board& board, const MoveRecord& m) {
    board.slot(m.to).hasMatch = 1;
    board.slot(m.from).hasMatch = 0;
    board.slot(m.jumped).hasMatch = 0;
}

inline void unplay(Board& board, const MoveRecord& m) {
    board.slot(m.to).hasMatch = 0;
    board.slot(m.from).hasMatch = 1;
    board.slot(m.jumped).hasMatch = 1;
}

// spectrum[m]: the number of complete games from the board's position that end with m matches.
class BruteForce {
public:
    std::vector<Wide> spectrum(Board& board) {
        const std::string key = positionKey(board);
        if (auto it = memo_.find(key); it != memo_.end()) {
            return it->second;
        }
        std::vector<Wide> result(board.countMatches() + 1, 0);
        const auto jumps = legalJumps(board);
        if (jumps.empty()) {
            result[board.countMatches()] = 1;
        }
        for (const MoveRecord& m : jumps) {
            play(board, m);
            const auto sub = spectrum(board);
            unplay(board, m);
            for (size_t i = 0; i < sub.size(); ++i) {
                result[i] += sub[i];
            }
        }
        memo_[key] = result;
        return result;
    }

private:
    std::map<std::string, std::vector<Wide>> memo_;
};

// The distinct positions after exactly k jumps, for every k.
inline std::vector<size_t> positionsPerLayer(const Board& start) {
    std::vector<size_t> sizes;
    std::set<std::string> seen;
    std::vector<Board> layer{start};
    while (!layer.empty()) {
        sizes.push_back(layer.size());
        std::vector<Board> next;
        seen.clear();
        for (Board& b : layer) {
            for (const MoveRecord& m : legalJumps(b)) {
                Board child(b);
                play(child, m);
                if (seen.insert(positionKey(child)).second) {
                    next.push_back(child);
                }
            }
        }
        layer = std::move(next);
    }
    return sizes;
}

// The 7 x 7 board with matches on the given slots.

// The slots of the 7 x 7 board whose node lies within `radius` hex steps of node (cx, cy), at
// least `inner` steps away.
inline std::vector<EdgeRef> slotsNear(const Board& board, int32_t cx, int32_t cy, int32_t radius,
                                      int32_t inner = 0) {
    std::vector<EdgeRef> slots;
    for (int32_t i = 0; i < board.nodeCount; ++i) {
        const int32_t dx = board.nodes[i].x - cx;
        const int32_t dy = board.nodes[i].y - cy;
        const int32_t dist = std::max({std::abs(dx), std::abs(dy), std::abs(dx - dy)});
        for (int32_t d = 0; d < 3; ++d) {
            if (dist <= radius && dist >= inner && board.slotExists(i, d)) {
                slots.push_back(EdgeRef{static_cast<int16_t>(i), static_cast<int8_t>(d)});
            }
        }
    }
    return slots;
}

// The slots of the nodes within `radius` steps of the centre.
inline std::vector<EdgeRef> centralSlots(const Board& board, int32_t radius) {
    return slotsNear(board, 3, 3, radius);
}

// Matches on `count` of the slots, drawn at random. Fisher-Yates on the generator's own
// numbers, which the standard fixes: std::shuffle's use of them is each library's own, and the
// figures must be the same on every one.
inline void scatter(Board& board, std::vector<EdgeRef> slots, int32_t count, std::mt19937& rng) {
    for (size_t i = slots.size(); i > 1; --i) {
        std::swap(slots[i - 1], slots[rng() % i]);
    }
    for (int32_t i = 0; i < count && i < static_cast<int32_t>(slots.size()); ++i) {
        board.slot(slots[i]).hasMatch = 1;
    }
}

// A random figure of `count` matches among the central slots.
inline Board randomFigure(std::mt19937& rng, int32_t count, int32_t radius = 2) {
    Board board(7, 7);
    scatter(board, centralSlots(board, radius), count, rng);
    return board;
}

}  // namespace kvarlo::testing
