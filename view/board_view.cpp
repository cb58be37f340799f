// Painting: the back buffer, the slots with their pens, and the status text.
#include "view/board_view.h"

#include <cstring>

#include "view/status.h"

namespace kvarlo {

namespace {

// The background grey (176, 176, 176): every byte of the pixel memory.
constexpr int backgroundByte = 176;

}  // namespace

HBITMAP createBackBuffer(int32_t width, int32_t height, void** bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // positive: rows bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    *bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
    if (!bitmap) {
        *bits = nullptr;
    }
    return bitmap;
}

void drawLine(HDC surface, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    MoveToEx(surface, x1, y1, nullptr);
    LineTo(surface, x2, y2);
}

void drawShortenedLine(HDC surface, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                       int32_t shorten) {
    const Segment s = shortenedSegment(x1, y1, x2, y2, shorten);
    drawLine(surface, s.x1, s.y1, s.x2, s.y2);
}

void drawEdge(HDC surface, EdgePen pen, const Board& board, int32_t nodeA, int32_t nodeB,
              const BoardLayout& layout) {
    const PenSpec& spec = penTable[static_cast<size_t>(pen)];
    HGDIOBJ previous = GetCurrentObject(surface, OBJ_PEN);
    HPEN created = CreatePen(PS_SOLID, spec.width, spec.colour);
    SelectObject(surface, created);
    const ScreenPoint a = nodeScreenPosition(board, nodeA, layout);
    const ScreenPoint b = nodeScreenPosition(board, nodeB, layout);
    drawShortenedLine(surface, a.x, a.y, b.x, b.y, shorteningOf(pen));
    SelectObject(surface, previous);
    DeleteObject(created);
}

void drawBoard(HDC surface, int32_t width, int32_t height, const Board& board) {
    const BoardLayout layout = computeLayout(width, height, board);
    if (!board.isBuilt()) {
        return;
    }
    for (int32_t y = 0; y < board.height; ++y) {
        for (int32_t x = 0; x < board.width; ++x) {
            const int32_t node = x + board.width * y;
            if (!board.nodes[node].active) {
                continue;
            }
            for (int32_t d = 0; d < 3; ++d) {
                // A slot a file claims without a far end on the board is not drawn.
                if (!board.slotExists(node, d)) {
                    continue;
                }
                const int32_t farEnd = board.neighbourForward(node, d);
                const SlotPens pens = slotPens(board.nodes[node].edges[d]);
                for (int32_t i = 0; i < pens.count; ++i) {
                    drawEdge(surface, pens.pens[i], board, node, farEnd, layout);
                }
            }
        }
    }
}

void drawText(HDC surface, int32_t x, int32_t y, COLORREF colour, const char* text) {
    SetTextColor(surface, colour);
    TextOutA(surface, x, y, text, static_cast<int>(std::strlen(text)));
}

void drawStatus(HDC surface, int32_t height, const FrameState& frame) {
    SetBkMode(surface, TRANSPARENT);
    const std::vector<StatusLine> lines = composeStatus(
        frame.board, frame.window, frame.history, frame.game, frame.results, frame.busy, height);
    for (const StatusLine& line : lines) {
        drawText(surface, line.x, line.y, line.colour, line.text.c_str());
    }
}

void renderFrame(HDC surface, void* bits, int32_t width, int32_t height, const FrameState& frame) {
    std::memset(bits, backgroundByte, static_cast<size_t>(width) * height * 4);
    if (frame.window.showBoard) {
        drawBoard(surface, width, height, frame.board);
    }
    drawStatus(surface, height, frame);
}

void renderBoardPicture(HDC surface, void* bits, int32_t width, int32_t height,
                        const FrameState& frame) {
    std::memset(bits, backgroundByte, static_cast<size_t>(width) * height * 4);
    drawBoard(surface, width, height, frame.board);
}

void paintWindow(HWND window, BackBuffer& buffer, const FrameState& frame) {
    PAINTSTRUCT paint{};
    HDC target = BeginPaint(window, &paint);
    RECT client{};
    GetClientRect(window, &client);
    const int32_t width = client.right;
    const int32_t height = client.bottom;

    if (width != buffer.width || height != buffer.height) {
        buffer.bits = nullptr;
        if (buffer.bitmap) {
            DeleteObject(buffer.bitmap);
        }
        buffer.bitmap = createBackBuffer(width, height, &buffer.bits);
        buffer.width = width;
        buffer.height = height;
    }

    if (buffer.bits) {
        if (HDC memory = CreateCompatibleDC(nullptr)) {
            HGDIOBJ previous = SelectObject(memory, buffer.bitmap);
            renderFrame(memory, buffer.bits, width, height, frame);
            BitBlt(target, 0, 0, width, height, memory, 0, 0, SRCCOPY);
            SelectObject(memory, previous);
            DeleteDC(memory);
        }
    }
    EndPaint(window, &paint);
}

}  // namespace kvarlo
