// The page's boxes as windows their owner can answer: a button's command posted to the box
// answers it, and the page's box closes then as if the player had pressed that button.
#include <emscripten.h>

#include "platform/web/layer.h"

namespace kvarlo::platform {

PageAnswer waitForBox(HWND owner, int number, std::vector<int> buttons,
                      std::function<PageAnswer(int)> answerFor) {
    WaitingBox waiting(owner, std::move(buttons));
    waiting.closeWith([number, answerFor = std::move(answerFor)](int button) {
        const PageAnswer answer = answerFor(button);
        if (giveAnswer(number, answer.value, answer.text))
            MAIN_THREAD_EM_ASM({ kvarloPage.closeBox($0); }, number);
    });
    waiting.tellOwner(WA_INACTIVE);
    return awaitAnswer(number);
}

}  // namespace kvarlo::platform
