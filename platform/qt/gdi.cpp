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

// The surface's pixels as an image painted in place; a null image when there are none.
QImage surfaceImage(const DeviceContext& dc) {
    const Surface s = surfaceOf(dc);
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

}  // namespace kvarlo::platform

using namespace kvarlo::platform;

BOOL WINAPI LineTo(HDC handle, int x, int y) {
    DeviceContext* dc = dcFromHandle(handle);
    if (dc == nullptr)
        return FALSE;
    const QPoint from(dc->position.x, dc->position.y);
    const QPoint to(x, y);
    dc->position = POINT{x, y};
    QImage image = surfaceImage(*dc);
    if (image.isNull() || dc->pen == nullptr || dc->pen->style == PS_NULL)
        return TRUE;
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    if (dc->pen->width <= 1) {
        // A one-pixel line leaves out its last pixel, as GDI's does: a flat-capped cosmetic pen.
        QPen pen(toColour(dc->pen->colour), 0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
        painter.setPen(pen);
    } else {
        painter.setPen(QPen(toColour(dc->pen->colour), dc->pen->width, Qt::SolidLine, Qt::RoundCap,
                            Qt::RoundJoin));
    }
    painter.drawLine(from, to);
    return TRUE;
}

BOOL WINAPI TextOutA(HDC handle, int x, int y, LPCSTR text, int length) {
    DeviceContext* dc = dcFromHandle(handle);
    if (dc == nullptr || (text == nullptr && length > 0) || length < 0)
        return FALSE;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
        return FALSE;  // fonts need one
    QImage image = surfaceImage(*dc);
    if (image.isNull())
        return FALSE;
    if (length == 0)
        return TRUE;
    const QString string = fromAnsi(text, length);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setFont(defaultFont());
    const QFontMetrics metrics(defaultFont());
    if (dc->backMode == OPAQUE) {
        painter.fillRect(QRect(x, y, metrics.horizontalAdvance(string), metrics.height()),
                         toColour(dc->backColour));
    }
    painter.setPen(toColour(dc->textColour));
    painter.drawText(QPoint(x, y + metrics.ascent()), string);
    return TRUE;
}

BOOL WINAPI BitBlt(HDC destination, int x, int y, int width, int height, HDC source, int sourceX,
                   int sourceY, DWORD rop) {
    DeviceContext* to = dcFromHandle(destination);
    DeviceContext* from = dcFromHandle(source);
    if (to == nullptr || from == nullptr || rop != SRCCOPY)
        return FALSE;
    QImage target = surfaceImage(*to);
    const QImage origin = surfaceImage(*from);
    if (target.isNull() || origin.isNull())
        return FALSE;
    if (width <= 0 || height <= 0)
        return TRUE;
    {
        QPainter painter(&target);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(QPoint(x, y), origin, QRect(sourceX, sourceY, width, height));
    }
    if (Window* window = to->memory ? nullptr : windowFromHandle(to->window))
        window->present();
    return TRUE;
}
