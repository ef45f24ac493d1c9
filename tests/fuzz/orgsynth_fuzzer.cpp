// Fuzzes liborgsynth through its C API, as a player embedding it would drive it. The first eight
// bytes choose how (rate, interpolation, repeat count, fade, muted tracks, where to seek, block
// sizes and sample format); the rest is the song. A song that opens is rendered, seeked, muted and
// rendered again, and asked for its facts, track states and scopes. Invariants: a failed open
// is NULL with a code and a message; a render never gives more frames than asked nor any after
// the end; a seek lands where asked (or on the end); rendering from the same place twice gives
// the same samples.
#include <cstring>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "include/orgsynth.h"

namespace {

constexpr size_t kControlBytes = 8;
constexpr uint32_t kRates[4] = {44100, 8000, 48000, 22050};

struct Control {
  uint32_t rate;
  int interpolation;
  int repeat;
  uint32_t fade_ms;
  uint16_t muted;
  uint8_t seek_at;  // of 255: how far into the render
  uint8_t block;
};

Control ReadControl(const uint8_t* c) {
  Control control;
  control.rate = kRates[c[0] & 3];
  control.interpolation = (c[0] >> 2) & 1;
  control.repeat = static_cast<int>(c[1] % 4) - 1;  // -1 (endless) .. 2
  control.fade_ms = c[2] * 8u;
  control.muted = static_cast<uint16_t>(c[3] | (c[4] << 8));
  control.seek_at = c[5];
  control.block = static_cast<uint8_t>(c[6] | 1);
  return control;
}

// Renders up to `frames` frames in blocks; checks the counts.
std::vector<int16_t> Render(orgsynth_song* song, size_t frames, size_t block, bool as_float) {
  std::vector<int16_t> out;
  std::vector<int16_t> s16(2 * block);
  std::vector<float> f32(2 * block);
  while (out.size() / 2 < frames) {
    const size_t ask = std::min(block, frames - out.size() / 2);
    const size_t got = as_float ? orgsynth_render_f32(song, f32.data(), ask)
                                : orgsynth_render_s16(song, s16.data(), ask);
    if (got > ask) fuzz::Fail("a render gave more frames than asked");
    if (got == 0) break;
    for (size_t i = 0; i < 2 * got; ++i)
      out.push_back(as_float ? static_cast<int16_t>(f32[i] * 1024) : s16[i]);
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kControlBytes) return 0;
  const Control control = ReadControl(data);
  orgsynth_options options{};
  options.size = sizeof options;
  options.sample_rate = control.rate;
  options.interpolation = control.interpolation;
  orgsynth_error error{};
  orgsynth_song* song =
      orgsynth_open_memory(data + kControlBytes, size - kControlBytes, &options, &error);
  if (!song) {
    if (error.code == ORGSYNTH_OK || error.message[0] == '\0')
      fuzz::Fail("a refused song came without a code and a message");
    return 0;
  }
  orgsynth_set_repeat_count(song, control.repeat);
  orgsynth_set_fade(song, control.fade_ms);
  orgsynth_set_levels(song, control.block & 2);
  orgsynth_set_scope_frames(song, 256);
  const bool as_float = (data[7] & 1) != 0;
  const size_t quarter = control.rate / 4;
  Render(song, quarter, control.block, as_float);

  const int64_t length = orgsynth_length(song);
  const uint64_t span = length >= 0 ? static_cast<uint64_t>(length) : 4u * control.rate;
  const uint64_t target = span * control.seek_at / 255;
  for (int t = 0; t < ORGSYNTH_TRACKS; ++t)
    orgsynth_set_track_mute(song, t, (control.muted >> t) & 1);
  orgsynth_seek(song, target);
  if (orgsynth_position(song) != (length >= 0 ? std::min<uint64_t>(target, length) : target))
    fuzz::Fail("a seek did not land where it was asked");
  const std::vector<int16_t> first = Render(song, quarter, control.block, as_float);
  orgsynth_seek(song, target);
  const std::vector<int16_t> again = Render(song, quarter, 997, as_float);
  if (first != again) fuzz::Fail("two renders from the same place differ");
  if (length >= 0 && orgsynth_position(song) > static_cast<uint64_t>(length))
    fuzz::Fail("the render went past the end");

  orgsynth_info info{};
  info.size = sizeof info;
  if (orgsynth_get_info(song, &info) != ORGSYNTH_OK) fuzz::Fail("no info for an open song");
  float scope[256];
  for (int t = 0; t < ORGSYNTH_TRACKS; ++t) {
    orgsynth_track_state state{};
    state.size = sizeof state;
    orgsynth_get_track_state(song, t, &state);
    orgsynth_event events[4];
    orgsynth_get_events(song, t, info.tracks[t].note_count / 2, events, 4);
    fuzz::Consume(static_cast<uint32_t>(orgsynth_get_scope(song, t, scope, 256)));
  }
  orgsynth_close(song);
  return 0;
}
