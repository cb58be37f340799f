// The menus as the page builds its menu bar from them: JSON with the texts in UTF-8.
#include <string>

#include "platform/web/layer.h"

namespace kvarlo::platform {

namespace {

void appendJsonString(std::string& out, const std::string& utf8) {
    out += '"';
    for (const char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            out += ' ';
        } else {
            out += c;
        }
    }
    out += '"';
}

}  // namespace

// [{"text": "&Файл", "items": [{"id": 101, "text": "..."}, {"separator": true}, ...]}, ...]
std::string menuJson(const Menu& menu) {
    std::string out = "[";
    for (size_t i = 0; i < menu.items.size(); ++i) {
        const MenuItem& item = menu.items[i];
        if (i > 0)
            out += ',';
        switch (item.kind) {
            case MenuItem::Kind::Separator:
                out += "{\"separator\":true}";
                break;
            case MenuItem::Kind::Item:
                out += "{\"id\":" + std::to_string(item.id) + ",\"text\":";
                appendJsonString(out, toUtf8(item.text.c_str()));
                out += '}';
                break;
            case MenuItem::Kind::Popup:
                out += "{\"text\":";
                appendJsonString(out, toUtf8(item.text.c_str()));
                out += ",\"items\":";
                out += item.popup != nullptr ? menuJson(*item.popup) : std::string("[]");
                out += '}';
                break;
        }
    }
    return out + "]";
}

}  // namespace kvarlo::platform
