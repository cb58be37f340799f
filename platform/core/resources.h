// The program's resource table as every layer reads it: lookups, the menus loaded from it, the
// accelerator tables, icons and bitmaps.
#pragma once

#include <cstdint>
#include <string>
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
// The icon group resource behind a handle LoadIconA gave; nullptr for any other handle.
const BinaryResource* iconResource(HICON icon);

// ---- Menus -----------------------------------------------------------------------------------
struct Menu;
struct MenuItem {
    enum class Kind { Item, Separator, Popup } kind = Kind::Item;
    UINT id = 0;
    std::string text;  // 1251, with '&' marking the mnemonic
    Menu* popup = nullptr;
};
struct Menu {
    std::vector<MenuItem> items;
    ~Menu();
};
Menu* menuFromHandle(HMENU menu);

// True when a loaded accelerator table would turn this key or character message into a command.
bool acceleratorTakes(const MSG& msg, bool shift, bool control);

}  // namespace kvarlo::platform
