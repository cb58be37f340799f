// A plain beam search for the fewest matches, written apart from the engine as the yardstick
// its best-ending search is measured against: the jumps come from the game's own rule on the
// board, positions are plain bit sets without symmetry, and each level keeps the `width`
// positions with the fewest matches that have no neighbour to jump with, then the most legal
// jumps.
//
// usage: reference_beam FIGURE.t1a [WIDTH]   (prints the fewest matches found and the time)
#include <algorithm>
#include <bitset>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <unordered_set>
#include <vector>

#include "board/board.h"
#include "board/moves.h"
#include "documents/file_format.h"

namespace {

using kvarlo::Board;
using kvarlo::EdgeRef;
using Position = std::bitset<160>;

struct Triple {
    int32_t from, over, to;
};

int32_t slotIndex(EdgeRef r) {
    return r.node * 3 + r.direction;
}

// Every jump of the board: with every slot full but one, the jumps that land on that one are
// exactly the legal ones.
std::vector<Triple> allJumps(const Board& shape) {
    std::vector<Triple> jumps;
    for (int32_t t = 0; t < shape.nodeCount * 3; ++t) {
        if (!shape.slotExists(t / 3, t % 3)) {
            continue;
        }
        Board full(shape);
        for (int32_t i = 0; i < full.nodeCount; ++i) {
            for (int32_t d = 0; d < 3; ++d) {
                full.nodes[i].edges[d].hasMatch = full.slotExists(i, d) && i * 3 + d != t;
            }
        }
        kvarlo::forEachLegalJump(full, [&](const kvarlo::MoveRecord& m) {
            jumps.push_back({slotIndex(m.from), slotIndex(m.jumped), t});
        });
    }
    return jumps;
}

struct Hash {
    size_t operator()(const Position& p) const { return std::hash<std::string>()(p.to_string()); }
};

bool legal(const Position& p, const Triple& j) {
    return p[j.from] && p[j.over] && !p[j.to];
}

Position startOf(const Board& board) {
    Position start;
    for (int32_t i = 0; i < board.nodeCount; ++i) {
        for (int32_t d = 0; d < 3; ++d) {
            start[i * 3 + d] = board.nodes[i].edges[d].hasMatch;
        }
    }
    return start;
}

// Lower is better: matches with no neighbour to jump with or over, then fewer jumps.
int32_t score(const Position& p, const std::vector<Triple>& jumps) {
    std::vector<bool> paired(p.size());
    int32_t mobility = 0;
    for (const Triple& j : jumps) {
        if (p[j.from] && p[j.over]) {
            paired[j.from] = paired[j.over] = true;
        }
        mobility += legal(p, j);
    }
    int32_t alone = 0;
    for (size_t s = 0; s < p.size(); ++s) {
        alone += p[s] && !paired[s];
    }
    return alone * 1000 - mobility;
}

// The fewest matches left at a dead end that a beam of `width` positions per level meets.
size_t fewestByBeam(const std::vector<Triple>& jumps, const Position& start, size_t width) {
    size_t fewest = start.count();
    std::vector<Position> level{start};
    while (!level.empty()) {
        std::unordered_set<Position, Hash> seen;
        std::vector<std::pair<int32_t, Position>> next;
        for (const Position& p : level) {
            bool moved = false;
            for (const Triple& j : jumps) {
                if (!legal(p, j)) {
                    continue;
                }
                moved = true;
                Position c = p;
                c[j.from] = false;
                c[j.over] = false;
                c[j.to] = true;
                if (seen.insert(c).second) {
                    next.emplace_back(score(c, jumps), c);
                }
            }
            if (!moved) {
                fewest = std::min(fewest, p.count());
            }
        }
        const size_t keep = std::min(width, next.size());
        std::partial_sort(next.begin(), next.begin() + keep, next.end(),
                          [](const auto& a, const auto& b) { return a.first < b.first; });
        level.clear();
        for (size_t i = 0; i < keep; ++i) {
            level.push_back(next[i].second);
        }
    }
    return fewest;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: reference_beam FIGURE.t1a [WIDTH]\n");
        return 2;
    }
    const size_t width = argc > 2 ? std::stoul(argv[2]) : 1000;
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    Board board(7, 7);
    std::string reason;
    if (!kvarlo::loadFigureImage(bytes, board, reason)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], reason.c_str());
        return 1;
    }
    const auto started = std::chrono::steady_clock::now();
    const size_t fewest = fewestByBeam(allJumps(board), startOf(board), width);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("%s: fewest %zu, width %zu, %.2f s\n", argv[1], fewest, width, seconds);
    return 0;
}
