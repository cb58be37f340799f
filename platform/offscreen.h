// What drawing on an off-screen surface needs in a program that opens no window (kvarlo-cli
// render): on Linux, Qt's application object for its fonts, over the off-screen platform unless
// the caller chose one; on Windows, GDI draws into memory as it is and nothing is needed.
#pragma once

#include <memory>

namespace kvarlo::platform {

// Hold one for as long as the drawing lasts; one per process.
class OffscreenDrawing {
public:
#ifdef _WIN32
    OffscreenDrawing() = default;
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
