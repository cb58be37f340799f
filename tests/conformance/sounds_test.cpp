// The program's sounds and its failure beep, as the calls answer them: the program plays
// asynchronously, stops with a null name, and never gets a default sound for a missing one.
#include <gtest/gtest.h>

#include "platform/win32.h"

namespace {

TEST(Sounds, StartingAndStoppingTheProgramsSoundsSucceeds) {
    HMODULE module = GetModuleHandleA(nullptr);
    // An About tune, looped as the About box plays it, then stopped as the box closes.
    EXPECT_TRUE(PlaySoundA("REC2", module, SND_RESOURCE | SND_ASYNC | SND_NODEFAULT | SND_LOOP));
    EXPECT_TRUE(PlaySoundA(nullptr, nullptr, 0));
    EXPECT_TRUE(sndPlaySoundA(nullptr, 0));
    // Nothing to play: refused, and no default sound instead.
    EXPECT_FALSE(PlaySoundA("REC3", module, SND_RESOURCE | SND_SYNC | SND_NODEFAULT));
    EXPECT_FALSE(sndPlaySoundA("kvarlo-no-such-sound.wav", SND_SYNC | SND_NODEFAULT));
    // The failure beep.
    EXPECT_TRUE(MessageBeep(MB_ICONASTERISK));
    EXPECT_TRUE(MessageBeep(MB_OK));
}

}  // namespace
