// An independent statement of the jump rule for tests, written from the geometry of rhombi
// rather than from the board's neighbour tables: two lattice triangles sharing an edge form a
// rhombus; the shared edge is its short diagonal, and a match on one side can jump across the
// diagonal onto the opposite, parallel side.
#pragma once

#include <algorithm>
#include <array>
#include <set>
#include <tuple>
#include <vector>

#include "board/board.h"

namespace kvarlo::testing {

struct Point {
    int x, y;
};

inline bool adjacent(Point a, Point b) {
    const int dx = b.x - a.x;
    const int dy = b.y - a.y;
    return (dx == 1 && dy == 0) || (dx == 1 && dy == 1) || (dx == 0 && dy == 1) ||
           (dx == -1 && dy == 0) || (dx == -1 && dy == -1) || (dx == 0 && dy == -1);
}

// The slot of the segment a-b: owned by the end from which the other is a forward step.
inline std::tuple<int, int> slotOf(const Board& b, Point p, Point q) {
    static constexpr std::array<std::pair<int, int>, 3> forward = {{{1, 0}, {1, 1}, {0, 1}}};
    for (int d = 0; d < 3; ++d) {
        if (q.x - p.x == forward[d].first && q.y - p.y == forward[d].second) {
            return {p.x + b.width * p.y, d};
        }
        if (p.x - q.x == forward[d].first && p.y - q.y == forward[d].second) {
            return {q.x + b.width * q.y, d};
        }
    }
    return {-1, -1};
}

// (from node, from dir, to node, to dir, jumped node, jumped dir)
using Jump = std::tuple<int, int, int, int, int, int>;

inline std::set<Jump> oracleJumps(const Board& b) {
    std::vector<Point> points;
    for (int y = 0; y < b.height; ++y) {
        for (int x = 0; x < b.width; ++x) {
            if (b.nodes[x + b.width * y].active) {
                points.push_back({x, y});
            }
        }
    }
    auto present = [&](Point p, Point q) {
        auto [n, d] = slotOf(b, p, q);
        return n >= 0 && b.nodes[n].edges[d].exists;
    };
    auto match = [&](Point p, Point q) {
        auto [n, d] = slotOf(b, p, q);
        return present(p, q) && b.nodes[n].edges[d].hasMatch;
    };
    std::set<Jump> jumps;
    // Rhombus a-b-d-c with short diagonal b-c: sides a-b and c-d are parallel, so are a-c and b-d.
    for (Point pb : points) {
        for (Point pc : points) {
            if (!adjacent(pb, pc) || !match(pb, pc)) {
                continue;
            }
            std::vector<Point> apexes;  // the third corners of the two triangles on b-c
            for (Point p : points) {
                if (adjacent(p, pb) && adjacent(p, pc)) {
                    apexes.push_back(p);
                }
            }
            for (Point pa : apexes) {
                for (Point pd : apexes) {
                    if (pa.x == pd.x && pa.y == pd.y) {
                        continue;
                    }
                    const std::pair<std::pair<Point, Point>, std::pair<Point, Point>> sides[] = {
                        {{pa, pb}, {pc, pd}}, {{pa, pc}, {pb, pd}}};
                    for (const auto& [s, t] : sides) {
                        if (match(s.first, s.second) && present(t.first, t.second) &&
                            !match(t.first, t.second)) {
                            auto [fn, fd] = slotOf(b, s.first, s.second);
                            auto [tn, td] = slotOf(b, t.first, t.second);
                            auto [jn, jd] = slotOf(b, pb, pc);
                            jumps.insert({fn, fd, tn, td, jn, jd});
                        }
                    }
                }
            }
        }
    }
    return jumps;
}

}  // namespace kvarlo::testing
