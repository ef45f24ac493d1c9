#include "tools/assets/score_compiler.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <regex>
#include <sstream>
#include <vector>

namespace assets {
namespace {

struct Word {
  std::string text;
  int line = 0;
};

// The largest step, length or count a score may give (positions are 32-bit in the format).
constexpr int kMaxNumber = 999999999;
// The most words one track may come to once its repeats are written out.
constexpr uint64_t kMaxWords = 1000000;

struct TrackState {
  int64_t cursor = 0;
  int default_steps = 4;
  int gap = 0;
  int transpose = 0;
  int drum_key = 28;
  int pending_volume = org::kNoValue;
  int pending_pan = org::kNoValue;
};

class Compiler {
 public:
  explicit Compiler(CompiledScore* out) : out_(out) {}

  bool Run(const std::string& text, std::string* error) {
    // A UTF-8 byte-order mark, as some editors write one, is not part of the first line.
    const std::string kByteOrderMark = "\xEF\xBB\xBF";
    std::istringstream lines(text.compare(0, 3, kByteOrderMark) == 0 ? text.substr(3) : text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
      ++number;
      line = StripComment(line);
      std::istringstream words(line);
      std::vector<std::string> parts;
      for (std::string w; words >> w;) parts.push_back(w);
      if (parts.empty()) continue;
      if (!Header(parts, number)) {
        if (track_ < 0) return Fail(number, BeforeAnyTrack(parts[0]), error);
        for (const std::string& w : parts) streams_[track_].push_back({w, number});
      }
      if (!error_.empty()) return Fail(error_line_, error_, error);
    }
    for (int t = 0; t < org::kTrackCount; ++t) {
      std::vector<Word> flat;
      size_t at = 0;
      if (!Expand(streams_[t], &at, &flat, false) || !Emit(t, flat))
        return Fail(error_line_, error_, error);
    }
    if (loop_end_is_end_) {
      int64_t end = 0;
      for (int t = 0; t < org::kTrackCount; ++t) end = std::max(end, states_[t].cursor);
      out_->song.loop_end = static_cast<int32_t>(end);
    }
    if (out_->song.loop_end < out_->song.loop_start)
      return Fail(loop_line_, "the loop ends before it starts", error);
    bool any = false;
    for (const org::ParsedSong::Track& track : out_->song.tracks)
      any = any || !track.events.empty();
    if (!any) {
      *error = "the score holds no notes: there is nothing to play";  // the whole score's fault
      return false;
    }
    return true;
  }

 private:
  // What a line before any track line is taken for: a header word mistyped (a word of letters), or
  // stream words that came too early.
  static std::string BeforeAnyTrack(const std::string& first) {
    const bool letters =
        first.size() > 1 && std::all_of(first.begin(), first.end(),
                                        [](unsigned char c) { return std::islower(c) != 0; });
    if (letters)
      return "unknown header word '" + first +
             "': a header line starts with title, file, limit, version, wait, meter, loop or "
             "track";
    return "'" + first + "' before any track line: notes and settings follow 'track T'";
  }

  // A comment starts with '#' at the start of a line or after white space ('#' in F#4 is a sharp).
  static std::string StripComment(const std::string& line) {
    for (size_t i = 0; i < line.size(); ++i)
      if (line[i] == '#' && (i == 0 || std::isspace(static_cast<unsigned char>(line[i - 1]))))
        return line.substr(0, i);
    return line;
  }

  bool Fail(int line, const std::string& message, std::string* error) {
    *error = "line " + std::to_string(line) + ": " + message;
    return false;
  }
  void Error(int line, const std::string& message) {
    if (error_.empty()) {
      error_ = message;
      error_line_ = line;
    }
  }

  // An optional minus sign and at most nine digits: every number fits an int where it is read.
  static bool Number(const std::string& text, int* value) {
    const size_t digits_from = !text.empty() && text[0] == '-' ? 1 : 0;
    const size_t digits = text.size() - digits_from;
    if (digits == 0 || digits > 9) return false;
    for (size_t i = digits_from; i < text.size(); ++i)
      if (text[i] < '0' || text[i] > '9') return false;
    *value = std::atoi(text.c_str());
    return true;
  }
  // A number within [low, high]; otherwise an error naming `what` and the range.
  bool Bounded(const std::string& text, int low, int high, const char* what, int line, int* value) {
    if (Number(text, value) && *value >= low && *value <= high) return true;
    Error(line, std::string(what) + " must be " + std::to_string(low) + " to " +
                    std::to_string(high) + ", not '" + text + "'");
    return false;
  }

  bool Header(const std::vector<std::string>& p, int line) {
    const std::string& key = p[0];
    org::ParsedSong& song = out_->song;
    int a = 0;
    int b = 0;
    auto need = [&](size_t n) {
      if (p.size() < n) Error(line, "'" + key + "' needs " + std::to_string(n - 1) + " values");
      return p.size() >= n;
    };
    if (key == "title") {
      std::string rest;
      for (size_t i = 1; i < p.size(); ++i) rest += (i > 1 ? " " : "") + p[i];
      out_->title = rest;
    } else if (key == "file") {
      if (need(2)) out_->file = p[1];
    } else if (key == "limit") {
      if (need(2)) Bounded(p[1], 0, kMaxNumber, "the time limit", line, &out_->time_limit);
    } else if (key == "version") {
      if (need(2) && Bounded(p[1], 1, 3, "the version", line, &a)) song.version = a;
    } else if (key == "wait") {
      if (need(2) && Bounded(p[1], 1, 65535, "the step length", line, &a))
        song.wait = static_cast<uint16_t>(a);
    } else if (key == "meter") {
      if (need(3) && Bounded(p[1], 1, 255, "the beats per bar", line, &a) &&
          Bounded(p[2], 1, 255, "the steps per beat", line, &b)) {
        song.meter[0] = static_cast<uint8_t>(a);
        song.meter[1] = static_cast<uint8_t>(b);
      }
    } else if (key == "loop") {
      if (!need(3)) return true;
      loop_line_ = line;
      if (Bounded(p[1], 0, kMaxNumber, "the loop start", line, &a)) song.loop_start = a;
      loop_end_is_end_ = p[2] == "end";
      if (!loop_end_is_end_ && Bounded(p[2], 0, kMaxNumber, "the loop end (or 'end')", line, &b))
        song.loop_end = b;
    } else if (key == "track") {
      TrackLine(p, line);
    } else {
      return false;
    }
    return true;
  }

  void TrackLine(const std::vector<std::string>& p, int line) {
    int t = -1;
    if (p.size() < 2 || !Number(p[1], &t) || t < 0 || t >= org::kTrackCount) {
      Error(line, "track number 0..15 expected");
      return;
    }
    track_ = t;
    org::ParsedSong::Track& track = out_->song.tracks[t];
    // Melody tracks take one of the 100 waveforms, drum tracks one of the 28 drums.
    const bool drums = t >= org::kMelodyTracks;
    for (size_t i = 2; i < p.size(); ++i) {
      int value = 0;
      if (p[i] == "oneshot") {
        track.one_shot = 1;
      } else if (p[i] == "wave" || p[i] == "drum" || p[i] == "finetune") {
        if (i + 1 >= p.size()) {
          Error(line, "'" + p[i] + "' needs a value");
        } else if (p[i] == "finetune") {
          if (Bounded(p[i + 1], 0, 65535, "the finetune", line, &value))
            track.finetune = static_cast<uint16_t>(value);
        } else if (Bounded(p[i + 1], 0, drums ? 27 : 99, drums ? "a drum" : "a waveform", line,
                           &value)) {
          track.wave = static_cast<uint8_t>(value);
        }
        ++i;
      } else {
        Error(line, "unknown track setting '" + p[i] +
                        "' (the settings: wave N or drum N, finetune N, oneshot)");
      }
    }
  }

  // Flattens repeats: "[" starts a block closed by "]N".
  bool Expand(const std::vector<Word>& in, size_t* at, std::vector<Word>* out, bool nested) {
    while (*at < in.size()) {
      const Word& w = in[(*at)++];
      if (w.text == "[") {
        std::vector<Word> block;
        if (!Expand(in, at, &block, true)) return false;
        const Word& close = in[*at - 1];
        int times = 1;
        if (!Number(close.text.substr(1), &times) || times < 1) {
          Error(close.line, "a block closes with ]N (N from 1)");
          return false;
        }
        // The size is checked before anything is repeated: a huge N must not take the memory.
        if (block.size() * static_cast<uint64_t>(times) + out->size() > kMaxWords) {
          Error(close.line, "the repeats come to more than " + std::to_string(kMaxWords) +
                                " words on one track");
          return false;
        }
        for (int k = 0; k < times; ++k) out->insert(out->end(), block.begin(), block.end());
      } else if (!w.text.empty() && w.text[0] == ']') {
        if (nested) return true;
        Error(w.line, "']' without '['");
        return false;
      } else {
        out->push_back(w);
      }
    }
    if (nested) Error(in.empty() ? 0 : in.back().line, "'[' without ']'");
    return !nested;
  }

  static int Semitone(char letter) {
    static constexpr int kSemitones[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    return kSemitones[letter - 'A'];
  }

  bool Emit(int t, const std::vector<Word>& words) {
    static const std::regex note("^([A-G])([#b]?)([0-9])(/([0-9]+)(:([0-9]+))?)?$");
    static const std::regex hit("^([xr])(/([0-9]+))?$");
    static const std::regex setting("^([lgvptk@])(-?[0-9]+)$");
    TrackState& s = states_[t];
    for (const Word& w : words) {
      std::smatch m;
      if (w.text == "|") continue;
      if (std::regex_match(w.text, m, setting)) {
        if (!Setting(m[1].str()[0], m[2], w.line, &s)) return false;
      } else if (std::regex_match(w.text, m, note)) {
        int key = (m[3].str()[0] - '0' - 1) * 12 + Semitone(m[1].str()[0]) + s.transpose;
        if (m[2] == "#") ++key;
        if (m[2] == "b") --key;
        if (key < 0 || key > 95) {
          Error(w.line, "'" + w.text + "' is outside the eight octaves");
          return false;
        }
        int steps = s.default_steps;
        if (m[5].matched && !Bounded(m[5], 1, kMaxNumber, "a note's length", w.line, &steps))
          return false;
        int advance = steps;
        if (m[7].matched && !Bounded(m[7], 0, kMaxNumber, "a note's advance", w.line, &advance))
          return false;
        if (!Event(t, w.line, key, steps, advance)) return false;
      } else if (std::regex_match(w.text, m, hit)) {
        int steps = s.default_steps;
        if (m[3].matched && !Bounded(m[3], 1, kMaxNumber, "a length", w.line, &steps)) return false;
        if (m[1] == "x") {
          if (t < org::kMelodyTracks) {
            Error(w.line, "'" + w.text + "' is a drum hit, on melody track " + std::to_string(t) +
                              ": melody tracks play notes such as C4 or F#3/2");
            return false;
          }
          if (!Event(t, w.line, s.drum_key, steps, steps)) return false;
        } else {
          if ((s.pending_volume != org::kNoValue || s.pending_pan != org::kNoValue) &&
              !Event(t, w.line, org::kNoValue, steps, 0))
            return false;
          if (s.cursor + int64_t{steps} > kMaxNumber) {
            Error(w.line, "the track runs past step " + std::to_string(kMaxNumber));
            return false;
          }
          s.cursor += steps;
        }
      } else {
        Error(w.line, "unknown word '" + w.text + "'");
        return false;
      }
    }
    return true;
  }

  // A setting word: each value is checked against what the format can hold.
  bool Setting(char what, const std::string& text, int line, TrackState* s) {
    int value = 0;
    switch (what) {
      case 'l':
        if (!Bounded(text, 1, kMaxNumber, "a default length", line, &value)) return false;
        s->default_steps = value;
        return true;
      case 'g':
        if (!Bounded(text, 0, 254, "a gap", line, &value)) return false;
        s->gap = value;
        return true;
      case 'v':  // 255 is the format's "no change"
        if (!Bounded(text, 0, 254, "a volume", line, &value)) return false;
        s->pending_volume = value;
        return true;
      case 'p':
        if (!Bounded(text, 0, 12, "a pan", line, &value)) return false;
        s->pending_pan = value;
        return true;
      case 't':
        if (!Bounded(text, -95, 95, "a transposition", line, &value)) return false;
        s->transpose = value;
        return true;
      case 'k':
        if (!Bounded(text, 0, 95, "a drum key", line, &value)) return false;
        s->drum_key = value;
        return true;
      case '@':
        if (!Bounded(text, 0, kMaxNumber, "a step", line, &value)) return false;
        s->cursor = value;
        return true;
    }
    return false;
  }

  // Adds an event at the cursor and moves the cursor on by `advance` steps; a key of 255 changes
  // only volume and pan.
  bool Event(int t, int line, int key, int steps, int advance) {
    TrackState& s = states_[t];
    if (s.cursor + int64_t{advance} > kMaxNumber) {
      Error(line, "the track runs past step " + std::to_string(kMaxNumber));
      return false;
    }
    std::vector<org::OrgEvent>& events = out_->song.tracks[t].events;
    if (!events.empty() && events.back().position >= s.cursor) {
      Error(line, "two events of one track at or before step " + std::to_string(s.cursor));
      return false;
    }
    if (events.size() >= org::kNoteCapacity) {
      Error(line, "more than 4096 events on one track");
      return false;
    }
    org::OrgEvent e;
    e.position = static_cast<int32_t>(s.cursor);
    e.key = static_cast<uint8_t>(key);
    e.length = static_cast<uint8_t>(std::clamp(steps - s.gap, 1, 255));
    e.volume = static_cast<uint8_t>(s.pending_volume);
    e.pan = static_cast<uint8_t>(s.pending_pan);
    if (key == org::kNoValue) e.length = 0;
    events.push_back(e);
    s.pending_volume = org::kNoValue;
    s.pending_pan = org::kNoValue;
    s.cursor += advance;
    return true;
  }

  CompiledScore* out_;
  int track_ = -1;
  std::vector<Word> streams_[org::kTrackCount];
  TrackState states_[org::kTrackCount];
  bool loop_end_is_end_ = false;
  int loop_line_ = 0;
  std::string error_;
  int error_line_ = 0;
};

}  // namespace

bool CompileScore(const std::string& text, CompiledScore* out, std::string* error) {
  *out = CompiledScore{};
  out->song.version = 2;
  out->song.wait = 120;
  out->song.meter[0] = 4;
  out->song.meter[1] = 4;
  out->song.loop_end = 0;
  return Compiler(out).Run(text, error);
}

}  // namespace assets
