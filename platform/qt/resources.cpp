// The program's bitmaps and icons read by Qt's own image readers, which know every BMP and ICO.
#include <QPixmap>

#include "platform/qt/resources.h"

namespace kvarlo::platform {

QImage bitmapImage(LPCSTR name) {
    const std::vector<unsigned char> file = bitmapFile(name);
    if (file.empty())
        return {};
    return QImage::fromData(file.data(), static_cast<int>(file.size()), "BMP");
}

QIcon iconFromHandle(HICON handle) {
    const BinaryResource* r = iconResource(handle);
    QPixmap pixmap;
    if (r == nullptr || !pixmap.loadFromData(r->data, r->size, "ICO"))
        return {};
    return QIcon(pixmap);
}

}  // namespace kvarlo::platform
