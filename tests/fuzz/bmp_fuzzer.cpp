// Fuzzes the BMP decoder: a picture it accepts must be whole (size, pitch and pixel store agree)
// and stay whole when mirrored.
#include "fuzz/fuzz_support.h"
#include "runtime/graphics/bmp_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  graphics::GraphImage picture;
  if (!graphics::DecodeBmp(data, size, &picture)) return 0;
  fuzz::CheckPicture(picture);
  graphics::MirrorImage(&picture);
  fuzz::CheckPicture(picture);
  return 0;
}
