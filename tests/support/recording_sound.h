// A sound service for tests: every request is recorded, nothing is played.
#pragma once

#include <string>
#include <vector>

namespace kvarlo::testing {

struct SoundRequest {
    std::string name;
    bool loop;
};

std::vector<SoundRequest>& recordedSounds();

}  // namespace kvarlo::testing
