// The file dialogs' common part: the caller's filter, the chosen name handed back in the
// caller's structure, and the error of the last dialog.
#include "platform/core/file_dialogs.h"

#include <algorithm>
#include <cstring>

namespace kvarlo::platform {

namespace {

DWORD lastDialogError = 0;

// Whether the final name component has an extension.
bool hasExtension(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    const auto dot = path.find_last_of('.');
    return dot != std::string::npos && (slash == std::string::npos || dot > slash) &&
           dot + 1 < path.size();
}

}  // namespace

std::vector<std::pair<std::string, std::string>> filterPairs(LPCSTR filter) {
    std::vector<std::pair<std::string, std::string>> pairs;
    if (filter == nullptr)
        return pairs;
    const char* p = filter;
    while (*p != '\0') {
        std::string description = p;
        p += description.size() + 1;
        if (*p == '\0')
            break;  // a description without its pattern ends the list
        std::string pattern = p;
        p += pattern.size() + 1;
        pairs.emplace_back(description, pattern);
    }
    return pairs;
}

bool deliverPath(OPENFILENAMEA& ofn, std::string path) {
    if (ofn.lpstrDefExt != nullptr && *ofn.lpstrDefExt != '\0' && !hasExtension(path)) {
        if (!path.empty() && path.back() != '.')
            path += '.';
        path += ofn.lpstrDefExt;
    }
    if (ofn.lpstrFile == nullptr || path.size() + 1 > ofn.nMaxFile) {
        lastDialogError = FNERR_BUFFERTOOSMALL;
        if (ofn.lpstrFile != nullptr && ofn.nMaxFile >= 2) {  // Windows reports the size needed
            const auto needed = static_cast<WORD>(std::min<size_t>(path.size() + 1, 0xFFFF));
            std::memcpy(ofn.lpstrFile, &needed, sizeof needed);
        }
        return false;
    }
    std::memcpy(ofn.lpstrFile, path.c_str(), path.size() + 1);
    const auto slash = path.find_last_of("/\\");
    ofn.nFileOffset = static_cast<WORD>(slash == std::string::npos ? 0 : slash + 1);
    ofn.nFileExtension = static_cast<WORD>(hasExtension(path) ? path.find_last_of('.') + 1 : 0);
    if (ofn.lpstrFileTitle != nullptr && ofn.nMaxFileTitle > 0) {
        const std::string title = path.substr(ofn.nFileOffset);
        const size_t n = std::min<size_t>(title.size(), ofn.nMaxFileTitle - 1);
        std::memcpy(ofn.lpstrFileTitle, title.data(), n);
        ofn.lpstrFileTitle[n] = '\0';
    }
    return true;
}

void setDialogError(DWORD error) {
    lastDialogError = error;
}

}  // namespace kvarlo::platform

using namespace kvarlo::platform;

DWORD WINAPI CommDlgExtendedError(void) {
    return lastDialogError;
}

namespace {

bool runValidDialog(OPENFILENAMEA* ofn, bool save) {
    setDialogError(0);
    if (ofn == nullptr || ofn->lpstrFile == nullptr || ofn->nMaxFile == 0) {
        setDialogError(CDERR_INITIALIZATION);
        return false;
    }
    return runFileDialog(ofn, save);
}

}  // namespace

BOOL WINAPI GetOpenFileNameA(LPOPENFILENAMEA ofn) {
    return runValidDialog(ofn, false) ? TRUE : FALSE;
}
BOOL WINAPI GetSaveFileNameA(LPOPENFILENAMEA ofn) {
    return runValidDialog(ofn, true) ? TRUE : FALSE;
}
