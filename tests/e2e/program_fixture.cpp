#include "e2e/program_fixture.h"

#include <QCoreApplication>
#include <QThread>
#include <fstream>

#include "documents/file_format.h"

namespace kvarlo::testing {

void ProgramTest::writeDefaultFigure(const std::filesystem::path& folder) {
    Board board(7, 7);
    for (EdgeRef r : {ref(24, 0), ref(24, 1), ref(17, 0)}) {
        board.slot(r).hasMatch = 1;
    }
    const FixedArray<uint8_t> image = encodeFigure(board, 0);
    std::ofstream out(folder / "default.t1a", std::ios::binary);
    out.write(reinterpret_cast<const char*>(image.data()), image.count());
}

void ProgramTest::SetUp() {
    qtApplication();
    seam::setAudioOutputEnabled(false);
    seam::clearSoundLog();
    seam::clearShellLog();
    seam::setShellAnswer(false);
    seam::clearFileDialogAnswers();
    seam::clearFileDialogLog();
    seam::clearMessageBoxLog();

    prepareFolder(folder_);
    std::filesystem::current_path(folder_);

    resetProgram();
    if (const Clock* clock = gameClock()) {
        program().clock = clock;
    }
    const std::string line = commandLine();
    ASSERT_EQ(startProgram(GetModuleHandleA(nullptr), SW_SHOW, line.c_str()), 1);
    pump();
}

void ProgramTest::TearDown() {
    if (mainWindow) {
        DestroyWindow(mainWindow);
        pump();
        mainWindow = nullptr;
    }
    UnregisterClassA(application.className, instance);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
    seam::setShellAnswer(std::nullopt);
}

void ProgramTest::pump() {
    MSG message;
    for (int round = 0; round < 1000; ++round) {
        QCoreApplication::processEvents();
        if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            return;
        }
        if (message.message == WM_QUIT) {
            return;
        }
        if (!TranslateAcceleratorA(message.hwnd, application.accelerators, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

bool ProgramTest::waitWhileBusy(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (solverBusy() != 0) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        pump();
        QThread::msleep(5);
    }
    pump();
    return true;
}

LRESULT ProgramTest::send(UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = SendMessageA(mainWindow, message, wParam, lParam);
    pump();
    return result;
}

void ProgramTest::clickAt(int32_t x, int32_t y, bool left) {
    POINT point{x, y};
    ClientToScreen(mainWindow, &point);
    SetCursorPos(point.x, point.y);
    send(left ? WM_LBUTTONDOWN : WM_RBUTTONDOWN);
}

ScreenPoint ProgramTest::slotMiddle(EdgeRef slot) {
    RECT client{};
    GetClientRect(mainWindow, &client);
    const Board& board = state().board;
    const BoardLayout layout = computeLayout(client.right, client.bottom, board);
    const ScreenPoint a = nodeScreenPosition(board, slot.node, layout);
    const ScreenPoint b =
        nodeScreenPosition(board, board.neighbourForward(slot.node, slot.direction), layout);
    return ScreenPoint{(a.x + b.x) / 2, (a.y + b.y) / 2};
}

bool ProgramTest::jumpFirst() {
    const auto jump = firstJump(state().board);
    if (!jump) {
        return false;
    }
    clickSlot(jump->first);
    clickSlot(jump->second);
    return true;
}

std::string ProgramTest::title() {
    char text[400] = {};
    GetWindowTextA(mainWindow, text, sizeof text);
    return text;
}

std::vector<std::string> ProgramTest::messages() {
    std::vector<std::string> texts;
    for (const seam::MessageBoxRecord& box : seam::messageBoxLog()) {
        EXPECT_EQ(box.owner, mainWindow);
        EXPECT_EQ(box.caption, application.title);
        texts.push_back(box.text);
    }
    return texts;
}

int ProgramTest::beeps() {
    int count = 0;
    for (const seam::SoundEvent& e : seam::soundLog()) {
        count += e.kind == seam::SoundEvent::Kind::Beep;
    }
    return count;
}

}  // namespace kvarlo::testing
