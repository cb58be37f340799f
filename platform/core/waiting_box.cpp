// The message boxes and file dialogs as windows their owner can answer: on Windows a modal box
// that comes deactivates its owner (WM_ACTIVATE with the box's handle), and a button's command
// posted to the box presses that button.
#include "platform/core/waiting_box.h"

#include <algorithm>

namespace kvarlo::platform {

namespace {

std::vector<WaitingBox*>& waitingBoxes() {
    static auto* list = new std::vector<WaitingBox*>;
    return *list;
}

LRESULT CALLBACK waitingBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    for (WaitingBox* box : waitingBoxes()) {
        if (box->handle() == window)
            box->take(message, wParam);
    }
    return 0;
}

}  // namespace

WaitingBox::WaitingBox(HWND owner, std::vector<int> buttons)
    : owner_(owner), buttons_(std::move(buttons)), record_(newLayerWindow()) {
    record_->className = "#32770";
    record_->proc = waitingBoxProc;
    registerLiveWindow(record_);
    waitingBoxes().push_back(this);
}

WaitingBox::~WaitingBox() {
    if (told_)
        tellOwner(WA_ACTIVE);  // the owner is active again
    auto& boxes = waitingBoxes();
    boxes.erase(std::remove(boxes.begin(), boxes.end(), this), boxes.end());
    DestroyWindow(handle());  // drops what was still posted to the box, and its record
}

void WaitingBox::take(UINT message, WPARAM wParam) {
    const int id = LOWORD(wParam);
    if (message != WM_COMMAND || answer_ ||
        std::find(buttons_.begin(), buttons_.end(), id) == buttons_.end())
        return;
    answer_ = id;
    if (close_)
        close_(id);
}

bool WaitingBox::tellOwner(WORD state) {
    if (!onWindowThread() || windowRecord(owner_) == nullptr)
        return false;  // a box without an owner tells no one
    told_ = true;
    SendMessageA(owner_, WM_ACTIVATE, MAKEWPARAM(state, 0), reinterpret_cast<LPARAM>(handle()));
    return true;
}

std::optional<int> WaitingBox::waitUnshown() {
    if (!tellOwner(WA_INACTIVE))
        return std::nullopt;
    MSG msg;
    while (!answer_ && takeMessage(msg, nullptr, 0, 0, true)) {
        if (msg.message == WM_QUIT) {  // ends the box; the quit stays for the main loop
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        DispatchMessageA(&msg);
    }
    return answer_;
}

}  // namespace kvarlo::platform
