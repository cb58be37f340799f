// Which implementation of the subset the suite runs against, for the one test of each known
// difference of the browser layer (platform/win32.h lists them), which skips there with its
// reason. The one place the suite asks which build it is in for the browser.
#pragma once

namespace kvarlo::conformance {

#ifdef __EMSCRIPTEN__
inline constexpr bool onBrowserLayer = true;
#else
inline constexpr bool onBrowserLayer = false;
#endif

}  // namespace kvarlo::conformance
