// The document files: images for saving, checked reading, and installing what was read.
#include "documents/file_format.h"

#include <algorithm>
#include <cstring>
#include <type_traits>
#include <variant>

#include "documents/byte_order.h"

namespace kvarlo {

namespace {

// Joins text and numbers into a refusal reason (no printf: its size specifiers differ between
// the C runtimes we build for).
void append(std::string& text, const char* part) {
    text += part;
}
template <typename Number>
requires std::is_arithmetic_v<Number>
void append(std::string& text, Number part) {
    text += std::to_string(part);
}
template <typename... Parts>
std::string say(const Parts&... parts) {
    std::string text;
    (append(text, parts), ...);
    return text;
}

// ---- layouts ---------------------------------------------------------------------------------
// Every layout is written down once, here; the writers and the readers walk the same tables.

// A word of a head: its byte offset and the member that holds it.
template <typename Head>
struct Field {
    size_t offset;
    std::variant<uint32_t Head::*, int32_t Head::*, int64_t Head::*> member;
};

// The header, less its spare words (12..27, written 0, ignored on reading).
constexpr Field<FileHeader> headerFields[] = {
    {0, &FileHeader::kind},   {4, &FileHeader::reserved}, {8, &FileHeader::createdTime},
    {28, &FileHeader::width}, {32, &FileHeader::height},
};
constexpr size_t spareOffset = 12;

// The game's five words after the header, as stored.
struct GameHead {
    int32_t initialMatches = 0;
    int32_t current = 0;
    int32_t total = 0;
    int32_t elapsedSeconds = 0;
    int32_t gameOver = 0;
};
constexpr Field<GameHead> gameHeadFields[] = {
    {36, &GameHead::initialMatches}, {40, &GameHead::current},  {44, &GameHead::total},
    {48, &GameHead::elapsedSeconds}, {52, &GameHead::gameOver},
};

// The solution's words after the header; positionsExamined is 64 bits, low half first.
constexpr Field<SolverResults> solutionHeadFields[] = {
    {36, &SolverResults::status},        {40, &SolverResults::depth},
    {44, &SolverResults::auxCounter},    {48, &SolverResults::progressDone},
    {52, &SolverResults::progressTotal}, {56, &SolverResults::positionsExamined},
    {64, &SolverResults::elapsedMs},     {68, &SolverResults::bestCount},
    {72, &SolverResults::spectrumCount},
};

// A node record: x, y, active, then five flag bytes for each of the three slots.
constexpr size_t nodeXOffset = 0;
constexpr size_t nodeYOffset = 1;
constexpr size_t nodeActiveOffset = 2;
constexpr size_t nodeSlotsOffset = 3;
constexpr uint8_t EdgeSlot::*slotFlags[] = {&EdgeSlot::exists, &EdgeSlot::hasMatch,
                                            &EdgeSlot::movable, &EdgeSlot::selected,
                                            &EdgeSlot::target};
constexpr size_t slotRecordSize = std::size(slotFlags);
static_assert(nodeSlotsOffset + 3 * slotRecordSize == nodeRecordSize);

// A move record: three slot references of a 16-bit node and an 8-bit direction each.
constexpr EdgeRef MoveRecord::*moveRefs[] = {&MoveRecord::from, &MoveRecord::to,
                                             &MoveRecord::jumped};
constexpr size_t refRecordSize = 3;
static_assert(std::size(moveRefs) * refRecordSize == moveRecordSize);

// ---- writing -------------------------------------------------------------------------------

void putValue(uint8_t* at, uint32_t value) {
    putU32(at, value);
}
void putValue(uint8_t* at, int32_t value) {
    putI32(at, value);
}
void putValue(uint8_t* at, int64_t value) {
    putI64(at, value);
}

template <typename Head, size_t N>
void writeFields(uint8_t* image, const Head& head, const Field<Head> (&fields)[N]) {
    for (const Field<Head>& field : fields) {
        std::visit([&](auto member) { putValue(image + field.offset, head.*member); },
                   field.member);
    }
}

void writeHeader(uint8_t* image, DocumentKind kind, uint32_t createdTime, const Board& board) {
    FileHeader header;
    header.kind = static_cast<uint32_t>(kind);
    header.createdTime = createdTime;
    header.width = board.width;
    header.height = board.height;
    writeFields(image, header, headerFields);
    for (size_t i = 0; i < std::size(header.spare); ++i) {
        putU32(image + spareOffset + 4 * i, 0);
    }
}

void writeNodes(uint8_t* at, const Board& board) {
    for (int32_t i = 0; board.nodes && i < board.nodeCount; ++i) {
        const Node& node = board.nodes[i];
        uint8_t* record = at + nodeRecordSize * i;
        record[nodeXOffset] = static_cast<uint8_t>(node.x);
        record[nodeYOffset] = static_cast<uint8_t>(node.y);
        record[nodeActiveOffset] = node.active;
        for (size_t d = 0; d < 3; ++d) {
            uint8_t* flags = record + nodeSlotsOffset + slotRecordSize * d;
            for (size_t f = 0; f < slotRecordSize; ++f) {
                flags[f] = node.edges[d].*slotFlags[f];
            }
        }
    }
}

void writeMoves(uint8_t* at, const MoveRecord* moves, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        for (size_t r = 0; r < std::size(moveRefs); ++r) {
            uint8_t* ref = at + moveRecordSize * i + refRecordSize * r;
            putI16(ref, (moves[i].*moveRefs[r]).node);
            ref[2] = static_cast<uint8_t>((moves[i].*moveRefs[r]).direction);
        }
    }
}

// Counts that size an image or index an array are held to their capacity, so a damaged record
// in memory can never make a save read past an array.
int32_t capped(int32_t count, int32_t capacity) {
    return std::clamp(count, 0, capacity);
}

// ---- reading -------------------------------------------------------------------------------

void takeValue(const ByteReader& in, size_t at, uint32_t& value) {
    value = in.u32(at);
}
void takeValue(const ByteReader& in, size_t at, int32_t& value) {
    value = in.i32(at);
}
void takeValue(const ByteReader& in, size_t at, int64_t& value) {
    value = in.i64(at);
}

template <typename Head, size_t N>
void readFields(const ByteReader& in, Head& head, const Field<Head> (&fields)[N]) {
    for (const Field<Head>& field : fields) {
        std::visit([&](auto member) { takeValue(in, field.offset, head.*member); }, field.member);
    }
}

FileHeader readHeader(const ByteReader& in) {
    FileHeader h;
    readFields(in, h, headerFields);
    for (size_t i = 0; i < std::size(h.spare); ++i) {
        h.spare[i] = in.u32(spareOffset + 4 * i);
    }
    return h;
}

// The checks every kind makes on its header, in the order the program makes them: the kind,
// then the board's width and height.
bool checkHeader(const FileHeader& h, DocumentKind expected, const Board& board,
                 std::string& reason) {
    if (h.kind != static_cast<uint32_t>(expected)) {
        reason =
            say("kind ", h.kind, " where a ", documentKindName(static_cast<uint32_t>(expected)),
                " (", static_cast<uint32_t>(expected), ") was expected");
        return false;
    }
    if (h.width != board.width) {
        reason = say("width ", h.width, " where the board's is ", board.width);
        return false;
    }
    if (h.height != board.height) {
        reason = say("height ", h.height, " where the board's is ", board.height);
        return false;
    }
    return true;
}

// Node records are stored in index order, so each must carry its own index's coordinates: the
// lookups trust the stored x and y, and a record placed elsewhere would join the lattice where
// it does not belong.
bool readNodes(const ByteReader& in, size_t at, const Board& board, FixedArray<Node>& out,
               std::string& reason) {
    out = FixedArray<Node>(static_cast<uint32_t>(board.nodeCount));
    for (int32_t i = 0; i < board.nodeCount; ++i) {
        const size_t record = at + nodeRecordSize * i;
        Node& node = out[i];
        node.x = in.i8(record + nodeXOffset);
        node.y = in.i8(record + nodeYOffset);
        node.active = in.u8(record + nodeActiveOffset);
        for (size_t d = 0; d < 3; ++d) {
            const size_t flags = record + nodeSlotsOffset + slotRecordSize * d;
            for (size_t f = 0; f < slotRecordSize; ++f) {
                node.edges[d].*slotFlags[f] = in.u8(flags + f);
            }
        }
        if (node.x != i % board.width || node.y != i / board.width) {
            reason = say("node ", i, " holds x ", int{node.x}, ", y ", int{node.y}, " where ",
                         i % board.width, ", ", i / board.width, " belong");
            return false;
        }
    }
    return true;
}

EdgeRef readRef(const ByteReader& in, size_t at) {
    return EdgeRef{in.i16(at), in.i8(at + 2)};
}

// Move records are replayed by undo and redo, which index the node array with them.
bool readMoves(const ByteReader& in, size_t at, int32_t count, const Board& board, const char* what,
               MoveRecord* out, std::string& reason) {
    for (int32_t i = 0; i < count; ++i) {
        MoveRecord move{};
        for (size_t r = 0; r < std::size(moveRefs); ++r) {
            move.*moveRefs[r] = readRef(in, at + moveRecordSize * i + refRecordSize * r);
        }
        if (!isValidRecord(board, move)) {
            for (EdgeRef ref : {move.from, move.to, move.jumped}) {
                if (!board.isValidRef(ref)) {
                    reason = say(what, " ", i, " names node ", int{ref.node}, ", direction ",
                                 int{ref.direction}, ", outside the board");
                    break;
                }
            }
            return false;
        }
        out[i] = move;
    }
    return true;
}

bool haveBoard(const Board& board, std::string& reason) {
    if (!board.isBuilt()) {
        reason = "there is no board to load into";
        return false;
    }
    return true;
}

// What an open reads: at most the largest file of its kind.
std::span<const uint8_t> asRead(std::span<const uint8_t> bytes, DocumentKind kind,
                                const Board& board) {
    return bytes.first(std::min(bytes.size(), maxReadSize(kind, board.nodeCount)));
}

}  // namespace

const char* documentKindName(uint32_t kind) {
    switch (kind) {
        case static_cast<uint32_t>(DocumentKind::Solution):
            return "solution";
        case static_cast<uint32_t>(DocumentKind::Figure):
            return "figure";
        case static_cast<uint32_t>(DocumentKind::Game):
            return "game";
        default:
            return "unknown";
    }
}

int64_t figureFileSize(int32_t nodeCount) {
    return static_cast<int64_t>(figureHeadSize) + int64_t{nodeRecordSize} * nodeCount;
}

int64_t gameFileSize(int32_t nodeCount, int64_t total) {
    return static_cast<int64_t>(gameHeadSize) + int64_t{nodeRecordSize} * nodeCount +
           int64_t{moveRecordSize} * total;
}

int64_t solutionFileSize(int32_t nodeCount, int64_t bestCount, int64_t spectrumCount) {
    return static_cast<int64_t>(solutionHeadSize) + int64_t{nodeRecordSize} * nodeCount +
           int64_t{moveRecordSize} * bestCount + int64_t{spectrumEntrySize} * spectrumCount;
}

size_t maxReadSize(DocumentKind kind, int32_t nodeCount) {
    switch (kind) {
        case DocumentKind::Figure:
            return static_cast<size_t>(figureFileSize(nodeCount));
        case DocumentKind::Game:
            return static_cast<size_t>(gameFileSize(nodeCount, historyCapacity));
        case DocumentKind::Solution:
            return static_cast<size_t>(solutionFileSize(nodeCount, solverCapacity, solverCapacity));
    }
    return 0;
}

uint32_t peekKind(std::span<const uint8_t> bytes) {
    return bytes.size() < 4 ? 0 : ByteReader(bytes).u32(0);
}

FixedArray<uint8_t> encodeFigure(const Board& board, uint32_t createdTime) {
    FixedArray<uint8_t> image(static_cast<uint32_t>(figureFileSize(board.nodeCount)));
    writeHeader(image.data(), DocumentKind::Figure, createdTime, board);
    writeNodes(image.data() + figureHeadSize, board);
    return image;
}

FixedArray<uint8_t> encodeGame(const Board& board, const MoveHistory& history,
                               const GameState& state, uint32_t createdTime) {
    const int32_t total = capped(history.total, historyCapacity);
    FixedArray<uint8_t> image(static_cast<uint32_t>(gameFileSize(board.nodeCount, total)));
    uint8_t* at = image.data();
    writeHeader(at, DocumentKind::Game, createdTime, board);
    const GameHead head{state.initialMatches, history.current, total, state.elapsedSeconds,
                        state.gameOver};
    writeFields(at, head, gameHeadFields);
    writeNodes(at + gameHeadSize, board);
    writeMoves(at + gameHeadSize + nodeRecordSize * board.nodeCount, history.records.data(), total);
    return image;
}

FixedArray<uint8_t> encodeSolution(const Board& board, const SolverResults& results,
                                   uint32_t createdTime) {
    const int32_t bestCount = capped(results.bestCount, solverCapacity);
    const int32_t spectrumCount = capped(results.spectrumCount, solverCapacity);
    FixedArray<uint8_t> image(
        static_cast<uint32_t>(solutionFileSize(board.nodeCount, bestCount, spectrumCount)));
    uint8_t* at = image.data();
    writeHeader(at, DocumentKind::Solution, createdTime, board);
    SolverResults head;
    for (const Field<SolverResults>& field : solutionHeadFields) {
        std::visit([&](auto member) { head.*member = results.*member; }, field.member);
    }
    head.bestCount = bestCount;
    head.spectrumCount = spectrumCount;
    writeFields(at, head, solutionHeadFields);
    uint8_t* records = at + solutionHeadSize + nodeRecordSize * board.nodeCount;
    writeNodes(at + solutionHeadSize, board);
    writeMoves(records, results.bestSolution.data(), bestCount);
    uint8_t* spectrum = records + moveRecordSize * bestCount;
    for (int32_t i = 0; i < spectrumCount; ++i) {
        putI64(spectrum + spectrumEntrySize * i, results.spectrum[i]);
    }
    return image;
}

bool decodeFigure(std::span<const uint8_t> bytes, const Board& board, FigureContents& out,
                  std::string& reason) {
    if (!haveBoard(board, reason)) {
        return false;
    }
    const ByteReader in(asRead(bytes, DocumentKind::Figure, board));
    const int64_t needed = figureFileSize(board.nodeCount);
    if (static_cast<int64_t>(in.size()) != needed) {
        reason = say("size ", in.size(), ", a figure needs ", needed);
        return false;
    }
    out.header = readHeader(in);
    return checkHeader(out.header, DocumentKind::Figure, board, reason) &&
           readNodes(in, figureHeadSize, board, out.nodes, reason);
}

bool decodeGame(std::span<const uint8_t> bytes, const Board& board, GameContents& out,
                std::string& reason) {
    if (!haveBoard(board, reason)) {
        return false;
    }
    const ByteReader in(asRead(bytes, DocumentKind::Game, board));
    // No file this short can pass the size check below; saying so is clearer than naming a
    // kind or width that lies past its end.
    if (in.size() < gameHeadSize) {
        reason =
            say("size ", in.size(), ", shorter than the ", gameHeadSize, "-byte head of a game");
        return false;
    }
    out.header = readHeader(in);
    if (!checkHeader(out.header, DocumentKind::Game, board, reason)) {
        return false;
    }
    GameHead head;
    readFields(in, head, gameHeadFields);
    const int32_t current = head.current;
    const int32_t total = head.total;
    const int64_t needed = gameFileSize(board.nodeCount, total);
    if (static_cast<int64_t>(in.size()) != needed) {
        reason = say("size ", in.size(), ", a game of ", total, " moves needs ", needed);
        return false;
    }
    // A negative total can match a short file's size; it would count the history backwards.
    if (total < 0 || total > historyCapacity) {
        reason = say("total ", total, " outside 0..", historyCapacity);
        return false;
    }
    if (current < 0 || current > total) {
        reason = say("current ", current, " outside 0..", total);
        return false;
    }
    out.state.initialMatches = head.initialMatches;
    out.state.elapsedSeconds = head.elapsedSeconds;
    out.state.gameOver = head.gameOver;
    out.state.startTime = 0;
    out.history.current = current;
    out.history.total = total;
    out.history.records = {};
    return readNodes(in, gameHeadSize, board, out.nodes, reason) &&
           readMoves(in, gameHeadSize + nodeRecordSize * board.nodeCount, total, board, "move",
                     out.history.records.data(), reason);
}

bool decodeSolution(std::span<const uint8_t> bytes, const Board& board, SolutionContents& out,
                    std::string& reason) {
    if (!haveBoard(board, reason)) {
        return false;
    }
    const ByteReader in(asRead(bytes, DocumentKind::Solution, board));
    if (in.size() < solutionHeadSize) {
        reason = say("size ", in.size(), ", shorter than the ", solutionHeadSize,
                     "-byte head of a solution");
        return false;
    }
    out.header = readHeader(in);
    if (!checkHeader(out.header, DocumentKind::Solution, board, reason)) {
        return false;
    }
    SolverResults& r = out.results;
    readFields(in, r, solutionHeadFields);
    const int32_t bestCount = r.bestCount;
    const int32_t spectrumCount = r.spectrumCount;
    const int64_t needed = solutionFileSize(board.nodeCount, bestCount, spectrumCount);
    if (static_cast<int64_t>(in.size()) != needed) {
        reason = say("size ", in.size(), ", a solution of ", bestCount, " best moves and ",
                     spectrumCount, " spectrum entries needs ", needed);
        return false;
    }
    // The size alone bounds only 9 * bestCount + 8 * spectrumCount; each array holds 148.
    if (bestCount < 0 || bestCount > solverCapacity) {
        reason = say("bestCount ", bestCount, " outside 0..", solverCapacity);
        return false;
    }
    if (spectrumCount < 0 || spectrumCount > solverCapacity) {
        reason = say("spectrumCount ", spectrumCount, " outside 0..", solverCapacity);
        return false;
    }
    r.bestSolution.zeroFill();
    r.spectrum.zeroFill();
    const size_t records = solutionHeadSize + nodeRecordSize * board.nodeCount;
    if (!readNodes(in, solutionHeadSize, board, out.nodes, reason) ||
        !readMoves(in, records, bestCount, board, "best move", r.bestSolution.data(), reason)) {
        return false;
    }
    const size_t spectrum = records + moveRecordSize * bestCount;
    for (int32_t i = 0; i < spectrumCount; ++i) {
        r.spectrum[i] = in.i64(spectrum + spectrumEntrySize * i);
    }
    return true;
}

void installFigure(const FigureContents& contents, Board& board) {
    std::memcpy(board.nodes.get(), contents.nodes.data(), sizeof(Node) * board.nodeCount);
}

void installGame(const GameContents& contents, Board& board, MoveHistory& history, GameState& state,
                 int32_t now) {
    std::memcpy(board.nodes.get(), contents.nodes.data(), sizeof(Node) * board.nodeCount);
    const GameState& saved = contents.state;
    state.initialMatches = saved.initialMatches;
    state.elapsedSeconds = saved.elapsedSeconds;
    state.gameOver = saved.gameOver;
    // Wraps like the 32-bit clock itself rather than overflowing.
    state.startTime = static_cast<int32_t>(static_cast<uint32_t>(now) -
                                           static_cast<uint32_t>(saved.elapsedSeconds));
    history.current = contents.history.current;
    history.total = contents.history.total;
    std::copy_n(contents.history.records.begin(), contents.history.total, history.records.begin());
}

void installSolution(const SolutionContents& contents, Board& board, SolverResults& results) {
    std::memcpy(board.nodes.get(), contents.nodes.data(), sizeof(Node) * board.nodeCount);
    const SolverResults& r = contents.results;
    results.status = r.status;
    results.depth = r.depth;
    results.auxCounter = r.auxCounter;
    results.progressDone = r.progressDone;
    results.progressTotal = r.progressTotal;
    results.positionsExamined = r.positionsExamined;
    results.elapsedMs = r.elapsedMs;
    results.bestCount = r.bestCount;
    results.spectrumCount = r.spectrumCount;
    for (int32_t i = 0; i < r.bestCount; ++i) {
        results.bestSolution[i] = r.bestSolution[i];
    }
    for (int32_t i = 0; i < r.spectrumCount; ++i) {
        results.spectrum[i] = r.spectrum[i];
    }
}

bool loadFigureImage(std::span<const uint8_t> bytes, Board& board, std::string& reason) {
    FigureContents contents;
    if (!decodeFigure(bytes, board, contents, reason)) {
        return false;
    }
    installFigure(contents, board);
    return true;
}

bool loadGameImage(std::span<const uint8_t> bytes, Board& board, MoveHistory& history,
                   GameState& state, int32_t now, std::string& reason) {
    GameContents contents;
    if (!decodeGame(bytes, board, contents, reason)) {
        return false;
    }
    installGame(contents, board, history, state, now);
    return true;
}

bool loadSolutionImage(std::span<const uint8_t> bytes, Board& board, SolverResults& results,
                       std::string& reason) {
    SolutionContents contents;
    if (!decodeSolution(bytes, board, contents, reason)) {
        return false;
    }
    installSolution(contents, board, results);
    return true;
}

}  // namespace kvarlo
