// The key state and the cursor position, kept for any thread to read.
#include "platform/core/input.h"

#include <array>
#include <mutex>

namespace kvarlo::platform {

namespace {

std::mutex inputMutex;
POINT cursor{};
std::array<bool, 256> keysDown{};

}  // namespace

void setCursorPosition(POINT screen) {
    std::lock_guard lock(inputMutex);
    cursor = screen;
}

void setKeyDown(int virtualKey, bool down) {
    if (virtualKey <= 0 || virtualKey > 255)
        return;
    std::lock_guard lock(inputMutex);
    keysDown[static_cast<size_t>(virtualKey)] = down;
}

}  // namespace kvarlo::platform

using namespace kvarlo::platform;

BOOL WINAPI GetCursorPos(LPPOINT point) {
    if (point == nullptr)
        return FALSE;
    std::lock_guard lock(inputMutex);
    *point = cursor;
    return TRUE;
}

BOOL WINAPI SetCursorPos(int x, int y) {
    setCursorPosition(POINT{x, y});
    return TRUE;
}

SHORT WINAPI GetKeyState(int virtualKey) {
    if (virtualKey <= 0 || virtualKey > 255)
        return 0;
    std::lock_guard lock(inputMutex);
    return keysDown[static_cast<size_t>(virtualKey)] ? static_cast<SHORT>(0x8000) : 0;
}
