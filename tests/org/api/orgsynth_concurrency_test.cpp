// Different songs render at the same time on different threads: eight songs on eight threads give
// exactly what the same songs give one after another (also run under ThreadSanitizer).
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "include/orgsynth.h"
#include "test_support/golden_renders.h"

namespace {

struct Job {
  std::string song;
  uint32_t rate;
  int muted_track;  // -1: none
};

std::vector<int16_t> Render(const Job& job) {
  std::ifstream in(PROJECT_SOURCE_DIR "/data/Org/" + job.song + ".org", std::ios::binary);
  const std::vector<uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
  orgsynth_options options{};
  options.size = sizeof options;
  options.sample_rate = job.rate;
  orgsynth_song* song = orgsynth_open_memory(bytes.data(), bytes.size(), &options, nullptr);
  if (!song) return {};
  if (job.muted_track >= 0) orgsynth_set_track_mute(song, job.muted_track, 1);
  orgsynth_set_scope_frames(song, 512);
  // Twenty seconds, in blocks the size an audio callback asks for, a seek on the way.
  std::vector<int16_t> out(2 * 20 * job.rate);
  size_t done = 0;
  while (done < 20u * job.rate) {
    const size_t frames = std::min<size_t>(1024, 20u * job.rate - done);
    done += orgsynth_render_s16(song, out.data() + 2 * done, frames);
    if (done == 8u * job.rate) orgsynth_seek(song, done);  // a seek to where it is changes nothing
    orgsynth_track_state state{};
    state.size = sizeof state;
    orgsynth_get_track_state(song, 0, &state);
  }
  orgsynth_close(song);
  return out;
}

TEST(OrgsynthConcurrencyTest, EightSongsOnEightThreadsEqualTheSameSongsOneByOne) {
  const std::vector<std::string> names = test_support::DemoSongNames();
  std::vector<Job> jobs;
  for (const std::string& name : names) jobs.push_back({name, 44100, -1});
  jobs.push_back({names[0], 48000, 3});
  jobs.push_back({names[4], 22050, 9});
  ASSERT_EQ(jobs.size(), 8u);

  std::vector<std::vector<int16_t>> one_by_one;
  for (const Job& job : jobs) one_by_one.push_back(Render(job));
  std::vector<std::vector<int16_t>> at_once(jobs.size());
  std::vector<std::thread> threads;
  for (size_t i = 0; i < jobs.size(); ++i)
    threads.emplace_back([&, i] { at_once[i] = Render(jobs[i]); });
  for (std::thread& thread : threads) thread.join();
  for (size_t i = 0; i < jobs.size(); ++i) {
    ASSERT_FALSE(one_by_one[i].empty()) << jobs[i].song;
    EXPECT_EQ(at_once[i], one_by_one[i]) << jobs[i].song << " at " << jobs[i].rate;
  }
}

// The same with every interactive control of its own on each song: a tempo, a transposition, a
// track fade and a master fade, notes over the song started and stopped, loop events asked for
// in every block, as a game's audio callback does.
std::vector<int16_t> RenderSteered(const std::string& name, int index) {
  std::ifstream in(PROJECT_SOURCE_DIR "/data/Org/" + name + ".org", std::ios::binary);
  const std::vector<uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
  orgsynth_song* song = orgsynth_open_memory(bytes.data(), bytes.size(), nullptr, nullptr);
  if (!song) return {};
  orgsynth_set_tempo_factor(song, 0.75 + 0.25 * index);
  orgsynth_set_transpose(song, index - 4, 10 * index);
  orgsynth_set_transpose_drums(song, index % 2);
  orgsynth_set_track_gain(song, index % 8, 0.2, 1500);
  constexpr size_t kFrames = 12 * 44100;
  std::vector<int16_t> out(2 * kFrames);
  size_t done = 0;
  int voice = -1;
  while (done < kFrames) {
    const size_t frames = std::min<size_t>(512, kFrames - done);
    const int64_t loop = orgsynth_next_loop_frame(song);
    if (loop >= 0 && static_cast<uint64_t>(loop) < done + frames)
      orgsynth_set_track_gain(song, 8 + index % 8, 0.0, 300);  // a section change on the loop
    done += orgsynth_render_s16(song, out.data() + 2 * done, frames);
    if (done % (44100 / 2) < 512) {
      if (voice >= 0) orgsynth_stop_note(song, voice);
      voice = orgsynth_play_note(song, static_cast<int>(done / 512) % 16, 30 + index, 180, 6);
    }
    if (done == 512 * 40) orgsynth_set_track_gain(song, ORGSYNTH_MASTER, 0.6, 2000);
    if (done == 512 * 300) orgsynth_set_tempo_factor(song, 1.5);
    (void)orgsynth_get_loop_pass(song);
  }
  orgsynth_close(song);
  return out;
}

TEST(OrgsynthConcurrencyTest, EightSongsWithTheirOwnControlsOnEightThreadsEqualThemOneByOne) {
  const std::vector<std::string> names = test_support::DemoSongNames();
  std::vector<std::vector<int16_t>> one_by_one;
  for (int i = 0; i < 8; ++i) one_by_one.push_back(RenderSteered(names[i % names.size()], i));
  std::vector<std::vector<int16_t>> at_once(8);
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i)
    threads.emplace_back([&, i] { at_once[i] = RenderSteered(names[i % names.size()], i); });
  for (std::thread& thread : threads) thread.join();
  for (int i = 0; i < 8; ++i) {
    ASSERT_FALSE(one_by_one[i].empty());
    EXPECT_EQ(at_once[i], one_by_one[i]) << "song " << i;
  }
}

}  // namespace
