// Drawing with QPainter on the surfaces' pixels: lines, text and the block transfer to a window.
// No antialiasing anywhere, so pixels come out as GDI draws them.
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>

#include "platform/core/gdi.h"
#include "platform/qt/layer.h"

namespace kvarlo::platform {

namespace {

QColor toColour(COLORREF c) {
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

// A surface's pixels as an image painted in place; a null image when there are none.
QImage imageOver(const Surface& s) {
    if (s.pixels == nullptr)
        return {};
    return QImage(reinterpret_cast<uchar*>(s.pixels), s.width, s.height,
                  static_cast<qsizetype>(s.width) * 4, QImage::Format_RGB32);
}

// The surface's default font: a plain sans serif with a line height of about 16 pixels.
const QFont& defaultFont() {
    static const QFont font = [] {
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setStyleHint(QFont::SansSerif);
        f.setPixelSize(13);
        return f;
    }();
    return font;
}

}  // namespace

Surface windowSurface(HWND handle) {
    Window* window = windowFromHandle(handle);
    if (window == nullptr)
        return {};
    return Surface{reinterpret_cast<uint32_t*>(window->screen.bits()), window->screen.width(),
                   window->screen.height()};
}

void drawLine(const Surface& surface, POINT from, POINT to, const Pen& pen) {
    QImage image = imageOver(surface);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    if (pen.width <= 1) {
        // A one-pixel line leaves out its last pixel, as GDI's does: a flat-capped cosmetic pen.
        painter.setPen(QPen(toColour(pen.colour), 0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    } else {
        painter.setPen(
            QPen(toColour(pen.colour), pen.width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    }
    painter.drawLine(QPoint(from.x, from.y), QPoint(to.x, to.y));
}

bool canDrawText() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;  // fonts
}

void drawText(const DeviceContext& dc, const Surface& surface, int x, int y, const char* text,
              int length) {
    const QString string = fromAnsi(text, length);
    QImage image = imageOver(surface);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setFont(defaultFont());
    const QFontMetrics metrics(defaultFont());
    if (dc.backMode == OPAQUE) {
        painter.fillRect(QRect(x, y, metrics.horizontalAdvance(string), metrics.height()),
                         toColour(dc.backColour));
    }
    painter.setPen(toColour(dc.textColour));
    painter.drawText(QPoint(x, y + metrics.ascent()), string);
}

void copyBlock(const DeviceContext& to, const Surface& target, POINT at, const Surface& origin,
               POINT from, int width, int height) {
    QImage image = imageOver(target);
    {
        QPainter painter(&image);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(QPoint(at.x, at.y), imageOver(origin),
                          QRect(from.x, from.y, width, height));
    }
    // A block copied to a window shows at once.
    if (Window* window = to.memory ? nullptr : windowFromHandle(to.window))
        window->present();
}

}  // namespace kvarlo::platform

using namespace kvarlo::platform;
