// The calendar clock, replaceable for tests.
#include "game/clock.h"

#include <ctime>

namespace kvarlo {

namespace {
int32_t (*clockSource)() = nullptr;
}

int32_t calendarSeconds() {
    if (clockSource) {
        return clockSource();
    }
    return static_cast<int32_t>(std::time(nullptr));
}

void setCalendarSecondsSource(int32_t (*source)()) { clockSource = source; }

}  // namespace kvarlo
