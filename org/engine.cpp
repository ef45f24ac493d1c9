#include "org/engine.h"

#include <algorithm>
#include <cstdint>

#include "org/drum_kit.h"
#include "org/replay_checkpoints.h"
#include "org/song_loop.h"
#include "runtime/platform/mixing_sound_device.h"
#include "runtime/platform/offline_audio_output.h"

namespace org {
namespace {

// A song's own device holds its 128 melody buffers and 8 drum slots, with room to spare.
constexpr int kOwnDeviceVoices = 160;

}  // namespace

DrumProvider BuiltInDrums() {
  return [](int, int drum, std::vector<uint8_t>* bytes) {
    const std::vector<uint8_t>& wav = BuiltInDrumWav(drum);
    if (wav.empty()) return false;
    *bytes = wav;
    return true;
  };
}

Engine::Engine(platform::SoundDevice* device) { SetDevice(device); }

std::unique_ptr<Engine> Engine::Offline(int rate, bool nearest) {
  platform::OfflineOutputOptions options;
  options.caps.max_secondary_rate = static_cast<uint32_t>(rate);
  std::unique_ptr<platform::MixingSoundDevice> device = platform::MixingSoundDevice::Create(
      std::make_unique<platform::OfflineAudioOutput>(options), {}, kOwnDeviceVoices);
  if (!device) return nullptr;
  device->mixer().SetSingleThreaded(true);  // the engine is one thread's at a time
  device->CreatePrimaryBuffer();            // the mixer's output rate becomes `rate`
  device->mixer().SetInterpolation(nearest ? platform::Interpolation::kNearest
                                           : platform::Interpolation::kLinear);
  auto engine = std::make_unique<Engine>(device.get());
  engine->own_device_ = std::move(device);
  return engine;
}

Engine::~Engine() { ReleaseVoices(); }

void Engine::SetWaveBank(std::shared_ptr<const WaveBank> bank) {
  checkpoints_.reset();
  melody_.SetBank(std::move(bank));
}

void Engine::SetDevice(platform::SoundDevice* device) {
  checkpoints_.reset();
  device_ = device;
  melody_.SetDevice(device);
  drums_.SetDevice(device);
  if (!device) return;
  const uint32_t muted = muted_tracks_.load(std::memory_order_relaxed);
  for (int t = 0; t < kTrackCount; ++t) device->SetGroupMuted(t, (muted >> t) & 1u);
}

LoadReport Engine::Load(const uint8_t* data, size_t size, const DrumProvider& drums) {
  LoadReport report;
  ParsedSong parsed;
  const ParseResult parse = ParseOrgSong(data, size, &parsed);
  if (parse != ParseResult::kOk) {
    report.status = parse == ParseResult::kNotOrg ? LoadStatus::kNotOrg : LoadStatus::kDamaged;
    return report;
  }
  song_ = std::move(parsed);
  checkpoints_.reset();
  for (int t = 0; t < kMelodyTracks; ++t)
    melody_.Make(t, song_.tracks[t].wave, song_.tracks[t].one_shot);
  std::vector<uint8_t> bytes;
  for (int slot = 0; slot < kDrumSlots; ++slot) {
    LoadReport::Drum& drum = report.drums[slot];
    const int wave = song_.tracks[kMelodyTracks + slot].wave;
    drum.drum = DrumFileName(wave) ? wave : -1;
    if (!device_) continue;  // no device: nothing is made, nothing asked for
    drums_.Release(slot);
    if (drum.drum < 0) continue;  // a drum number outside the table: no drum on this track
    bytes.clear();
    drum.provided = drums && drums(slot, wave, &bytes);
    if (drum.provided) drum.result = drums_.Load(bytes.data(), bytes.size(), slot);
  }
  SeekStep(0);
  at_load_ = {sequencer_.state(), melody_.playing_state(), sequencer_.activity()};
  last_played_.store(-1, std::memory_order_relaxed);
  ResetLoopCount();
  return report;
}

void Engine::SetEmptySong(const ParsedSong& song) {
  checkpoints_.reset();
  song_ = song;
  for (ParsedSong::Track& track : song_.tracks) track.events.clear();
}

void Engine::Tick() {
  // Playback has returned to the loop start when the step after a loop-back begins (not when
  // the pass's last step does), and only once it had been there: a loop start below 0 or past
  // the loop end is entered by the first jump, not returned to.
  if (loopback_pending_) {
    loopback_pending_ = false;
    if (loop_entered_) AddLoopCount(1);
    loop_entered_ = true;
  }
  last_played_.store(sequencer_.state().play_step, std::memory_order_relaxed);
  loopback_pending_ = sequencer_.Tick(song_, master_volume_, melody_, drums_);
  PublishStep();
}

void Engine::ResetLoopCount() {
  loop_count_.store(0, std::memory_order_relaxed);
  loopback_pending_ = false;
  loop_entered_ = LoopOf(song_).start_reached_by_stepping;
}

int64_t Engine::SkipIdleSteps(int64_t limit) {
  const int64_t steps = sequencer_.IdleStepsAhead(song_, melody_, limit);
  if (steps <= 0) return 0;
  sequencer_.SkipIdleSteps(steps);
  last_played_.store(sequencer_.state().play_step - 1, std::memory_order_relaxed);
  PublishStep();
  return steps;
}

void Engine::EndNotes() {
  for (int track = 0; track < kMelodyTracks; ++track) melody_.EndNote(track);
}

void Engine::ReleaseVoices() {
  melody_.ReleaseAll();
  drums_.ReleaseAll();
}

void Engine::Rewind() {
  if (own_device_) own_device_->mixer().ResetAllVoices();
  sequencer_.mutable_state() = at_load_.sequencer;
  sequencer_.RestoreActivity(at_load_.activity);
  melody_.RestorePlayingState(at_load_.melody);
  SeekStep(0);
  ResetLoopCount();
  last_played_.store(-1, std::memory_order_relaxed);
}

void Engine::SetTrackMuted(int track, bool muted) {
  if (track < 0 || track >= kTrackCount) return;
  const uint32_t bit = 1u << track;
  if (muted) {
    muted_tracks_.fetch_or(bit, std::memory_order_relaxed);
  } else {
    muted_tracks_.fetch_and(~bit, std::memory_order_relaxed);
  }
  if (device_) device_->SetGroupMuted(track, muted);
}

bool Engine::track_muted(int track) const {
  return track >= 0 && track < kTrackCount &&
         (muted_tracks_.load(std::memory_order_relaxed) >> track) & 1u;
}

void Engine::SeekStep(int32_t step) {
  sequencer_.Seek(song_, step);
  PublishStep();
}

TrackState Engine::track_state(int track) const {
  TrackState state;
  if (track < 0 || track >= kTrackCount) return state;
  const SequencerState& s = sequencer_.state();
  const TrackActivity& activity = sequencer_.activity();
  if (activity.pan[track] != kNoValue) state.pan = activity.pan[track];
  if (track < kMelodyTracks) {
    state.key = melody_.current_key(track);
    state.volume = s.track_volume[track];
  } else {
    const int slot = track - kMelodyTracks;
    if (drums_.IsSounding(slot)) state.key = activity.drum_key[slot];
    state.volume = s.drum_volume[slot];
  }
  return state;
}

void Engine::ResetSequencer() {
  checkpoints_.reset();
  SequencerState& state = sequencer_.mutable_state();
  state = SequencerState{};
  for (int t = 0; t < kTrackCount; ++t)
    state.cursor[t] = static_cast<int32_t>(song_.tracks[t].events.size());
  sequencer_.ClearActivity();
  master_volume_.store(127, std::memory_order_relaxed);
  ResetLoopCount();
  published_step_.store(0, std::memory_order_relaxed);
  at_load_ = {sequencer_.state(), melody_.playing_state(), sequencer_.activity()};
}

Engine::Snapshot Engine::Now() const {
  return {{sequencer_.state(), melody_.playing_state(), sequencer_.activity()},
          loopback_pending_,
          loop_entered_,
          last_played_.load(std::memory_order_relaxed),
          master_volume_.load(std::memory_order_relaxed)};
}

void Engine::SaveSnapshot() { snapshot_ = Now(); }

bool Engine::SameAsNow(const Snapshot& kept) const {
  const Snapshot now = Now();
  return now.carried.sequencer == kept.carried.sequencer &&
         now.carried.melody == kept.carried.melody &&
         now.carried.activity == kept.carried.activity &&
         now.loopback_pending == kept.loopback_pending && now.loop_entered == kept.loop_entered &&
         now.last_played == kept.last_played && now.master_volume == kept.master_volume;
}

bool Engine::MatchesSnapshot() const { return SameAsNow(snapshot_); }

bool Engine::Matches(const SavedState& state) const { return SameAsNow(state.snapshot); }

Engine::SavedState Engine::Save() const {
  return {Now(), loop_count_.load(std::memory_order_relaxed)};
}

void Engine::Restore(const SavedState& state, int64_t passes) {
  const Snapshot& s = state.snapshot;
  sequencer_.mutable_state() = s.carried.sequencer;
  sequencer_.RestoreActivity(s.carried.activity);
  melody_.RestorePlayingState(s.carried.melody);
  loopback_pending_ = s.loopback_pending;
  loop_entered_ = s.loop_entered;
  last_played_.store(s.last_played, std::memory_order_relaxed);
  const int64_t count = std::clamp<int64_t>(int64_t{state.loop_count} + passes, 0, INT32_MAX);
  loop_count_.store(static_cast<int32_t>(count), std::memory_order_relaxed);
  PublishStep();
}

void Engine::SetReplayCheckpoints(std::unique_ptr<ReplayCheckpoints> checkpoints) {
  checkpoints_ = std::move(checkpoints);
}

void Engine::AddLoopCount(int64_t passes) {
  const int64_t count = int64_t{loop_count_.load(std::memory_order_relaxed)} + passes;
  loop_count_.store(static_cast<int32_t>(std::min<int64_t>(count, INT32_MAX)),
                    std::memory_order_relaxed);
}

void Engine::PublishStep() {
  published_step_.store(sequencer_.state().play_step, std::memory_order_relaxed);
}

}  // namespace org
