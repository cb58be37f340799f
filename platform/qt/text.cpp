// The one conversion boundary between the program's Windows-1251 strings and Qt's Unicode.
#include "platform/cp1251.h"
#include "platform/qt/layer.h"

namespace kvarlo::platform {

QString fromAnsi(const char* text, int length) {
    if (text == nullptr)
        return {};
    const std::string_view bytes =
        length < 0 ? std::string_view(text) : std::string_view(text, static_cast<size_t>(length));
    return QString::fromStdString(cp1251ToUtf8(bytes));
}

std::optional<std::string> toAnsi(const QString& text) {
    return utf8ToCp1251(text.toStdString());
}

std::string toAnsiLossy(const QString& text) {
    std::string ansi;
    for (const char32_t codePoint : text.toUcs4()) {
        const auto byte = codePointToCp1251(codePoint);
        ansi += byte ? static_cast<char>(*byte) : '?';
    }
    return ansi;
}

}  // namespace kvarlo::platform
