// The window services over the layer: title, repaint requests, sounds, beeps, the shell, the
// program's folder and the About box with its rotating sounds.
#include <gtest/gtest.h>

#include <unistd.h>
#include <QTest>
#include <QWidget>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/qt/test_seams.h"
#include "platform/qt_application.h"
#include "shell/resource.h"
#include "shell/services.h"
#include "support/recording_window.h"

namespace {

namespace seam = kvarlo::platform::testing;
using seam::SoundEvent;

int& paints = kvarlo::testing::recordedMessages().paints;

class Services : public ::testing::Test {
protected:
    void SetUp() override {
        kvarlo::testing::qtApplication();
        seam::setAudioOutputEnabled(false);
        seam::clearSoundLog();
        seam::clearShellLog();
        seam::setShellAnswer(false);
        kvarlo::instance = GetModuleHandleA(nullptr);
        ASSERT_GT(LoadStringA(kvarlo::instance, IDS_APP_TITLE, kvarlo::application.title, 324), 0);
        ASSERT_TRUE(windowClass.registered());
        kvarlo::mainWindow = windowClass.create("", 640, 480);
        ASSERT_NE(kvarlo::mainWindow, nullptr);
        ShowWindow(kvarlo::mainWindow, SW_SHOW);
        UpdateWindow(kvarlo::mainWindow);
        paints = 0;
    }
    void TearDown() override {
        DestroyWindow(kvarlo::mainWindow);
        kvarlo::mainWindow = nullptr;
        seam::setShellAnswer(std::nullopt);
    }
    static void pump() { kvarlo::testing::dispatchReady(); }
    kvarlo::testing::RecordingWindowClass windowClass{"SERVICES"};
};

TEST_F(Services, TheTitleIsTheApplicationTitleWithMiddleAndTail) {
    // The application title: Головоломка "Кварло 1", 22 characters in 1251.
    EXPECT_STREQ(kvarlo::application.title,
                 "\xC3\xEE\xEB\xEE\xE2\xEE\xEB\xEE\xEC\xEA\xE0 \"\xCA\xE2\xE0\xF0\xEB\xEE 1\"");
    kvarlo::setWindowTitle(" - \xD4\xE8\xE3\xF3\xF0\xE0 ", "default");
    char text[400];
    GetWindowTextA(kvarlo::mainWindow, text, sizeof text);
    EXPECT_EQ(std::string(text),
              std::string(kvarlo::application.title) + " - \xD4\xE8\xE3\xF3\xF0\xE0 default");
    EXPECT_EQ(seam::topLevelWidget(kvarlo::mainWindow)->windowTitle(),
              QString::fromUtf8("Головоломка \"Кварло 1\" - Фигура default"));
    // A tail longer than the buffer is cut, never overrun.
    const std::string longTail(400, 'x');
    kvarlo::setWindowTitle(" - ", longTail.c_str());
    EXPECT_EQ(GetWindowTextLengthA(kvarlo::mainWindow), 323);
}

TEST_F(Services, EveryRepaintRequestGetsAPaintOfItsOwn) {
    kvarlo::requestRepaint();
    kvarlo::requestRepaint();
    pump();
    EXPECT_EQ(paints, 2);
}

TEST_F(Services, DrainingRemovesOnlyThatKindForThatWindow) {
    PostMessageA(kvarlo::mainWindow, WM_TIMER, 1, 0);
    PostMessageA(kvarlo::mainWindow, WM_USER, 0, 0);
    PostMessageA(kvarlo::mainWindow, WM_TIMER, 1, 0);
    PostMessageA(nullptr, WM_TIMER, 2, 0);
    EXPECT_EQ(kvarlo::drainMessages(kvarlo::mainWindow, WM_TIMER), 2);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, nullptr);
}

TEST_F(Services, SoundsAndBeepsReachThePlayerWithTheirFlags) {
    const auto folder = std::filesystem::path(SOURCE_DIR) / "assets";
    const std::string jump = (folder / "explosio.wav").string();
    EXPECT_TRUE(kvarlo::playFileSound(jump.c_str(), false));
    EXPECT_FALSE(kvarlo::playFileSound("no-such-file.wav", true));  // silence
    EXPECT_TRUE(kvarlo::playResourceSound("REC2", false));
    EXPECT_FALSE(kvarlo::playResourceSound("REC9", false));
    kvarlo::failureBeep();
    const auto log = seam::soundLog();
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[0].kind, SoundEvent::Kind::File);
    EXPECT_EQ(log[0].flags, 0x0003u);
    EXPECT_TRUE(log[0].started);
    EXPECT_EQ(log[1].flags, 0x000Bu);
    EXPECT_FALSE(log[1].started);
    EXPECT_EQ(log[2].kind, SoundEvent::Kind::Resource);
    EXPECT_EQ(log[2].name, "REC2");
    EXPECT_EQ(log[2].flags, 0x00040007u);
    EXPECT_FALSE(log[3].started);
    EXPECT_EQ(log[4].kind, SoundEvent::Kind::Beep);
    EXPECT_EQ(log[4].flags, static_cast<DWORD>(MB_ICONASTERISK));
}

TEST_F(Services, ADamagedSoundFileIsSilence) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("kvarlo-bad-" + std::to_string(::getpid()) + ".wav");
    const char bytes[] =
        "RIFF\x24\x00\x00\x00WAVEfmt \x10\x00\x00\x00\x01\x00\x01\x00\x40\x1f\x00\x00"
        "\x40\x1f\x00\x00\x01\x00\x08\x00"
        "data\xff\xff\x00\x00";  // data runs past the end
    std::string image(bytes, sizeof bytes - 1);
    std::ofstream(path, std::ios::binary)
        .write(image.data(), static_cast<std::streamsize>(image.size()));
    EXPECT_FALSE(kvarlo::playFileSound(path.string().c_str(), false));
    image.replace(20, 2, "\x03\x00");  // not PCM
    std::ofstream(path, std::ios::binary)
        .write(image.data(), static_cast<std::streamsize>(image.size()));
    EXPECT_FALSE(kvarlo::playFileSound(path.string().c_str(), false));
    std::filesystem::remove(path);
    ASSERT_EQ(seam::soundLog().size(), 2u);
    EXPECT_FALSE(seam::soundLog()[0].started);
}

TEST_F(Services, RealPlaybackWithoutAnAudioDeviceIsSilentNotAnError) {
    seam::setAudioOutputEnabled(true);
    const std::string jump =
        (std::filesystem::path(SOURCE_DIR) / "assets" / "explosio.wav").string();
    EXPECT_TRUE(kvarlo::playFileSound(jump.c_str(), false));
    EXPECT_TRUE(kvarlo::playResourceSound("REC1", true));
    PlaySoundA(nullptr, nullptr, 0);
    seam::setAudioOutputEnabled(false);
}

TEST_F(Services, TheManualIsOpenedFromTheProgramsFolder) {
    const std::string executable = std::filesystem::canonical("/proc/self/exe").string();
    const std::string folder = executable.substr(0, executable.rfind('/') + 1);
    EXPECT_EQ(kvarlo::programDirectory(), folder);
    EXPECT_EQ(kvarlo::programFilePath("help.txt"), folder + "help.txt");
    EXPECT_FALSE(kvarlo::openManual());  // the scripted shell refuses
    seam::setShellAnswer(true);
    EXPECT_TRUE(kvarlo::shellOpen("https://example.org/"));
    const auto log = seam::shellLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], folder + "help.txt");
    EXPECT_EQ(log[1], "https://example.org/");
}

TEST_F(Services, AShellRequestForAMissingFileFailsWithoutAskingTheDesktop) {
    seam::setShellAnswer(std::nullopt);
    EXPECT_FALSE(kvarlo::shellOpen("/no/such/help.txt"));
    EXPECT_FALSE(kvarlo::shellOpen(nullptr));
}

// Closes an About box in one of the ways a user can.
enum class Closing { Button, Escape, CloseBox, Enter };
void closeAbout(QWidget* box, Closing how) {
    EXPECT_EQ(box->windowTitle(), QString::fromUtf8("О программе"));
    switch (how) {
        case Closing::Button:
            for (QObject* child : box->children()) {
                if (auto* button = qobject_cast<QWidget*>(child);
                    button && button->inherits("QPushButton")) {
                    QTest::mouseClick(button, Qt::LeftButton);
                }
            }
            break;
        case Closing::Escape:
            QTest::keyClick(box, Qt::Key_Escape);
            break;
        case Closing::Enter:
            QTest::keyClick(box, Qt::Key_Return);
            break;
        case Closing::CloseBox:
            box->close();
            break;
    }
}

TEST_F(Services, FourAboutBoxesPlayTheirSoundsInTurnEachStoppedWhenItCloses) {
    kvarlo::aboutSoundIndex = 0;
    const Closing ways[] = {Closing::Button, Closing::Escape, Closing::CloseBox, Closing::Enter};
    for (Closing how : ways) {
        seam::onNextDialogShown([how](QWidget* box) { closeAbout(box, how); });
        kvarlo::showAbout(kvarlo::mainWindow);
    }
    std::vector<std::string> played;
    for (const SoundEvent& e : seam::soundLog()) {
        if (e.kind == SoundEvent::Kind::Resource) {
            played.push_back(e.name);
            EXPECT_EQ(e.flags, 0x0004000Fu);  // looping for as long as the box is open
            EXPECT_TRUE(e.started);
        } else {
            played.push_back(e.kind == SoundEvent::Kind::Stop ? "stop" : "?");
        }
    }
    EXPECT_EQ(played, (std::vector<std::string>{"REC1", "stop", "REC2", "stop", "REC5", "stop",
                                                "REC1", "stop"}));
    EXPECT_EQ(seam::activeDialogWidget(), nullptr);
}

// Closes the box once the main window has painted; until then it looks again each time the
// box's loop has nothing else to do.
void closeAfterAPaint(QWidget* box) {
    if (paints > 0) {
        closeAbout(box, Closing::Escape);
        return;
    }
    QMetaObject::invokeMethod(
        box, [box] { closeAfterAPaint(box); }, Qt::QueuedConnection);
}

TEST_F(Services, TheMainWindowKeepsGettingItsMessagesWhileTheBoxIsOpen) {
    seam::onNextDialogShown([](QWidget* box) {
        kvarlo::requestRepaint();  // as a search thread's progress would
        closeAfterAPaint(box);
    });
    kvarlo::showAbout(kvarlo::mainWindow);
    EXPECT_EQ(paints, 1);
}

TEST_F(Services, TheBoxEndsWhenItsOwnerGoesAway) {
    seam::onNextDialogShown([](QWidget*) { DestroyWindow(kvarlo::mainWindow); });
    kvarlo::showAbout(kvarlo::mainWindow);  // returns instead of waiting on a box that is gone
    EXPECT_FALSE(IsWindow(kvarlo::mainWindow));
    EXPECT_EQ(seam::activeDialogWidget(), nullptr);
    EXPECT_EQ(seam::soundLog().back().kind, SoundEvent::Kind::Stop);
}

TEST(AboutDialogProc, EndsOnOkAndCancelOnly) {
    EXPECT_TRUE(kvarlo::aboutDialogProc(nullptr, WM_INITDIALOG, 0, 0));
    EXPECT_FALSE(kvarlo::aboutDialogProc(nullptr, WM_COMMAND, MAKEWPARAM(3, 0), 0));
    EXPECT_FALSE(kvarlo::aboutDialogProc(nullptr, WM_KEYDOWN, VK_ESCAPE, 0));
    EXPECT_TRUE(kvarlo::aboutDialogProc(nullptr, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0));
}

}  // namespace
