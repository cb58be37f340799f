// GDI over pixel memory: DIB sections, memory surfaces, solid pens, lines, text and the block
// transfer to a window. Lines are rasterised here, without antialiasing, as the Qt layer draws
// them (a canvas would smooth them); text is drawn by the browser's canvas on this thread and
// kept where its coverage passes one half, as a font drawn without antialiasing.
#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_set>

#include "platform/web/layer.h"

namespace kvarlo::platform {

namespace {

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
    ~Bitmap() override {
        if (owned)
            std::free(pixels);
    }
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

// A surface to draw on: the bitmap's pixels or the window's screen.
struct Surface {
    uint32_t* pixels = nullptr;
    int width = 0, height = 0;
    void set(int x, int y, uint32_t colour) const {
        if (x >= 0 && y >= 0 && x < width && y < height)
            pixels[static_cast<size_t>(y) * width + x] = colour;
    }
};

std::mutex objectsMutex;
std::unordered_set<const void*>& liveObjects() {
    static auto* set = new std::unordered_set<const void*>;
    return *set;
}

GdiObject* objectFromHandle(HGDIOBJ handle) {
    std::lock_guard lock(objectsMutex);
    return liveObjects().count(handle) != 0 ? static_cast<GdiObject*>(handle) : nullptr;
}

DeviceContext* dcFromHandle(HDC handle) {
    std::lock_guard lock(objectsMutex);
    return liveObjects().count(handle) != 0 ? reinterpret_cast<DeviceContext*>(handle) : nullptr;
}

template <typename T>
T* track(T* object) {
    std::lock_guard lock(objectsMutex);
    liveObjects().insert(object);
    return object;
}

void untrack(const void* object) {
    std::lock_guard lock(objectsMutex);
    liveObjects().erase(object);
}

template <typename T>
T* makeStock(int type, auto setup) {
    auto* object = new T;
    object->type = type;
    object->stock = true;
    setup(*object);
    return track(object);
}

Pen* stockPen(int index) {
    static Pen* black = makeStock<Pen>(OBJ_PEN, [](Pen& p) { p.colour = 0x000000; });
    static Pen* white = makeStock<Pen>(OBJ_PEN, [](Pen& p) { p.colour = 0xFFFFFF; });
    static Pen* none = makeStock<Pen>(OBJ_PEN, [](Pen& p) { p.style = PS_NULL; });
    return index == WHITE_PEN ? white : index == NULL_PEN ? none : black;
}

GdiObject* stockBrush(int index) {
    static GdiObject* brushes[6] = {};
    if (brushes[index] == nullptr)
        brushes[index] = makeStock<GdiObject>(OBJ_BRUSH, [](GdiObject&) {});
    return brushes[index];
}

GdiObject* stockFont() {
    static GdiObject* font = makeStock<GdiObject>(OBJ_FONT, [](GdiObject&) {});
    return font;
}

// What a fresh memory surface holds: a 1 x 1 black bitmap, as on Windows.
Bitmap* stockBitmap() {
    static uint32_t pixel = 0;
    static Bitmap* bitmap = makeStock<Bitmap>(OBJ_BITMAP, [](Bitmap& b) {
        b.pixels = &pixel;
        b.width = b.height = 1;
    });
    return bitmap;
}

// COLORREF is 0x00BBGGRR; the pixels are 0x00RRGGBB.
uint32_t pixelOf(COLORREF c) {
    return (static_cast<uint32_t>(GetRValue(c)) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

Surface surfaceOf(DeviceContext& dc) {
    if (dc.memory) {
        return dc.bitmap != nullptr
                   ? Surface{dc.bitmap->pixels, dc.bitmap->width, dc.bitmap->height}
                   : Surface{};
    }
    Window* window = windowFromHandle(dc.window);
    return window != nullptr ? Surface{window->screen.data(), window->width, window->height}
                             : Surface{};
}

void select(GdiObject*& slot, GdiObject* object) {
    if (slot != nullptr)
        --slot->selections;
    slot = object;
    if (slot != nullptr)
        ++slot->selections;
}

// A one-pixel line as the Qt layer's cosmetic pen draws it: one pixel per step along the longer
// axis from the lower end, the upper end left out; the other coordinate in 16.16 fixed point,
// sampled at the pixel's middle when the slope is positive and at its edge when not.
void drawThinLine(const Surface& s, POINT from, POINT to, uint32_t colour) {
    const bool alongX = std::abs(to.x - from.x) >= std::abs(to.y - from.y);
    int64_t major0 = alongX ? from.x : from.y, major1 = alongX ? to.x : to.y;
    int64_t minor0 = alongX ? from.y : from.x, minor1 = alongX ? to.y : to.x;
    if (major0 > major1) {
        std::swap(major0, major1);
        std::swap(minor0, minor1);
    }
    if (major0 == major1)
        return;
    const int64_t increment = (minor1 - minor0) * 65536 / (major1 - major0);  // truncated
    const int64_t sample = increment > 0 ? 32 : 0;
    for (int64_t major = major0; major < major1; ++major) {
        const int64_t minor =
            ((minor0 << 16) + ((((major - major0) << 6) + sample) * increment >> 6)) >> 16;
        if (alongX) {
            s.set(static_cast<int>(major), static_cast<int>(minor), colour);
        } else {
            s.set(static_cast<int>(minor), static_cast<int>(major), colour);
        }
    }
}

// A wide line with round ends: every pixel whose centre lies within half the width of the
// segment, as an aliased fill of the stroked outline samples pixel centres. The centres are
// nudged up and left by a hair, so that one exactly on the outline counts on the side below
// and right of the line, as the Qt layer's fill decides it.
void drawWideLine(const Surface& s, POINT from, POINT to, int width, uint32_t colour) {
    constexpr double nudge = 1e-6;
    const double r = width / 2.0;
    const double ax = from.x, ay = from.y, bx = to.x, by = to.y;
    const double vx = bx - ax, vy = by - ay;
    const double length2 = vx * vx + vy * vy;
    const int left = static_cast<int>(std::floor(std::min(ax, bx) - r)) - 1;
    const int right = static_cast<int>(std::ceil(std::max(ax, bx) + r)) + 1;
    const int top = static_cast<int>(std::floor(std::min(ay, by) - r)) - 1;
    const int bottom = static_cast<int>(std::ceil(std::max(ay, by) + r)) + 1;
    for (int y = std::max(top, 0); y <= std::min(bottom, s.height - 1); ++y) {
        for (int x = std::max(left, 0); x <= std::min(right, s.width - 1); ++x) {
            const double px = x + 0.5 - nudge - ax, py = y + 0.5 - nudge - ay;
            const double t =
                length2 > 0 ? std::clamp((px * vx + py * vy) / length2, 0.0, 1.0) : 0.0;
            const double ex = px - t * vx, ey = py - t * vy;
            if (ex * ex + ey * ey < r * r)
                s.set(x, y, colour);
        }
    }
}

// The text's coverage as the canvas draws it in the program's font ("DejaVu Sans", 13 pixels):
// one byte per pixel (0 or 1) into `mask`, the advance and the line height as the result.
struct TextExtent {
    int width = 0, height = 0;
};

TextExtent rasteriseText(const std::string& utf8, std::vector<uint8_t>& mask) {
    const int width = EM_ASM_INT(
        {
            if (!self.kvarloText) {
                const canvas = new OffscreenCanvas(8, 8);
                self.kvarloText = canvas.getContext("2d", {willReadFrequently : true});
            }
            const c = self.kvarloText;
            c.font = "13px 'DejaVu Sans', sans-serif";
            return Math.round(c.measureText(UTF8ToString($0)).width);
        },
        utf8.c_str());
    // The baseline 12 pixels down, where the Qt layer puts it (the font's ascent at 13 pixels,
    // as Qt rounds it): at 13 every line of text sat one row below the desktop's.
    const int height = 16;  // room for the descent below that baseline
    mask.assign(static_cast<size_t>(std::max(width, 1)) * height, 0);
    EM_ASM(
        {
            const c = self.kvarloText;
            const w = Math.max($2, 1);
            const h = $3;
            c.canvas.width = w + 2;  // resizing clears the canvas and resets its state
            c.canvas.height = h;
            c.font = "13px 'DejaVu Sans', sans-serif";
            c.textBaseline = "alphabetic";
            c.fillStyle = "#000";
            c.fillText(UTF8ToString($0), 0, 12);
            const data = c.getImageData(0, 0, w, h).data;
            for (let i = 0; i < w * h; ++i)
                HEAPU8[$1 + i] = data[i * 4 + 3] >= 128 ? 1 : 0;
        },
        utf8.c_str(), mask.data(), width, height);
    return TextExtent{width, height};
}

}  // namespace

HDC createWindowDC(HWND window) {
    auto* dc = new DeviceContext;
    dc->memory = false;
    dc->window = window;
    dc->pen = stockPen(BLACK_PEN);
    dc->brush = stockBrush(WHITE_BRUSH);
    dc->font = stockFont();
    return reinterpret_cast<HDC>(track(dc));
}

}  // namespace kvarlo::platform

using namespace kvarlo::platform;

HGDIOBJ WINAPI GetStockObject(int index) {
    switch (index) {
        case WHITE_PEN:
        case BLACK_PEN:
        case NULL_PEN:
            return stockPen(index);
        case WHITE_BRUSH:
        case BLACK_BRUSH:
        case NULL_BRUSH:
            return stockBrush(index);
        case SYSTEM_FONT:
        case DEFAULT_GUI_FONT:
            return stockFont();
        default:
            return nullptr;
    }
}

HDC WINAPI CreateCompatibleDC(HDC) {
    auto* dc = new DeviceContext;
    dc->bitmap = stockBitmap();
    ++dc->bitmap->selections;
    dc->pen = stockPen(BLACK_PEN);
    dc->brush = stockBrush(WHITE_BRUSH);
    dc->font = stockFont();
    return reinterpret_cast<HDC>(track(dc));
}

BOOL WINAPI DeleteDC(HDC handle) {
    DeviceContext* dc = dcFromHandle(handle);
    if (dc == nullptr)
        return FALSE;
    for (GdiObject* held : {static_cast<GdiObject*>(dc->bitmap), static_cast<GdiObject*>(dc->pen),
                            dc->brush, dc->font}) {
        if (held != nullptr)
            --held->selections;
    }
    untrack(dc);
    delete dc;
    return TRUE;
}

HBITMAP WINAPI CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits,
                                HANDLE section, DWORD) {
    if (bits != nullptr)
        *bits = nullptr;
    if (info == nullptr || usage != DIB_RGB_COLORS || section != nullptr)
        return nullptr;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biBitCount != 32 || h.biCompression != BI_RGB ||
        h.biPlanes != 1) {
        return nullptr;  // only the 32-bit surfaces the program draws on
    }
    const int64_t width = h.biWidth;
    const int64_t height = h.biHeight < 0 ? -static_cast<int64_t>(h.biHeight) : h.biHeight;
    if (width <= 0 || height <= 0 || width > 32767 || height > 32767)
        return nullptr;
    // Zeroed, as Windows hands it out.
    void* memory = std::calloc(static_cast<size_t>(width * height), 4);
    if (memory == nullptr)
        return nullptr;
    auto* bitmap = new Bitmap;
    bitmap->type = OBJ_BITMAP;
    bitmap->pixels = static_cast<uint32_t*>(memory);
    bitmap->width = static_cast<int>(width);
    bitmap->height = static_cast<int>(height);
    bitmap->owned = true;
    if (bits != nullptr)
        *bits = memory;
    return reinterpret_cast<HBITMAP>(static_cast<HGDIOBJ>(track(static_cast<GdiObject*>(bitmap))));
}

HGDIOBJ WINAPI SelectObject(HDC handle, HGDIOBJ objectHandle) {
    DeviceContext* dc = dcFromHandle(handle);
    GdiObject* object = objectFromHandle(objectHandle);
    if (dc == nullptr || object == nullptr)
        return nullptr;
    GdiObject* previous = nullptr;
    GdiObject* slot = nullptr;
    switch (object->type) {
        case OBJ_PEN:
            previous = slot = dc->pen;
            select(slot, object);
            dc->pen = static_cast<Pen*>(slot);
            break;
        case OBJ_BITMAP:
            if (!dc->memory)
                return HGDI_ERROR;
            if (object->selections > 0 && !object->stock)
                return nullptr;  // one surface per bitmap
            previous = slot = dc->bitmap;
            select(slot, object);
            dc->bitmap = static_cast<Bitmap*>(slot);
            break;
        case OBJ_BRUSH:
            previous = dc->brush;
            select(dc->brush, object);
            break;
        case OBJ_FONT:
            previous = dc->font;
            select(dc->font, object);
            break;
        default:
            return nullptr;
    }
    return previous;
}

HGDIOBJ WINAPI GetCurrentObject(HDC handle, UINT type) {
    DeviceContext* dc = dcFromHandle(handle);
    if (dc == nullptr)
        return nullptr;
    switch (type) {
        case OBJ_PEN:
            return dc->pen;
        case OBJ_BITMAP:
            return dc->bitmap;
        case OBJ_BRUSH:
            return dc->brush;
        case OBJ_FONT:
            return dc->font;
        default:
            return nullptr;
    }
}

HPEN WINAPI CreatePen(int style, int width, COLORREF colour) {
    if (style != PS_SOLID && style != PS_NULL)
        return nullptr;  // the only styles in use
    auto* pen = new Pen;
    pen->type = OBJ_PEN;
    pen->style = style;
    pen->width = width < 1 ? 1 : width;
    pen->colour = colour & 0x00FFFFFF;
    return reinterpret_cast<HPEN>(static_cast<HGDIOBJ>(track(static_cast<GdiObject*>(pen))));
}

BOOL WINAPI DeleteObject(HGDIOBJ handle) {
    GdiObject* object = objectFromHandle(handle);
    if (object == nullptr)
        return FALSE;
    if (object->stock)
        return TRUE;
    if (object->selections > 0)
        return FALSE;  // still selected into a surface
    untrack(object);
    delete object;
    return TRUE;
}

BOOL WINAPI MoveToEx(HDC handle, int x, int y, LPPOINT previous) {
    DeviceContext* dc = dcFromHandle(handle);
    if (dc == nullptr)
        return FALSE;
    if (previous != nullptr)
        *previous = dc->position;
    dc->position = POINT{x, y};
    return TRUE;
}

BOOL WINAPI LineTo(HDC handle, int x, int y) {
    DeviceContext* dc = dcFromHandle(handle);
    if (dc == nullptr)
        return FALSE;
    const POINT from = dc->position;
    const POINT to{x, y};
    dc->position = to;
    const Surface surface = surfaceOf(*dc);
    if (surface.pixels == nullptr || dc->pen == nullptr || dc->pen->style == PS_NULL)
        return TRUE;
    const uint32_t colour = pixelOf(dc->pen->colour);
    if (dc->pen->width <= 1) {
        drawThinLine(surface, from, to, colour);
    } else {
        drawWideLine(surface, from, to, dc->pen->width, colour);
    }
    return TRUE;
}

int WINAPI SetBkMode(HDC handle, int mode) {
    DeviceContext* dc = dcFromHandle(handle);
    if (dc == nullptr || (mode != TRANSPARENT && mode != OPAQUE))
        return 0;
    const int previous = dc->backMode;
    dc->backMode = mode;
    return previous;
}

COLORREF WINAPI SetBkColor(HDC handle, COLORREF colour) {
    DeviceContext* dc = dcFromHandle(handle);
    if (dc == nullptr)
        return CLR_INVALID;
    const COLORREF previous = dc->backColour;
    dc->backColour = colour & 0x00FFFFFF;
    return previous;
}

COLORREF WINAPI SetTextColor(HDC handle, COLORREF colour) {
    DeviceContext* dc = dcFromHandle(handle);
    if (dc == nullptr)
        return CLR_INVALID;
    const COLORREF previous = dc->textColour;
    dc->textColour = colour & 0x00FFFFFF;
    return previous;
}

BOOL WINAPI TextOutA(HDC handle, int x, int y, LPCSTR text, int length) {
    DeviceContext* dc = dcFromHandle(handle);
    if (dc == nullptr || (text == nullptr && length > 0) || length < 0)
        return FALSE;
    const Surface surface = surfaceOf(*dc);
    if (surface.pixels == nullptr)
        return FALSE;
    if (length == 0)
        return TRUE;
    std::vector<uint8_t> mask;
    const TextExtent extent = rasteriseText(toUtf8(text, length), mask);
    const uint32_t ink = pixelOf(dc->textColour);
    const uint32_t paper = pixelOf(dc->backColour);
    for (int row = 0; row < extent.height; ++row) {
        for (int column = 0; column < extent.width; ++column) {
            const bool covered = mask[static_cast<size_t>(row) * extent.width + column] != 0;
            if (covered || dc->backMode == OPAQUE)
                surface.set(x + column, y + row, covered ? ink : paper);
        }
    }
    return TRUE;
}

BOOL WINAPI BitBlt(HDC destination, int x, int y, int width, int height, HDC source, int sourceX,
                   int sourceY, DWORD rop) {
    DeviceContext* to = dcFromHandle(destination);
    DeviceContext* from = dcFromHandle(source);
    if (to == nullptr || from == nullptr || rop != SRCCOPY)
        return FALSE;
    const Surface target = surfaceOf(*to);
    const Surface origin = surfaceOf(*from);
    if (target.pixels == nullptr || origin.pixels == nullptr)
        return FALSE;
    for (int row = 0; row < height; ++row) {
        const int sy = sourceY + row, ty = y + row;
        if (sy < 0 || sy >= origin.height || ty < 0 || ty >= target.height)
            continue;
        for (int column = 0; column < width; ++column) {
            const int sx = sourceX + column;
            if (sx >= 0 && sx < origin.width)
                target.set(x + column, ty,
                           origin.pixels[static_cast<size_t>(sy) * origin.width + sx]);
        }
    }
    return TRUE;  // a window's surface reaches its canvas when the paint ends (EndPaint)
}

HDC WINAPI BeginPaint(HWND hwnd, LPPAINTSTRUCT paint) {
    Window* window = windowFromHandle(hwnd);
    if (window == nullptr || paint == nullptr)
        return nullptr;
    *paint = PAINTSTRUCT{};
    {
        std::lock_guard lock(queueMutex());
        // A posted paint may find the window valid: it still paints the whole client.
        const Rect area =
            window->invalid ? window->invalidRect : Rect{0, 0, window->width, window->height};
        paint->rcPaint = RECT{area.left, area.top, area.right, area.bottom};
        paint->fErase = window->eraseRequested ? TRUE : FALSE;
        window->invalid = false;
        window->eraseRequested = false;
    }
    paint->hdc = createWindowDC(hwnd);
    return paint->hdc;
}

BOOL WINAPI EndPaint(HWND hwnd, const PAINTSTRUCT* paint) {
    if (paint == nullptr)
        return FALSE;
    if (dcFromHandle(paint->hdc) != nullptr)
        DeleteDC(paint->hdc);
    if (Window* window = windowFromHandle(hwnd))
        presentScreen(*window);
    return TRUE;
}
