#include "support/recording_sound.h"

#include "shell/sound.h"

namespace kvarlo {

namespace testing {
std::vector<SoundRequest>& recordedSounds() {
    static std::vector<SoundRequest> sounds;
    return sounds;
}
}  // namespace testing

bool playFileSound(const char* name, bool loop) {
    testing::recordedSounds().push_back({name, loop});
    return true;
}

}  // namespace kvarlo
