// The board view: every paint renders one complete frame off screen (grey background, the
// board's slots, the status panel) and copies it to the window in one block transfer.
#pragma once

#include <cstdint>

#include "board/board.h"
#include "game/game.h"
#include "game/interface_state.h"
#include "platform/win32.h"
#include "solver/solver_results.h"
#include "view/edge_style.h"
#include "view/layout.h"

namespace kvarlo {

// What one frame shows. Drawing only reads it: the paint handler resolves a pending click and
// brings the clock up to date before it draws, so a frame can be drawn again and again.
struct FrameState {
    const Board& board;
    const MoveHistory& history;
    const GameState& game;
    const WindowState& window;
    const SolverResults& results;
    int32_t busy;
};

// The off-screen bitmap, kept from paint to paint and made anew when the client size changes.
struct BackBuffer {
    HBITMAP bitmap = nullptr;
    void* bits = nullptr;  // width * height * 4 bytes, rows bottom-up; null when unusable
    int32_t width = 0;
    int32_t height = 0;
};

// A 32-bit bottom-up DIB section of the given size; null handle and bits on failure.
HBITMAP createBackBuffer(int32_t width, int32_t height, void** bits);

// The whole paint of a window: begin, bring the back buffer to the client size, render, copy
// to the window, end. Draws nothing (but still begins and ends) without a usable bitmap.
void paintWindow(HWND window, BackBuffer& buffer, const FrameState& frame);

// Renders a complete frame into a memory surface whose bitmap's pixels are `bits`.
void renderFrame(HDC surface, void* bits, int32_t width, int32_t height, const FrameState& frame);
// The board alone on the background, without the status panel: a picture of the figure.
void renderBoardPicture(HDC surface, void* bits, int32_t width, int32_t height,
                        const FrameState& frame);

// The board: layout for this client size, every slot drawn.
void drawBoard(HDC surface, int32_t width, int32_t height, const Board& board);

// The status panel's text over the board.
void drawStatus(HDC surface, int32_t height, const FrameState& frame);

void drawEdge(HDC surface, EdgePen pen, const Board& board, int32_t nodeA, int32_t nodeB,
              const BoardLayout& layout);
void drawShortenedLine(HDC surface, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                       int32_t shorten);
void drawLine(HDC surface, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
void drawText(HDC surface, int32_t x, int32_t y, COLORREF colour, const char* text);

}  // namespace kvarlo
