// liborgsynth through its C API on the densest demo song (Jacques): rendering 16-bit and float
// frames, with track levels on too, and with each of 1.1's interactive controls in use (a
// tempo factor, a transposition, track and master gains fading, notes over the song), beside
// org2wav's own render path in the same run; a seek to the last second of a ten-minute render;
// far seeks into endless songs of 1 ms steps (the densest the format allows: 16 tracks of 4096
// notes, a one-step loop, one whose voices never come round) up to 2^40 frames; and the memory one
// open song holds.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <vector>

#include "include/orgsynth.h"
#include "org/org_format.h"
#include "tests/test_support/test_song.h"
#include "tools/render/offline_render.h"

namespace {

const std::string kSong = JUKEBOX_DATA_DIR "/Org/Jacques.org";

std::vector<uint8_t> SongBytes() {
  std::ifstream in(kSong, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// One pass of the song (to the loop end), rendered in 4096-frame blocks.
// `steer`, when given, sets controls on the new song and is called again before every block.
using Steer = void (*)(orgsynth_song* song, int64_t block);

template <typename Sample, size_t (*Render)(orgsynth_song*, Sample*, size_t)>
void RenderOnePass(benchmark::State& state, bool levels, Steer steer = nullptr) {
  const std::vector<uint8_t> bytes = SongBytes();
  std::vector<Sample> block(2 * 4096);
  int64_t frames = 0;
  for (auto _ : state) {
    orgsynth_song* song = orgsynth_open_memory(bytes.data(), bytes.size(), nullptr, nullptr);
    orgsynth_set_repeat_count(song, 0);
    orgsynth_set_levels(song, levels ? 1 : 0);
    for (int64_t blocks = 0;; ++blocks) {
      if (steer) steer(song, blocks);
      if (Render(song, block.data(), 4096) == 0) break;
      benchmark::DoNotOptimize(block.data());
    }
    frames += static_cast<int64_t>(orgsynth_position(song));
    orgsynth_close(song);
  }
  state.counters["x_realtime"] =
      benchmark::Counter(static_cast<double>(frames) / 44100, benchmark::Counter::kIsRate);
}

void BM_CApiS16(benchmark::State& state) {
  RenderOnePass<int16_t, orgsynth_render_s16>(state, false);
}
void BM_CApiS16WithLevels(benchmark::State& state) {
  RenderOnePass<int16_t, orgsynth_render_s16>(state, true);
}
void BM_CApiF32(benchmark::State& state) {
  RenderOnePass<float, orgsynth_render_f32>(state, false);
}

// 1.1's controls, each on its own (frames per second of output, so a faster tempo is no gain).
void BM_CApiS16Tempo(benchmark::State& state) {
  RenderOnePass<int16_t, orgsynth_render_s16>(state, false, [](orgsynth_song* song, int64_t block) {
    if (block == 0) orgsynth_set_tempo_factor(song, 1.5);
  });
}
void BM_CApiS16Transposed(benchmark::State& state) {
  RenderOnePass<int16_t, orgsynth_render_s16>(state, false, [](orgsynth_song* song, int64_t block) {
    if (block == 0) orgsynth_set_transpose(song, 3, 20);
  });
}
// Every track and the master at a gain below 1, one track always fading.
void BM_CApiS16Gains(benchmark::State& state) {
  RenderOnePass<int16_t, orgsynth_render_s16>(state, false, [](orgsynth_song* song, int64_t block) {
    if (block == 0)
      for (int t = ORGSYNTH_MASTER; t < ORGSYNTH_TRACKS; ++t)
        orgsynth_set_track_gain(song, t, 0.8, 0);
    orgsynth_set_track_gain(song, static_cast<int>(block % 16), block % 2 ? 0.3 : 0.9, 90);
  });
}
// A note over the song started on every block, all eight voices sounding.
void BM_CApiS16Notes(benchmark::State& state) {
  RenderOnePass<int16_t, orgsynth_render_s16>(state, false, [](orgsynth_song* song, int64_t block) {
    const int voice = static_cast<int>(block % ORGSYNTH_NOTE_VOICES);
    orgsynth_stop_note(song, voice);
    orgsynth_play_note(song, voice, 36 + static_cast<int>(block % 24), 200, 6);
  });
}

// org2wav's path (the song read from its file, levels off), for comparison in the same run.
void BM_Org2wavPath(benchmark::State& state) {
  render::RenderOptions options;
  options.loops = 1;
  int64_t frames = 0;
  for (auto _ : state) {
    const render::RenderResult result = render::RenderSong(
        kSong, options, [](const int16_t* stereo, int) { benchmark::DoNotOptimize(stereo); });
    if (!result.ok) state.SkipWithError(result.error.c_str());
    frames += result.frames;
  }
  state.counters["x_realtime"] =
      benchmark::Counter(static_cast<double>(frames) / 44100, benchmark::Counter::kIsRate);
}

// The song repeated to at least ten minutes; each round opens it and seeks from the start to the
// last second (a replay of every step before it, with no sample mixed: a fresh song, so no
// earlier seek helps) and renders nothing.
void BM_SeekToTheLastSecondOfTenMinutes(benchmark::State& state) {
  const std::vector<uint8_t> bytes = SongBytes();
  const auto open = [&] {
    orgsynth_song* song = orgsynth_open_memory(bytes.data(), bytes.size(), nullptr, nullptr);
    orgsynth_info info{};
    info.size = sizeof info;
    orgsynth_get_info(song, &info);
    orgsynth_set_repeat_count(song, static_cast<int>(600 * 44100 / info.loop_frames) + 1);
    return song;
  };
  orgsynth_song* first = open();
  const uint64_t target = static_cast<uint64_t>(orgsynth_length(first)) - 44100;
  state.counters["render_minutes"] = static_cast<double>(orgsynth_length(first)) / 44100 / 60;
  orgsynth_close(first);
  for (auto _ : state) {
    state.PauseTiming();
    orgsynth_song* song = open();
    state.ResumeTiming();
    orgsynth_seek(song, target);
    state.PauseTiming();
    orgsynth_close(song);
    state.ResumeTiming();
  }
}

// Endless songs of 1 ms steps to seek far into. kDensest: every track holds 4096 notes, one a
// step, of varied keys, lengths, volumes and pans, looping over all of them; kOneStep: a loop of
// one step with a note on it, every track; kDrifting: eight tracks of held notes an octave or
// more apart on a loop of three steps, whose low buffers never finish a period before they play
// again: their phases drift on and the song's whole state never comes back; kDenseDrifting: the
// densest song with its melody held on one key a track, restruck every step, so that its 16
// buffers drift so (its stretch of passes is the largest a seek logs); kOneTrackOnOneKey: the
// densest song with one track on one key, its other tracks retuning all their buffers at every
// note.
enum class FarSong { kDensest, kOneStep, kDrifting, kDenseDrifting, kOneTrackOnOneKey };

std::vector<uint8_t> FarSongBytes(FarSong kind) {
  if (kind == FarSong::kDrifting) return org::SerializeOrgSong(test_support::DriftingSong());
  if (kind == FarSong::kDensest) return org::SerializeOrgSong(test_support::DensestSong());
  if (kind == FarSong::kDenseDrifting)
    return org::SerializeOrgSong(test_support::DenseDriftingSong());
  if (kind == FarSong::kOneTrackOnOneKey)
    return org::SerializeOrgSong(test_support::DensestSongWithOneTrackOnOneKey());
  org::ParsedSong song = test_support::NoteEveryStepSong(6);
  song.loop_start = 5;
  song.loop_end = 6;
  return org::SerializeOrgSong(song);
}

// The bytes the heap has given out, large blocks (which the C library maps apart) included.
size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

// Each round opens the song and seeks from the start to `frames` (a fresh song each time: no
// earlier seek helps). kB_kept: the heap the song holds after its seek, beyond what it held
// opened (what the seek keeps for the seeks after it).
// `rate`: the song's (0: the default, 44100 Hz).
orgsynth_song* OpenFarSong(const std::vector<uint8_t>& bytes, uint32_t rate) {
  orgsynth_options options{};
  options.size = sizeof options;
  options.sample_rate = rate;
  return orgsynth_open_memory(bytes.data(), bytes.size(), &options, nullptr);
}

void SeekFar(benchmark::State& state, FarSong kind, uint64_t frames, uint32_t rate = 0) {
  const std::vector<uint8_t> bytes = FarSongBytes(kind);
  double kept_kilobytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    orgsynth_song* song = OpenFarSong(bytes, rate);
    const size_t opened = HeapInUse();
    state.ResumeTiming();
    orgsynth_seek(song, frames);
    state.PauseTiming();
    kept_kilobytes = static_cast<double>(HeapInUse() - opened) / 1024;
    orgsynth_close(song);
    state.ResumeTiming();
  }
  state.counters["hours_in"] = static_cast<double>(frames) / (rate ? rate : 44100) / 3600;
  state.counters["kB_kept"] = kept_kilobytes;
}

// One song open all along, sought to far targets spread over 10 hours one after another (its
// first seek, untimed, has found where its sound repeats): what every seek after the first costs.
void SeekAgain(benchmark::State& state, FarSong kind, uint32_t rate = 0) {
  const std::vector<uint8_t> bytes = FarSongBytes(kind);
  orgsynth_song* song = OpenFarSong(bytes, rate);
  const uint64_t span = uint64_t{rate ? rate : 44100} * 36000;
  orgsynth_seek(song, span);
  uint64_t target = 0;
  double worst_ms = 0;
  for (auto _ : state) {
    target = (target * 6364136223846793005ull + 1442695040888963407ull);
    const auto started = std::chrono::steady_clock::now();
    orgsynth_seek(song, (target >> 20) % span);
    const std::chrono::duration<double, std::milli> took =
        std::chrono::steady_clock::now() - started;
    worst_ms = std::max(worst_ms, took.count());
  }
  state.counters["worst_ms"] = worst_ms;
  orgsynth_close(song);
}

void BM_SeekDensestSongAgainAndAgain(benchmark::State& state) {
  SeekAgain(state, FarSong::kDensest);
}
void BM_SeekOneStepLoopAgainAndAgain(benchmark::State& state) {
  SeekAgain(state, FarSong::kOneStep);
}

void BM_SeekDensestSongTenHours(benchmark::State& state) {
  SeekFar(state, FarSong::kDensest, 44100ull * 36000);
}
void BM_SeekDensestSong2To40Frames(benchmark::State& state) {
  SeekFar(state, FarSong::kDensest, 1ull << 40);
}
void BM_SeekOneStepLoop2To40Frames(benchmark::State& state) {
  SeekFar(state, FarSong::kOneStep, 1ull << 40);
}
void BM_SeekDriftingSong2To40Frames(benchmark::State& state) {
  SeekFar(state, FarSong::kDrifting, 1ull << 40);
}
void BM_SeekDriftingSongAgainAndAgain(benchmark::State& state) {
  SeekAgain(state, FarSong::kDrifting);
}
void BM_SeekDenseDriftingSong2To40Frames(benchmark::State& state) {
  SeekFar(state, FarSong::kDenseDrifting, 1ull << 40);
}
void BM_SeekDenseDriftingSongAgainAndAgain(benchmark::State& state) {
  SeekAgain(state, FarSong::kDenseDrifting);
}
// At 8001 Hz a tick's place within a frame recurs only every 125 passes of that song, and some
// of its buffers come back to a state only after thousands.
void BM_SeekDenseDriftingSongTenHoursAt8001Hz(benchmark::State& state) {
  SeekFar(state, FarSong::kDenseDrifting, 8001ull * 36000, 8001);
}
void BM_SeekDenseDriftingSongAgainAndAgainAt8001Hz(benchmark::State& state) {
  SeekAgain(state, FarSong::kDenseDrifting, 8001);
}
void BM_SeekOneTrackOnOneKeyTenHoursAt8001Hz(benchmark::State& state) {
  SeekFar(state, FarSong::kOneTrackOnOneKey, 8001ull * 36000, 8001);
}
void BM_SeekOneTrackOnOneKeyAgainAndAgainAt8001Hz(benchmark::State& state) {
  SeekAgain(state, FarSong::kOneTrackOnOneKey, 8001);
}

// The heap one open song holds (after its first render), in kilobytes.
void BM_MemoryPerOpenSong(benchmark::State& state) {
  const std::vector<uint8_t> bytes = SongBytes();
  std::vector<int16_t> block(2 * 4096);
  double kilobytes = 0;
  for (auto _ : state) {
    const size_t before = HeapInUse();
    orgsynth_song* song = orgsynth_open_memory(bytes.data(), bytes.size(), nullptr, nullptr);
    orgsynth_render_s16(song, block.data(), 4096);
    kilobytes = static_cast<double>(HeapInUse() - before) / 1024;
    orgsynth_close(song);
  }
  state.counters["kB_per_song"] = kilobytes;
}

BENCHMARK(BM_Org2wavPath)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CApiS16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CApiS16WithLevels)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CApiF32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CApiS16Tempo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CApiS16Transposed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CApiS16Gains)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CApiS16Notes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SeekToTheLastSecondOfTenMinutes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SeekDensestSongTenHours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SeekDensestSong2To40Frames)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SeekOneStepLoop2To40Frames)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SeekDriftingSong2To40Frames)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SeekDensestSongAgainAndAgain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SeekOneStepLoopAgainAndAgain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SeekDriftingSongAgainAndAgain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SeekDenseDriftingSong2To40Frames)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SeekDenseDriftingSongAgainAndAgain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SeekDenseDriftingSongTenHoursAt8001Hz)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SeekDenseDriftingSongAgainAndAgainAt8001Hz)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SeekOneTrackOnOneKeyTenHoursAt8001Hz)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SeekOneTrackOnOneKeyAgainAndAgainAt8001Hz)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemoryPerOpenSong)->Iterations(3);

}  // namespace
