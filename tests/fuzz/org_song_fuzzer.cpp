// Fuzzes the Org song reader. Every input is parsed; a song that parses is played for a quarter of
// a second through the whole engine (loader, melody voices, drums, sequencer, mixer), as org2wav
// would play it. (The round trip through the writer is org_writer_fuzzer's.)
#include <filesystem>
#include <memory>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "game_music/org_song.h"
#include "tools/render/offline_render.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The demo data's waveform bank and drums, so that the render has every sound to play.
  std::filesystem::copy(PROJECT_SOURCE_DIR "/data/Org", fuzz::ScratchFolder() + "/Org",
                        std::filesystem::copy_options::recursive);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto song = std::make_unique<org::ParsedSong>();
  if (org::ParseOrgSong(data, size, song.get()) != org::ParseResult::kOk) return 0;

  fuzz::WriteScratchFile("Org/fuzz.org", data, size);
  render::RenderOptions options;
  options.bank_path = fuzz::ScratchFolder() + "/Org/Wave100.dat";
  options.seconds = 0.25;
  options.rate = 22050;
  render::RenderSong(fuzz::ScratchFolder() + "/Org/fuzz.org", options, [](const int16_t*, int) {});
  return 0;
}
