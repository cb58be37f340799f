// Resource functions per target slot: a linear program finds one, integers make it exact.
#include "solver/engine/weights.h"

#include <algorithm>
#include <cmath>

namespace kvarlo::engine {

namespace {

constexpr double eps = 1e-9;

// The integer weights a real weight of 1 becomes: fine enough that rounding loses little of
// a margin, small enough that a total over every slot stays far from overflow.
constexpr double scale = 1 << 30;

// A linear program in the form: maximise c.x subject to A x <= b, x >= 0, with b >= 0 (so
// x = 0 is a start), solved by the simplex method on a compact tableau. Bland's rule (the
// lowest index enters and leaves) keeps the many degenerate pivots from cycling.
class Simplex {
public:
    Simplex(int32_t rows, int32_t cols)
        : m_(rows), n_(cols), d_(static_cast<size_t>(rows + 1) * (cols + 1), 0.0) {
        for (int32_t i = 0; i < m_; ++i) {
            basic_.push_back(n_ + i);
        }
        for (int32_t j = 0; j < n_; ++j) {
            nonbasic_.push_back(j);
        }
    }

    double& at(int32_t row, int32_t col) { return d_[static_cast<size_t>(row) * (n_ + 1) + col]; }
    // Row m_ holds minus the objective; column n_ the right-hand sides.
    void setObjective(int32_t col, double c) { at(m_, col) = -c; }

    // The optimal x, or nothing when unbounded or out of pivots.
    std::optional<std::vector<double>> solve(int32_t maxPivots) {
        for (int32_t k = 0; k < maxPivots; ++k) {
            const int32_t s = entering();
            if (s < 0) {
                return solution();
            }
            const int32_t r = leaving(s);
            if (r < 0) {
                return std::nullopt;
            }
            degenerate_ = at(r, n_) <= eps ? degenerate_ + 1 : 0;
            pivot(r, s);
        }
        return std::nullopt;
    }

private:
    // The steepest column while pivots make progress; Bland's lowest index after a run of
    // degenerate ones, which cannot cycle.
    int32_t entering() {
        const bool bland = degenerate_ > 50;
        int32_t s = -1;
        for (int32_t j = 0; j < n_; ++j) {
            if (at(m_, j) >= -eps) {
                continue;
            }
            if (s < 0 || (bland ? nonbasic_[j] < nonbasic_[s] : at(m_, j) < at(m_, s))) {
                s = j;
            }
        }
        return s;
    }

    int32_t leaving(int32_t s) {
        int32_t r = -1;
        double best = 0;
        for (int32_t i = 0; i < m_; ++i) {
            if (at(i, s) <= eps) {
                continue;
            }
            const double ratio = at(i, n_) / at(i, s);
            if (r < 0 || ratio < best - eps || (ratio <= best + eps && basic_[i] < basic_[r])) {
                r = i;
                best = ratio;
            }
        }
        return r;
    }

    void pivot(int32_t r, int32_t s) {
        const double inv = 1 / at(r, s);
        for (int32_t i = 0; i <= m_; ++i) {
            if (i == r) {
                continue;
            }
            const double f = at(i, s) * inv;
            if (std::abs(at(i, s)) <= eps) {
                at(i, s) = -f;
                continue;
            }
            for (int32_t j = 0; j <= n_; ++j) {
                at(i, j) -= at(r, j) * f;
            }
            at(i, s) = -f;
        }
        for (int32_t j = 0; j <= n_; ++j) {
            at(r, j) *= inv;
        }
        at(r, s) = inv;
        std::swap(basic_[r], nonbasic_[s]);
    }

    std::vector<double> solution() {
        std::vector<double> x(n_, 0.0);
        for (int32_t i = 0; i < m_; ++i) {
            if (basic_[i] < n_) {
                x[basic_[i]] = at(i, n_);
            }
        }
        return x;
    }

    int32_t m_;
    int32_t n_;
    std::vector<double> d_;
    std::vector<int32_t> basic_;
    std::vector<int32_t> nonbasic_;
    int32_t degenerate_ = 0;  // pivots in a row that left the objective where it was
};

// The slots the program needs a variable for: those of the jumps, the group and the target.
std::vector<int32_t> usedSlots(const std::vector<Jump>& jumps, int32_t slotCount, Bits group,
                               int32_t target) {
    Bits used = group | Bits::bit(target);
    for (const Jump& j : jumps) {
        used = used | Bits::bit(j.from) | Bits::bit(j.over) | Bits::bit(j.to);
    }
    std::vector<int32_t> slots;
    forEachBit(used, [&](int32_t s) {
        if (s < slotCount) {
            slots.push_back(s);
        }
    });
    return slots;
}

// Real weights that maximise the target's weight while the group weighs at most 1 (and the
// target at most 2, so that an unreachable target keeps the program bounded).
std::optional<std::vector<double>> solveForTarget(const std::vector<Jump>& jumps, int32_t slotCount,
                                                  Bits group, int32_t target) {
    const std::vector<int32_t> slots = usedSlots(jumps, slotCount, group, target);
    std::vector<int32_t> var(slotCount, -1);
    for (size_t i = 0; i < slots.size(); ++i) {
        var[slots[i]] = static_cast<int32_t>(i);
    }
    const int32_t cols = static_cast<int32_t>(slots.size());
    Simplex lp(static_cast<int32_t>(jumps.size()) + 2, cols);
    int32_t row = 0;
    for (const Jump& j : jumps) {
        lp.at(row, var[j.to]) += 1;
        lp.at(row, var[j.from]) -= 1;
        lp.at(row, var[j.over]) -= 1;
        // Every jump's row would otherwise have nothing on its right: a tiny slack of its own
        // keeps the pivots from stalling on ties. Making the answer exact lowers what it
        // lets a jump raise.
        lp.at(row, cols) = 1e-7 * (1 + (row % 97) / 97.0);
        ++row;
    }
    forEachBit(group, [&](int32_t s) { lp.at(row, var[s]) = 1; });
    lp.at(row, cols) = 1;
    ++row;
    lp.at(row, var[target]) = 1;
    lp.at(row, cols) = 2;
    lp.setObjective(var[target], 1);
    const auto x = lp.solve(64 * (row + cols));
    if (!x || (*x)[var[target]] <= eps) {
        return std::nullopt;
    }
    std::vector<double> w(slotCount, 0.0);
    for (int32_t s : slots) {
        w[s] = std::max(0.0, (*x)[var[s]]);
    }
    return w;
}

// Integer weights near `real`, lowered where a jump would raise the total (each landing slot
// at most its jumping and jumped slots' sum) until none does; nothing if that does not settle.
std::optional<SlotWeights> exactWeights(const std::vector<Jump>& jumps,
                                        const std::vector<double>& real) {
    SlotWeights w;
    for (double v : real) {
        w.push_back(static_cast<int64_t>(std::floor(v * scale)));
    }
    for (int32_t sweep = 0; sweep < 256; ++sweep) {
        bool lowered = false;
        for (const Jump& j : jumps) {
            const int64_t most = w[j.from] + w[j.over];
            if (w[j.to] > most) {
                w[j.to] = most;
                lowered = true;
            }
        }
        if (!lowered) {
            return w;
        }
    }
    return std::nullopt;
}

}  // namespace

bool keepsEveryJump(const std::vector<Jump>& jumps, const SlotWeights& w) {
    if (std::any_of(w.begin(), w.end(), [](int64_t v) { return v < 0; })) {
        return false;
    }
    return std::all_of(jumps.begin(), jumps.end(), [&](const Jump& j) {
        const size_t most = std::max({j.from, j.over, j.to});
        return most < w.size() && w[j.to] <= w[j.from] + w[j.over];
    });
}

int64_t totalWeight(const SlotWeights& w, Bits p) {
    int64_t sum = 0;
    forEachBit(p, [&](int32_t s) { sum += s < static_cast<int32_t>(w.size()) ? w[s] : 0; });
    return sum;
}

bool refutes(const std::vector<Jump>& jumps, const SlotWeights& w, Bits group, int32_t target) {
    return target >= 0 && target < static_cast<int32_t>(w.size()) && keepsEveryJump(jumps, w) &&
           totalWeight(w, group) < w[target];
}

std::optional<SlotWeights> programWeights(const std::vector<Jump>& jumps, int32_t slotCount,
                                          Bits group, int32_t target) {
    const auto real = solveForTarget(jumps, slotCount, group, target);
    if (!real) {
        return std::nullopt;
    }
    auto w = exactWeights(jumps, *real);
    if (!w || !keepsEveryJump(jumps, *w) || (*w)[target] <= 0) {
        return std::nullopt;
    }
    return w;
}

std::optional<SlotWeights> refutingWeights(const std::vector<Jump>& jumps, int32_t slotCount,
                                           Bits group, int32_t target) {
    if (group.test(target)) {
        return std::nullopt;
    }
    auto w = programWeights(jumps, slotCount, group, target);
    if (!w || !refutes(jumps, *w, group, target)) {
        return std::nullopt;
    }
    return w;
}

LastMatchWeights::LastMatchWeights(const JumpGraph& graph, const SlotDistances& distances)
    : jumps_(graph.jumps), bySlot_(graph.slotCount) {
    for (int32_t s = 0; s < graph.slotCount; ++s) {
        std::vector<double> golden;
        for (int32_t u = 0; u < graph.slotCount; ++u) {
            golden.push_back(distances.weight(s, u));
        }
        if (auto w = exactWeights(graph.jumps, golden)) {
            add(s, std::move(*w));
        }
    }
}

void LastMatchWeights::addProgram(int32_t s, Bits group) {
    if (auto w = programWeights(jumps_, static_cast<int32_t>(bySlot_.size()), group, s)) {
        add(s, std::move(*w));
    }
}

bool LastMatchWeights::add(int32_t s, SlotWeights w) {
    if (s < 0 || s >= static_cast<int32_t>(bySlot_.size()) || w.size() != bySlot_.size() ||
        !keepsEveryJump(jumps_, w)) {
        return false;
    }
    bySlot_[s].push_back(std::move(w));
    return true;
}

bool LastMatchWeights::excludes(Bits matches, int32_t s) const {
    return std::any_of(bySlot_[s].begin(), bySlot_[s].end(),
                       [&](const SlotWeights& w) { return totalWeight(w, matches) < w[s]; });
}

Bits tightenedReach(const std::vector<Jump>& jumps, int32_t slotCount, Bits group, Bits reach) {
    bool dropped = true;
    while (dropped) {
        dropped = false;
        std::vector<Jump> inside;
        Bits landed;
        for (const Jump& j : jumps) {
            if (reach.test(j.from) && reach.test(j.over)) {
                inside.push_back(j);
                landed.set(j.to);
            }
        }
        // A slot no such jump lands on is never filled; the others need a refutation.
        const Bits candidates = reach & Bits{~group.lo, ~group.hi};
        forEachBit(candidates, [&](int32_t t) {
            if (!landed.test(t) || refutingWeights(inside, slotCount, group, t)) {
                reach = reach ^ Bits::bit(t);
                dropped = true;
            }
        });
    }
    return reach;
}

}  // namespace kvarlo::engine
