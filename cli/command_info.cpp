// kvarlo-cli info: everything a document file holds, as text or as one JSON object.
#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <string>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/document_file.h"
#include "cli/move_format.h"

namespace kvarlo::cli {

namespace {

const char* const help =
    "usage: kvarlo-cli info FILE [--json]\n"
    "\n"
    "Shows what a figure, game or solution file holds. The kind is read from the file's\n"
    "header, never from its name, and the file is checked as the game checks it on opening.\n"
    "\n"
    "Bytes stored after the records, which the game ignores, are counted as extra bytes.\n"
    "\n"
    "  --json   one JSON object: kind, width, height, createdTime, matches, extraBytes and\n"
    "           every slot's flags as stored; a game adds its counters and moves, a solution\n"
    "           its statistics, best moves and spectrum\n";

std::string field(const char* name, const std::string& value) {
    return std::string("  \"") + name + "\": " + value;
}

std::string field(const char* name, int64_t value) {
    return field(name, std::to_string(value));
}

std::string jsonInfo(const LoadedDocument& doc) {
    const Board& board = doc.board;
    std::string text = "{\n";
    auto add = [&text](const std::string& line) { text += line + ",\n"; };
    add(field("kind", std::string("\"") + documentKindName(doc.header.kind) + "\""));
    add(field("width", doc.header.width));
    add(field("height", doc.header.height));
    add(field("createdTime", doc.header.createdTime));
    add(field("matches", board.countMatches()));
    add(field("extraBytes", std::to_string(doc.extraBytes)));
    if (doc.kind == DocumentKind::Game) {
        add(field("initialMatches", doc.state.initialMatches));
        add(field("current", doc.history.current));
        add(field("total", doc.history.total));
        add(field("elapsedSeconds", doc.state.elapsedSeconds));
        add(field("gameOver", doc.state.gameOver));
        add(field("moves", jsonMoves(doc.history.records.data(), doc.history.total)));
    }
    if (doc.kind == DocumentKind::Solution) {
        const SolverResults& r = doc.results;
        add(field("status", r.status));
        add(field("depth", r.depth));
        add(field("auxCounter", r.auxCounter));
        add(field("progressDone", r.progressDone));
        add(field("progressTotal", r.progressTotal));
        add(field("positionsExamined", r.positionsExamined));
        add(field("elapsedMs", r.elapsedMs));
        add(field("bestCount", r.bestCount));
        add(field("spectrumCount", r.spectrumCount));
        add(field("best", jsonMoves(r.bestSolution.data(), r.bestCount)));
        std::string spectrum = "[";
        for (int32_t i = 0; i < r.spectrumCount; ++i) {
            if (i > 0) {
                spectrum += ',';
            }
            spectrum += std::to_string(r.spectrum[i]);
        }
        add(field("spectrum", spectrum + "]"));
    }
    text += "  \"slots\": [";
    for (int32_t node = 0; node < board.nodeCount; ++node) {
        for (int32_t d = 0; d < 3; ++d) {
            const EdgeSlot& s = board.nodes[node].edges[d];
            char entry[160];
            std::snprintf(entry, sizeof entry,
                          "%s\n    {\"node\": %d, \"direction\": %d, \"exists\": %u, "
                          "\"hasMatch\": %u, \"movable\": %u, \"selected\": %u, \"target\": %u}",
                          node == 0 && d == 0 ? "" : ",", node, d, s.exists, s.hasMatch, s.movable,
                          s.selected, s.target);
            text += entry;
        }
    }
    return text + "\n  ]\n}\n";
}

void printText(const LoadedDocument& doc) {
    const std::time_t created = doc.header.createdTime;
    char when[40] = "?";
    if (const std::tm* utc = std::gmtime(&created)) {
        std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S UTC", utc);
    }
    std::printf("kind             %s\n", documentKindName(doc.header.kind));
    std::printf("board            %d x %d\n", doc.header.width, doc.header.height);
    std::printf("created          %s (%u)\n", when, doc.header.createdTime);
    std::printf("matches          %d\n", doc.board.countMatches());
    if (doc.extraBytes > 0) {
        std::printf("extra bytes      %" PRIu64 " after the records (ignored)\n", doc.extraBytes);
    }
    if (doc.kind == DocumentKind::Game) {
        std::printf("initial matches  %d\n", doc.state.initialMatches);
        std::printf("moves made       %d of %d\n", doc.history.current, doc.history.total);
        std::printf("seconds played   %d\n", doc.state.elapsedSeconds);
        std::printf("game over        %s\n", doc.state.gameOver ? "yes" : "no");
        for (int32_t i = 0; i < doc.history.total; ++i) {
            std::printf("  %3d  %s\n", i + 1, textMove(doc.history.records[i]).c_str());
        }
    }
    if (doc.kind == DocumentKind::Solution) {
        const SolverResults& r = doc.results;
        std::printf("status           %d (%s)\n", r.status,
                    r.status < 1    ? "no results"
                    : r.status == 2 ? "complete"
                                    : "incomplete");
        std::printf("depth            %d\n", r.depth);
        std::printf("auxCounter       %d\n", r.auxCounter);
        std::printf("progress         %d of %d\n", r.progressDone, r.progressTotal);
        std::printf("moves examined   %" PRId64 "\n", r.positionsExamined);
        std::printf("elapsed          %d ms\n", r.elapsedMs);
        std::printf("best solution    %d moves\n", r.bestCount);
        for (int32_t i = 0; i < r.bestCount; ++i) {
            std::printf("  %3d  %s\n", i + 1, textMove(r.bestSolution[i]).c_str());
        }
        std::printf("spectrum         %d entries\n", r.spectrumCount);
        for (int32_t i = 0; i < r.spectrumCount; ++i) {
            std::printf("  %3d  %" PRId64 "\n", i, r.spectrum[i]);
        }
    }
}

}  // namespace

int runInfo(const std::vector<std::string>& args) {
    FileArguments parsed;
    if (auto done = parseFileArguments(args, "info", help, parsed)) {
        return *done;
    }
    LoadedDocument doc;
    if (!readDocumentOrReport(parsed.file, doc)) {
        return exitRefused;
    }
    if (parsed.json) {
        std::fputs(jsonInfo(doc).c_str(), stdout);
    } else {
        printText(doc);
    }
    return exitOk;
}

}  // namespace kvarlo::cli
