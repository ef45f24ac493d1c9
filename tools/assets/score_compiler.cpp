#include "tools/assets/score_compiler.h"

#include <algorithm>
#include <cctype>
#include <regex>
#include <sstream>
#include <vector>

namespace assets {
namespace {

struct Word {
  std::string text;
  int line = 0;
};

struct TrackState {
  int32_t cursor = 0;
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
    std::istringstream lines(text);
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
        if (track_ < 0) return Fail(number, "stream words before any track line", error);
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
      int32_t end = 0;
      for (int t = 0; t < org::kTrackCount; ++t) end = std::max(end, states_[t].cursor);
      out_->song.loop_end = end;
    }
    return true;
  }

 private:
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

  static bool Number(const std::string& text, int* value) {
    if (text.empty()) return false;
    size_t used = 0;
    try {
      *value = std::stoi(text, &used);
    } catch (...) {
      return false;
    }
    return used == text.size();
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
      if (need(2) && !Number(p[1], &out_->time_limit)) Error(line, "bad limit");
    } else if (key == "version") {
      if (need(2) && (!Number(p[1], &a) || a < 1 || a > 3)) Error(line, "version is 1, 2 or 3");
      song.version = a;
    } else if (key == "wait") {
      if (need(2) && (!Number(p[1], &a) || a < 1 || a > 65535)) Error(line, "bad wait");
      song.wait = static_cast<uint16_t>(a);
    } else if (key == "meter") {
      if (need(3) && Number(p[1], &a) && Number(p[2], &b)) {
        song.meter[0] = static_cast<uint8_t>(a);
        song.meter[1] = static_cast<uint8_t>(b);
      }
    } else if (key == "loop") {
      if (!need(3)) return true;
      if (!Number(p[1], &a)) Error(line, "bad loop start");
      song.loop_start = a;
      loop_end_is_end_ = p[2] == "end";
      if (!loop_end_is_end_ && !Number(p[2], &b)) Error(line, "bad loop end");
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
    for (size_t i = 2; i < p.size(); ++i) {
      int value = 0;
      if (p[i] == "oneshot") {
        track.one_shot = 1;
      } else if ((p[i] == "wave" || p[i] == "drum") && i + 1 < p.size() &&
                 Number(p[i + 1], &value)) {
        track.wave = static_cast<uint8_t>(value);
        ++i;
      } else if (p[i] == "finetune" && i + 1 < p.size() && Number(p[i + 1], &value)) {
        track.finetune = static_cast<uint16_t>(value);
        ++i;
      } else {
        Error(line, "unknown track setting '" + p[i] + "'");
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
          Error(close.line, "a block closes with ]N");
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
        const int value = std::stoi(m[2]);
        switch (m[1].str()[0]) {
          case 'l':
            s.default_steps = value;
            break;
          case 'g':
            s.gap = value;
            break;
          case 'v':
            s.pending_volume = value;
            break;
          case 'p':
            s.pending_pan = value;
            break;
          case 't':
            s.transpose = value;
            break;
          case 'k':
            s.drum_key = value;
            break;
          case '@':
            s.cursor = value;
            break;
        }
      } else if (std::regex_match(w.text, m, note)) {
        int key = (m[3].str()[0] - '0' - 1) * 12 + Semitone(m[1].str()[0]) + s.transpose;
        if (m[2] == "#") ++key;
        if (m[2] == "b") --key;
        if (key < 0 || key > 95) {
          Error(w.line, "'" + w.text + "' is outside the eight octaves");
          return false;
        }
        const int steps = m[5].matched ? std::stoi(m[5]) : s.default_steps;
        const int advance = m[7].matched ? std::stoi(m[7]) : steps;
        if (!Event(t, w.line, key, steps, advance)) return false;
      } else if (std::regex_match(w.text, m, hit)) {
        const int steps = m[3].matched ? std::stoi(m[3]) : s.default_steps;
        if (m[1] == "x") {
          if (!Event(t, w.line, s.drum_key, steps, steps)) return false;
        } else {
          if ((s.pending_volume != org::kNoValue || s.pending_pan != org::kNoValue) &&
              !Event(t, w.line, org::kNoValue, steps, 0))
            return false;
          s.cursor += steps;
        }
      } else {
        Error(w.line, "unknown word '" + w.text + "'");
        return false;
      }
    }
    return true;
  }

  // Adds an event at the cursor and moves the cursor on by `advance` steps; a key of 255 changes
  // only volume and pan.
  bool Event(int t, int line, int key, int steps, int advance) {
    TrackState& s = states_[t];
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
    e.position = s.cursor;
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
