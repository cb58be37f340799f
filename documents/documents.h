// Saving and opening figures, games and solutions through the system's file dialogs. The
// operations take the state they read or replace explicitly; the program passes its single
// instances. Each returns true on success and shows no message; a cancelled dialog, a file that
// cannot be read or written, and a refused file all give false and change nothing.
#pragma once

#include <cstdint>

#include "board/board.h"
#include "documents/document_name.h"
#include "game/game.h"
#include "platform/win32.h"
#include "solver/results.h"

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
// the target, so a failed write never destroys an existing file.
bool saveWithDialog(HWND owner, const uint8_t* image, uint32_t count, const char* title, char* name,
                    const char* defaultExtension, const char* filter);

// Reads at most maxCount bytes of a file into `destination`: the file chosen in the open dialog,
// or, without the dialog, the one `name` already holds (relative to the current folder).
bool openWithDialog(HWND owner, uint8_t* destination, uint32_t maxCount, const char* title,
                    char* name, const char* filter, uint32_t& countRead, bool showDialog);

// Writes the image to `path` (the program's own, Windows-1251) through a temporary file beside
// it, renamed over the target; through a symbolic link to the file it names, keeping the
// replaced file's permissions.
bool writeFileReplacing(const char* path, const uint8_t* image, uint32_t count);

// `now` (calendar seconds) is the saved file's creation time, or the opened game's new start.
bool saveFigure(HWND owner, const Board& board, DocumentName& documentName, int32_t now);
// With a fixed name the file is read without a dialog (the start-up load of "default.t1a", or a
// file named on the command line); likewise for games and solutions.
bool openFigure(HWND owner, Board& board, DocumentName& documentName,
                const char* fixedName = nullptr);

bool saveGame(HWND owner, const Board& board, const MoveHistory& history, const GameState& state,
              DocumentName& documentName, int32_t now);
bool openGame(HWND owner, Board& board, MoveHistory& history, GameState& state,
              DocumentName& documentName, int32_t now, const char* fixedName = nullptr);

bool saveSolution(HWND owner, const Board& board, const SolverResults& results,
                  DocumentName& documentName, int32_t now);
bool openSolution(HWND owner, Board& board, SolverResults& results, DocumentName& documentName,
                  const char* fixedName = nullptr);

}  // namespace kvarlo
