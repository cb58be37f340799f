// Dialog boxes from resource templates, message boxes and the file dialogs, each shown by the
// page as a modal box over the canvas. The program's thread waits for the page's answer in a
// nested message loop, as the modal loops of Windows do, so paints and timers go on meanwhile.
#include <emscripten.h>
#include <sys/stat.h>

#include <cstring>
#include <optional>

#include "platform/core/file_dialogs.h"
#include "platform/core/resources.h"
#include "platform/cp1251.h"
#include "platform/web/layer.h"

namespace kvarlo::platform {

namespace {

void appendJson(std::string& out, const char* key, const std::string& utf8) {
    out += '"';
    out += key;
    out += "\":\"";
    for (const char c : utf8) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    }
    out += "\",";
}

void appendJson(std::string& out, const char* key, long value) {
    out += '"';
    out += key;
    out += "\":" + std::to_string(value) + ",";
}

std::string closeJson(std::string out) {
    if (out.back() == ',')
        out.pop_back();
    return out + "}";
}

// The template as the page lays it out, in dialog units: 2 pixels per unit either way, as
// the Qt layer draws the box.
std::string dialogJson(const DialogResource& resource) {
    std::string out = "{";
    appendJson(out, "caption", toUtf8(resource.caption));
    appendJson(out, "width", resource.cx * 2);
    appendJson(out, "height", resource.cy * 2);
    out += "\"controls\":[";
    for (unsigned i = 0; i < resource.count; ++i) {
        const DialogControl& c = resource.controls[i];
        const bool button = std::strcmp(c.className, "BUTTON") == 0;
        const bool picture = !button && (c.style & 0x1F) == SS_BITMAP;
        std::string control = "{";
        appendJson(control, "kind", button ? "button" : picture ? "picture" : "text");
        appendJson(control, "text", toUtf8(c.text));
        appendJson(control, "id", c.id);
        appendJson(control, "x", c.x * 2);
        appendJson(control, "y", c.y * 2);
        appendJson(control, "w", c.cx * 2);
        appendJson(control, "h", c.cy * 2);
        appendJson(control, "isDefault", button && (c.style & 0x0F) == BS_DEFPUSHBUTTON);
        appendJson(control, "align", static_cast<long>(c.style & 0x03));
        out += closeJson(control) + (i + 1 < resource.count ? "," : "");
    }
    return out + "]}";
}

// The template's first picture as a BMP file, for the page to show.
std::vector<unsigned char> dialogPicture(const DialogResource& resource) {
    for (unsigned i = 0; i < resource.count; ++i) {
        const DialogControl& c = resource.controls[i];
        if (std::strcmp(c.className, "BUTTON") != 0 && (c.style & 0x1F) == SS_BITMAP)
            return bitmapFile(c.image.text != nullptr ? c.image.text
                                                      : MAKEINTRESOURCEA(c.image.id));
    }
    return {};
}

// ---- File dialogs ----

// The patterns of the preselected filter ("*.t1a;*.t1b"), for the page's list of files.
std::string selectedPatterns(const OPENFILENAMEA& ofn) {
    const auto pairs = filterPairs(ofn.lpstrFilter);
    const DWORD index = ofn.nFilterIndex == 0 ? 1 : ofn.nFilterIndex;
    return index <= pairs.size() ? toUtf8(pairs[index - 1].second.c_str()) : std::string("*.*");
}

// What OK pressed by the box's owner chooses (UTF-8): the proposed name, a relative one in
// lpstrInitialDir (the current folder when there is none). Nothing without a name.
PageAnswer ownersAnswer(const OPENFILENAMEA& ofn, const std::string& proposed, int button) {
    if (button != IDOK || proposed.empty())
        return PageAnswer{true, 0, ""};
    if (proposed.front() == '/')
        return PageAnswer{true, 1, proposed};
    std::string folder;
    if (ofn.lpstrInitialDir != nullptr && *ofn.lpstrInitialDir != '\0') {
        folder = toUtf8(ofn.lpstrInitialDir);
    } else {
        char current[MAX_PATH] = {};
        GetCurrentDirectoryA(sizeof current, current);
        folder = toUtf8(current);
    }
    return PageAnswer{true, 1,
                      folder + (folder.empty() || folder.back() != '/' ? "/" : "") + proposed};
}

// The page's file box: a path in the page's file system (UTF-8), or nothing when cancelled.
std::optional<std::string> askPage(const OPENFILENAMEA& ofn, bool save) {
    const int number = expectAnswer();
    const std::string title = toUtf8(ofn.lpstrTitle != nullptr ? ofn.lpstrTitle : "");
    const std::string proposed =
        toUtf8(ofn.lpstrFile, static_cast<int>(strnlen(ofn.lpstrFile, ofn.nMaxFile)));
    const std::string patterns = selectedPatterns(ofn);
    MAIN_THREAD_EM_ASM(
        {
            kvarloPage.fileBox($0, !!$1, UTF8ToString($2), UTF8ToString($3), UTF8ToString($4),
                               UTF8ToString($5));
        },
        number, save ? 1 : 0, title.c_str(), proposed.c_str(), patterns.c_str(), playFolder);
    const PageAnswer answer = waitForBox(ofn.hwndOwner, number, {IDOK, IDCANCEL}, [&](int button) {
        return ownersAnswer(ofn, proposed, button);
    });
    if (!answer.done || answer.value == 0 || answer.text.empty())
        return std::nullopt;
    return answer.text;
}

// UTF-8 as 1251 with '?' for each character 1251 lacks: for a name only shown, never a path.
std::string lossyAnsi(const std::string& utf8) {
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        const auto ansi = utf8ToCp1251(utf8.substr(i, length));
        out += ansi && ansi->size() == 1 ? (*ansi)[0] : '?';
        i += length;
    }
    return out;
}

}  // namespace

bool runFileDialog(OPENFILENAMEA* ofn, bool save) {
    const std::optional<std::string> chosen = askPage(*ofn, save);
    if (!chosen)
        return false;
    const std::optional<std::string> ansi = utf8ToCp1251(*chosen);
    if (!ansi) {
        // A name the program's strings cannot hold: spelled with '?' for the caller's message.
        setDialogError(FNERR_INVALIDFILENAME);
        const std::string shown = lossyAnsi(*chosen);
        const size_t n = std::min<size_t>(shown.size(), ofn->nMaxFile - 1);
        std::memcpy(ofn->lpstrFile, shown.data(), n);
        ofn->lpstrFile[n] = '\0';
        return false;
    }
    OPENFILENAMEA copy = *ofn;
    if (!deliverPath(copy, *ansi)) {
        *ofn = copy;
        return false;
    }
    *ofn = copy;
    if (save)
        noteSaveTarget(cp1251ToUtf8(ofn->lpstrFile));
    return true;
}

namespace {

std::vector<int> boxButtonIds(UINT type) {
    switch (type & 0x0F) {
        case MB_OKCANCEL:
            return {IDOK, IDCANCEL};
        case MB_YESNO:
            return {IDYES, IDNO};
        default:
            return {IDOK};
    }
}

const char* boxButtonsJson(UINT type) {
    switch (type & 0x0F) {
        case MB_OK:
            return "[[\"OK\",1]]";
        case MB_OKCANCEL:
            return "[[\"OK\",1],[\"Отмена\",2]]";
        case MB_YESNO:
            return "[[\"Да\",6],[\"Нет\",7]]";
        default:
            return nullptr;
    }
}

}  // namespace

}  // namespace kvarlo::platform

using namespace kvarlo::platform;

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    const char* buttons = boxButtonsJson(type);
    if (buttons == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const int number = expectAnswer();
    const std::string utf8Text = toUtf8(text != nullptr ? text : "");
    const std::string utf8Caption = toUtf8(caption != nullptr ? caption : "");
    MAIN_THREAD_EM_ASM(
        {
            kvarloPage.messageBox($0, UTF8ToString($1), UTF8ToString($2),
                                  JSON.parse(UTF8ToString($3)), $4);
        },
        number, utf8Caption.c_str(), utf8Text.c_str(), buttons, type & 0xF0);
    const PageAnswer answer = waitForBox(owner, number, boxButtonIds(type), [](int button) {
        return PageAnswer{true, button, ""};
    });
    // A box the program quit under answers with its last button, as closing it would.
    return answer.done                 ? answer.value
           : (type & 0x0F) == MB_OK    ? IDOK
           : (type & 0x0F) == MB_YESNO ? IDNO
                                       : IDCANCEL;
}

INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND, DLGPROC proc,
                               LPARAM param) {
    const DialogResource* resource = instance != nullptr ? findDialog(templateName) : nullptr;
    if (resource == nullptr) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return -1;
    }
    auto* window = new Window;
    window->className = "#32770";
    window->dialog = true;
    window->dialogProc = proc;
    window->visible = true;
    window->title = resource->caption;
    registerLiveWindow(window);
    const std::string json = dialogJson(*resource);
    const std::vector<unsigned char> picture = dialogPicture(*resource);
    MAIN_THREAD_EM_ASM({ kvarloPage.showDialog($0, JSON.parse(UTF8ToString($1)), $2, $3); },
                       handleOf(window), json.c_str(), picture.data(), picture.size());
    callWindowProc(*window, WM_INITDIALOG, 0, param);
    const bool ended = runModalLoop(window->dialogEnded);
    const INT_PTR result = ended ? window->dialogResult : IDCANCEL;
    MAIN_THREAD_EM_ASM({ kvarloPage.closeDialog($0); }, handleOf(window));
    DestroyWindow(handleOf(window));
    return result;
}

BOOL WINAPI EndDialog(HWND handle, INT_PTR result) {
    Window* window = windowFromHandle(handle);
    if (window == nullptr || !window->dialog)
        return FALSE;
    {
        std::lock_guard lock(queueMutex());
        window->dialogEnded = true;
        window->dialogResult = result;
    }
    wakeQueue();
    return TRUE;
}
