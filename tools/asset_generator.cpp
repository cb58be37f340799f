// Generates the program's artwork and sounds: the window icon, the About picture, the three
// About tunes and the jump sound. Integer arithmetic only, so every run on every machine writes
// the same bytes; the files in assets/ are this tool's output.
//
// usage: kvarlo-assets <output folder>
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <span>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void put16(Bytes& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void put32(Bytes& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// A colour as red, green, blue.
using Colour = std::array<uint8_t, 3>;

// A palette as the bitmap formats store it: blue, green, red and a zero per colour.
void putPalette(Bytes& out, std::span<const Colour> colours) {
    for (const Colour& c : colours) {
        out.push_back(c[2]);
        out.push_back(c[1]);
        out.push_back(c[0]);
        out.push_back(0);
    }
}

// ---- Pictures ------------------------------------------------------------------------------

// An indexed picture, top row first.
struct Picture {
    int width, height;
    std::vector<uint8_t> pixels;
    Picture(int w, int h, uint8_t fill)
        : width(w), height(h), pixels(static_cast<size_t>(w * h), fill) {}
    void set(int x, int y, uint8_t c) {
        if (x >= 0 && y >= 0 && x < width && y < height)
            pixels[static_cast<size_t>(y * width + x)] = c;
    }
    uint8_t at(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
    void disc(int cx, int cy, int r, uint8_t c) {
        for (int y = -r; y <= r; ++y) {
            for (int x = -r; x <= r; ++x) {
                if (x * x + y * y <= r * r + r / 2)
                    set(cx + x, cy + y, c);
            }
        }
    }
    // A thick segment: discs stamped along a Bresenham walk.
    void line(int x0, int y0, int x1, int y1, int r, uint8_t c) {
        const int dx = x1 > x0 ? x1 - x0 : x0 - x1, sx = x0 < x1 ? 1 : -1;
        const int dy = y1 > y0 ? y0 - y1 : y1 - y0, sy = y0 < y1 ? 1 : -1;
        int err = dx + dy;
        for (;;) {
            disc(x0, y0, r, c);
            if (x0 == x1 && y0 == y1)
                break;
            const int e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x0 += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y0 += sy;
            }
        }
    }
    // A match from (x0, y0) to (x1, y1) with its head at the second end.
    void match(int x0, int y0, int x1, int y1, int r, uint8_t wood, uint8_t head) {
        line(x0, y0, x1, y1, r, wood);
        disc(x1, y1, r + 1, head);
    }
};

// The 16 colours of the classic VGA palette.
constexpr Colour vga[16] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                            {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                            {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                            {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};

// One icon image: 16 colours, opaque.
Bytes iconImage(int size) {
    Picture p(size, size, 4);  // navy
    const int m = size / 8;
    // A triangle of three matches with a fourth jumping across it.
    const int ax = size / 2, ay = m, bx = m, by = size - 2 * m, cx = size - m - 1,
              cy = size - 2 * m;
    const int r = size >= 32 ? 1 : 0;
    p.match(bx, by, ax, ay, r, 11, 9);
    p.match(ax, ay, cx, cy, r, 11, 9);
    p.match(cx, cy, bx, by, r, 11, 9);
    p.match(size / 2, size - m, size / 2, size / 2, r, 3, 12);
    Bytes out;
    put32(out, 40);
    put32(out, static_cast<uint32_t>(size));
    put32(out, static_cast<uint32_t>(size * 2));  // colour rows and mask rows
    put16(out, 1);
    put16(out, 4);
    put32(out, 0);
    const int xorRow = ((size * 4 + 31) / 32) * 4;
    const int andRow = ((size + 31) / 32) * 4;
    put32(out, static_cast<uint32_t>((xorRow + andRow) * size));
    put32(out, 0);
    put32(out, 0);
    put32(out, 16);
    put32(out, 0);
    putPalette(out, vga);
    for (int y = size - 1; y >= 0; --y) {
        for (int x = 0; x < xorRow * 2; x += 2) {
            const uint8_t hi = x < size ? p.at(x, y) : 0;
            const uint8_t lo = x + 1 < size ? p.at(x + 1, y) : 0;
            out.push_back(static_cast<uint8_t>((hi << 4) | lo));
        }
    }
    out.insert(out.end(), static_cast<size_t>(andRow * size), 0);  // opaque everywhere
    return out;
}

Bytes icon() {
    const Bytes big = iconImage(32), small = iconImage(16);
    Bytes out;
    put16(out, 0);
    put16(out, 1);  // icon
    put16(out, 2);
    uint32_t offset = 6 + 2 * 16;
    for (const auto* image : {&big, &small}) {
        const uint8_t size = image == &big ? 32 : 16;
        out.push_back(size);
        out.push_back(size);
        out.push_back(16);
        out.push_back(0);
        put16(out, 1);
        put16(out, 4);
        put32(out, static_cast<uint32_t>(image->size()));
        put32(out, offset);
        offset += static_cast<uint32_t>(image->size());
    }
    out.insert(out.end(), big.begin(), big.end());
    out.insert(out.end(), small.begin(), small.end());
    return out;
}

// ---- The About picture ---------------------------------------------------------------------

constexpr int aboutWidth = 130, aboutHeight = 171;

// The picture's own colours, after the 128 of the sky.
enum AboutColour : uint8_t { grid = 200, wood, head, shadow, node, star };

using Palette = std::array<Colour, 256>;

Palette aboutPalette() {
    Palette palette{};
    for (int i = 0; i < 128; ++i) {  // sky: deep blue to violet to orange
        if (i < 64) {
            palette[i] = {static_cast<uint8_t>(10 + i), static_cast<uint8_t>(10 + i / 2),
                          static_cast<uint8_t>(60 + i)};
        } else {
            const int k = i - 64;
            palette[i] = {static_cast<uint8_t>(74 + k * 2 + k / 2), static_cast<uint8_t>(42 + k),
                          static_cast<uint8_t>(124 - k)};
        }
    }
    palette[grid] = {150, 150, 160};
    palette[wood] = {180, 120, 0};
    palette[head] = {200, 30, 20};
    palette[shadow] = {60, 40, 20};
    palette[node] = {230, 230, 230};
    palette[star] = {255, 240, 180};
    return palette;
}

// The sky darkens upwards through the 128 sky colours; a few stars in its upper part.
void paintSky(Picture& p) {
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x)
            p.set(x, y, static_cast<uint8_t>(y * 127 / (p.height - 1)));
    }
    uint32_t seed = 12345;
    for (int i = 0; i < 40; ++i) {
        seed = seed * 1103515245u + 12345u;
        const int x = static_cast<int>((seed >> 16) % p.width);
        seed = seed * 1103515245u + 12345u;
        const int y = static_cast<int>((seed >> 16) % 60);
        p.set(x, y, star);
    }
}

// Where the hexagon's 37 nodes sit in the picture: rows of 4, 5, 6, 7, 6, 5, 4.
struct AboutHexagon {
    static constexpr int rows = 7, step = 17, rowStep = 15, cx = aboutWidth / 2, cy = 100;
    static int nodesIn(int row) { return 7 - (row < 3 ? 3 - row : row - 3); }
    static int x(int row, int k) { return cx + k * step - (nodesIn(row) - 1) * step / 2; }
    static int y(int row) { return cy + (row - 3) * rowStep; }
};

// The lattice: every pair of nodes one step apart, along the rows and across them.
void paintLattice(Picture& p) {
    using H = AboutHexagon;
    for (int row = 0; row < H::rows; ++row) {
        for (int k = 0; k + 1 < H::nodesIn(row); ++k)
            p.line(H::x(row, k), H::y(row), H::x(row, k + 1), H::y(row), 0, grid);
        if (row + 1 == H::rows)
            continue;
        for (int k = 0; k < H::nodesIn(row); ++k) {
            for (int j = 0; j < H::nodesIn(row + 1); ++j) {
                const int dx = H::x(row + 1, j) - H::x(row, k);
                if (dx * dx <= (H::step / 2 + 1) * (H::step / 2 + 1))
                    p.line(H::x(row, k), H::y(row), H::x(row + 1, j), H::y(row + 1), 0, grid);
            }
        }
    }
}

// Matches: a small triangle and a jump about to happen; then the nodes over their ends.
void paintMatchesAndNodes(Picture& p) {
    using H = AboutHexagon;
    p.match(H::x(3, 2) + 2, H::y(3) + 2, H::x(3, 4) + 2, H::y(3) + 2, 2, shadow, shadow);
    p.match(H::x(3, 2), H::y(3), H::x(3, 4), H::y(3), 2, wood, head);
    p.match(H::x(2, 2), H::y(2), H::x(3, 2), H::y(3), 2, wood, head);
    p.match(H::x(2, 3), H::y(2), H::x(3, 4), H::y(3), 2, wood, head);
    p.match(H::x(4, 1), H::y(4), H::x(4, 4), H::y(4), 2, wood, head);
    for (int row = 0; row < H::rows; ++row) {
        for (int k = 0; k < H::nodesIn(row); ++k)
            p.disc(H::x(row, k), H::y(row), 1, node);
    }
}

// A 256-colour BMP file of the picture: bottom row first, rows padded to four bytes.
Bytes bitmapFile(const Picture& p, const Palette& palette) {
    Bytes out;
    const int rowBytes = (p.width + 3) / 4 * 4;
    const uint32_t pixelOffset = 14 + 40 + 256 * 4;
    const uint32_t fileSize = pixelOffset + static_cast<uint32_t>(rowBytes * p.height);
    out.push_back('B');
    out.push_back('M');
    put32(out, fileSize);
    put32(out, 0);
    put32(out, pixelOffset);
    put32(out, 40);
    put32(out, static_cast<uint32_t>(p.width));
    put32(out, static_cast<uint32_t>(p.height));
    put16(out, 1);
    put16(out, 8);
    put32(out, 0);
    put32(out, static_cast<uint32_t>(rowBytes * p.height));
    put32(out, 2835);
    put32(out, 2835);
    put32(out, 256);
    put32(out, 0);
    putPalette(out, palette);
    for (int y = p.height - 1; y >= 0; --y) {
        for (int x = 0; x < rowBytes; ++x)
            out.push_back(x < p.width ? p.at(x, y) : 0);
    }
    return out;
}

// The About picture, 130 x 171, 256 colours: an evening sky over the hexagon of the board with
// a few matches on it.
Bytes aboutBitmap() {
    Picture p(aboutWidth, aboutHeight, 0);
    paintSky(p);
    paintLattice(p);
    paintMatchesAndNodes(p);
    return bitmapFile(p, aboutPalette());
}

// ---- Sounds --------------------------------------------------------------------------------

constexpr uint32_t sampleRate = 8000;

Bytes wave(const std::vector<uint8_t>& samples) {
    Bytes out;
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put32(out, static_cast<uint32_t>(36 + samples.size()));
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(out, 16);
    put16(out, 1);  // PCM
    put16(out, 1);  // mono
    put32(out, sampleRate);
    put32(out, sampleRate);  // bytes per second
    put16(out, 1);           // block align
    put16(out, 8);           // bits per sample
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put32(out, static_cast<uint32_t>(samples.size()));
    out.insert(out.end(), samples.begin(), samples.end());
    return out;
}

// Equal temperament from A4 = 440 Hz, in millihertz, for the octave above middle C.
constexpr uint32_t octave4[12] = {261626, 277183, 293665, 311127, 329628, 349228,
                                  369994, 391995, 415305, 440000, 466164, 493883};

uint32_t noteMilliHz(int note) {  // note: semitones from C4; negative notes go down
    int octave = 0;
    while (note < 0) {
        note += 12;
        --octave;
    }
    octave += note / 12;
    const uint32_t base = octave4[note % 12];
    return octave >= 0 ? base << octave : base >> -octave;
}

struct Note {
    int pitch;  // semitones from C4; 99 = rest
    int eighths;
};

// Plays a tune with a soft triangle voice and a quieter fifth below; each note fades out.
std::vector<uint8_t> tune(const std::vector<Note>& notes, uint32_t eighthSamples, size_t total) {
    std::vector<uint8_t> samples;
    samples.reserve(total);
    size_t index = 0;
    while (samples.size() < total) {
        const Note& n = notes[index++ % notes.size()];
        const uint32_t length = static_cast<uint32_t>(n.eighths) * eighthSamples;
        const uint64_t step = n.pitch == 99 ? 0
                                            : (static_cast<uint64_t>(noteMilliHz(n.pitch)) << 32) /
                                                  (sampleRate * 1000ull);
        const uint64_t stepLow = step * 2 / 3;
        uint32_t phase = 0, phaseLow = 0;
        for (uint32_t i = 0; i < length && samples.size() < total; ++i) {
            int value = 0;
            if (step != 0) {
                auto triangle = [](uint32_t ph) {                      // -64 .. 64
                    const int32_t t = static_cast<int32_t>(ph >> 24);  // 0..255
                    return t < 128 ? t - 64 : 191 - t;
                };
                const int envelope = static_cast<int>(256 - (i * 200) / length);  // fades to 56/256
                const int attack = i < 80 ? static_cast<int>(i) * 256 / 80 : 256;
                value = (triangle(phase) * 3 + triangle(phaseLow)) * envelope / 256 * attack / 256 *
                        2 / 3;
                phase += static_cast<uint32_t>(step);
                phaseLow += static_cast<uint32_t>(stepLow);
            }
            samples.push_back(static_cast<uint8_t>(128 + value));
        }
    }
    // The last fifth of a second fades to silence, so a loop restarts cleanly.
    const size_t fade = sampleRate / 5;
    for (size_t i = 0; i < fade; ++i) {
        uint8_t& s = samples[total - fade + i];
        s = static_cast<uint8_t>(128 + (static_cast<int>(s) - 128) * static_cast<int>(fade - i) /
                                           static_cast<int>(fade));
    }
    return samples;
}

// The jump: a short crackle over a falling thump, about a third of a second.
std::vector<uint8_t> explosion() {
    const size_t total = sampleRate / 3;
    std::vector<uint8_t> samples;
    uint32_t seed = 2024;
    uint32_t phase = 0;
    for (size_t i = 0; i < total; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const int noise = static_cast<int>(seed >> 25) - 64;  // -64 .. 63
        const int decay = static_cast<int>(total - i) * 256 / static_cast<int>(total);
        const uint32_t step =
            static_cast<uint32_t>((180u - i * 120u / total) * 536871u);  // ~180 Hz down to ~60 Hz
        phase += step;
        const int thump = static_cast<int>(phase >> 26) < 32 ? 40 : -40;
        const int value = (noise * decay / 256 * decay / 256) + thump * decay / 256;
        samples.push_back(static_cast<uint8_t>(128 + std::max(-127, std::min(127, value))));
    }
    return samples;
}

bool write(const std::string& folder, const char* name, const Bytes& bytes) {
    const std::string path = folder + "/" + name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "kvarlo-assets: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kvarlo-assets <output folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    constexpr size_t tuneSamples = 32000;  // four seconds: about 32 KB each
    // Three different tunes: a rising fanfare, a gentle minor waltz, a merry march.
    const std::vector<Note> rec1 = {{0, 2}, {4, 2}, {7, 2},  {12, 4}, {7, 2},  {12, 6}, {99, 2},
                                    {5, 2}, {9, 2}, {12, 2}, {17, 4}, {16, 2}, {12, 6}, {99, 2}};
    const std::vector<Note> rec2 = {{9, 4}, {12, 2}, {16, 2}, {14, 4}, {12, 2}, {11, 2},
                                    {9, 6}, {4, 2},  {5, 4},  {9, 2},  {12, 2}, {11, 8}};
    const std::vector<Note> rec5 = {{7, 1},  {7, 1},  {12, 2}, {12, 1}, {14, 1},
                                    {16, 2}, {16, 1}, {14, 1}, {12, 2}, {11, 2},
                                    {7, 2},  {9, 1},  {11, 1}, {12, 4}, {99, 2}};
    bool ok = write(folder, "kvarlo.ico", icon());
    ok = write(folder, "about.bmp", aboutBitmap()) && ok;
    ok = write(folder, "rec1.wav", wave(tune(rec1, 1000, tuneSamples))) && ok;
    ok = write(folder, "rec2.wav", wave(tune(rec2, 1300, tuneSamples))) && ok;
    ok = write(folder, "rec5.wav", wave(tune(rec5, 900, tuneSamples))) && ok;
    ok = write(folder, "explosio.wav", wave(explosion())) && ok;
    return ok ? 0 : 1;
}
