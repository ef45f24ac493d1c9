// Every test program runs headless: SDL's offscreen video and dummy audio, drawn in software
// (the offscreen driver's GL path would load a GL stack whose allocations the leak checker
// reports). Each test process also takes an instance-lock suffix of its own, so that runtimes
// started by tests running side by side never take each other for a second copy. Set before
// main, without overriding what the caller chose.
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "test_support/environment.h"

namespace {

const bool kHeadless = [] {
  using test_support::SetEnvironment;
  SetEnvironment("SDL_VIDEODRIVER", "offscreen", false);
  SetEnvironment("SDL_AUDIODRIVER", "dummy", false);
  SetEnvironment("SDL_RENDER_DRIVER", "software", false);
  SetEnvironment("SDL_FRAMEBUFFER_ACCELERATION", "0", false);
  SetEnvironment("RTLIB_INSTANCE_SUFFIX", ("-test-" + std::to_string(getpid())).c_str(), false);
  return true;
}();

}  // namespace
