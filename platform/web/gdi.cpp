// Drawing over pixel memory: lines, text and the block transfer. Lines are rasterised here,
// without antialiasing, as the Qt layer draws them (a canvas would smooth them); text is drawn by
// the browser's canvas on this thread and kept where its coverage passes one half, as a font
// drawn without antialiasing.
#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/core/gdi.h"
#include "platform/web/layer.h"

namespace kvarlo::platform {

namespace {

// COLORREF is 0x00BBGGRR; the pixels are 0x00RRGGBB.
uint32_t pixelOf(COLORREF c) {
    return (static_cast<uint32_t>(GetRValue(c)) << 16) | (GetGValue(c) << 8) | GetBValue(c);
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

Surface windowSurface(HWND handle) {
    Window* window = windowFromHandle(handle);
    return window != nullptr ? Surface{window->screen.data(), window->width, window->height}
                             : Surface{};
}

void drawLine(const Surface& surface, POINT from, POINT to, const Pen& pen) {
    const uint32_t colour = pixelOf(pen.colour);
    if (pen.width <= 1) {
        drawThinLine(surface, from, to, colour);
    } else {
        drawWideLine(surface, from, to, pen.width, colour);
    }
}

bool canDrawText() {
    return true;  // the canvas has the font
}

void drawText(const DeviceContext& dc, const Surface& surface, int x, int y, const char* text,
              int length) {
    std::vector<uint8_t> mask;
    const TextExtent extent = rasteriseText(toUtf8(text, length), mask);
    const uint32_t ink = pixelOf(dc.textColour);
    const uint32_t paper = pixelOf(dc.backColour);
    for (int row = 0; row < extent.height; ++row) {
        for (int column = 0; column < extent.width; ++column) {
            const bool covered = mask[static_cast<size_t>(row) * extent.width + column] != 0;
            if (covered || dc.backMode == OPAQUE)
                surface.set(x + column, y + row, covered ? ink : paper);
        }
    }
}

// A block copied to a window's surface reaches its canvas when the paint ends (EndPaint).
void copyBlock(const DeviceContext&, const Surface& target, POINT at, const Surface& origin,
               POINT from, int width, int height) {
    for (int row = 0; row < height; ++row) {
        const int sy = from.y + row, ty = at.y + row;
        if (sy < 0 || sy >= origin.height || ty < 0 || ty >= target.height)
            continue;
        for (int column = 0; column < width; ++column) {
            const int sx = from.x + column;
            if (sx >= 0 && sx < origin.width)
                target.set(at.x + column, ty,
                           origin.pixels[static_cast<size_t>(sy) * origin.width + sx]);
        }
    }
}

}  // namespace kvarlo::platform

using namespace kvarlo::platform;
