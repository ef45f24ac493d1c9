// Every test program runs headless: SDL's offscreen video and dummy audio, drawn in software
// (the offscreen driver's GL path would load a GL stack whose allocations the leak checker
// reports). Each test process also takes an instance-lock suffix of its own, so that runtimes
// started by tests running side by side never take each other for a second copy. Set before
// main, without overriding what the caller chose.
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

const bool kHeadless = [] {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  setenv("SDL_RENDER_DRIVER", "software", 0);
  setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 0);
  setenv("RTLIB_INSTANCE_SUFFIX", ("-test-" + std::to_string(getpid())).c_str(), 0);
  return true;
}();

}  // namespace
