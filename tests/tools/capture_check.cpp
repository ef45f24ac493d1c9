// For the sound-server tests: analyses a raw capture of the output (16-bit stereo at 44100 Hz,
// as parec or SDL's disk driver writes it, or a WAV file of that format).
//   capture_check gaps FILE       the number of runs of 32 or more exactly silent frames between
//                                 the first and the last sounding frame, and the longest run
//   capture_check onsets FILE MS  the onsets of clicks MS apart: their count, the mean and the
//                                 standard deviation of their spacing in milliseconds, and
//                                 the first spacings more than 2 ms off
//   capture_check level FILE FROM TO   the level (dBFS) of the bytes FROM..TO of the capture
//   capture_check pitch FILE FROM TO   their pitch in Hz (rising zero crossings)
//   capture_check silent FILE FROM TO  exit 0 when they are all exactly silent
//   capture_check first FILE      the byte offset of the first sounding frame (exit 1: none)
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kGapFrames = 32;

// The samples of a raw capture, or of a canonical 44-byte-header WAV file such as org2wav writes.
std::vector<int16_t> ReadCapture(const char* path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
  const size_t skip = bytes.size() >= 44 && std::memcmp(bytes.data(), "RIFF", 4) == 0 ? 44 : 0;
  std::vector<int16_t> stereo((bytes.size() - skip) / 4 * 2);
  std::memcpy(stereo.data(), bytes.data() + skip, stereo.size() * 2);
  return stereo;
}

bool Silent(const std::vector<int16_t>& stereo, size_t frame) {
  return stereo[2 * frame] == 0 && stereo[2 * frame + 1] == 0;
}

int Gaps(const std::vector<int16_t>& stereo) {
  const size_t frames = stereo.size() / 2;
  size_t first = 0;
  while (first < frames && Silent(stereo, first)) ++first;
  size_t last = frames;
  while (last > first && Silent(stereo, last - 1)) --last;
  int gaps = 0;
  size_t run = 0;
  size_t longest = 0;
  for (size_t frame = first; frame < last; ++frame) {
    if (Silent(stereo, frame)) {
      if (++run == kGapFrames) ++gaps;
      longest = std::max(longest, run);
    } else {
      run = 0;
    }
  }
  std::printf("sounding %.2f s, gaps of %d or more silent frames: %d, longest %zu\n",
              static_cast<double>(last - first) / kRate, kGapFrames, gaps, longest);
  return gaps == 0 ? 0 : 1;
}

// Onsets: the first loud frame after a quiet spell of `quiet_ms`.
int Onsets(const std::vector<int16_t>& stereo, int period_ms) {
  const double quiet_frames = period_ms / 2.5 * kRate / 1000;
  std::vector<double> onsets;
  double quiet = 1e9;
  for (size_t frame = 0; frame < stereo.size() / 2; ++frame) {
    if (std::abs(stereo[2 * frame]) > 2000) {
      if (quiet > quiet_frames) onsets.push_back(frame * 1000.0 / kRate);
      quiet = 0;
    } else {
      ++quiet;
    }
  }
  if (onsets.size() < 3) {
    std::printf("onsets %zu\n", onsets.size());
    return 1;
  }
  double mean = 0;
  for (size_t i = 1; i < onsets.size(); ++i) mean += onsets[i] - onsets[i - 1];
  mean /= static_cast<double>(onsets.size() - 1);
  double variance = 0;
  for (size_t i = 1; i < onsets.size(); ++i)
    variance += std::pow(onsets[i] - onsets[i - 1] - mean, 2);
  const double deviation = std::sqrt(variance / static_cast<double>(onsets.size() - 1));
  std::printf("onsets %zu mean %.3f sd %.3f", onsets.size(), mean, deviation);
  // Where spacings stray (more than 2 ms from the period): the onset's time and its spacing,
  // so that a failed timing check shows a late click, a stray one or a spread.
  int shown = 0;
  for (size_t i = 1; i < onsets.size() && shown < 8; ++i) {
    const double spacing = onsets[i] - onsets[i - 1];
    if (std::abs(spacing - period_ms) <= 2) continue;
    std::printf("%s %.1f ms (%.1f after the one before)", shown++ == 0 ? " off:" : ",", onsets[i],
                spacing);
  }
  std::printf("\n");
  return 0;
}

// The frames from byte `from` to byte `to` of the capture (clamped to it).
std::vector<int16_t> Span(const std::vector<int16_t>& stereo, long long from, long long to) {
  const long long total = static_cast<long long>(stereo.size()) * 2;
  from = std::clamp(from / 4 * 4, 0LL, total);
  to = std::clamp(to / 4 * 4, from, total);
  return std::vector<int16_t>(stereo.begin() + from / 2, stereo.begin() + to / 2);
}

// The level of the left channel in dB relative to full scale.
int Level(const std::vector<int16_t>& span) {
  double sum = 0;
  const size_t frames = span.size() / 2;
  for (size_t i = 0; i < frames; ++i) sum += static_cast<double>(span[2 * i]) * span[2 * i];
  if (frames == 0 || sum == 0) {
    std::printf("-inf\n");
    return 0;
  }
  std::printf("%.2f\n", 10 * std::log10(sum / static_cast<double>(frames) / (32768.0 * 32768.0)));
  return 0;
}

// The pitch of the left channel in Hz, from its rising zero crossings.
int Pitch(const std::vector<int16_t>& span) {
  std::vector<double> crossings;
  for (size_t i = 1; i < span.size() / 2; ++i) {
    const int a = span[2 * (i - 1)];
    const int b = span[2 * i];
    if (a < 0 && b >= 0) crossings.push_back(static_cast<double>(i - 1) + -a / double(b - a));
  }
  if (crossings.size() < 3) {
    std::printf("0\n");
    return 0;
  }
  const double periods = static_cast<double>(crossings.size() - 1);
  std::printf("%.2f\n", periods * kRate / (crossings.back() - crossings.front()));
  return 0;
}

// 0 when every sample of the span is exactly 0.
int Silent(const std::vector<int16_t>& span) {
  for (int16_t sample : span)
    if (sample != 0) return 1;
  return span.empty() ? 1 : 0;
}

// The byte offset of the first frame that is not exactly silent.
int First(const std::vector<int16_t>& stereo) {
  for (size_t frame = 0; frame < stereo.size() / 2; ++frame) {
    if (!Silent(stereo, frame)) {
      std::printf("%zu\n", frame * 4);
      return 0;
    }
  }
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5) {
    const std::string mode = argv[1];
    const std::vector<int16_t> span =
        Span(ReadCapture(argv[2]), std::atoll(argv[3]), std::atoll(argv[4]));
    if (mode == "level") return Level(span);
    if (mode == "pitch") return Pitch(span);
    if (mode == "silent") return Silent(span);
  }
  if (argc == 3 && std::string(argv[1]) == "gaps") return Gaps(ReadCapture(argv[2]));
  if (argc == 3 && std::string(argv[1]) == "first") return First(ReadCapture(argv[2]));
  if (argc == 4 && std::string(argv[1]) == "onsets")
    return Onsets(ReadCapture(argv[2]), std::atoi(argv[3]));
  std::fprintf(
      stderr,
      "usage: capture_check gaps|first FILE | onsets FILE PERIOD_MS | level|pitch|silent FILE "
      "FROM_BYTE TO_BYTE\n");
  return 2;
}
