#include "org/drum_kit.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <numbers>

#include "org/org_format.h"

namespace org {
namespace {

constexpr double kRate = 22050.0;
using Signal = std::vector<double>;

// A deterministic noise source (32-bit linear congruential generator), values in -1..1.
class Noise {
 public:
  explicit Noise(uint32_t seed) : state_(seed) {}
  double Next() {
    state_ = state_ * 1664525u + 1013904223u;
    return static_cast<double>(state_ >> 8) / 8388608.0 - 1.0;
  }

 private:
  uint32_t state_;
};

size_t Samples(double seconds) { return static_cast<size_t>(seconds * kRate); }

double Decay(double t, double time_constant) { return std::exp(-t / time_constant); }

// A sine whose frequency falls exponentially from `start_hz` to `end_hz` with `sweep` seconds.
Signal Sweep(double seconds, double start_hz, double end_hz, double sweep, double decay) {
  Signal out(Samples(seconds));
  double phase = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    const double t = i / kRate;
    const double hz = end_hz + (start_hz - end_hz) * std::exp(-t / sweep);
    phase += 2 * std::numbers::pi * hz / kRate;
    out[i] = std::sin(phase) * Decay(t, decay);
  }
  return out;
}

// Noise through a one-pole high-pass (brightness near 1: only the highest frequencies pass) or
// low-pass (brightness below 0: a darker rumble), with an exponential decay.
Signal NoiseBurst(double seconds, double decay, double brightness, uint32_t seed) {
  Signal out(Samples(seconds));
  Noise noise(seed);
  double low = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    const double n = noise.Next();
    const double coefficient = std::fabs(brightness);
    low += (n - low) * (1 - coefficient);
    const double filtered = brightness >= 0 ? n - low : low * 3;
    out[i] = filtered * Decay(i / kRate, decay);
  }
  return out;
}

// Square waves at inharmonic ratios: the metallic body of cymbals and hats.
Signal Metal(double seconds, double base_hz, double decay, uint32_t seed) {
  static constexpr double kRatios[6] = {1.0, 1.342, 1.2312, 1.6532, 1.9523, 2.1523};
  Signal out(Samples(seconds));
  Noise noise(seed);
  for (size_t i = 0; i < out.size(); ++i) {
    const double t = i / kRate;
    double v = 0;
    for (double ratio : kRatios)
      v += std::sin(2 * std::numbers::pi * base_hz * ratio * t) > 0 ? 1 : -1;
    out[i] = (v / 6 * 0.6 + noise.Next() * 0.4) * Decay(t, decay);
  }
  return out;
}

Signal Add(const Signal& a, const Signal& b, double weight_b = 1.0) {
  Signal out(std::max(a.size(), b.size()), 0.0);
  for (size_t i = 0; i < a.size(); ++i) out[i] += a[i];
  for (size_t i = 0; i < b.size(); ++i) out[i] += b[i] * weight_b;
  return out;
}

// A short linear attack so no sample starts with a click, then the peak scaled to `level`.
std::vector<uint8_t> ToBytes(Signal s, double level = 0.95, double attack = 0.001) {
  const size_t ramp = std::max<size_t>(1, Samples(attack));
  for (size_t i = 0; i < std::min(ramp, s.size()); ++i) s[i] *= static_cast<double>(i) / ramp;
  double peak = 1e-9;
  for (double v : s) peak = std::max(peak, std::fabs(v));
  std::vector<uint8_t> bytes;
  bytes.reserve(s.size());
  for (double v : s)
    bytes.push_back(
        static_cast<uint8_t>(std::clamp(std::lround(v / peak * level * 127) + 128, 1L, 255L)));
  return bytes;
}

Signal Kick(double start_hz, double end_hz, double sweep, double decay, double click) {
  return Add(Sweep(decay * 6, start_hz, end_hz, sweep, decay), NoiseBurst(0.01, 0.002, 0.5, 11),
             click);
}

Signal Snare(double tone_hz, double tone_decay, double noise_decay, double brightness,
             uint32_t seed) {
  return Add(Sweep(tone_decay * 5, tone_hz * 1.5, tone_hz, 0.01, tone_decay),
             NoiseBurst(noise_decay * 5, noise_decay, brightness, seed), 1.2);
}

Signal Tom(double hz, double decay) {
  return Add(Sweep(decay * 5, hz * 1.6, hz, 0.04, decay), NoiseBurst(0.02, 0.005, 0.2, 23), 0.3);
}

// A clap: three quick noise bursts, then a tail.
Signal Clap(uint32_t seed) {
  Signal out(Samples(0.35), 0.0);
  for (int burst = 0; burst < 4; ++burst) {
    const Signal b =
        NoiseBurst(burst < 3 ? 0.012 : 0.3, burst < 3 ? 0.004 : 0.06, 0.6, seed + burst);
    const size_t offset = Samples(0.011 * burst);
    for (size_t i = 0; i < b.size() && offset + i < out.size(); ++i) out[offset + i] += b[i];
  }
  return out;
}

// An orchestral hit: a brass-like chord of saw waves with a sharp attack and a noise smack.
Signal OrchestraHit() {
  static constexpr double kChord[5] = {130.8, 196.0, 261.6, 329.6, 523.3};
  Signal out(Samples(0.6), 0.0);
  for (size_t i = 0; i < out.size(); ++i) {
    const double t = i / kRate;
    double v = 0;
    for (double hz : kChord) v += std::fmod(hz * t * (1 + 0.002 * std::sin(30 * t)), 1.0) * 2 - 1;
    out[i] = v / 5 * Decay(t, 0.15);
  }
  return Add(out, NoiseBurst(0.2, 0.03, 0.3, 77), 0.6);
}

// A bell: inharmonic partials, each with its own long decay.
Signal Bell() {
  static constexpr double kPartials[5][3] = {
      {1.0, 1.0, 1.2}, {2.76, 0.6, 0.7}, {5.40, 0.4, 0.4}, {8.93, 0.25, 0.25}, {13.34, 0.2, 0.15}};
  Signal out(Samples(1.4), 0.0);
  for (size_t i = 0; i < out.size(); ++i) {
    const double t = i / kRate;
    for (const auto& p : kPartials)
      out[i] += std::sin(2 * std::numbers::pi * 880 * p[0] * t) * p[1] * Decay(t, p[2]);
  }
  return out;
}

// A cat's meow: a buzzy source gliding up and down in pitch through a formant that opens from
// "ee" to "ow".
Signal Meow() {
  Signal out(Samples(0.7), 0.0);
  double phase = 0;
  double band = 0;
  double low = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    const double t = i / kRate;
    const double x = t / 0.7;
    const double hz = 550 + 350 * std::sin(std::numbers::pi * std::min(1.0, x * 1.3));
    phase += hz / kRate;
    const double source = std::fmod(phase, 1.0) * 2 - 1;
    // Two-pole resonator whose centre glides from 2600 Hz down to 900 Hz.
    const double centre = 2600 - 1700 * x;
    const double f = 2 * std::sin(std::numbers::pi * centre / kRate);
    low += f * band;
    const double high = source - low - 0.35 * band;
    band += f * high;
    const double envelope =
        std::sin(std::numbers::pi * std::min(1.0, x)) * (x < 0.1 ? x / 0.1 : 1.0);
    out[i] = (band * 0.7 + source * 0.15) * envelope;
  }
  return out;
}

Signal Reversed(Signal s) {
  std::reverse(s.begin(), s.end());
  return s;
}

}  // namespace

std::vector<uint8_t> EncodeDrumWav(const std::vector<uint8_t>& samples, uint32_t rate) {
  std::vector<uint8_t> out;
  auto text = [&](const char* tag) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(tag[i]));
  };
  auto u16 = [&](uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
  };
  auto u32 = [&](uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  };
  const uint32_t length = static_cast<uint32_t>(samples.size());
  text("RIFF");
  u32(50 + length);
  text("WAVE");
  text("fmt ");
  u32(18);
  u16(1);     // PCM
  u16(1);     // mono
  u32(rate);  // samples per second
  u32(rate);  // bytes per second
  u16(1);     // block alignment
  u16(8);     // bits per sample
  u16(0);     // extra size
  text("fact");
  u32(4);
  u32(length);  // sample count
  text("data");
  u32(length);
  out.insert(out.end(), samples.begin(), samples.end());
  return out;
}

namespace {

// The recipe of drum `wave`, as 8-bit samples at 22050 Hz, in the drum table's order.
std::vector<uint8_t> DrumSamples(int wave) {
  switch (wave) {
    case 0:
      return ToBytes(Kick(160, 48, 0.03, 0.09, 0.4));
    case 1:
      return ToBytes(Kick(220, 60, 0.015, 0.06, 0.9));
    case 2:
      return ToBytes(Snare(185, 0.04, 0.07, 0.3, 101));
    case 3:
      return ToBytes(Snare(220, 0.03, 0.1, 0.6, 102));
    case 4:
      return ToBytes(Tom(140, 0.12));
    case 5:
      return ToBytes(Add(Metal(0.08, 420, 0.015, 5), NoiseBurst(0.08, 0.012, 0.9, 6)));
    case 6:
      return ToBytes(Add(Metal(0.45, 420, 0.12, 7), NoiseBurst(0.45, 0.1, 0.9, 8)));
    case 7:
      return ToBytes(Add(NoiseBurst(1.4, 0.45, 0.7, 9), Metal(1.4, 340, 0.35, 10), 0.5));
    case 8:
      return ToBytes(
          Add(Sweep(0.08, 1900, 1700, 0.01, 0.012), Sweep(0.08, 2600, 2500, 0.01, 0.008), 0.5));
    case 9:
      return ToBytes(Clap(201));
    case 10:
      return ToBytes(Kick(110, 45, 0.05, 0.3, 0.2));
    case 11:
      return ToBytes(Tom(190, 0.1));
    case 12:
      return ToBytes(Kick(300, 70, 0.008, 0.035, 1.2));
    case 13:
      return ToBytes(Kick(180, 52, 0.02, 0.12, 0.5), 0.98);
    case 14:
      return ToBytes(Snare(250, 0.02, 0.045, 0.7, 103));
    case 15:
      return ToBytes(Add(Snare(200, 0.03, 0.06, 0.5, 104), Clap(205), 0.8));
    case 16:
      return ToBytes(NoiseBurst(0.06, 0.01, 0.95, 12));
    case 17:
      return ToBytes(NoiseBurst(0.35, 0.09, 0.95, 13));
    case 18:
      return ToBytes(Metal(0.07, 520, 0.012, 14));
    case 19:
      return ToBytes(Metal(0.4, 520, 0.11, 15));
    case 20:
      return ToBytes(Add(NoiseBurst(1.8, 0.6, 0.8, 16), Metal(1.8, 290, 0.5, 17), 0.7));
    case 21:
      return ToBytes(Reversed(Add(NoiseBurst(1.2, 0.35, 0.7, 18), Metal(1.2, 340, 0.3, 19), 0.5)));
    case 22:
      return ToBytes(Add(Metal(1.0, 610, 0.3, 20), Sweep(1.0, 2900, 2900, 1, 0.4), 0.3));
    case 23:
      return ToBytes(Tom(95, 0.15));
    case 24:
      return ToBytes(Tom(260, 0.08));
    case 25:
      return ToBytes(OrchestraHit());
    case 26:
      return ToBytes(Bell(), 0.9, 0.0005);
    case 27:
      return ToBytes(Meow(), 0.9, 0.01);
    default:
      return {};
  }
}

}  // namespace

std::vector<DrumSample> MakeDrumKit() {
  std::vector<DrumSample> out;
  for (int wave = 0; wave < kDrumSampleCount; ++wave)
    out.push_back({std::string(DrumName(wave)) + ".wav", BuiltInDrumWav(wave)});
  return out;
}

const std::vector<uint8_t>& BuiltInDrumWav(int wave) {
  static const std::vector<uint8_t> kNone;
  if (wave < 0 || wave >= kDrumSampleCount) return kNone;
  // Made on first use only: a song uses a few of the 28, and each takes a few milliseconds.
  static std::once_flag made[kDrumSampleCount];
  static std::vector<uint8_t> kit[kDrumSampleCount];
  std::call_once(made[wave], [wave] { kit[wave] = EncodeDrumWav(DrumSamples(wave), 22050); });
  return kit[wave];
}

}  // namespace org
