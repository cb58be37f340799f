// The calendar clock the game's time is counted in: whole seconds, as a signed 32-bit value.
#pragma once

#include <cstdint>

namespace kvarlo {

int32_t calendarSeconds();

// Replaces the clock (tests); null restores the system clock.
void setCalendarSecondsSource(int32_t (*source)());

}  // namespace kvarlo
