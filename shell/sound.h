// The sound service the game calls. The shell implements it over the platform's WAVE playback;
// tests link an implementation that records the calls instead.
#pragma once

namespace kvarlo {

// Starts playing a WAVE file named relative to the current directory and returns at once;
// silence (no default sound) when it cannot be played. A new sound replaces a playing one.
bool playFileSound(const char* name, bool loop);

}  // namespace kvarlo
