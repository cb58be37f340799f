// Reading and writing document files for kvarlo-cli.
#include "cli/document_file.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/file_io.h"

namespace kvarlo::cli {

namespace {

// The most any open reads: the largest file of any kind.
size_t largestRead(int32_t nodeCount) {
    return std::max({maxReadSize(DocumentKind::Figure, nodeCount),
                     maxReadSize(DocumentKind::Game, nodeCount),
                     maxReadSize(DocumentKind::Solution, nodeCount)});
}

bool readPrefix(const std::string& path, size_t limit, std::vector<uint8_t>& bytes,
                uint64_t& fileSize, std::string& reason) {
    FileError error;
    if (!readRegularFile(nativePathFromCommandLine(path), limit, false, bytes, error, &fileSize)) {
        reason = error.reason;
        return false;
    }
    return true;
}

// The bytes a loaded document's records take in its file.
uint64_t recordsSize(const LoadedDocument& doc) {
    const int32_t nodes = doc.board.nodeCount;
    switch (doc.kind) {
        case DocumentKind::Figure:
            return static_cast<uint64_t>(figureFileSize(nodes));
        case DocumentKind::Game:
            return static_cast<uint64_t>(gameFileSize(nodes, doc.history.total));
        case DocumentKind::Solution:
            return static_cast<uint64_t>(
                solutionFileSize(nodes, doc.results.bestCount, doc.results.spectrumCount));
    }
    return 0;
}

}  // namespace

bool readDocument(const std::string& path, LoadedDocument& out, std::string& reason) {
    std::vector<uint8_t> bytes;
    uint64_t fileSize = 0;
    if (!readPrefix(path, largestRead(out.board.nodeCount), bytes, fileSize, reason)) {
        return false;
    }
    if (bytes.size() < fileHeaderSize) {
        reason = "size " + std::to_string(bytes.size()) + ", too short for a document header";
        return false;
    }
    const uint32_t kind = peekKind(bytes);
    switch (kind) {
        case static_cast<uint32_t>(DocumentKind::Figure): {
            FigureContents contents;
            if (!decodeFigure(bytes, out.board, contents, reason)) {
                return false;
            }
            installFigure(contents, out.board);
            out.header = contents.header;
            break;
        }
        case static_cast<uint32_t>(DocumentKind::Game): {
            GameContents contents;
            if (!decodeGame(bytes, out.board, contents, reason)) {
                return false;
            }
            installGame(contents, out.board, out.history, out.state, 0);
            out.header = contents.header;
            break;
        }
        case static_cast<uint32_t>(DocumentKind::Solution): {
            SolutionContents contents;
            if (!decodeSolution(bytes, out.board, contents, reason)) {
                return false;
            }
            installSolution(contents, out.board, out.results);
            out.header = contents.header;
            break;
        }
        default:
            reason = "kind " + std::to_string(kind) +
                     " is none of a figure (3), a game (4) or a solution (2)";
            return false;
    }
    out.kind = static_cast<DocumentKind>(kind);
    // The size as opened: a file that grew while it was read still counts what was read.
    const uint64_t size = std::max<uint64_t>(fileSize, bytes.size());
    out.extraBytes = size - std::min(size, recordsSize(out));
    return true;
}

bool readDocumentOrReport(const std::string& path, LoadedDocument& out) {
    std::string reason;
    if (readDocument(path, out, reason)) {
        return true;
    }
    std::fprintf(stderr, "kvarlo-cli: %s: %s\n", path.c_str(), reason.c_str());
    return false;
}

bool writeFileAtomically(const std::string& path, std::span<const uint8_t> image,
                         std::string& reason) {
    FileError error;
    if (!replaceFileContents(nativePathFromCommandLine(path), image, error)) {
        reason = error.reason;
        return false;
    }
    return true;
}

}  // namespace kvarlo::cli
