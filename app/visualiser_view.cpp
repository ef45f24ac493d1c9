#include "app/visualiser_view.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "app/song_clock.h"
#include "app/tiny_font.h"

namespace app {
namespace {

using L = VisualiserLayout;

// Eight melody colours and eight drum colours, bright on black like the game's screen.
constexpr uint8_t kTrackColours[org::kTrackCount][3] = {
    {255, 80, 80},   {255, 160, 64},  {240, 240, 64},  {96, 224, 96},
    {64, 224, 224},  {80, 144, 255},  {176, 112, 255}, {255, 112, 192},
    {192, 160, 128}, {160, 160, 160}, {224, 192, 96},  {128, 192, 160},
    {160, 176, 224}, {208, 144, 160}, {176, 208, 112}, {192, 192, 192},
};

std::string LabelOf(const org::ParsedSong& song, int track) {
  const org::ParsedSong::Track& t = song.tracks[track];
  if (t.events.empty()) return track < org::kMelodyTracks ? std::to_string(track + 1) + " -" : "-";
  if (track < org::kMelodyTracks) return std::to_string(track + 1) + " W" + std::to_string(t.wave);
  const char* name = org::DrumName(t.wave);
  return name ? name : "?";
}

// The first event at or after `step` (events are in step order).
size_t FirstEventFrom(const std::vector<org::OrgEvent>& events, int64_t step) {
  return static_cast<size_t>(
      std::lower_bound(events.begin(), events.end(), step,
                       [](const org::OrgEvent& e, int64_t s) { return e.position < s; }) -
      events.begin());
}

}  // namespace

VisualiserView::VisualiserView(const BitmapFont* font, ColourMap colours)
    : font_(font), colours_(std::move(colours)), scope_(kScopeFrames) {}

uint32_t VisualiserView::TrackColour(int track, bool dim) const {
  const uint8_t* c = kTrackColours[track];
  const int scale = dim ? 90 : 256;  // dimmed: a little over a third
  return colours_(c[0] * scale / 256, c[1] * scale / 256, c[2] * scale / 256);
}

void VisualiserView::Fill(int x, int y, int width, int height, uint32_t pixel) {
  const platform::SurfaceRect rect{x, y, x + width, y + height};
  surface_->Fill(&rect, pixel);
}

void VisualiserView::Draw(platform::PixelSurface* surface, const JukeboxModel& model,
                          VisualiserSource* source, const TrackMutes& mutes) {
  surface_ = surface;
  Fill(0, 0, L::kWidth, L::kHeight, colours_(0, 0, 0));
  const org::ParsedSong* song = source->song();
  const uint32_t dim = colours_(96, 96, 96);
  DrawTinyText(surface_, L::kWidth - 4 - TinyTextWidth("V: GAME SCREEN"), 2, "V: GAME SCREEN", dim);
  if (!song) {
    const char* idle = "NO SONG PLAYS: SPACE PLAYS ONE";
    DrawTinyText(surface_, (L::kWidth - TinyTextWidth(idle)) / 2, 100, idle, dim);
    return;
  }
  const int index = model.current_index();
  if (font_ && index >= 0) font_->DrawFontText(4, 1, model.title(index));
  DrawInfo(model, *song, source);
  DrawRoll(*song, std::max(source->playing_step(), 0), mutes);
  DrawTinyText(surface_, 2, L::kHelpTop,
               "1-8 MUTE  SHIFT DRUMS  CTRL SOLO  0 ALL   ,/. SEEK 5S  HOME LOOP", dim);
  DrawScopes(*song, source, mutes);
}

void VisualiserView::DrawInfo(const JukeboxModel& model, const org::ParsedSong& song,
                              VisualiserSource* source) {
  const int step = std::max(source->playing_step(), 0);
  const int steps_per_beat = std::max<int>(song.meter[1], 1);
  const int steps_per_bar = std::max(song.meter[0] * steps_per_beat, 1);
  const std::string time = SongClockText(model);
  const int time_x = L::kWidth - 2 - TinyTextWidth(time);
  // The fullest line that leaves a gap before the time: long loop points (up to 2^31 - 1) and
  // a long time give way, the loop's steps first, then the pass count.
  char info[160] = {};
  for (int form = 0; form < 3; ++form) {
    if (form == 0)
      std::snprintf(info, sizeof info, "STEP %04d  BAR %03d.%d  LOOP %d  %d-%d", step,
                    step / steps_per_bar + 1, step % steps_per_bar / steps_per_beat + 1,
                    source->loop_count(), song.loop_start, song.loop_end);
    else if (form == 1)
      std::snprintf(info, sizeof info, "STEP %04d  BAR %03d.%d  LOOP %d", step,
                    step / steps_per_bar + 1, step % steps_per_bar / steps_per_beat + 1,
                    source->loop_count());
    else
      std::snprintf(info, sizeof info, "STEP %d", step);
    if (2 + TinyTextWidth(info) + 8 <= time_x) break;
  }
  const uint32_t text = colours_(224, 224, 224);
  DrawTinyText(surface_, 2, L::kInfoTop, info, text);
  DrawTinyText(surface_, time_x, L::kInfoTop, time, text);
}

VisualiserView::KeyRows VisualiserView::KeyRowsOf(const org::ParsedSong& song) {
  int low = 95;
  int high = 0;
  for (int t = 0; t < org::kMelodyTracks; ++t)
    for (const org::OrgEvent& e : song.tracks[t].events)
      if (e.key != org::kNoValue) {
        low = std::min<int>(low, e.key);
        high = std::max<int>(high, e.key);
      }
  if (low > high) low = high = 48;
  const int rows = high - low + 1;
  KeyRows key_rows;
  key_rows.high = high;
  key_rows.pixels = std::clamp(L::kRollHeight / (rows + 2), 1, 4);
  key_rows.top = L::kRollTop + (L::kRollHeight - key_rows.pixels * rows) / 2;
  return key_rows;
}

void VisualiserView::DrawRoll(const org::ParsedSong& song, int64_t now, const TrackMutes& mutes) {
  // Steps in 64 bits: a loop may end at INT32_MAX, and the screen's right edge lies past it.
  const int64_t first = now - L::kPlayX / L::kStepPixels;
  const int64_t last = now + (L::kWidth - L::kPlayX) / L::kStepPixels;
  const int bottom = L::kDrumTop + 8 * L::kDrumLane;
  const int loop_left = std::max(XOfStep(song.loop_start, now), 0);
  const int loop_right = std::min(XOfStep(song.loop_end, now), L::kWidth);
  if (loop_right > loop_left)
    Fill(loop_left, L::kRollTop, loop_right - loop_left, bottom - L::kRollTop,
         colours_(12, 20, 36));
  const int64_t steps_per_bar = std::max(song.meter[0] * song.meter[1], 1);
  for (int64_t s =
           (std::max<int64_t>(first, 0) + steps_per_bar - 1) / steps_per_bar * steps_per_bar;
       s <= last; s += steps_per_bar)
    Fill(XOfStep(s, now), L::kRollTop, 1, bottom - L::kRollTop, colours_(40, 40, 40));
  const KeyRows rows = KeyRowsOf(song);
  const int note_height = std::max(rows.pixels - (rows.pixels > 2), 1);
  for (int track = 0; track < org::kTrackCount; ++track) {
    const std::vector<org::OrgEvent>& events = song.tracks[track].events;
    const bool melody = track < org::kMelodyTracks;
    const bool heard = mutes.audible(track);
    for (size_t i = FirstEventFrom(events, first - (melody ? 256 : 0)); i < events.size(); ++i) {
      const org::OrgEvent& e = events[i];
      if (e.position > last) break;
      if (e.key == org::kNoValue) continue;
      const bool past = int64_t{e.position} + (melody ? e.length : 1) <= now;
      const uint32_t pixel = TrackColour(track, past || !heard);
      const int x = XOfStep(e.position, now);
      if (melody) {
        if (int64_t{e.position} + e.length < first) continue;
        const int width = std::max(e.length * L::kStepPixels - 1, 1);
        Fill(x, rows.Row(e.key), width, note_height, pixel);
      } else {
        Fill(x, L::kDrumTop + (track - org::kMelodyTracks) * L::kDrumLane, L::kStepPixels,
             L::kDrumLane - 1, pixel);
      }
    }
  }
  Fill(L::kPlayX, L::kRollTop, 1, bottom - L::kRollTop, colours_(255, 255, 255));
}

void VisualiserView::DrawScopes(const org::ParsedSong& song, VisualiserSource* source,
                                const TrackMutes& mutes) {
  // The peaks cover the frames mixed since the last screen frame. The sound device mixes in
  // blocks (tens of milliseconds) and the screen draws every 16.7 ms, so a frame drawn between
  // two blocks finds no frame mixed and every peak 0, though the tracks play on: the levels last
  // drawn then stand, and whether a scope is flat is its own signal's say, never the peak's.
  int32_t peaks[org::kTrackCount] = {};
  source->TakePeaks(peaks);
  const bool none_mixed =
      std::all_of(std::begin(peaks), std::end(peaks), [](int32_t peak) { return peak == 0; });
  for (int track = 0; track < org::kTrackCount; ++track) {
    const int x = (track % 8) * L::kScopeWidth;
    const int y = L::kScopesTop + (track / 8) * L::kScopeHeight;
    const int count = source->CopyScope(track, scope_.data(), kScopeFrames);
    const bool sounds = count >= L::kScopeWindow && ScopeSounds(count);
    const int32_t peak = !sounds ? 0 : none_mixed ? held_peaks_[track] : peaks[track];
    held_peaks_[track] = peak;
    DrawScope(track, x, y, LabelOf(song, track).c_str(), sounds ? count : 0, peak, mutes);
  }
}

bool VisualiserView::ScopeSounds(int count) const {
  return std::any_of(scope_.begin(), scope_.begin() + count, [](int32_t v) { return v != 0; });
}

int VisualiserView::RisingZeroCrossing(const int32_t* values, int range) {
  for (int i = 1; i < range; ++i)
    if (values[i - 1] < 0 && values[i] >= 0) return i;
  return 0;
}

void VisualiserView::DrawScope(int track, int x, int y, const char* label, int count, int32_t peak,
                               const TrackMutes& mutes) {
  const bool heard = mutes.audible(track);
  Fill(x, y, L::kScopeWidth - 1, L::kScopeHeight - 1, colours_(16, 16, 16));
  DrawTinyText(surface_, x + 2, y + 2, label,
               heard ? colours_(224, 224, 224) : colours_(96, 96, 96));
  const char* mark = mutes.soloed(track) ? "S" : mutes.muted(track) ? "M" : "";
  DrawTinyText(surface_, x + L::kScopeWidth - 6, y + 2, mark, colours_(255, 255, 255));
  const int middle = y + 8 + (L::kScopeHeight - 14) / 2;
  const int half = (L::kScopeHeight - 16) / 2;
  const int inner = L::kScopeWidth - 3;
  if (count < L::kScopeWindow) {
    Fill(x + 1, middle, inner, 1, TrackColour(track, true));  // flat and dim: silent
  } else {
    // From a rising zero crossing; quiet tracks (drums often) up to eight times larger, so
    // their shape shows, as scope views do.
    const int32_t* values = scope_.data();
    const int start = RisingZeroCrossing(values, count - L::kScopeWindow);
    int32_t loudest = 1;
    for (int i = start; i < start + L::kScopeWindow; ++i)
      loudest = std::max(loudest, std::abs(values[i]));
    const int64_t scale = std::min<int64_t>(8 * 32768, int64_t{32768} * 9 / 10 * 32768 / loudest);
    const uint32_t pixel = TrackColour(track, !heard);
    int previous = 0;
    for (int column = 0; column < inner; ++column) {
      const int64_t value =
          int64_t{values[start + column * L::kScopeWindow / inner]} * scale / 32768;
      const int dy = static_cast<int>(std::clamp<int64_t>(value * half / 32768, -half, half));
      const int row = middle - dy;
      const int top = column == 0 ? row : std::min(row, previous);
      const int height = column == 0 ? 1 : std::abs(row - previous) + 1;
      Fill(x + 1 + column, top, 1, height, pixel);
      previous = row;
    }
  }
  // The level: a bar along the cell's foot (full at half of full scale).
  const int width = static_cast<int>(std::min<int64_t>(int64_t{peak} * inner * 2 / 32768, inner));
  Fill(x + 1, y + L::kScopeHeight - 4, width, 2, TrackColour(track, !heard));
}

}  // namespace app
