// Reading a graph file: line by line, every refusal naming its line.
#include "solver/engine/graph_file.h"

#include <algorithm>
#include <charconv>

namespace kvarlo::engine {

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
