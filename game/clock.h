// The calendar clock the game's time is counted in: whole seconds, as a signed 32-bit value.
// Whatever keeps time holds a Clock, the system's unless it is given another (tests); the game's
// own functions take the time as a value.
#pragma once

#include <cstdint>

namespace kvarlo {

class Clock {
public:
    virtual ~Clock() = default;
    virtual int32_t calendarSeconds() const = 0;
};

// The system's calendar clock.
const Clock& systemClock();

}  // namespace kvarlo
