// Saving and opening figures, games and solutions through the system's file dialogs. The
// operations take the state they read or replace explicitly; the program passes its single
// instances. Each says how it ended (documents/document_result.h) and shows no message itself;
// a cancelled dialog, a file that cannot be read or written, and a refused file change nothing.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "board/board.h"
#include "documents/document_name.h"
#include "documents/document_result.h"
#include "game/game.h"
#include "platform/win32.h"
#include "solver/solver_results.h"

namespace kvarlo {

// Description and pattern pairs, each string NUL-terminated, the list closed by an empty one.
inline constexpr char figureFileFilter[] = "Map Files\0*.t1a\0Any Files\0*.*\0";
inline constexpr char gameFileFilter[] = "Game Files\0*.t1b\0Any Files\0*.*\0";
inline constexpr char solutionFileFilter[] = "Solving Files\0*.t1c\0Any Files\0*.*\0";

inline constexpr char saveFigureTitle[] = "Сохранить Фигуру в файл как";
inline constexpr char openFigureTitle[] = "Открыть Фигуру из файла";
inline constexpr char saveGameTitle[] = "Сохранить Игру в файл как";
inline constexpr char openGameTitle[] = "Открыть Игру из файла";
inline constexpr char saveSolutionTitle[] = "Сохранить Решение в файл как";
inline constexpr char openSolutionTitle[] = "Открыть Решение из файла";

// The name buffer every dialog works in (the dialog itself is told 256 characters).
inline constexpr uint32_t fileNameBufferSize = documentNameStorage;

// Asks for a file name (proposed in `name`, which receives the chosen path) and writes the image
// there. The image goes to a temporary file in the same folder first and is then renamed over
// the target, so a failed write never destroys an existing file. The result's kind is left to
// the caller.
DocumentResult saveWithDialog(HWND owner, std::span<const uint8_t> image, const char* title,
                              char* name, const char* defaultExtension, const char* filter);

// Reads at most `limit` bytes of a regular file into `bytes`: the file chosen in the open dialog,
// or, without the dialog, the one `name` already holds (relative to the current folder). The
// result's kind is left to the caller.
DocumentResult openWithDialog(HWND owner, const char* title, char* name, const char* filter,
                              bool showDialog, size_t limit, std::vector<uint8_t>& bytes);

// Writes the image to `path` (the program's own, Windows-1251) through a temporary file beside
// it, renamed over the target; through a symbolic link to the file it names, keeping the
// replaced file's permissions.
bool writeFileReplacing(const char* path, std::span<const uint8_t> image, FileError& error);

// `now` (calendar seconds) is the saved file's creation time, or the opened game's new start.
DocumentResult saveFigure(HWND owner, const Board& board, DocumentName& documentName, int32_t now);
// With a fixed name the file is read without a dialog (the start-up load of "default.t1a", or a
// file named on the command line); likewise for games and solutions.
DocumentResult openFigure(HWND owner, Board& board, DocumentName& documentName,
                          const char* fixedName = nullptr);

DocumentResult saveGame(HWND owner, const Board& board, const MoveHistory& history,
                        const GameState& state, DocumentName& documentName, int32_t now);
DocumentResult openGame(HWND owner, Board& board, MoveHistory& history, GameState& state,
                        DocumentName& documentName, int32_t now, const char* fixedName = nullptr);

DocumentResult saveSolution(HWND owner, const Board& board, const SolverResults& results,
                            DocumentName& documentName, int32_t now);
DocumentResult openSolution(HWND owner, Board& board, SolverResults& results,
                            DocumentName& documentName, const char* fixedName = nullptr);

}  // namespace kvarlo
