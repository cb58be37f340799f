// Writes the largest image of the program's icon as a PNG, the form desktop menus show.
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: kvarlo-icon-png ICON.ico OUT.png\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    QImageReader reader(QString::fromLocal8Bit(argv[1]));
    QImage best;
    for (int i = 0; i < reader.imageCount(); ++i) {
        reader.jumpToImage(i);
        const QImage image = reader.read();
        if (!image.isNull() && image.width() > best.width()) {
            best = image;
        }
    }
    if (best.isNull() || !best.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "kvarlo-icon-png: cannot convert %s\n", argv[1]);
        return 1;
    }
    return 0;
}
