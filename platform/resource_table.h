// The program's resources as C++ tables. On Linux the resource compiler (tools/) turns the
// resource script into one table; the layer's LoadStringA, LoadMenuA, LoadAcceleratorsA,
// DialogBoxParamA, LoadBitmapA, LoadIconA, FindResourceA and PlaySoundA read it. All texts
// are Windows-1251. No Qt here.
#pragma once

#include <cstdint>

#include "platform/win32.h"

namespace kvarlo::platform {

// A resource name or type: a string, or (text == nullptr) a 16-bit number.
struct ResourceName {
    const char* text;
    unsigned id;
};

struct StringResource {
    unsigned id;
    const char* text;
};

enum class MenuEntryKind : uint8_t { Popup, Item, Separator, EndPopup };

// A menu as a flat list: a Popup opens a level that its EndPopup closes.
struct MenuEntry {
    MenuEntryKind kind;
    unsigned id;
    const char* text;
};

struct MenuResource {
    ResourceName name;
    const MenuEntry* entries;
    unsigned count;
};

struct AcceleratorResource {
    ResourceName name;
    const ACCEL* entries;
    unsigned count;
};

// One control of a dialog template. className is "STATIC" or "BUTTON"; a picture control
// names its bitmap in image (text is then empty).
struct DialogControl {
    const char* className;
    const char* text;
    ResourceName image;
    int id;
    int x, y, cx, cy;  // dialog units
    DWORD style;
};

struct DialogResource {
    ResourceName name;
    DWORD style;
    DWORD exStyle;
    int x, y, cx, cy;  // dialog units
    const char* caption;
    int fontSize;  // points
    const char* fontName;
    const DialogControl* controls;
    unsigned count;
};

// Raw resources: WAVE sounds, bitmaps (as on Windows: the BMP file without its 14-byte file
// header) and icons (the whole .ico file, under RT_GROUP_ICON).
struct BinaryResource {
    ResourceName type;
    ResourceName name;
    const unsigned char* data;
    unsigned size;
};

struct ResourceTable {
    unsigned language;  // LANGID of the script's LANGUAGE statement
    const StringResource* strings;
    unsigned stringCount;
    const MenuResource* menus;
    unsigned menuCount;
    const AcceleratorResource* accelerators;
    unsigned acceleratorCount;
    const DialogResource* dialogs;
    unsigned dialogCount;
    const BinaryResource* binaries;
    unsigned binaryCount;
};

// Defined by the generated resource file that is linked into the program.
const ResourceTable& moduleResources();

}  // namespace kvarlo::platform
