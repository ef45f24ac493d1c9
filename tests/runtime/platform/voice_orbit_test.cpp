#include "runtime/platform/voice_orbit.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

#include "runtime/platform/sound_mixer.h"

namespace {

using platform::FirstMultipleInRange;
using platform::SoundMixer;
using platform::VoiceCallLog;
using platform::VoiceCheckpoint;
using platform::VoiceId;
using platform::VoiceSamples;
using platform::VoiceTravel;

TEST(VoiceOrbitTest, FirstMultipleInRangeIsTheSmallestOfAll) {
  // Every case of small moduli against a search (a * x mod m repeats within m values of x).
  for (uint64_t m = 1; m <= 24; ++m)
    for (uint64_t a = 0; a <= m + 1; ++a)
      for (uint64_t low = 0; low < m; ++low)
        for (uint64_t high = low; high < m; ++high) {
          int64_t expected = -1;
          for (uint64_t x = 0; x < m && expected < 0; ++x)
            if ((a * x) % m >= low && (a * x) % m <= high) expected = static_cast<int64_t>(x);
          ASSERT_EQ(static_cast<int64_t>(FirstMultipleInRange(a, m, low, high)), expected)
              << a << " " << m << " " << low << " " << high;
        }
  // Moduli of the size voices have (a sample count in 32.32): the answer lands in the range
  // and, where it is small enough to search, nothing smaller does.
  std::mt19937_64 random(7);
  int searched = 0;
  for (int round = 0; round < 2000; ++round) {
    const VoiceTravel m = (VoiceTravel{random() % 4096 + 1} << 32) + random() % 4096;
    const VoiceTravel a = random() % static_cast<uint64_t>(m);
    const VoiceTravel low = random() % static_cast<uint64_t>(m);
    const VoiceTravel high = low + random() % (static_cast<uint64_t>(m - low) / 64 + 1);
    const auto x = FirstMultipleInRange(a, m, low, high);
    if (x < 0) continue;
    const VoiceTravel at = (a * static_cast<VoiceTravel>(x)) % m;
    ASSERT_TRUE(at >= low && at <= high) << round;
    if (x > 200000) continue;
    ++searched;
    for (VoiceTravel y = 0; y < static_cast<VoiceTravel>(x); ++y) {
      const VoiceTravel earlier = (a * y) % m;
      ASSERT_FALSE(earlier >= low && earlier <= high) << round;
    }
  }
  EXPECT_GT(searched, 100);
}

VoiceSamples Ramp(uint32_t frames) {
  VoiceSamples samples;
  samples.channels = 1;
  samples.frames = frames;
  samples.samples.resize(frames + 1);
  for (uint32_t i = 0; i <= frames; ++i) samples.samples[i] = static_cast<int16_t>(i % frames * 7);
  return samples;
}

// A stretch of calls, as a song's pass makes them: at frames from its start, on voices by index.
struct Call {
  int64_t frame;
  int voice;
  int kind;  // 0 play looping, 1 play once, 2 stop, 3 position, 4 rate, 5 volume, 6 pan
  int32_t value;
};

struct Stretch {
  int64_t frames;
  std::vector<Call> calls;  // by frame
};

Stretch RandomStretch(std::mt19937& random, int voices) {
  Stretch stretch;
  stretch.frames = 20 + random() % 3000;
  const int calls = static_cast<int>(random() % 24);
  for (int i = 0; i < calls; ++i) {
    Call call;
    call.frame = static_cast<int64_t>(random() % static_cast<uint32_t>(stretch.frames));
    call.voice = static_cast<int>(random() % static_cast<uint32_t>(voices));
    // Plays, stops and rate changes most, as notes do.
    const int kinds[] = {0, 0, 1, 1, 1, 2, 3, 4, 4, 4, 5, 6};
    call.kind = kinds[random() % 12];
    call.value = call.kind == 3   ? static_cast<int32_t>(random() % 300)
                 : call.kind == 4 ? static_cast<int32_t>(2000 + random() % 90000)
                                  : -static_cast<int32_t>(random() % 2000);
    stretch.calls.push_back(call);
  }
  std::stable_sort(stretch.calls.begin(), stretch.calls.end(),
                   [](const Call& a, const Call& b) { return a.frame < b.frame; });
  return stretch;
}

// A mixer with voices of several lengths, playing a few of them from the start.
struct Voices {
  SoundMixer mixer{44100, 16};
  std::vector<VoiceId> ids;
  explicit Voices(std::mt19937& random) {
    for (uint32_t frames : {7u, 64u, 256u, 1000u, 33u}) {
      ids.push_back(mixer.AddVoice(Ramp(frames), 8000 + static_cast<uint32_t>(random() % 40000)));
      if (random() % 2) mixer.Play(ids.back(), random() % 2 == 0);
    }
  }
  void Play(const Stretch& stretch) {
    int64_t at = 0;
    for (const Call& call : stretch.calls) {
      mixer.AdvanceFrames(call.frame - at);
      at = call.frame;
      const VoiceId id = ids[static_cast<size_t>(call.voice)];
      switch (call.kind) {
        case 0:
          mixer.Play(id, true);
          break;
        case 1:
          mixer.Play(id, false);
          break;
        case 2:
          mixer.Stop(id);
          break;
        case 3:
          mixer.SetPosition(id, static_cast<uint32_t>(call.value));
          break;
        case 4:
          mixer.SetFrequency(id, static_cast<uint32_t>(call.value));
          break;
        case 5:
          mixer.SetVolume(id, call.value);
          break;
        default:
          mixer.SetPan(id, call.value);
          break;
      }
    }
    mixer.AdvanceFrames(stretch.frames - at);
  }
  std::vector<VoiceCheckpoint::Voice> Now() {
    VoiceCheckpoint checkpoint;
    mixer.SaveCheckpoint(&checkpoint);
    return checkpoint.voices;
  }
};

TEST(VoiceOrbitTest, RepeatsOfALoggedStretchLeaveEveryVoiceWhereReplayingThemDoes) {
  int turned = 0;  // cases with a voice that plays on through every repeat
  for (uint32_t seed = 0; seed < 300; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 random(seed);
    const Stretch stretch = RandomStretch(random, 5);
    std::mt19937 same_voices = random;
    Voices jumped(random);
    Voices replayed(same_voices);
    const int64_t repeats = seed % 3 == 0 ? 1 + seed % 5 : seed % 3 == 1 ? 311 : 4000;
    jumped.Play(stretch);
    replayed.Play(stretch);
    VoiceCallLog log;
    jumped.mixer.StartCallLog(&log);
    jumped.Play(stretch);
    jumped.mixer.StopCallLog();
    replayed.Play(stretch);
    ASSERT_EQ(jumped.Now(), replayed.Now());
    ASSERT_TRUE(jumped.mixer.RepeatCallLog(log, repeats));
    for (int64_t i = 0; i < repeats; ++i) replayed.Play(stretch);
    ASSERT_EQ(jumped.Now(), replayed.Now());
    for (const VoiceCheckpoint::Voice& voice : replayed.Now()) turned += voice.playing;
    // Both go on alike, and mix alike.
    jumped.Play(stretch);
    replayed.Play(stretch);
    std::vector<int16_t> a(2 * 500), b(2 * 500);
    jumped.mixer.RenderFrames(a.data(), 500, nullptr);
    replayed.mixer.RenderFrames(b.data(), 500, nullptr);
    ASSERT_EQ(a, b);
  }
  EXPECT_GT(turned, 100);
}

// The mixer's voices before and after `repeats` repeats of `log`, which must be worked out.
std::pair<VoiceCheckpoint, VoiceCheckpoint> AroundRepeats(SoundMixer& mixer,
                                                          const VoiceCallLog& log,
                                                          int64_t repeats) {
  std::pair<VoiceCheckpoint, VoiceCheckpoint> around;
  mixer.SaveCheckpoint(&around.first);
  EXPECT_TRUE(mixer.RepeatCallLog(log, repeats));
  mixer.SaveCheckpoint(&around.second);
  return around;
}

// The frame a song's tick falls on at `frames_per_1000_ticks` (its step in ms times the rate):
// rounded to the nearest.
int64_t TickFrame(int64_t tick, int64_t frames_per_1000_ticks) {
  return (tick * frames_per_1000_ticks + 500) / 1000;
}

// A stretch whose calls come at ticks, from tick `first` on: each call at its tick's frame.
void PlayTicks(Voices& voices, const Stretch& stretch, int64_t first, int64_t per_1000) {
  int64_t at = TickFrame(first, per_1000);
  for (const Call& call : stretch.calls) {
    const int64_t frame = TickFrame(first + call.frame, per_1000);
    voices.mixer.AdvanceFrames(frame - at);
    at = frame;
    Stretch one{0, {call}};
    one.calls[0].frame = 0;
    voices.Play(one);
  }
  voices.mixer.AdvanceFrames(TickFrame(first + stretch.frames, per_1000) - at);
}

// The stretch from tick `*tick` on, logged with its ticks as `jumped` plays it and played alike
// by `replayed`; `*tick` moves on past it.
VoiceCallLog LogTicks(Voices& jumped, Voices& replayed, const Stretch& stretch, int64_t* tick,
                      int64_t per_1000) {
  VoiceCallLog log;
  log.CountTicks(static_cast<uint64_t>(per_1000),
                 static_cast<uint32_t>((*tick * per_1000 + 500) % 1000));
  jumped.mixer.StartCallLog(&log);
  PlayTicks(jumped, stretch, *tick, per_1000);
  jumped.mixer.StopCallLog();
  PlayTicks(replayed, stretch, *tick, per_1000);
  *tick += stretch.frames;
  return log;
}

// Where a tick does not fall a whole number of frames after the last (1 ms steps at 44100 Hz
// last 44.1 frames), each repeat of a stretch of ticks starts elsewhere within a frame and its
// calls come a frame earlier or later than in the one logged: repeats worked out from one log
// still leave every voice where replaying each repeat at its own frames does, for voices held
// through every repeat (added up at once), hit afresh in each, or played out by chance, and so
// do the repeats of a later seek from the same place.
TEST(VoiceOrbitTest, RepeatsOfAStretchOfTicksLandWhereEachRepeatFallsWithinAFrame) {
  int turned = 0;
  for (uint32_t seed = 0; seed < 300; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 random(seed);
    Stretch stretch = RandomStretch(random, 5);
    stretch.frames = 2 + stretch.frames % 60;  // ticks now
    for (Call& call : stretch.calls) call.frame %= stretch.frames;
    std::stable_sort(stretch.calls.begin(), stretch.calls.end(),
                     [](const Call& a, const Call& b) { return a.frame < b.frame; });
    const int64_t per_1000_ticks[] = {44100, 8001, 3 * 22050, 11025, 48000, 7 * 12345};
    const int64_t per_1000 = per_1000_ticks[seed % 6];
    std::mt19937 same_voices = random;
    Voices jumped(random);
    Voices replayed(same_voices);
    const int64_t repeats = seed % 3 == 0 ? 1 + seed % 7 : seed % 3 == 1 ? 311 : 2999;
    int64_t tick = 5 + seed % 17;
    PlayTicks(jumped, stretch, tick, per_1000);
    PlayTicks(replayed, stretch, tick, per_1000);
    tick += stretch.frames;
    VoiceCallLog log = LogTicks(jumped, replayed, stretch, &tick, per_1000);
    ASSERT_FALSE(log.spoilt());
    ASSERT_EQ(jumped.Now(), replayed.Now());
    VoiceCheckpoint before;
    jumped.mixer.SaveCheckpoint(&before);
    ASSERT_TRUE(jumped.mixer.RepeatCallLog(log, repeats));
    for (int64_t i = 0; i < repeats; ++i, tick += stretch.frames)
      PlayTicks(replayed, stretch, tick, per_1000);
    ASSERT_EQ(jumped.Now(), replayed.Now());
    for (const VoiceCheckpoint::Voice& voice : replayed.Now()) turned += voice.playing;
    // A later seek from the same place looks its repeats up where the first left off (each
    // voice's orbit is kept with the log): still where replaying puts them.
    const int64_t more = 1 + seed % 250;
    for (int64_t i = 0; i < more; ++i, tick += stretch.frames)
      PlayTicks(replayed, stretch, tick, per_1000);
    ASSERT_TRUE(jumped.mixer.RestoreCheckpoint(before));
    ASSERT_TRUE(jumped.mixer.RepeatCallLog(log, repeats + more));
    ASSERT_EQ(jumped.Now(), replayed.Now()) << "again, " << more << " repeats further";
  }
  EXPECT_GT(turned, 100);
}

// A track's tuning reaches every buffer it has, though at most a few of them sound: the one its
// note holds and the one it let go, played out once. A tuning of a buffer stopped whatever the
// stretch began with (by a stop call, or played out to its end whatever its position) adds no
// mark, so a pass of such notes fits a log; the repeats still land where replaying them does,
// at every place within a frame, for buffers let go that do and do not reach their end before
// they are struck again.
TEST(VoiceOrbitTest, TuningsOfBuffersSurelyStoppedAddNoMarksAndChangeNoRepeat) {
  constexpr int kBuffers = 5;  // the voices of Voices: 7, 64, 256, 1000 and 33 frames
  constexpr int kNotes = 600;
  Stretch stretch;
  stretch.frames = kNotes * 3;  // ticks: a note every three
  for (int note = 0; note < kNotes; ++note) {
    const int64_t tick = note * 3;
    const int held = note % kBuffers;
    const int let_go = (note + kBuffers - 1) % kBuffers;
    stretch.calls.push_back({tick, let_go, 1, 0});  // played out once from where it is
    if (note % 7 == 0) stretch.calls.push_back({tick, (note / 7) % kBuffers, 2, 0});
    for (int buffer = 0; buffer < kBuffers; ++buffer)
      stretch.calls.push_back({tick, buffer, 4, 6000 + 811 * ((note * 5 + buffer) % 37)});
    stretch.calls.push_back({tick, held, 0, 0});  // held, looping
  }
  for (const int64_t per_1000 : {44100, 8001, 48000}) {
    SCOPED_TRACE(per_1000);
    std::mt19937 random(7);
    std::mt19937 same_voices = random;
    Voices jumped(random);
    Voices replayed(same_voices);
    int64_t tick = 3;
    PlayTicks(jumped, stretch, tick, per_1000);
    PlayTicks(replayed, stretch, tick, per_1000);
    tick += stretch.frames;
    VoiceCallLog log = LogTicks(jumped, replayed, stretch, &tick, per_1000);
    ASSERT_FALSE(log.spoilt());
    // Each note marks the buffer held (tuned, played), the one let go (played, tuned) and the
    // longest buffer, which sounds on till it is struck again (tuned): some five marks a note,
    // where marking every tuning makes seven.
    EXPECT_LE(log.marks(), static_cast<size_t>(kNotes * 6));
    ASSERT_EQ(jumped.Now(), replayed.Now());
    for (const int64_t repeats : {1, 2, 13, 400}) {
      SCOPED_TRACE(repeats);
      ASSERT_TRUE(jumped.mixer.RepeatCallLog(log, repeats));
      for (int64_t i = 0; i < repeats; ++i, tick += stretch.frames)
        PlayTicks(replayed, stretch, tick, per_1000);
      ASSERT_EQ(jumped.Now(), replayed.Now());
      // On from there as one more logged stretch would go.
      log = LogTicks(jumped, replayed, stretch, &tick, per_1000);
      ASSERT_FALSE(log.spoilt());
      ASSERT_EQ(jumped.Now(), replayed.Now());
    }
  }
}

// A voice held through ticks that fall 44.1 frames apart turns, over 2^40 repeats, by the frames
// they really span (each repeat's, not the logged one's times 2^40): worked out at once.
TEST(VoiceOrbitTest, AVoiceHeldThroughTicksTurnsByTheFramesTheyReallySpan) {
  SoundMixer mixer(44100, 4);
  const VoiceId voice = mixer.AddVoice(Ramp(256), 31616);
  mixer.Play(voice, true);
  const int64_t ticks = 7;  // one repeat: 308.7 frames
  const int64_t first = 3;
  mixer.AdvanceFrames(TickFrame(first, 44100));
  VoiceCallLog log;
  log.CountTicks(44100, static_cast<uint32_t>((first * 44100 + 500) % 1000));
  mixer.StartCallLog(&log);
  mixer.SetFrequency(voice, 20000);  // at the stretch's first tick
  mixer.AdvanceFrames(TickFrame(first + 2, 44100) - TickFrame(first, 44100));
  mixer.SetFrequency(voice, 31616);  // two ticks in
  mixer.AdvanceFrames(TickFrame(first + ticks, 44100) - TickFrame(first + 2, 44100));
  mixer.StopCallLog();
  ASSERT_FALSE(log.spoilt());
  const int64_t repeats = int64_t{1} << 40;
  const auto [before, after] = AroundRepeats(mixer, log, repeats);
  // Over all repeats: at 20000 Hz from each repeat's start to two ticks in, then at 31616.
  const VoiceTravel slow = platform::StepForRate(20000, 44100);
  const VoiceTravel fast = platform::StepForRate(31616, 44100);
  VoiceTravel slow_frames = 0, fast_frames = 0;
  const int64_t start = first + ticks;
  // Frames of each part summed over the repeats: floor sums, counted over 10 repeats (a tick's
  // place within a frame recurs every 10 repeats of 7 ticks) and the rest.
  for (int64_t j = 0; j < 10; ++j) {
    const int64_t from = start + j * ticks;
    const VoiceTravel times = static_cast<VoiceTravel>(repeats / 10 + (j < repeats % 10 ? 1 : 0));
    slow_frames +=
        times * static_cast<VoiceTravel>(TickFrame(from + 2, 44100) - TickFrame(from, 44100));
    fast_frames += times * static_cast<VoiceTravel>(TickFrame(from + ticks, 44100) -
                                                    TickFrame(from + 2, 44100));
  }
  const VoiceTravel end = VoiceTravel{256} << 32;
  EXPECT_EQ(after.voices[0].position,
            static_cast<uint64_t>((before.voices[0].position + slow * (slow_frames % end) +
                                   fast * (fast_frames % end)) %
                                  end));
  EXPECT_TRUE(after.voices[0].playing);
}

TEST(VoiceOrbitTest, AVoiceLoopingThroughEveryRepeatTurnsByTheWholeTravelAtOnce) {
  SoundMixer mixer(48000, 4);
  const VoiceId voice = mixer.AddVoice(Ramp(256), 31616);
  mixer.Play(voice, true);
  mixer.AdvanceFrames(100);
  VoiceCallLog log;
  mixer.StartCallLog(&log);
  mixer.AdvanceFrames(1763);
  mixer.StopCallLog();
  const int64_t repeats = int64_t{1} << 40;
  const auto [before, after] = AroundRepeats(mixer, log, repeats);
  const VoiceTravel end = VoiceTravel{256} << 32;
  const VoiceTravel travel = VoiceTravel{before.voices[0].step} * 1763 * repeats;
  EXPECT_EQ(after.voices[0].position,
            static_cast<uint64_t>((before.voices[0].position + travel) % end));
  EXPECT_TRUE(after.voices[0].playing);
}

// A drum hit over and over (stopped, put back at its start, played once), beside a held note
// that keeps playing: however many hits a stretch holds, the drum keeps a few marks (a hit makes
// what came before it moot), and repeats of the stretch still leave both where replaying does,
// the drum's last hit included (its tuning and volume are those of that hit).
TEST(VoiceOrbitTest, AVoicePutBackAtItsStartKeepsAFewMarksHoweverOftenItIsHit) {
  SoundMixer jumped_mixer(44100, 4);
  SoundMixer replayed_mixer(44100, 4);
  const auto stretch = [](SoundMixer& mixer, VoiceId drum, VoiceId note, int hits) {
    for (int hit = 0; hit < hits; ++hit) {
      mixer.Stop(drum);
      mixer.SetPosition(drum, 0);
      mixer.SetFrequency(drum, 8000 + 37 * static_cast<uint32_t>(hit % 50));
      mixer.SetVolume(drum, -(hit % 7) * 100);
      mixer.Play(drum, false);
      mixer.AdvanceFrames(41 + hit % 3);
      if (hit % 10 == 0) mixer.Play(note, hit % 20 == 0);
    }
  };
  VoiceId drums[2], notes[2];
  SoundMixer* mixers[2] = {&jumped_mixer, &replayed_mixer};
  for (int i = 0; i < 2; ++i) {
    drums[i] = mixers[i]->AddVoice(Ramp(3000), 22050);
    notes[i] = mixers[i]->AddVoice(Ramp(256), 31616);
    mixers[i]->Play(notes[i], true);
    stretch(*mixers[i], drums[i], notes[i], 7);
  }
  VoiceCallLog log;
  jumped_mixer.StartCallLog(&log);
  stretch(jumped_mixer, drums[0], notes[0], 5000);
  jumped_mixer.StopCallLog();
  stretch(replayed_mixer, drums[1], notes[1], 5000);
  ASSERT_FALSE(log.spoilt());
  ASSERT_EQ(log.voices().size(), 2u);
  EXPECT_LE(log.voices()[0].marks.size(), 5u)
      << "the drum: stopped, put back, tuned, played, the end";
  EXPECT_GE(log.voices()[1].marks.size(), 500u) << "the note, played once or looping by turns";
  const int64_t repeats = 37;
  ASSERT_TRUE(jumped_mixer.RepeatCallLog(log, repeats));
  for (int64_t i = 0; i < repeats; ++i) stretch(replayed_mixer, drums[1], notes[1], 5000);
  VoiceCheckpoint jumped, replayed;
  jumped_mixer.SaveCheckpoint(&jumped);
  replayed_mixer.SaveCheckpoint(&replayed);
  EXPECT_EQ(jumped.voices, replayed.voices);
}

TEST(VoiceOrbitTest, ALogThatNoLongerStandsForTheVoicesMovesNothing) {
  std::mt19937 random(3);
  const Stretch stretch = RandomStretch(random, 5);
  Voices voices(random);
  // A voice made while logging.
  VoiceCallLog spoilt;
  voices.mixer.StartCallLog(&spoilt);
  voices.Play(stretch);
  const VoiceId extra = voices.mixer.AddVoice(Ramp(10), 22050);
  voices.mixer.StopCallLog();
  EXPECT_TRUE(spoilt.spoilt());
  const auto before = voices.Now();
  EXPECT_FALSE(voices.mixer.RepeatCallLog(spoilt, 10));
  EXPECT_EQ(voices.Now(), before);
  // A good log, but a voice released since.
  VoiceCallLog log;
  voices.mixer.StartCallLog(&log);
  voices.Play(stretch);
  voices.mixer.StopCallLog();
  ASSERT_FALSE(log.spoilt());
  voices.mixer.RemoveVoice(extra);
  const auto now = voices.Now();
  EXPECT_FALSE(voices.mixer.RepeatCallLog(log, 10));
  EXPECT_EQ(voices.Now(), now);
}

}  // namespace
