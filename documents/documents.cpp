// The file dialogs, the one-piece write and read of a file image, and the six document commands.
#include "documents/documents.h"

#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "board/fixed_array.h"
#include "documents/file_format.h"
#include "platform/file_io.h"

namespace kvarlo {

namespace {

// The dialogs' own limit on the name buffer.
constexpr DWORD dialogNameLength = 256;
constexpr DWORD currentDirectorySize = 512;

void prepareDialog(OPENFILENAMEA& ofn, HWND owner, const char* filter, char* name,
                   const char* initialDir, const char* title) {
    std::memset(&ofn, 0, sizeof ofn);
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = name;
    ofn.nMaxFile = dialogNameLength;
    ofn.lpstrInitialDir = initialDir;
    ofn.lpstrTitle = title;
}

// The dialog's answer: a name in `ofn.lpstrFile`, a cancel, or a name the program cannot take.
DocumentOutcome askForName(OPENFILENAMEA& ofn, bool save) {
    const BOOL chosen = save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
    if (chosen) {
        return ofn.lpstrFile[0] != '\0' ? DocumentOutcome::done : DocumentOutcome::cancelled;
    }
    switch (CommDlgExtendedError()) {
        case FNERR_INVALIDFILENAME:
            return DocumentOutcome::unspellableName;
        case FNERR_BUFFERTOOSMALL:
            // The buffer then holds the size needed, not a name.
            ofn.lpstrFile[0] = '\0';
            return DocumentOutcome::nameTooLong;
        default:
            return DocumentOutcome::cancelled;
    }
}

DocumentResult fileProblem(DocumentResult result, const FileError& error) {
    result.outcome = DocumentOutcome::fileProblem;
    result.problem = error.problem;
    return result;
}

// The save commands: the image, the proposed name from the document name, the dialog, and the
// new document name when the file was written.
DocumentResult saveDocument(HWND owner, DocumentKind kind, const FixedArray<uint8_t>& image,
                            const char* title, const char* extension, const char* filter,
                            DocumentName& documentName) {
    char name[fileNameBufferSize] = {};
    if (!composeProposedName(documentName, extension, name, sizeof name)) {
        name[0] = '\0';  // the document name is kept short enough for this never to happen
    }
    DocumentResult result =
        saveWithDialog(owner, {image.data(), image.count()}, title, name, extension, filter);
    result.kind = kind;
    if (result.done()) {
        setDocumentName(documentName, name);
    }
    return result;
}

// A file the codec refused: a document of another kind is told from anything else.
void refuse(DocumentResult& result, std::span<const uint8_t> bytes) {
    const uint32_t found = peekKind(bytes);
    const bool otherDocument = found != static_cast<uint32_t>(result.kind) &&
                               (found == static_cast<uint32_t>(DocumentKind::Figure) ||
                                found == static_cast<uint32_t>(DocumentKind::Game) ||
                                found == static_cast<uint32_t>(DocumentKind::Solution));
    result.outcome = otherDocument ? DocumentOutcome::otherDocument : DocumentOutcome::refused;
    result.foundKind = found;
}

// The open commands read at most the largest file of their kind; `name` receives the path that
// was read. A fixed name too long for the program's names is refused, never cut short.
DocumentResult readDocument(HWND owner, DocumentKind kind, int32_t nodeCount, const char* title,
                            const char* filter, const char* fixedName, std::vector<uint8_t>& bytes,
                            char (&name)[fileNameBufferSize]) {
    DocumentResult result;
    if (fixedName != nullptr && std::strlen(fixedName) >= fileNameBufferSize) {
        result.outcome = DocumentOutcome::nameTooLong;
        result.path = fixedName;
    } else {
        if (fixedName != nullptr) {
            std::strcpy(name, fixedName);
        }
        result = openWithDialog(owner, title, name, filter, fixedName == nullptr,
                                maxReadSize(kind, nodeCount), bytes);
    }
    result.kind = kind;
    return result;
}

}  // namespace

bool writeFileReplacing(const char* path, std::span<const uint8_t> image, FileError& error) {
    return replaceFileContents(nativePathFromProgram(path), image, error);
}

DocumentResult saveWithDialog(HWND owner, std::span<const uint8_t> image, const char* title,
                              char* name, const char* defaultExtension, const char* filter) {
    char directory[currentDirectorySize] = {};
    GetCurrentDirectoryA(sizeof directory, directory);
    OPENFILENAMEA ofn;
    prepareDialog(ofn, owner, filter, name, directory, title);
    ofn.lpstrDefExt = defaultExtension;
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
    DocumentResult result;
    result.saving = true;
    result.outcome = askForName(ofn, true);
    result.path = name;
    FileError error;
    if (result.done() && !writeFileReplacing(name, image, error)) {
        return fileProblem(result, error);
    }
    return result;
}

DocumentResult openWithDialog(HWND owner, const char* title, char* name, const char* filter,
                              bool showDialog, size_t limit, std::vector<uint8_t>& bytes) {
    DocumentResult result;
    if (showDialog) {
        char directory[currentDirectorySize] = {};
        GetCurrentDirectoryA(sizeof directory, directory);
        name[0] = '\0';
        OPENFILENAMEA ofn;
        prepareDialog(ofn, owner, filter, name, directory, title);
        ofn.Flags = OFN_READONLY | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
        result.outcome = askForName(ofn, false);
    }
    result.path = name;
    FileError error;
    if (result.done() &&
        !readRegularFile(nativePathFromProgram(name), limit, false, bytes, error)) {
        return fileProblem(result, error);
    }
    return result;
}

DocumentResult saveFigure(HWND owner, const Board& board, DocumentName& documentName, int32_t now) {
    const auto createdTime = static_cast<uint32_t>(now);
    return saveDocument(owner, DocumentKind::Figure, encodeFigure(board, createdTime),
                        saveFigureTitle, "t1a", figureFileFilter, documentName);
}

DocumentResult openFigure(HWND owner, Board& board, DocumentName& documentName,
                          const char* fixedName) {
    std::vector<uint8_t> bytes;
    char name[fileNameBufferSize] = {};
    DocumentResult result = readDocument(owner, DocumentKind::Figure, board.nodeCount,
                                         openFigureTitle, figureFileFilter, fixedName, bytes, name);
    FigureContents contents;
    std::string reason;
    if (result.done() && !decodeFigure(bytes, board, contents, reason)) {
        refuse(result, bytes);
    }
    if (result.done()) {
        setDocumentName(documentName, name);
        installFigure(contents, board);
    }
    return result;
}

DocumentResult saveGame(HWND owner, const Board& board, const MoveHistory& history,
                        const GameState& state, DocumentName& documentName, int32_t now) {
    const auto createdTime = static_cast<uint32_t>(now);
    return saveDocument(owner, DocumentKind::Game, encodeGame(board, history, state, createdTime),
                        saveGameTitle, "t1b", gameFileFilter, documentName);
}

DocumentResult openGame(HWND owner, Board& board, MoveHistory& history, GameState& state,
                        DocumentName& documentName, int32_t now, const char* fixedName) {
    std::vector<uint8_t> bytes;
    char name[fileNameBufferSize] = {};
    DocumentResult result = readDocument(owner, DocumentKind::Game, board.nodeCount, openGameTitle,
                                         gameFileFilter, fixedName, bytes, name);
    GameContents contents;
    std::string reason;
    if (result.done() && !decodeGame(bytes, board, contents, reason)) {
        refuse(result, bytes);
    }
    if (result.done()) {
        setDocumentName(documentName, name);
        installGame(contents, board, history, state, now);
    }
    return result;
}

DocumentResult saveSolution(HWND owner, const Board& board, const SolverResults& results,
                            DocumentName& documentName, int32_t now) {
    const auto createdTime = static_cast<uint32_t>(now);
    return saveDocument(owner, DocumentKind::Solution, encodeSolution(board, results, createdTime),
                        saveSolutionTitle, "t1c", solutionFileFilter, documentName);
}

DocumentResult openSolution(HWND owner, Board& board, SolverResults& results,
                            DocumentName& documentName, const char* fixedName) {
    std::vector<uint8_t> bytes;
    char name[fileNameBufferSize] = {};
    DocumentResult result =
        readDocument(owner, DocumentKind::Solution, board.nodeCount, openSolutionTitle,
                     solutionFileFilter, fixedName, bytes, name);
    SolutionContents contents;
    std::string reason;
    if (result.done() && !decodeSolution(bytes, board, contents, reason)) {
        refuse(result, bytes);
    }
    if (result.done()) {
        setDocumentName(documentName, name);
        installSolution(contents, board, results);
    }
    return result;
}

}  // namespace kvarlo
