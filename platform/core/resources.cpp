// Resources from the compiled resource table: strings, menus, accelerators, icons, bitmaps and
// raw data, for every layer: none of it needs more than the table itself.
#include <strings.h>
#include <algorithm>
#include <cstring>

#include "platform/core/resources.h"

namespace kvarlo::platform {

namespace {

struct Accelerators {
    static constexpr uint32_t accelMagic = 0x4B564143;
    uint32_t magic = accelMagic;
    std::vector<ACCEL> entries;
};

// An icon: its group resource, which each layer shows in its own way.
struct Icon {
    const BinaryResource* file = nullptr;
};

// Every table loaded, kept for the life of the process like a loaded resource.
std::vector<Accelerators*>& loadedAccelerators() {
    static auto* list = new std::vector<Accelerators*>;
    return *list;
}

// The entry of the table that a key or character message triggers, or nullptr.
const ACCEL* matchingAccelerator(const Accelerators& table, const MSG& msg, bool shift,
                                 bool control) {
    const bool character = msg.message == WM_CHAR || msg.message == WM_SYSCHAR;
    const bool keyDown = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
    if (!character && !keyDown)
        return nullptr;
    const bool alt = (msg.lParam & (1 << 29)) != 0;
    for (const ACCEL& entry : table.entries) {
        const bool wantAlt = (entry.fVirt & FALT) != 0;
        if (entry.fVirt & FVIRTKEY) {
            if (!keyDown || entry.key != msg.wParam)
                continue;
            if (wantAlt != alt || ((entry.fVirt & FSHIFT) != 0) != shift ||
                ((entry.fVirt & FCONTROL) != 0) != control)
                continue;
        } else {
            // A character accelerator: the typed character itself, with Alt as given.
            if (!character || entry.key != msg.wParam || wantAlt != alt)
                continue;
        }
        return &entry;
    }
    return nullptr;
}

struct RawResource {
    const BinaryResource* resource;
};

std::vector<Icon*>& icons() {
    static auto* list = new std::vector<Icon*>;
    return *list;
}

std::vector<Menu*>& menus() {
    static auto* list = new std::vector<Menu*>;
    return *list;
}

Menu* buildMenu(const MenuEntry* entries, unsigned count, unsigned& index) {
    auto* menu = new Menu;
    while (index < count) {
        const MenuEntry& entry = entries[index++];
        switch (entry.kind) {
            case MenuEntryKind::EndPopup:
                return menu;
            case MenuEntryKind::Separator:
                menu->items.push_back({MenuItem::Kind::Separator, 0, {}, nullptr});
                break;
            case MenuEntryKind::Item:
                menu->items.push_back({MenuItem::Kind::Item, entry.id, entry.text, nullptr});
                break;
            case MenuEntryKind::Popup: {
                MenuItem item{MenuItem::Kind::Popup, 0, entry.text, nullptr};
                item.popup = buildMenu(entries, count, index);
                menu->items.push_back(item);
                break;
            }
        }
    }
    return menu;
}

const MenuItem* menuItem(Menu* menu, UINT item, UINT flags) {
    if (menu == nullptr)
        return nullptr;
    if (flags & MF_BYPOSITION)
        return item < menu->items.size() ? &menu->items[item] : nullptr;
    for (const MenuItem& entry : menu->items) {
        if (entry.kind == MenuItem::Kind::Item && entry.id == item)
            return &entry;
        if (entry.kind == MenuItem::Kind::Popup) {
            if (const MenuItem* found = menuItem(entry.popup, item, flags))
                return found;
        }
    }
    return nullptr;
}

}  // namespace

bool acceleratorTakes(const MSG& msg, bool shift, bool control) {
    for (const Accelerators* table : loadedAccelerators()) {
        if (matchingAccelerator(*table, msg, shift, control) != nullptr)
            return true;
    }
    return false;
}

Menu::~Menu() {
    for (MenuItem& item : items)
        delete item.popup;
    auto& list = menus();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

Menu* menuFromHandle(HMENU handle) {
    if (handle == nullptr)
        return nullptr;
    // Top-level menus are registered; pop-ups are reached through them.
    for (Menu* menu : menus()) {
        if (reinterpret_cast<HMENU>(menu) == handle)
            return menu;
        std::vector<Menu*> stack{menu};
        while (!stack.empty()) {
            Menu* m = stack.back();
            stack.pop_back();
            if (reinterpret_cast<HMENU>(m) == handle)
                return m;
            for (MenuItem& item : m->items) {
                if (item.popup != nullptr)
                    stack.push_back(item.popup);
            }
        }
    }
    return nullptr;
}

const BinaryResource* iconResource(HICON handle) {
    for (Icon* icon : icons()) {
        if (reinterpret_cast<HICON>(icon) == handle)
            return icon->file;
    }
    return nullptr;
}

bool resourceNameMatches(const ResourceName& name, LPCSTR wanted) {
    if (wanted == nullptr)
        return false;
    if (IS_INTRESOURCE(wanted))
        return name.text == nullptr && name.id == LOWORD(wanted);
    if (wanted[0] == '#')
        return name.text == nullptr && std::to_string(name.id) == wanted + 1;
    return name.text != nullptr && ::strcasecmp(name.text, wanted) == 0;
}

const DialogResource* findDialog(LPCSTR name) {
    const ResourceTable& table = moduleResources();
    for (unsigned i = 0; i < table.dialogCount; ++i) {
        if (resourceNameMatches(table.dialogs[i].name, name))
            return &table.dialogs[i];
    }
    return nullptr;
}

const BinaryResource* findBinary(LPCSTR type, LPCSTR name) {
    const ResourceTable& table = moduleResources();
    for (unsigned i = 0; i < table.binaryCount; ++i) {
        const BinaryResource& r = table.binaries[i];
        if (resourceNameMatches(r.type, type) && resourceNameMatches(r.name, name))
            return &r;
    }
    return nullptr;
}

std::vector<unsigned char> bitmapFile(LPCSTR name) {
    const BinaryResource* r = findBinary(RT_BITMAP, name);
    if (r == nullptr || r->size < sizeof(BITMAPINFOHEADER))
        return {};
    // Put back the file header that resources leave out.
    BITMAPINFOHEADER header;
    std::memcpy(&header, r->data, sizeof header);
    const DWORD colours = header.biBitCount <= 8
                              ? (header.biClrUsed ? header.biClrUsed : 1u << header.biBitCount)
                              : 0;
    const DWORD offset = 14 + header.biSize + colours * 4;
    const DWORD fileSize = 14 + r->size;
    std::vector<unsigned char> file = {'B', 'M'};
    for (const DWORD field : {fileSize, DWORD{0}, offset}) {
        for (int shift = 0; shift < 32; shift += 8)
            file.push_back(static_cast<unsigned char>(field >> shift));
    }
    file.insert(file.end(), r->data, r->data + r->size);
    return file;
}

// Reads the colours of an uncompressed BMP of 8, 24 or 32 bits, top-down, as 0x00RRGGBB.
bool decodeBitmap(const std::vector<unsigned char>& file, int& width, int& height,
                  std::vector<uint32_t>& pixels) {
    if (file.size() < 14 + sizeof(BITMAPINFOHEADER))
        return false;
    BITMAPINFOHEADER h;
    std::memcpy(&h, file.data() + 14, sizeof h);
    DWORD offset;
    std::memcpy(&offset, file.data() + 10, sizeof offset);
    const int bpp = h.biBitCount;
    if (h.biCompression != BI_RGB || (bpp != 8 && bpp != 24 && bpp != 32) || h.biWidth <= 0 ||
        h.biHeight == 0 || h.biWidth > 32767 || h.biHeight > 32767 || h.biHeight < -32767)
        return false;
    width = h.biWidth;
    height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    const size_t stride = (static_cast<size_t>(width) * bpp / 8 + 3) & ~size_t{3};
    if (offset + stride * height > file.size())
        return false;
    const unsigned char* palette = file.data() + 14 + h.biSize;
    pixels.assign(static_cast<size_t>(width) * height, 0);
    for (int y = 0; y < height; ++y) {
        const unsigned char* row =
            file.data() + offset +
            stride * static_cast<size_t>(h.biHeight < 0 ? y : height - 1 - y);
        for (int x = 0; x < width; ++x) {
            const unsigned char* bgr =
                bpp == 8 ? palette + 4 * row[x] : row + static_cast<size_t>(x) * (bpp / 8);
            pixels[static_cast<size_t>(y) * width + x] =
                (uint32_t{bgr[2]} << 16) | (uint32_t{bgr[1]} << 8) | bgr[0];
        }
    }
    return true;
}

}  // namespace kvarlo::platform

using namespace kvarlo::platform;

int WINAPI LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int bufferMax) {
    if (instance == nullptr || buffer == nullptr)
        return 0;
    const ResourceTable& table = moduleResources();
    for (unsigned i = 0; i < table.stringCount; ++i) {
        if (table.strings[i].id != id)
            continue;
        const char* text = table.strings[i].text;
        const int length = static_cast<int>(std::strlen(text));
        if (bufferMax == 0) {  // hands out the read-only resource itself
            *reinterpret_cast<const char**>(buffer) = text;
            return length;
        }
        if (bufferMax < 0)
            return 0;
        const int n = std::min(length, bufferMax - 1);
        std::memcpy(buffer, text, static_cast<size_t>(n));
        buffer[n] = '\0';
        return n;
    }
    if (bufferMax > 0)
        buffer[0] = '\0';
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return 0;
}

HACCEL WINAPI LoadAcceleratorsA(HINSTANCE instance, LPCSTR name) {
    if (instance == nullptr)
        return nullptr;
    const ResourceTable& table = moduleResources();
    for (unsigned i = 0; i < table.acceleratorCount; ++i) {
        const AcceleratorResource& r = table.accelerators[i];
        if (!resourceNameMatches(r.name, name))
            continue;
        std::vector<Accelerators*>& loaded = loadedAccelerators();
        for (Accelerators* a : loaded) {
            if (a->entries.size() == r.count &&
                std::equal(a->entries.begin(), a->entries.end(), r.entries,
                           [](const ACCEL& x, const ACCEL& y) {
                               return x.fVirt == y.fVirt && x.key == y.key && x.cmd == y.cmd;
                           })) {
                return reinterpret_cast<HACCEL>(a);
            }
        }
        auto* table = new Accelerators;
        table->entries.assign(r.entries, r.entries + r.count);
        loaded.push_back(table);
        return reinterpret_cast<HACCEL>(table);
    }
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

int WINAPI TranslateAcceleratorA(HWND window, HACCEL handle, LPMSG msg) {
    if (window == nullptr || handle == nullptr || msg == nullptr)
        return 0;
    const auto* table = reinterpret_cast<const Accelerators*>(handle);
    if (table->magic != Accelerators::accelMagic)
        return 0;
    const bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    const bool control = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    const ACCEL* entry = matchingAccelerator(*table, *msg, shift, control);
    if (entry == nullptr)
        return 0;
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(entry->cmd, 1), 0);
    return 1;
}

HMENU WINAPI LoadMenuA(HINSTANCE instance, LPCSTR name) {
    if (instance == nullptr)
        return nullptr;
    const ResourceTable& table = moduleResources();
    for (unsigned i = 0; i < table.menuCount; ++i) {
        const MenuResource& r = table.menus[i];
        if (!resourceNameMatches(r.name, name))
            continue;
        unsigned index = 0;
        Menu* menu = buildMenu(r.entries, r.count, index);
        menus().push_back(menu);
        return reinterpret_cast<HMENU>(menu);
    }
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

HMENU WINAPI GetSubMenu(HMENU handle, int position) {
    Menu* menu = menuFromHandle(handle);
    if (menu == nullptr || position < 0 || static_cast<size_t>(position) >= menu->items.size())
        return nullptr;
    return reinterpret_cast<HMENU>(menu->items[static_cast<size_t>(position)].popup);
}

int WINAPI GetMenuItemCount(HMENU handle) {
    Menu* menu = menuFromHandle(handle);
    return menu != nullptr ? static_cast<int>(menu->items.size()) : -1;
}

UINT WINAPI GetMenuItemID(HMENU handle, int position) {
    Menu* menu = menuFromHandle(handle);
    if (menu == nullptr || position < 0 || static_cast<size_t>(position) >= menu->items.size())
        return 0xFFFFFFFF;
    const MenuItem& item = menu->items[static_cast<size_t>(position)];
    if (item.kind == MenuItem::Kind::Popup)
        return 0xFFFFFFFF;
    return item.kind == MenuItem::Kind::Separator ? 0 : item.id;
}

int WINAPI GetMenuStringA(HMENU handle, UINT item, LPSTR buffer, int maxCount, UINT flags) {
    const MenuItem* entry = menuItem(menuFromHandle(handle), item, flags);
    if (entry == nullptr)
        return 0;
    const int length = static_cast<int>(entry->text.size());
    if (buffer == nullptr || maxCount <= 0)
        return length;
    const int n = std::min(length, maxCount - 1);
    std::memcpy(buffer, entry->text.data(), static_cast<size_t>(n));
    buffer[n] = '\0';
    return n;
}

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
    const BinaryResource* r = instance != nullptr ? findBinary(RT_GROUP_ICON, name) : nullptr;
    if (r == nullptr) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    auto* icon = new Icon;
    icon->file = r;
    icons().push_back(icon);
    return reinterpret_cast<HICON>(icon);
}

HCURSOR WINAPI LoadCursorA(HINSTANCE, LPCSTR name) {
    // Only the system arrow, which is what every layer shows anyway.
    static HICON__ arrow{};
    return name == IDC_ARROW ? &arrow : nullptr;
}

HBITMAP WINAPI LoadBitmapA(HINSTANCE instance, LPCSTR name) {
    if (instance == nullptr)
        return nullptr;
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    if (!decodeBitmap(bitmapFile(name), width, height, pixels)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    // As a 32-bit surface the program could select and copy from.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap != nullptr)
        std::memcpy(bits, pixels.data(), pixels.size() * 4);
    return bitmap;
}

HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
    const BinaryResource* r = module != nullptr ? findBinary(type, name) : nullptr;
    if (r == nullptr)
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return reinterpret_cast<HRSRC>(const_cast<BinaryResource*>(r));
}

HGLOBAL WINAPI LoadResource(HMODULE, HRSRC resource) {
    if (resource == nullptr)
        return nullptr;
    return const_cast<unsigned char*>(reinterpret_cast<const BinaryResource*>(resource)->data);
}

LPVOID WINAPI LockResource(HGLOBAL data) {
    return data;
}

DWORD WINAPI SizeofResource(HMODULE, HRSRC resource) {
    return resource != nullptr ? reinterpret_cast<const BinaryResource*>(resource)->size : 0;
}
