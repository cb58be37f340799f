// Lookups in the program's resource table for the rest of the layer.
#pragma once

#include <QImage>

#include "platform/resource_table.h"

namespace kvarlo::platform {

// Does a name given to a resource call (an integer id, "#123" or a string, case-insensitive)
// name this resource?
bool resourceNameMatches(const ResourceName& name, LPCSTR wanted);

const DialogResource* findDialog(LPCSTR name);
const BinaryResource* findBinary(LPCSTR type, LPCSTR name);
// A bitmap resource (the DIB without its file header) as an image; null image when missing.
QImage bitmapImage(LPCSTR name);

}  // namespace kvarlo::platform
