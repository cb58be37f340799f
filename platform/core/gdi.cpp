// GDI objects and device contexts: the handles and their checks, the stock objects, DIB
// sections over the program's own memory, what a surface has selected, and the paint's surface.
#include "platform/core/gdi.h"

#include <cstdlib>
#include <mutex>
#include <unordered_set>

#include "platform/core/window.h"

namespace kvarlo::platform {

namespace {

std::mutex objectsMutex;
std::unordered_set<const void*>& liveObjects() {
    static auto* set = new std::unordered_set<const void*>;
    return *set;
}

GdiObject* objectFromHandle(HGDIOBJ handle) {
    std::lock_guard lock(objectsMutex);
    return liveObjects().count(handle) != 0 ? static_cast<GdiObject*>(handle) : nullptr;
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

void select(GdiObject*& slot, GdiObject* object) {
    if (slot != nullptr)
        --slot->selections;
    slot = object;
    if (slot != nullptr)
        ++slot->selections;
}

HDC createWindowDC(HWND window) {
    auto* dc = new DeviceContext;
    dc->memory = false;
    dc->window = window;
    dc->pen = stockPen(BLACK_PEN);
    dc->brush = stockBrush(WHITE_BRUSH);
    dc->font = stockFont();
    return reinterpret_cast<HDC>(track(dc));
}

}  // namespace

Bitmap::~Bitmap() {
    if (owned)
        std::free(pixels);
}

DeviceContext* dcFromHandle(HDC handle) {
    std::lock_guard lock(objectsMutex);
    return liveObjects().count(handle) != 0 ? reinterpret_cast<DeviceContext*>(handle) : nullptr;
}

Surface surfaceOf(const DeviceContext& dc) {
    if (dc.memory) {
        return dc.bitmap != nullptr
                   ? Surface{dc.bitmap->pixels, dc.bitmap->width, dc.bitmap->height}
                   : Surface{};
    }
    return windowRecord(dc.window) != nullptr ? windowSurface(dc.window) : Surface{};
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
    dc->position = POINT{x, y};
    const Surface surface = surfaceOf(*dc);
    if (surface.pixels != nullptr && dc->pen != nullptr && dc->pen->style != PS_NULL)
        drawLine(surface, from, dc->position, *dc->pen);
    return TRUE;
}

BOOL WINAPI TextOutA(HDC handle, int x, int y, LPCSTR text, int length) {
    DeviceContext* dc = dcFromHandle(handle);
    if (dc == nullptr || (text == nullptr && length > 0) || length < 0 || !canDrawText())
        return FALSE;
    const Surface surface = surfaceOf(*dc);
    if (surface.pixels == nullptr)
        return FALSE;
    if (length > 0)
        drawText(*dc, surface, x, y, text, length);
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
    if (width > 0 && height > 0)
        copyBlock(*to, target, POINT{x, y}, origin, POINT{sourceX, sourceY}, width, height);
    return TRUE;
}

HDC WINAPI BeginPaint(HWND hwnd, LPPAINTSTRUCT paint) {
    WindowRecord* window = windowRecord(hwnd);
    if (window == nullptr || paint == nullptr)
        return nullptr;
    *paint = PAINTSTRUCT{};
    const Rect whole = window->clientArea();
    {
        std::lock_guard lock(queueMutex());
        // A posted paint may find the window valid: it still paints the whole client.
        const Rect area = window->invalid ? window->invalidRect : whole;
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
    if (WindowRecord* window = windowRecord(hwnd))
        window->present();
    return TRUE;
}
