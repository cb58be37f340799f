// The message boxes and file dialogs as windows their owner can answer, as on Windows: a box that
// comes deactivates its owner (WM_ACTIVATE with the box's handle), and a button's command posted
// to the box presses that button. The page's box closes then as if the player had pressed it.
#include <emscripten.h>

#include <algorithm>

#include "platform/web/layer.h"

namespace kvarlo::platform {

namespace {

// The boxes waiting on the program's thread, innermost last.
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

WaitingBox::WaitingBox(HWND owner, int number, std::vector<int> buttons,
                       std::function<PageAnswer(int)> answerFor)
    : owner_(owner),
      number_(number),
      buttons_(std::move(buttons)),
      answerFor_(std::move(answerFor)),
      record_(new Window) {
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
    if (message != WM_COMMAND || std::find(buttons_.begin(), buttons_.end(), id) == buttons_.end())
        return;
    const PageAnswer answer = answerFor_(id);
    if (giveAnswer(number_, answer.value, answer.text))
        MAIN_THREAD_EM_ASM({ kvarloPage.closeBox($0); }, number_);
}

void WaitingBox::tellOwner(WORD state) {
    if (windowFromHandle(owner_) == nullptr)
        return;  // a box without an owner tells no one
    told_ = true;
    SendMessageA(owner_, WM_ACTIVATE, MAKEWPARAM(state, 0), reinterpret_cast<LPARAM>(handle()));
}

PageAnswer WaitingBox::wait() {
    tellOwner(WA_INACTIVE);
    return awaitAnswer(number_);
}

}  // namespace kvarlo::platform
