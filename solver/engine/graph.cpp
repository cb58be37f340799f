// Building the jump graph from the board and from a graph file, and checking symmetries.
#include "solver/engine/graph.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace kvarlo::engine {

namespace {

Permutation identityPermutation() {
    Permutation p{};
    for (int32_t i = 0; i < maxSlots; ++i) {
        p[i] = static_cast<uint8_t>(i);
    }
    return p;
}

// Adds a symmetry unless it is already listed.
void addSymmetry(JumpGraph& graph, const Permutation& perm) {
    for (const Permutation& q : graph.symmetries) {
        if (std::equal(q.begin(), q.begin() + graph.slotCount, perm.begin())) {
            return;
        }
    }
    graph.symmetries.push_back(perm);
}

std::vector<Jump> sortedJumps(std::vector<Jump> jumps) {
    std::sort(jumps.begin(), jumps.end(), [](Jump a, Jump b) {
        return std::tie(a.from, a.over, a.to) < std::tie(b.from, b.over, b.to);
    });
    return jumps;
}

// One of the hexagon's twelve symmetries in axial coordinates, about the origin: k rotations by
// 60 degrees, (x, y) -> (x - y, x), after a reflection (x, y) -> (y, x) when `reflect` is set.
void transform(int32_t k, bool reflect, int32_t& x, int32_t& y) {
    if (reflect) {
        std::swap(x, y);
    }
    for (int32_t i = 0; i < k; ++i) {
        const int32_t nx = x - y;
        y = x;
        x = nx;
    }
}

// The slot permutation of one hexagon symmetry about (2cx, 2cy) / 2, if it maps every graph
// slot onto a graph slot.
std::optional<Permutation> boardSymmetry(const Board& board, const JumpGraph& graph, int32_t cx2,
                                         int32_t cy2, int32_t k, bool reflect) {
    Permutation perm = identityPermutation();
    auto image = [&](int32_t x, int32_t y, int32_t& out) {
        // Doubled coordinates keep a half-integer centre exact.
        int32_t dx = 2 * x - cx2;
        int32_t dy = 2 * y - cy2;
        transform(k, reflect, dx, dy);
        const int32_t nx2 = dx + cx2;
        const int32_t ny2 = dy + cy2;
        if (nx2 % 2 != 0 || ny2 % 2 != 0) {
            return false;
        }
        out = board.indexOf(nx2 / 2, ny2 / 2);
        return out != -1;
    };
    for (int32_t i = 0; i < graph.slotCount; ++i) {
        const EdgeRef ref = graph.slotRefs[i];
        const Node& n = board.nodes[ref.node];
        int32_t a = -1;
        int32_t b = -1;
        if (!image(n.x, n.y, a) || !image(n.x + DX[ref.direction], n.y + DY[ref.direction], b)) {
            return std::nullopt;
        }
        EdgeRef mapped{};
        if (!board.edgeBetween(a, b, mapped, false)) {
            return std::nullopt;
        }
        const int32_t j = slotIndexOf(graph, mapped);
        if (j < 0) {
            return std::nullopt;
        }
        perm[i] = static_cast<uint8_t>(j);
    }
    return perm;
}

bool parseInt(std::string_view token, int64_t& value) {
    const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
    return ec == std::errc() && end == token.data() + token.size();
}

std::vector<std::string_view> splitWords(std::string_view line) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) {
            ++i;
        }
        size_t j = i;
        while (j < line.size() && line[j] != ' ' && line[j] != '\t' && line[j] != '\r') {
            ++j;
        }
        if (j > i) {
            words.push_back(line.substr(i, j - i));
        }
        i = j;
    }
    return words;
}

}  // namespace

bool closeUnderComposition(JumpGraph& graph) {
    for (size_t a = 0; a < graph.symmetries.size(); ++a) {
        for (size_t b = 0; b < graph.symmetries.size(); ++b) {
            Permutation c = identityPermutation();
            for (int32_t i = 0; i < graph.slotCount; ++i) {
                c[i] = graph.symmetries[a][graph.symmetries[b][i]];
            }
            addSymmetry(graph, c);
            if (static_cast<int32_t>(graph.symmetries.size()) > maxSymmetries) {
                return false;
            }
        }
    }
    return true;
}

int32_t slotIndexOf(const JumpGraph& graph, EdgeRef ref) {
    for (size_t i = 0; i < graph.slotRefs.size(); ++i) {
        if (graph.slotRefs[i] == ref) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

Bits applyPermutation(const Permutation& perm, Bits b, int32_t slotCount) {
    Bits r;
    forEachBit(b, [&](int32_t i) {
        if (i < slotCount) {
            r.set(perm[i]);
        }
    });
    return r;
}

MoveRecord toMoveRecord(const JumpGraph& graph, Jump j) {
    return MoveRecord{graph.slotRefs[j.from], graph.slotRefs[j.to], graph.slotRefs[j.over]};
}

bool isGraphSymmetry(const JumpGraph& graph, const Permutation& perm) {
    std::vector<bool> seen(graph.slotCount, false);
    for (int32_t i = 0; i < graph.slotCount; ++i) {
        if (perm[i] >= graph.slotCount || seen[perm[i]]) {
            return false;
        }
        seen[perm[i]] = true;
    }
    std::vector<Jump> mapped;
    mapped.reserve(graph.jumps.size());
    for (Jump j : graph.jumps) {
        mapped.push_back(applyPermutation(perm, j));
    }
    return sortedJumps(mapped) == sortedJumps(graph.jumps);
}

JumpGraph graphFromBoard(const Board& board) {
    JumpGraph graph;
    for (int32_t i = 0; board.isBuilt() && i < board.nodeCount; ++i) {
        if (!board.nodes[i].active) {
            continue;
        }
        for (int32_t d = 0; d < 3; ++d) {
            if (board.slotExists(i, d) && graph.slotCount < maxSlots) {
                const EdgeRef ref{static_cast<int16_t>(i), static_cast<int8_t>(d)};
                if (board.slot(ref).hasMatch) {
                    graph.start.set(graph.slotCount);
                }
                graph.slotRefs.push_back(ref);
                graph.places.push_back(SlotPlace{ref.node, ref.direction});
                ++graph.slotCount;
            }
        }
    }
    // Matches past the slot limit stay where they are; one on a slot the board lacks counts
    // nowhere, as in the game.
    graph.fixedMatches = board.countMatches() - graph.start.count();

    // The jumps are found by the game's own rule on a scratch board holding just the two
    // matches a jump needs, so the search can never disagree with the game.
    if (graph.slotCount > 0) {
        Board scratch(board);
        for (int32_t i = 0; i < scratch.nodeCount; ++i) {
            for (EdgeSlot& s : scratch.nodes[i].edges) {
                s.hasMatch = 0;
            }
        }
        for (int32_t from = 0; from < graph.slotCount; ++from) {
            const EdgeRef s = graph.slotRefs[from];
            for (int32_t k = 0; k < 6; ++k) {
                const int32_t q = board.neighbour(s.node, k);
                if (q == -1) {
                    continue;
                }
                const EdgeRef t{static_cast<int16_t>(q), s.direction};
                const int32_t to = slotIndexOf(graph, t);
                EdgeRef jumped{};
                if (to < 0 || !findJumped(board, s, t, jumped)) {
                    continue;
                }
                const int32_t over = slotIndexOf(graph, jumped);
                if (over < 0) {
                    continue;
                }
                scratch.slot(s).hasMatch = 1;
                scratch.slot(jumped).hasMatch = 1;
                if (isLegalJump(scratch, MoveRecord{s, t, jumped})) {
                    graph.jumps.push_back(Jump{static_cast<uint8_t>(from),
                                               static_cast<uint8_t>(over),
                                               static_cast<uint8_t>(to)});
                }
                scratch.slot(s).hasMatch = 0;
                scratch.slot(jumped).hasMatch = 0;
            }
        }
    }

    graph.symmetries.push_back(identityPermutation());
    // The centre of the active nodes, doubled so that it is an integer.
    int64_t sx = 0;
    int64_t sy = 0;
    int64_t n = 0;
    for (int32_t i = 0; board.isBuilt() && i < board.nodeCount; ++i) {
        if (board.nodes[i].active) {
            sx += board.nodes[i].x;
            sy += board.nodes[i].y;
            ++n;
        }
    }
    if (n > 0 && (2 * sx) % n == 0 && (2 * sy) % n == 0 && graph.slotCount > 0) {
        const int32_t cx2 = static_cast<int32_t>(2 * sx / n);
        const int32_t cy2 = static_cast<int32_t>(2 * sy / n);
        for (int32_t reflect = 0; reflect < 2; ++reflect) {
            for (int32_t k = 0; k < 6; ++k) {
                const auto perm = boardSymmetry(board, graph, cx2, cy2, k, reflect != 0);
                if (perm && isGraphSymmetry(graph, *perm)) {
                    addSymmetry(graph, *perm);
                }
            }
        }
    }
    return graph;
}

namespace {

// A graph file read line by line, one step per kind of line, then the checks that need the
// whole file. Nothing reaches the caller's graph unless every step succeeds.
class GraphReader {
public:
    // One line, split into words with the comment removed.
    bool read(int32_t lineNo, const std::vector<std::string_view>& words);
    bool finish(JumpGraph& out);
    const std::string& error() const { return error_; }

private:
    bool fail(const std::string& why);
    bool slotsValid(const std::vector<int64_t>& values, const std::string& what);
    bool readSlots(const std::vector<int64_t>& values);
    bool readJump(const std::vector<int64_t>& values);
    bool readSymmetry(const std::vector<int64_t>& values);
    bool readStart(const std::vector<int64_t>& values);
    bool readPlace(const std::vector<int64_t>& values);
    bool checkPlaces();
    bool checkSymmetries();

    static constexpr int32_t placeCells = 64;
    static constexpr int32_t placePlanes = 3;

    JumpGraph graph_;
    std::string error_;
    int32_t lineNo_ = 0;
    bool haveSlots_ = false;
    bool haveStart_ = false;
    std::vector<std::pair<int32_t, Permutation>> symmetryLines_;
    // The first place line (0: none yet), and for every place the slot on it, or -1.
    int32_t firstPlaceLine_ = 0;
    std::array<int32_t, placeCells * placePlanes> slotOnPlace_{};
};

bool GraphReader::fail(const std::string& why) {
    error_ = "line " + std::to_string(lineNo_) + ": " + why;
    return false;
}

bool GraphReader::slotsValid(const std::vector<int64_t>& values, const std::string& what) {
    if (!haveSlots_) {
        return fail(what + " before the slots line");
    }
    for (int64_t v : values) {
        if (v < 0 || v >= graph_.slotCount) {
            return fail("slot " + std::to_string(v) + " outside 0.." +
                        std::to_string(graph_.slotCount - 1));
        }
    }
    return true;
}

bool GraphReader::read(int32_t lineNo, const std::vector<std::string_view>& words) {
    lineNo_ = lineNo;
    if (words.empty()) {
        return true;
    }
    std::vector<int64_t> values;
    for (size_t i = 1; i < words.size(); ++i) {
        int64_t v = 0;
        if (!parseInt(words[i], v)) {
            return fail("'" + std::string(words[i]) + "' is not a number");
        }
        values.push_back(v);
    }
    const std::string_view keyword = words[0];
    if (keyword == "slots") {
        return readSlots(values);
    }
    if (keyword == "jump") {
        return readJump(values);
    }
    if (keyword == "symmetry") {
        return readSymmetry(values);
    }
    if (keyword == "start") {
        return readStart(values);
    }
    if (keyword == "place") {
        return readPlace(values);
    }
    return fail("unknown keyword '" + std::string(keyword) + "'");
}

bool GraphReader::readSlots(const std::vector<int64_t>& values) {
    if (haveSlots_) {
        return fail("a second slots line");
    }
    if (values.size() != 1 || values[0] < 1 || values[0] > maxSlots) {
        return fail("slots needs one count from 1 to 128");
    }
    graph_.slotCount = static_cast<int32_t>(values[0]);
    haveSlots_ = true;
    return true;
}

bool GraphReader::readJump(const std::vector<int64_t>& values) {
    if (values.size() != 3) {
        return fail("jump needs three slots: from, over, to");
    }
    if (!slotsValid(values, "jump")) {
        return false;
    }
    if (values[0] == values[1] || values[1] == values[2] || values[0] == values[2]) {
        return fail("a jump needs three different slots");
    }
    const Jump j{static_cast<uint8_t>(values[0]), static_cast<uint8_t>(values[1]),
                 static_cast<uint8_t>(values[2])};
    if (std::find(graph_.jumps.begin(), graph_.jumps.end(), j) != graph_.jumps.end()) {
        return fail("the same jump twice");
    }
    graph_.jumps.push_back(j);
    return true;
}

bool GraphReader::readSymmetry(const std::vector<int64_t>& values) {
    if (!slotsValid(values, "symmetry")) {
        return false;
    }
    if (static_cast<int32_t>(values.size()) != graph_.slotCount) {
        return fail("symmetry needs " + std::to_string(graph_.slotCount) + " slots");
    }
    Permutation perm = identityPermutation();
    for (int32_t i = 0; i < graph_.slotCount; ++i) {
        perm[i] = static_cast<uint8_t>(values[i]);
    }
    // Checked once every jump is known.
    symmetryLines_.emplace_back(lineNo_, perm);
    return true;
}

bool GraphReader::readStart(const std::vector<int64_t>& values) {
    if (haveStart_) {
        return fail("a second start line");
    }
    if (!slotsValid(values, "start")) {
        return false;
    }
    for (int64_t v : values) {
        if (graph_.start.test(static_cast<int32_t>(v))) {
            return fail("slot " + std::to_string(v) + " listed twice");
        }
        graph_.start.set(static_cast<int32_t>(v));
    }
    haveStart_ = true;
    return true;
}

// Two slots on one place would merge into one bit of a plane and give wrong jumps, so a place
// is refused here rather than ignored later.
bool GraphReader::readPlace(const std::vector<int64_t>& values) {
    if (values.size() != 2 && values.size() != 3) {
        return fail("place needs a slot, a cell and optionally a plane");
    }
    if (!slotsValid({values[0]}, "place")) {
        return false;
    }
    const int64_t cell = values[1];
    const int64_t plane = values.size() == 3 ? values[2] : 0;
    if (cell < 0 || cell >= placeCells) {
        return fail("cell " + std::to_string(cell) + " outside 0.." +
                    std::to_string(placeCells - 1));
    }
    if (plane < 0 || plane >= placePlanes) {
        return fail("plane " + std::to_string(plane) + " outside 0.." +
                    std::to_string(placePlanes - 1));
    }
    if (firstPlaceLine_ == 0) {
        firstPlaceLine_ = lineNo_;
        graph_.places.assign(graph_.slotCount, SlotPlace{-1, -1});
        slotOnPlace_.fill(-1);
    }
    const int32_t slot = static_cast<int32_t>(values[0]);
    if (graph_.places[slot].cell != -1) {
        return fail("slot " + std::to_string(slot) + " placed twice");
    }
    int32_t& occupant = slotOnPlace_[plane * placeCells + cell];
    if (occupant != -1) {
        return fail("slot " + std::to_string(slot) + " on the place of slot " +
                    std::to_string(occupant));
    }
    occupant = slot;
    graph_.places[slot] = SlotPlace{static_cast<int16_t>(cell), static_cast<int8_t>(plane)};
    return true;
}

bool GraphReader::checkPlaces() {
    for (int32_t slot = 0; slot < static_cast<int32_t>(graph_.places.size()); ++slot) {
        if (graph_.places[slot].cell == -1) {
            lineNo_ = firstPlaceLine_;
            return fail("slot " + std::to_string(slot) +
                        " has no place: once one slot has a place, every slot needs one");
        }
    }
    return true;
}

bool GraphReader::checkSymmetries() {
    graph_.symmetries.push_back(identityPermutation());
    for (const auto& [line, perm] : symmetryLines_) {
        if (!isGraphSymmetry(graph_, perm)) {
            lineNo_ = line;
            return fail("the symmetry is not a permutation that maps the jumps onto themselves");
        }
        addSymmetry(graph_, perm);
    }
    // Canonical forms are only sound for the orbits of a group, so the listed permutations
    // are closed under composition.
    if (!closeUnderComposition(graph_)) {
        error_ =
            "the symmetries generate more than " + std::to_string(maxSymmetries) + " permutations";
        return false;
    }
    return true;
}

bool GraphReader::finish(JumpGraph& out) {
    if (!haveSlots_) {
        error_ = "no slots line";
        return false;
    }
    if (!checkPlaces() || !checkSymmetries()) {
        return false;
    }
    out = std::move(graph_);
    return true;
}

}  // namespace

bool parseGraph(std::string_view text, JumpGraph& out, std::string& error) {
    GraphReader reader;
    int32_t lineNo = 0;
    for (size_t pos = 0; pos <= text.size();) {
        const size_t end = std::min(text.find('\n', pos), text.size());
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        line = line.substr(0, std::min(line.find('#'), line.size()));
        if (!reader.read(lineNo, splitWords(line))) {
            error = reader.error();
            return false;
        }
    }
    if (!reader.finish(out)) {
        error = reader.error();
        return false;
    }
    return true;
}

}  // namespace kvarlo::engine
