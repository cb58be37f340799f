// Drawing into a DIB section as the program draws its frames: pens and lines, text, and BitBlt,
// checked pixel by pixel. One-pixel lines and copies must match exactly; a wide pen's ends and a
// font's glyphs differ between the systems, so only what both must agree on is checked there.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/win32.h"

namespace {

// A 32-bit top-down DIB section selected into a memory DC; pixels are read straight from it.
class Surface {
public:
    Surface(int width, int height) : width_(width), height_(height) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // rows from the top, as the program makes them
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(nullptr);
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<uint32_t*>(bits);
        if (dc_ != nullptr && bitmap_ != nullptr)
            previous_ = SelectObject(dc_, bitmap_);
    }
    ~Surface() {
        if (previous_ != nullptr)
            SelectObject(dc_, previous_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    bool ready() const { return bits_ != nullptr && previous_ != nullptr; }
    HDC dc() const { return dc_; }
    // The pixel as a COLORREF (the section holds blue, green, red and an unused byte).
    COLORREF at(int x, int y) const {
        const uint32_t p = bits_[y * width_ + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    void set(int x, int y, COLORREF colour) {
        bits_[y * width_ + x] = static_cast<uint32_t>(GetRValue(colour)) << 16 |
                                static_cast<uint32_t>(GetGValue(colour)) << 8 | GetBValue(colour);
    }
    // Every pixel that is not black, as (x, y) pairs.
    std::vector<POINT> painted() const {
        std::vector<POINT> points;
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                if (at(x, y) != 0)
                    points.push_back(POINT{x, y});
        return points;
    }

private:
    int width_;
    int height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    uint32_t* bits_ = nullptr;
};

const COLORREF red = RGB(255, 0, 0);
const COLORREF green = RGB(0, 200, 0);

std::vector<std::pair<int, int>> pairs(const std::vector<POINT>& points) {
    std::vector<std::pair<int, int>> result;
    for (const POINT& p : points)
        result.emplace_back(p.x, p.y);
    return result;
}

TEST(Drawing, ADibSectionStartsBlackAndKeepsItsRowsTopDown) {
    Surface surface(8, 4);
    ASSERT_TRUE(surface.ready());
    EXPECT_TRUE(surface.painted().empty());
    // A pixel written into the bits is where its row says, as a copy shows.
    surface.set(2, 1, red);
    Surface copy(8, 4);
    ASSERT_TRUE(copy.ready());
    ASSERT_TRUE(BitBlt(copy.dc(), 0, 0, 8, 4, surface.dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(pairs(copy.painted()), (std::vector<std::pair<int, int>>{{2, 1}}));
    EXPECT_EQ(copy.at(2, 1), red);
}

TEST(Drawing, AOnePixelPenLeavesOutTheLastPixel) {
    Surface surface(16, 16);
    ASSERT_TRUE(surface.ready());
    HPEN pen = CreatePen(PS_SOLID, 1, red);
    ASSERT_NE(pen, nullptr);
    HGDIOBJ previous = SelectObject(surface.dc(), pen);
    EXPECT_EQ(GetCurrentObject(surface.dc(), OBJ_PEN), pen);
    MoveToEx(surface.dc(), 2, 3, nullptr);
    LineTo(surface.dc(), 6, 3);  // across
    MoveToEx(surface.dc(), 10, 2, nullptr);
    LineTo(surface.dc(), 10, 5);  // down
    MoveToEx(surface.dc(), 1, 8, nullptr);
    LineTo(surface.dc(), 4, 11);  // at 45 degrees
    const std::vector<std::pair<int, int>> expected = {{2, 3},  {3, 3},  {4, 3}, {5, 3}, {10, 2},
                                                       {10, 3}, {10, 4}, {1, 8}, {2, 9}, {3, 10}};
    auto drawn = pairs(surface.painted());
    std::sort(drawn.begin(), drawn.end(),
              [](auto a, auto b) { return a.first + 100 * a.second < b.first + 100 * b.second; });
    auto want = expected;
    std::sort(want.begin(), want.end(),
              [](auto a, auto b) { return a.first + 100 * a.second < b.first + 100 * b.second; });
    EXPECT_EQ(drawn, want);
    for (const auto& [x, y] : expected)
        EXPECT_EQ(surface.at(x, y), red) << x << "," << y;
    EXPECT_EQ(SelectObject(surface.dc(), previous), pen);
    EXPECT_TRUE(DeleteObject(pen));
}

TEST(Drawing, TheCurrentPositionMovesAndANullPenDrawsNothing) {
    Surface surface(16, 16);
    ASSERT_TRUE(surface.ready());
    POINT before = {-1, -1};
    MoveToEx(surface.dc(), 4, 5, nullptr);
    LineTo(surface.dc(), 9, 5);
    ASSERT_TRUE(MoveToEx(surface.dc(), 1, 1, &before));
    EXPECT_EQ(before.x, 9);  // LineTo left the position at its end
    EXPECT_EQ(before.y, 5);
    EXPECT_EQ(surface.at(4, 5), 0u);  // the default pen is black
    SelectObject(surface.dc(), GetStockObject(WHITE_PEN));
    LineTo(surface.dc(), 1, 6);
    EXPECT_EQ(surface.at(1, 3), RGB(255, 255, 255));
    SelectObject(surface.dc(), GetStockObject(NULL_PEN));
    MoveToEx(surface.dc(), 8, 0, nullptr);
    LineTo(surface.dc(), 8, 10);
    EXPECT_EQ(surface.at(8, 4), 0u);
    SelectObject(surface.dc(), GetStockObject(BLACK_PEN));
}

// A wide pen covers its width across the line; its ends (round on both systems, but rasterised
// differently) are left out of the check: two pixels at each end.
TEST(Drawing, AWidePenCoversItsWidthAcrossTheLine) {
    Surface surface(32, 24);
    ASSERT_TRUE(surface.ready());
    HPEN pen = CreatePen(PS_SOLID, 3, green);
    SelectObject(surface.dc(), pen);
    MoveToEx(surface.dc(), 5, 10, nullptr);
    LineTo(surface.dc(), 25, 10);
    for (int x = 7; x <= 23; ++x) {
        for (int y = 9; y <= 11; ++y)
            EXPECT_EQ(surface.at(x, y), green) << x << "," << y;
        EXPECT_EQ(surface.at(x, 7), 0u) << x;
        EXPECT_EQ(surface.at(x, 13), 0u) << x;
    }
    SelectObject(surface.dc(), GetStockObject(BLACK_PEN));
    DeleteObject(pen);
}

TEST(Drawing, BitBltCopiesARectangleExactlyAndClipsAtTheEdge) {
    Surface source(8, 8);
    Surface target(8, 8);
    ASSERT_TRUE(source.ready() && target.ready());
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            source.set(x, y, RGB(x * 30 + 1, y * 30 + 1, 77));
    ASSERT_TRUE(BitBlt(target.dc(), 1, 2, 3, 2, source.dc(), 4, 5, SRCCOPY));
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            const bool inside = x >= 1 && x < 4 && y >= 2 && y < 4;
            EXPECT_EQ(target.at(x, y), inside ? source.at(x + 3, y + 3) : 0u) << x << "," << y;
        }
    }
    // Past the right edge: what fits is copied, nothing wraps onto the next row.
    ASSERT_TRUE(BitBlt(target.dc(), 6, 6, 4, 1, source.dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(target.at(6, 6), source.at(0, 0));
    EXPECT_EQ(target.at(7, 6), source.at(1, 0));
    EXPECT_EQ(target.at(0, 7), 0u);
}

// Glyphs differ between the systems' fonts, and Windows smooths their edges, blending the text
// colour into what is below: so a drawn pixel is the text colour at any strength (no other hue),
// some are the text colour itself, and all lie below and to the right of the point given. An
// opaque background fills from that point, glyph edges blending the two colours.
TEST(Drawing, TextIsDrawnInItsColourFromItsTopLeftCorner) {
    Surface surface(120, 40);
    ASSERT_TRUE(surface.ready());
    SetBkMode(surface.dc(), TRANSPARENT);
    SetTextColor(surface.dc(), red);
    ASSERT_TRUE(TextOutA(surface.dc(), 10, 12, "\xCA\xE2\xE0\xF0\xEB\xEE", 6));  // "Кварло"
    const std::vector<POINT> drawn = surface.painted();
    ASSERT_FALSE(drawn.empty());
    bool full = false;
    for (const POINT& p : drawn) {
        const COLORREF c = surface.at(p.x, p.y);
        EXPECT_EQ(GetGValue(c) + GetBValue(c), 0) << p.x << "," << p.y;
        full = full || c == red;
        EXPECT_GE(p.x, 10);
        EXPECT_GE(p.y, 12);
    }
    EXPECT_TRUE(full);

    Surface opaque(120, 40);
    ASSERT_TRUE(opaque.ready());
    SetBkMode(opaque.dc(), OPAQUE);
    SetBkColor(opaque.dc(), green);
    SetTextColor(opaque.dc(), red);
    ASSERT_TRUE(TextOutA(opaque.dc(), 10, 12, "\xCA\xE2\xE0\xF0\xEB\xEE", 6));
    EXPECT_EQ(opaque.at(10, 12), green);  // the box starts at the point given
    EXPECT_EQ(opaque.at(9, 12), 0u);
    EXPECT_EQ(opaque.at(10, 11), 0u);
    for (const POINT& p : opaque.painted()) {
        EXPECT_EQ(GetBValue(opaque.at(p.x, p.y)), 0) << p.x << "," << p.y;
        EXPECT_GE(p.x, 10);
        EXPECT_GE(p.y, 12);
    }
}

TEST(Drawing, APenIsSelectedThenDeletedOnce) {
    Surface surface(4, 4);
    ASSERT_TRUE(surface.ready());
    HPEN pen = CreatePen(PS_SOLID, 3, green);
    HGDIOBJ old = SelectObject(surface.dc(), pen);
    EXPECT_EQ(GetCurrentObject(surface.dc(), OBJ_PEN), static_cast<HGDIOBJ>(pen));
    EXPECT_EQ(SelectObject(surface.dc(), old), static_cast<HGDIOBJ>(pen));
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_FALSE(DeleteObject(pen));                       // gone
    EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_PEN)));  // a stock pen stays
    EXPECT_EQ(GetCurrentObject(surface.dc(), OBJ_PEN), GetStockObject(BLACK_PEN));
}

TEST(Drawing, ASelectedPenDeletedGoesWhenDeselected) {
#ifndef _WIN32
    GTEST_SKIP() << "the Linux layer refuses to delete a selected object (DeleteObject FALSE) and "
                    "keeps it until it is deleted again";
#endif
    Surface surface(4, 4);
    ASSERT_TRUE(surface.ready());
    HPEN pen = CreatePen(PS_SOLID, 3, green);
    HGDIOBJ old = SelectObject(surface.dc(), pen);
    EXPECT_TRUE(DeleteObject(pen));  // marked, still drawing
    EXPECT_EQ(GetCurrentObject(surface.dc(), OBJ_PEN), static_cast<HGDIOBJ>(pen));
    SelectObject(surface.dc(), old);
    EXPECT_FALSE(DeleteObject(pen));  // went with its deselection
}

BITMAPINFO sectionInfo(int width, int height, WORD bitCount) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = bitCount;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

TEST(Drawing, ASectionOfNoWidthIsRefused) {
    const BITMAPINFO info = sectionInfo(0, 40, 32);  // a client area of no width
    void* bits = &bits;
    EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(bits, nullptr);
}

TEST(Drawing, ASectionOf24BitsIsMade) {
#ifndef _WIN32
    GTEST_SKIP() << "the Linux layer makes 32-bit BI_RGB sections only";
#endif
    const BITMAPINFO info = sectionInfo(10, 4, 24);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    EXPECT_NE(bitmap, nullptr);
    EXPECT_NE(bits, nullptr);
    DeleteObject(bitmap);
}

}  // namespace
