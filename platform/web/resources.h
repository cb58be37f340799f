// Lookups in the program's resource table for the rest of the browser layer.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/resource_table.h"

namespace kvarlo::platform {

// Does a name given to a resource call (an integer id, "#123" or a string, case-insensitive)
// name this resource?
bool resourceNameMatches(const ResourceName& name, LPCSTR wanted);

const DialogResource* findDialog(LPCSTR name);
const BinaryResource* findBinary(LPCSTR type, LPCSTR name);
// A bitmap resource as a whole BMP file (the file header put back); empty when missing.
std::vector<unsigned char> bitmapFile(LPCSTR name);
// An uncompressed BMP's pixels, top-down, 0x00RRGGBB; false when it is not one.
bool decodeBitmap(const std::vector<unsigned char>& file, int& width, int& height,
                  std::vector<uint32_t>& pixels);

}  // namespace kvarlo::platform
