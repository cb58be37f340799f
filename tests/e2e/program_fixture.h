// The real program, started in-process under Qt's offscreen platform: the window procedure,
// start-up and painting exactly as the executable runs them, driven by messages, menu commands,
// Qt input events and scripted file dialogs.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/qt/test_seams.h"
#include "platform/qt_application.h"
#include "shell/program.h"
#include "shell/resource.h"
#include "shell/services.h"
#include "shell/startup.h"
#include "solver/control.h"
#include "support/boards.h"
#include "support/test_files.h"

namespace kvarlo::testing {

namespace seam = kvarlo::platform::testing;

class ProgramTest : public ::testing::Test {
protected:
    // Override to put files into the folder the program starts in.
    virtual void prepareFolder(const std::filesystem::path& folder) { (void)folder; }
    // Override to start the program with this command line (1251), as WinMain gets it.
    virtual std::string commandLine() const { return {}; }
    // Override to run the program on this clock from its start (the system's otherwise).
    virtual const Clock* gameClock() const { return nullptr; }
    // Three matches that play down to one: (24, 0), (24, 1) and (17, 0); the jump (24, 1) to
    // (17, 1) over (24, 0) leaves two that can still jump.
    static void writeDefaultFigure(const std::filesystem::path& folder);

    void SetUp() override;
    void TearDown() override;

    // Dispatches everything queued, synthesized paints included.
    void pump();
    // Pumps until the solver is idle again (or the time runs out).
    bool waitWhileBusy(std::chrono::milliseconds limit = std::chrono::seconds(20));

    LRESULT send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    void command(int id) { send(WM_COMMAND, id); }
    void keyDown(WPARAM key) { send(WM_KEYDOWN, key); }
    void keyUp(WPARAM key) { send(WM_KEYUP, key); }
    // A left (or right) press with the pointer at this client point, then the paint.
    void clickAt(int32_t x, int32_t y, bool left = true);
    // The client pixel in the middle of a slot, on the layout of the current client size.
    ScreenPoint slotMiddle(EdgeRef slot);
    void clickSlot(EdgeRef slot) {
        const ScreenPoint p = slotMiddle(slot);
        clickAt(p.x, p.y);
    }
    // Clicks the first movable match and then its first landing slot; false when none moves.
    bool jumpFirst();
    std::string title();
    int beeps();
    // The texts of the message boxes shown so far (1251), each checked to be the program's own:
    // over its window, under its title.
    std::vector<std::string> messages();
    QImage frame() { return seam::lastPresentedFrame(mainWindow); }

    Program& state() { return program(); }

    TestFolder folderOwner_{"kvarlo-e2e"};
    const std::filesystem::path& folder_ = folderOwner_.path();
};

}  // namespace kvarlo::testing
