// Every test program runs headless: SDL's offscreen video and dummy audio, drawn in software
// (the offscreen driver's GL path would load a GL stack whose allocations the leak checker
// reports). Set before main, without overriding what the caller chose.
#include <cstdlib>

namespace {

const bool kHeadless = [] {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  setenv("SDL_RENDER_DRIVER", "software", 0);
  setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 0);
  return true;
}();

}  // namespace
