// Offline render speed of the densest demo song (Jacques: a four-voice canon with drums, the most
// events per second), one pass from the start to the loop end, through the whole engine and the
// offline sound device, into a sink that keeps nothing. Reports the multiple of real time.
#include <benchmark/benchmark.h>

#include "tools/render/offline_render.h"

namespace {

void BM_RenderDensestDemoSong(benchmark::State& state) {
  render::RenderOptions options;
  options.bank_path = JUKEBOX_DATA_DIR "/Org/Wave100.dat";
  options.loops = 1;
  const std::string song = JUKEBOX_DATA_DIR "/Org/Jacques.org";
  int64_t frames = 0;
  for (auto _ : state) {
    const render::RenderResult result = render::RenderSong(
        song, options, [](const int16_t* stereo, int) { benchmark::DoNotOptimize(stereo); });
    if (!result.ok) state.SkipWithError(result.error.c_str());
    frames += result.frames;
  }
  state.counters["x_realtime"] =
      benchmark::Counter(static_cast<double>(frames) / options.rate, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RenderDensestDemoSong)->Unit(benchmark::kMillisecond);

}  // namespace
