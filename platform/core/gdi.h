// GDI objects and device contexts as every layer keeps them: the handles, the stock objects, what
// a surface has selected, and the pixels it draws on. The layers draw lines and text, and copy
// blocks, each in its own way.
#pragma once

#include <cstdint>

#include "platform/win32.h"

namespace kvarlo::platform {

struct GdiObject {
    int type = 0;        // OBJ_PEN, OBJ_BITMAP, OBJ_BRUSH, OBJ_FONT
    bool stock = false;  // stock objects are never deleted
    int selections = 0;  // surfaces holding it; a selected object cannot be deleted
    virtual ~GdiObject() = default;
};

struct Pen : GdiObject {
    int style = PS_SOLID;
    int width = 1;
    COLORREF colour = 0;
};

// Pixels top-down, 0x00RRGGBB: the program's own memory for a DIB section.
struct Bitmap : GdiObject {
    uint32_t* pixels = nullptr;
    int width = 0, height = 0;
    bool owned = false;
    ~Bitmap() override;
};

struct DeviceContext {
    bool memory = true;  // a memory surface (CreateCompatibleDC) or a window's paint surface
    HWND window = nullptr;
    Bitmap* bitmap = nullptr;
    Pen* pen = nullptr;
    GdiObject* brush = nullptr;
    GdiObject* font = nullptr;
    POINT position{};
    COLORREF textColour = 0x000000;
    COLORREF backColour = 0xFFFFFF;
    int backMode = OPAQUE;
};

// A surface to draw on: the bitmap's pixels or the window's screen; no pixels when it has none.
struct Surface {
    uint32_t* pixels = nullptr;
    int width = 0, height = 0;
    void set(int x, int y, uint32_t colour) const {
        if (x >= 0 && y >= 0 && x < width && y < height)
            pixels[static_cast<size_t>(y) * width + x] = colour;
    }
};

// The live device context behind a handle, or nullptr.
DeviceContext* dcFromHandle(HDC handle);
Surface surfaceOf(const DeviceContext& dc);

// ---- What each layer provides ------------------------------------------------------------------
// The pixels a window's paint surface draws on.
Surface windowSurface(HWND window);
// A line from `from` to `to` (not included) in the pen, which draws (PS_SOLID).
void drawLine(const Surface& surface, POINT from, POINT to, const Pen& pen);
// True where text can be drawn (the layer has its fonts).
bool canDrawText();
// The text (1251, not empty) at x, y in the surface's font, in the context's colours and mode.
void drawText(const DeviceContext& dc, const Surface& surface, int x, int y, const char* text,
              int length);
// BitBlt's copy (SRCCOPY) of width x height pixels from `from` in `origin` to `at` in `target`, the
// surface of `to`; both surfaces have pixels, and the size is not empty.
void copyBlock(const DeviceContext& to, const Surface& target, POINT at, const Surface& origin,
               POINT from, int width, int height);

}  // namespace kvarlo::platform
