// Fuzzes the key tracker's reader of keycast.ini (the button masks), then drives the tracker
// for a few frames with key states and pad words taken from the same input.
#include <cstring>

#include "app/key_tracker.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::ScratchFolder();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::WriteScratchFile("keycast.ini", data, size);
  app::KeyTracker tracker;
  uint8_t states[256] = {};
  for (int frame = 0; frame < 20; ++frame) {
    for (size_t i = 0; i < size && i < sizeof states; ++i) states[i] = (data[i] >> (frame % 8)) & 1;
    int32_t pad = 0;
    if (size >= 4) std::memcpy(&pad, data + (frame * 4) % (size - 3), 4);
    tracker.UpdateFrom(states, pad);
    for (int button = 0; button < 10; ++button)
      fuzz::Consume(tracker.ButtonDown(button) + 2 * tracker.ButtonPressed(button));
  }
  return 0;
}
