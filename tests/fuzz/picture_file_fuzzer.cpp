// Fuzzes picture loading from files, with the companion alpha picture: the input is a flags
// byte (bit 0: mirrored), the main picture's length (4 bytes, little-endian), the main picture,
// and the rest as "pic_a.bmp" (absent when empty). The pictures go through the graph loaders of
// a started display (whole and cut into cells) and are drawn with clipping, then released.
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "runtime/core/main_window.h"
#include "runtime/core/runtime_state.h"
#include "runtime/graphics/display_device.h"
#include "runtime/graphics/draw_context.h"
#include "runtime/graphics/graph_loading.h"
#include "runtime/graphics/graph_table.h"
#include "runtime/graphics/software_blitter.h"

namespace {

constexpr size_t kHeaderBytes = 5;

void ReleaseIfMade(int handle) {
  if (handle >= 0) graphics::ReleaseGraph(handle, 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  runtime::GetRuntimeState().StartupDirectory = fuzz::ScratchFolder();
  runtime::ChangeWindowMode(1);
  graphics::InstallDisplayDevice();
  graphics::RequestScreenMode(320, 240, 32, -1);
  if (runtime::CreateMainWindow() != 0) fuzz::Fail("no window on SDL's offscreen video");
  runtime::GetWindowState().active = 1;
  if (graphics::StartDisplayDevice() != 0) fuzz::Fail("the display device did not start");
  graphics::SelectDrawTarget(graphics::kBackBuffer);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kHeaderBytes) return 0;
  const bool mirrored = data[0] & 1;
  uint32_t main_length = 0;
  std::memcpy(&main_length, data + 1, 4);
  const size_t rest = size - kHeaderBytes;
  if (main_length > rest) main_length = static_cast<uint32_t>(rest);
  fuzz::WriteScratchFile("pic.bmp", data + kHeaderBytes, main_length);
  if (main_length < rest)
    fuzz::WriteScratchFile("pic_a.bmp", data + kHeaderBytes + main_length, rest - main_length);
  else
    fuzz::RemoveScratchFile("pic_a.bmp");

  const int whole = graphics::LoadPictureGraph("pic.bmp", false, mirrored);
  if (whole >= 0) {
    graphics::PutGraph(-3, -5, whole, 1);
    graphics::PutGraph(300, 200, whole, 0);
  }
  ReleaseIfMade(whole);

  int cells[4] = {-1, -1, -1, -1};
  if (graphics::LoadDividedPictureGraph("pic.bmp", 4, 2, 2, 8, 8, cells, false, mirrored) >= 0)
    for (int cell : cells) graphics::PutGraph(10, 10, cell, 1);
  for (int cell : cells) ReleaseIfMade(cell);
  return 0;
}
