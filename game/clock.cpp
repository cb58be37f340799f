// The system's calendar clock.
#include "game/clock.h"

#include <ctime>

namespace kvarlo {

namespace {

class SystemClock final : public Clock {
public:
    int32_t calendarSeconds() const override { return static_cast<int32_t>(std::time(nullptr)); }
};

}  // namespace

const Clock& systemClock() {
    static const SystemClock clock;
    return clock;
}

}  // namespace kvarlo
