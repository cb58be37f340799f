// What drawing on an off-screen surface needs in a program that opens no window (kvarlo-cli
// render): on Linux, Qt's application object for its fonts, over the off-screen platform unless
// the caller chose one; on Windows, GDI draws into memory as it is and nothing is needed.
#pragma once

#include <memory>

namespace kvarlo::platform {

// Hold one for as long as the drawing lasts; one at a time.
class OffscreenDrawing {
public:
#ifdef _WIN32
    // Nothing to set up, but a session all the same: the caller holds one on every platform.
    OffscreenDrawing() {}
    ~OffscreenDrawing() {}
#else
    OffscreenDrawing();
    ~OffscreenDrawing();
    OffscreenDrawing(const OffscreenDrawing&) = delete;
    OffscreenDrawing& operator=(const OffscreenDrawing&) = delete;

private:
    struct Application;
    std::unique_ptr<Application> application_;
#endif
};

}  // namespace kvarlo::platform
