// What the real-desktop tests cannot ask the X server in a word: a screenshot, where a slot of
// the board lies in the window's client area, and what a screenshot shows at a point or in a
// rectangle.
//   desktop_probe shot IMAGE                                        the whole screen, as PNG
//   desktop_probe slot CLIENT_WIDTH CLIENT_HEIGHT NODE DIRECTION   -> "X Y" (client pixels)
//   desktop_probe pixel IMAGE X Y                                   -> "RRGGBB"
//   desktop_probe first-row IMAGE X RRGGBB                          -> first Y of that colour at X
//   desktop_probe count IMAGE X0 Y0 X1 Y1 RRGGBB                    -> pixels of that colour
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "board/board.h"
#include "view/layout.h"

namespace {

int usage() {
    std::fprintf(stderr, "usage: desktop_probe slot|pixel|first-row|count ...\n");
    return 2;
}

int number(const char* text) {
    return static_cast<int>(std::strtol(text, nullptr, 10));
}
QRgb colour(const char* text) {
    return static_cast<QRgb>(std::strtoul(text, nullptr, 16)) & 0xFFFFFF;
}

bool load(const char* file, QImage& image) {
    image = QImage(QString::fromLocal8Bit(file)).convertToFormat(QImage::Format_RGB32);
    if (image.isNull())
        std::fprintf(stderr, "desktop_probe: cannot read %s\n", file);
    return !image.isNull();
}

QRgb at(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xFFFFFF;
}

int slotMiddle(int width, int height, int node, int direction) {
    const kvarlo::Board board(7, 7);
    if (node < 0 || node >= board.nodeCount || direction < 0 || direction > 2)
        return usage();
    const kvarlo::BoardLayout layout = kvarlo::computeLayout(width, height, board);
    const kvarlo::ScreenPoint a = kvarlo::nodeScreenPosition(board, node, layout);
    const kvarlo::ScreenPoint b =
        kvarlo::nodeScreenPosition(board, board.neighbourForward(node, direction), layout);
    std::printf("%d %d\n", (a.x + b.x) / 2, (a.y + b.y) / 2);
    return 0;
}

// The screen as the X server holds it (run with the xcb platform on the test's display).
int screenshot(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return 1;
    const QImage image = screen->grabWindow(0).toImage();
    // Least compression: the tests take many shots and only read them back.
    return !image.isNull() && image.save(QString::fromLocal8Bit(argv[2]), "PNG", 100) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return usage();
    const std::string command = argv[1];
    if (command == "shot" && argc == 3)
        return screenshot(argc, argv);
    if (command == "slot" && argc == 6) {
        return slotMiddle(number(argv[2]), number(argv[3]), number(argv[4]), number(argv[5]));
    }
    QImage image;
    if (command == "pixel" && argc == 5) {
        if (!load(argv[2], image))
            return 1;
        const int x = number(argv[3]), y = number(argv[4]);
        if (!image.rect().contains(x, y))
            return 1;
        std::printf("%06X\n", at(image, x, y));
        return 0;
    }
    if (command == "first-row" && argc == 5) {
        if (!load(argv[2], image))
            return 1;
        const int x = number(argv[3]);
        for (int y = 0; y < image.height() && x < image.width(); ++y) {
            if (at(image, x, y) == colour(argv[4])) {
                std::printf("%d\n", y);
                return 0;
            }
        }
        return 1;
    }
    if (command == "count" && argc == 8) {
        if (!load(argv[2], image))
            return 1;
        const QRect area = QRect(QPoint(number(argv[3]), number(argv[4])),
                                 QPoint(number(argv[5]) - 1, number(argv[6]) - 1)) &
                           image.rect();
        int count = 0;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x)
                count += at(image, x, y) == colour(argv[7]);
        }
        std::printf("%d\n", count);
        return 0;
    }
    return usage();
}
