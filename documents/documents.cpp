// The file dialogs, the one-piece write and read of a file image, and the six document commands.
#include "documents/documents.h"

#include <cstring>
#include <span>
#include <string>

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

// The save commands: the image, the proposed name from the document name, the dialog, and the
// new document name when the file was written.
bool saveDocument(HWND owner, const FixedArray<uint8_t>& image, const char* title,
                  const char* extension, const char* filter, DocumentName& documentName) {
    char name[fileNameBufferSize] = {};
    if (!composeProposedName(documentName, extension, name, sizeof name)) {
        return false;
    }
    if (!saveWithDialog(owner, image.data(), image.count(), title, name, extension, filter)) {
        return false;
    }
    setDocumentName(documentName, name);
    return true;
}

// The open commands read into a buffer of the largest size of their kind; `name` receives the
// path that was read.
bool readDocument(HWND owner, DocumentKind kind, int32_t nodeCount, const char* title,
                  const char* filter, const char* fixedName, FixedArray<uint8_t>& buffer,
                  uint32_t& countRead, char (&name)[fileNameBufferSize]) {
    buffer = FixedArray<uint8_t>(static_cast<uint32_t>(maxReadSize(kind, nodeCount)));
    if (fixedName) {
        std::strncpy(name, fixedName, sizeof name - 1);
    }
    return openWithDialog(owner, buffer.data(), buffer.count(), title, name, filter, countRead,
                          fixedName == nullptr);
}

}  // namespace

bool writeFileReplacing(const char* path, const uint8_t* image, uint32_t count) {
    FileError error;
    return replaceFileContents(nativePathFromProgram(path), {image, count}, error);
}

bool saveWithDialog(HWND owner, const uint8_t* image, uint32_t count, const char* title, char* name,
                    const char* defaultExtension, const char* filter) {
    char directory[currentDirectorySize] = {};
    GetCurrentDirectoryA(sizeof directory, directory);
    OPENFILENAMEA ofn;
    prepareDialog(ofn, owner, filter, name, directory, title);
    ofn.lpstrDefExt = defaultExtension;
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
    if (!GetSaveFileNameA(&ofn) || name[0] == '\0') {
        return false;
    }
    return writeFileReplacing(name, image, count);
}

bool openWithDialog(HWND owner, uint8_t* destination, uint32_t maxCount, const char* title,
                    char* name, const char* filter, uint32_t& countRead, bool showDialog) {
    char directory[currentDirectorySize] = {};
    GetCurrentDirectoryA(sizeof directory, directory);
    if (showDialog) {
        name[0] = '\0';
        OPENFILENAMEA ofn;
        prepareDialog(ofn, owner, filter, name, directory, title);
        ofn.Flags = OFN_READONLY | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
        if (!GetOpenFileNameA(&ofn)) {
            return false;
        }
    }
    if (name[0] == '\0') {
        return false;
    }
    HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD read = 0;
    const bool ok = ReadFile(file, destination, maxCount, &read, nullptr);
    CloseHandle(file);
    if (!ok) {
        return false;
    }
    countRead = read;
    return true;
}

bool saveFigure(HWND owner, const Board& board, DocumentName& documentName, int32_t now) {
    const auto createdTime = static_cast<uint32_t>(now);
    return saveDocument(owner, encodeFigure(board, createdTime), saveFigureTitle, "t1a",
                        figureFileFilter, documentName);
}

bool openFigure(HWND owner, Board& board, DocumentName& documentName, const char* fixedName) {
    FixedArray<uint8_t> buffer(0);
    uint32_t count = 0;
    char name[fileNameBufferSize] = {};
    if (!readDocument(owner, DocumentKind::Figure, board.nodeCount, openFigureTitle,
                      figureFileFilter, fixedName, buffer, count, name)) {
        return false;
    }
    FigureContents contents;
    std::string reason;
    if (!decodeFigure({buffer.data(), count}, board, contents, reason)) {
        return false;
    }
    setDocumentName(documentName, name);
    installFigure(contents, board);
    return true;
}

bool saveGame(HWND owner, const Board& board, const MoveHistory& history, const GameState& state,
              DocumentName& documentName, int32_t now) {
    const auto createdTime = static_cast<uint32_t>(now);
    return saveDocument(owner, encodeGame(board, history, state, createdTime), saveGameTitle, "t1b",
                        gameFileFilter, documentName);
}

bool openGame(HWND owner, Board& board, MoveHistory& history, GameState& state,
              DocumentName& documentName, int32_t now, const char* fixedName) {
    FixedArray<uint8_t> buffer(0);
    uint32_t count = 0;
    char name[fileNameBufferSize] = {};
    if (!readDocument(owner, DocumentKind::Game, board.nodeCount, openGameTitle, gameFileFilter,
                      fixedName, buffer, count, name)) {
        return false;
    }
    GameContents contents;
    std::string reason;
    if (!decodeGame({buffer.data(), count}, board, contents, reason)) {
        return false;
    }
    setDocumentName(documentName, name);
    installGame(contents, board, history, state, now);
    return true;
}

bool saveSolution(HWND owner, const Board& board, const SolverResults& results,
                  DocumentName& documentName, int32_t now) {
    const auto createdTime = static_cast<uint32_t>(now);
    return saveDocument(owner, encodeSolution(board, results, createdTime), saveSolutionTitle,
                        "t1c", solutionFileFilter, documentName);
}

bool openSolution(HWND owner, Board& board, SolverResults& results, DocumentName& documentName,
                  const char* fixedName) {
    FixedArray<uint8_t> buffer(0);
    uint32_t count = 0;
    char name[fileNameBufferSize] = {};
    if (!readDocument(owner, DocumentKind::Solution, board.nodeCount, openSolutionTitle,
                      solutionFileFilter, fixedName, buffer, count, name)) {
        return false;
    }
    SolutionContents contents;
    std::string reason;
    if (!decodeSolution({buffer.data(), count}, board, contents, reason)) {
        return false;
    }
    setDocumentName(documentName, name);
    installSolution(contents, board, results);
    return true;
}

}  // namespace kvarlo
