// The conversions between the program's 1251 strings and UTF-16, over the one 1251 table.
#include "platform/windows/wide_text.h"

#include <algorithm>
#include <cstring>

#include "platform/cp1251.h"

namespace kvarlo::wide {

namespace {

// The byte 1251 leaves unassigned; Windows maps it to the C1 control of the same value.
constexpr unsigned char unassignedByte = 0x98;

std::optional<unsigned char> byteOf(wchar_t unit) {
    if (unit == unassignedByte)
        return unassignedByte;
    if (unit >= 0xD800 && unit <= 0xDFFF)
        return std::nullopt;  // half of a pair: never 1251
    return codePointToCp1251(static_cast<char32_t>(unit));
}

}  // namespace

std::wstring widen(const char* text, int length) {
    if (text == nullptr)
        return {};
    const size_t count = length < 0 ? std::strlen(text) : static_cast<size_t>(length);
    std::wstring out(count, L'\0');
    for (size_t i = 0; i < count; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        out[i] = byte == unassignedByte ? static_cast<wchar_t>(byte)
                                        : static_cast<wchar_t>(cp1251ToCodePoint(byte));
    }
    return out;
}

std::optional<std::string> narrowExact(std::wstring_view text) {
    std::string out(text.size(), '\0');
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = byteOf(text[i]);
        if (!byte)
            return std::nullopt;
        out[i] = static_cast<char>(*byte);
    }
    return out;
}

std::string narrowLossy(std::wstring_view text) {
    std::string out(text.size(), '?');
    for (size_t i = 0; i < text.size(); ++i) {
        if (const auto byte = byteOf(text[i]))
            out[i] = static_cast<char>(*byte);
    }
    return out;
}

std::optional<std::string> narrowPath(const std::wstring& path) {
    if (auto exact = narrowExact(path))
        return exact;
    const DWORD needed = GetShortPathNameW(path.c_str(), nullptr, 0);
    if (needed == 0)
        return std::nullopt;
    std::wstring shortPath(needed, L'\0');
    const DWORD length = GetShortPathNameW(path.c_str(), shortPath.data(), needed);
    if (length == 0 || length >= needed)
        return std::nullopt;
    shortPath.resize(length);
    return narrowExact(shortPath);
}

std::wstring widenFilter(const char* filter) {
    if (filter == nullptr)
        return {};
    const char* end = filter;
    while (*end != '\0')
        end += std::strlen(end) + 1;  // to the empty text that closes the list
    return widen(filter, static_cast<int>(end - filter + 1));
}

int copyTerminated(const std::string& text, char* buffer, int size) {
    if (buffer == nullptr || size <= 0)
        return 0;
    const int count = std::min(static_cast<int>(text.size()), size - 1);
    std::memcpy(buffer, text.data(), static_cast<size_t>(count));
    buffer[count] = '\0';
    return count;
}

bool deliverDialogResult(const OPENFILENAMEW& answer, OPENFILENAMEA& ofn) {
    const auto path = narrowExact(answer.lpstrFile);
    std::optional<std::string> title;
    if (ofn.lpstrFileTitle != nullptr && answer.lpstrFileTitle != nullptr) {
        title = narrowExact(answer.lpstrFileTitle);
        if (!title)
            return false;
    }
    if (!path)
        return false;
    copyTerminated(*path, ofn.lpstrFile, static_cast<int>(ofn.nMaxFile));
    if (title)
        copyTerminated(*title, ofn.lpstrFileTitle, static_cast<int>(ofn.nMaxFileTitle));
    // One byte a unit: the offsets into the wide name hold for the 1251 one.
    ofn.nFileOffset = answer.nFileOffset;
    ofn.nFileExtension = answer.nFileExtension;
    ofn.nFilterIndex = answer.nFilterIndex;
    ofn.Flags = (ofn.Flags & ~static_cast<DWORD>(OFN_READONLY)) | (answer.Flags & OFN_READONLY);
    return true;
}

}  // namespace kvarlo::wide
