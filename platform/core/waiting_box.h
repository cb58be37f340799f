// A message box or file dialog as its owner sees it on Windows: a window that deactivates the
// owner as it comes (WM_ACTIVATE, WA_INACTIVE, with the box's handle) and activates it again as it
// goes, and that takes the command of one of its buttons posted or sent to it as that button's
// click. The program's tests answer boxes so on every side, without timers.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "platform/core/window.h"

namespace kvarlo::platform {

class WaitingBox {
public:
    WaitingBox(HWND owner, std::vector<int> buttons);
    ~WaitingBox();
    WaitingBox(const WaitingBox&) = delete;
    WaitingBox& operator=(const WaitingBox&) = delete;

    // What an answer from the owner does to the box on screen (closes it as that button would).
    void closeWith(std::function<void(int)> close) { close_ = std::move(close); }
    // Tells the owner that the box came (WA_INACTIVE) or went (WA_ACTIVE); false when the box has
    // no owner to tell, or the caller is not on the windows' thread.
    bool tellOwner(WORD state);
    // With nothing on screen: tells the owner, then runs the box's loop while messages are
    // ready, until the owner answers. The answer, if any.
    std::optional<int> waitUnshown();
    std::optional<int> answer() const { return answer_; }

    HWND handle() const { return handleOf(record_); }
    void take(UINT message, WPARAM wParam);

private:
    HWND owner_;
    std::vector<int> buttons_;
    WindowRecord* record_;
    std::optional<int> answer_;
    std::function<void(int)> close_;
    bool told_ = false;
};

}  // namespace kvarlo::platform
