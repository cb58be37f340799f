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

// The jumps of a graph as one bit for each jump its slots could make, so that finding one is a
// single look-up however many there are.
class JumpSet {
public:
    explicit JumpSet(int32_t slotCount = 0)
        : slots_(static_cast<size_t>(slotCount)), bits_(slots_ * slots_ * slots_, false) {}

    bool contains(Jump j) const { return bits_[key(j)]; }
    // False when the jump was there already.
    bool insert(Jump j) {
        if (contains(j)) {
            return false;
        }
        bits_[key(j)] = true;
        return true;
    }

private:
    size_t key(Jump j) const { return (j.from * slots_ + j.over) * slots_ + j.to; }

    size_t slots_;
    std::vector<bool> bits_;
};

// The first jump that a permutation of the slots takes to no jump of `set`, or null. A
// permutation maps a set of different jumps onto itself exactly when there is none: no two
// jumps are the same, so no two images are.
const Jump* jumpMappedOff(const std::vector<Jump>& jumps, const JumpSet& set,
                          const Permutation& perm) {
    const auto off = std::find_if(jumps.begin(), jumps.end(),
                                  [&](Jump j) { return !set.contains(applyPermutation(perm, j)); });
    return off == jumps.end() ? nullptr : &*off;
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
    JumpSet set(graph.slotCount);
    for (const Jump j : graph.jumps) {
        set.insert(j);
    }
    return jumpMappedOff(graph.jumps, set, perm) == nullptr;
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

// How much of an offending word a message quotes: enough to recognise it, never a flood.
constexpr size_t quotedBytes = 32;

// Editors on Windows may start a UTF-8 file with one; it carries no meaning here.
constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

// An offending word as a message quotes it: its first bytes, anything but printable ASCII
// written as \xNN (so a stray byte-order mark or control byte shows, and no escape sequence
// reaches the terminal), and the length of a longer word.
std::string quoted(std::string_view word) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string text = "'";
    for (const char c : word.substr(0, quotedBytes)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '\\') {
            text += "\\\\";
        } else if (byte >= 0x20 && byte < 0x7f) {
            text += c;
        } else {
            text += {'\\', 'x', hex[byte >> 4], hex[byte & 15]};
        }
    }
    text += "'";
    if (word.size() > quotedBytes) {
        text += "... (" + std::to_string(word.size()) + " bytes)";
    }
    return text;
}

// A slot number or a count; false with the reason when the word is neither.
bool parseNumber(std::string_view word, int64_t& value, std::string& why) {
    const char* end = word.data() + word.size();
    const auto [stop, ec] = std::from_chars(word.data(), end, value);
    if (ec == std::errc::result_out_of_range && stop == end) {
        why = quoted(word) + " is far out of range";
        return false;
    }
    if (ec != std::errc() || stop != end) {
        why = quoted(word) + " is not a number";
        return false;
    }
    return true;
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

// A graph file read line by line, one step per kind of line, then the checks that need the
// whole file. Nothing reaches the caller's graph unless every step succeeds. A line costs time
// in proportion to its length: repeated jumps and symmetries are found in tables, never by
// looking back over the lines before.
class GraphReader {
public:
    bool readAll(std::string_view text);
    bool finish(JumpGraph& out);
    const std::string& error() const { return error_; }

private:
    // The step that reads the numbers after a line's keyword.
    using Step = bool (GraphReader::*)(const std::vector<int64_t>&);
    struct Keyword {
        std::string_view name;
        Step step;
    };
    static const std::array<Keyword, 5> keywords;
    static std::string keywordList();

    bool readLine(std::string_view line);
    bool fail(const std::string& why);
    bool slotsValid(const std::vector<int64_t>& values, const std::string& what);
    bool readSlots(const std::vector<int64_t>& values);
    bool readJump(const std::vector<int64_t>& values);
    bool readSymmetry(const std::vector<int64_t>& values);
    bool readStart(const std::vector<int64_t>& values);
    bool readPlace(const std::vector<int64_t>& values);
    bool checkPlaces();
    static std::string jumpText(Jump j);
    bool mapsJumpsOntoJumps(const Permutation& perm);
    bool checkSymmetries();

    static constexpr int32_t placeCells = 64;
    static constexpr int32_t placePlanes = 3;

    JumpGraph graph_;
    std::string error_;
    int32_t lineNo_ = 0;
    bool haveSlots_ = false;
    bool haveStart_ = false;
    JumpSet jumpsListed_;
    // The different symmetries listed, other than the identity, each with its first line.
    std::vector<std::pair<int32_t, Permutation>> symmetryLines_;
    // The first place line (0: none yet), and for every place the slot on it, or -1.
    int32_t firstPlaceLine_ = 0;
    std::array<int32_t, placeCells * placePlanes> slotOnPlace_{};
};

const std::array<GraphReader::Keyword, 5> GraphReader::keywords{{
    {"slots", &GraphReader::readSlots},
    {"jump", &GraphReader::readJump},
    {"symmetry", &GraphReader::readSymmetry},
    {"start", &GraphReader::readStart},
    {"place", &GraphReader::readPlace},
}};

// "slots, jump, ... or place", for the message on a line that starts with none of them.
std::string GraphReader::keywordList() {
    std::string list;
    for (size_t i = 0; i < keywords.size(); ++i) {
        list += i == 0 ? "" : (i + 1 == keywords.size() ? " or " : ", ");
        list += keywords[i].name;
    }
    return list;
}

bool GraphReader::fail(const std::string& why) {
    error_ = "line " + std::to_string(lineNo_) + ": " + why;
    return false;
}

bool GraphReader::readAll(std::string_view text) {
    if (text.size() > maxGraphFileBytes) {
        error_ = "larger than " + std::to_string(maxGraphFileBytes) +
                 " bytes, the most a graph file may hold";
        return false;
    }
    if (text.starts_with(byteOrderMark)) {
        text.remove_prefix(byteOrderMark.size());
    }
    for (size_t pos = 0; pos <= text.size();) {
        const size_t end = std::min(text.find('\n', pos), text.size());
        ++lineNo_;
        if (!readLine(text.substr(pos, end - pos))) {
            return false;
        }
        pos = end + 1;
    }
    return true;
}

bool GraphReader::readLine(std::string_view line) {
    if (line.ends_with('\r')) {  // written on Windows
        line.remove_suffix(1);
    }
    if (line.size() > maxGraphLineBytes) {
        return fail("longer than " + std::to_string(maxGraphLineBytes) +
                    " bytes, the most a line may hold");
    }
    const std::vector<std::string_view> words =
        splitWords(line.substr(0, std::min(line.find('#'), line.size())));
    if (words.empty()) {
        return true;
    }
    const auto keyword = std::find_if(keywords.begin(), keywords.end(),
                                      [&](const Keyword& k) { return k.name == words[0]; });
    if (keyword == keywords.end()) {
        return fail("unknown keyword " + quoted(words[0]) + "; a line starts with " +
                    keywordList());
    }
    std::vector<int64_t> values(words.size() - 1);
    std::string why;
    for (size_t i = 1; i < words.size(); ++i) {
        if (!parseNumber(words[i], values[i - 1], why)) {
            return fail(why);
        }
    }
    return (this->*keyword->step)(values);
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

bool GraphReader::readSlots(const std::vector<int64_t>& values) {
    if (haveSlots_) {
        return fail("a second slots line");
    }
    if (values.size() != 1 || values[0] < 1 || values[0] > maxSlots) {
        return fail("slots needs one count from 1 to " + std::to_string(maxSlots));
    }
    graph_.slotCount = static_cast<int32_t>(values[0]);
    haveSlots_ = true;
    jumpsListed_ = JumpSet(graph_.slotCount);
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
    if (!jumpsListed_.insert(j)) {
        return fail("jump " + jumpText(j) + " listed twice");
    }
    if (static_cast<int32_t>(graph_.jumps.size()) == maxGraphJumps) {
        return fail("more than " + std::to_string(maxGraphJumps) +
                    " jumps, the most a graph may have");
    }
    graph_.jumps.push_back(j);
    return true;
}

// Each different permutation is checked against the jumps once every jump is known. More than the
// group may hold are refused here, so that however many lines list them, the checks stay few.
bool GraphReader::readSymmetry(const std::vector<int64_t>& values) {
    if (!slotsValid(values, "symmetry")) {
        return false;
    }
    if (static_cast<int32_t>(values.size()) != graph_.slotCount) {
        return fail("symmetry needs " + std::to_string(graph_.slotCount) + " slots");
    }
    Permutation perm = identityPermutation();
    std::vector<bool> taken(graph_.slotCount, false);
    for (int32_t i = 0; i < graph_.slotCount; ++i) {
        if (taken[values[i]]) {
            return fail("slot " + std::to_string(values[i]) + " twice in the symmetry");
        }
        taken[values[i]] = true;
        perm[i] = static_cast<uint8_t>(values[i]);
    }
    const bool listed = std::any_of(symmetryLines_.begin(), symmetryLines_.end(),
                                    [&](const auto& line) { return line.second == perm; });
    if (listed || perm == identityPermutation()) {
        return true;
    }
    if (static_cast<int32_t>(symmetryLines_.size()) + 2 > maxSymmetries) {
        return fail("more than " + std::to_string(maxSymmetries) +
                    " different symmetries (the identity among them), the most a graph may have");
    }
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

std::string GraphReader::jumpText(Jump j) {
    return std::to_string(j.from) + " " + std::to_string(j.over) + " " + std::to_string(j.to);
}

bool GraphReader::mapsJumpsOntoJumps(const Permutation& perm) {
    const Jump* off = jumpMappedOff(graph_.jumps, jumpsListed_, perm);
    if (off != nullptr) {
        return fail("the symmetry takes jump " + jumpText(*off) + " to " +
                    jumpText(applyPermutation(perm, *off)) + ", which is no jump");
    }
    return true;
}

bool GraphReader::checkSymmetries() {
    graph_.symmetries.push_back(identityPermutation());
    for (const auto& [line, perm] : symmetryLines_) {
        lineNo_ = line;
        if (!mapsJumpsOntoJumps(perm)) {
            return false;
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
        error_ = "no slots line: a graph file starts with 'slots N'";
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
    if (!reader.readAll(text) || !reader.finish(out)) {
        error = reader.error();
        return false;
    }
    return true;
}

}  // namespace kvarlo::engine
