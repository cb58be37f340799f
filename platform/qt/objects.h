// Handles the layer hands out: GDI objects, device contexts, icons, cursors, accelerators.
#pragma once

#include <QIcon>
#include <QImage>
#include <QPoint>
#include <vector>

#include "platform/qt/layer.h"

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

struct Bitmap : GdiObject {
    QImage image;  // for a DIB section: over the pixel memory handed to the program
    void* bits = nullptr;
};

struct DeviceContext {
    static constexpr uint32_t dcMagic = 0x4B564443;
    uint32_t magic = dcMagic;
    bool memory = true;  // a memory surface (CreateCompatibleDC) or a window's paint surface
    HWND window = nullptr;
    Bitmap* bitmap = nullptr;
    Pen* pen = nullptr;
    GdiObject* brush = nullptr;
    GdiObject* font = nullptr;
    QPoint position;
    COLORREF textColour = 0x000000;
    COLORREF backColour = 0xFFFFFF;
    int backMode = OPAQUE;
};

// The surface of a window's paint (BeginPaint) and its release (EndPaint).
HDC createWindowDC(HWND window);
void releaseWindowDC(HDC dc);

}  // namespace kvarlo::platform
