// The program's bitmaps and icons as Qt images, for the widgets that show them.
#pragma once

#include <QIcon>
#include <QImage>

#include "platform/core/resources.h"

namespace kvarlo::platform {

// A bitmap resource as an image; null image when missing.
QImage bitmapImage(LPCSTR name);
// The icon behind a handle LoadIconA gave; a null icon for any other handle.
QIcon iconFromHandle(HICON icon);

}  // namespace kvarlo::platform
