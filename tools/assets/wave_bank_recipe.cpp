#include "tools/assets/wave_bank_recipe.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>

namespace assets {
namespace {

constexpr int kLength = 256;
constexpr double kPeak = 100.0;
using Table = std::vector<double>;

double Phase(int i) { return 2.0 * std::numbers::pi * i / kLength; }

Table Shape(const std::function<double(double)>& f) {
  Table t(kLength);
  for (int i = 0; i < kLength; ++i) t[i] = f(static_cast<double>(i) / kLength);
  return t;
}

// Sum of harmonics: amplitude of harmonic h (1-based) and an optional phase per harmonic.
Table Additive(const std::vector<double>& amplitudes, double phase_step = 0.0) {
  Table t(kLength, 0.0);
  for (size_t h = 0; h < amplitudes.size(); ++h)
    for (int i = 0; i < kLength; ++i)
      t[i] += amplitudes[h] * std::sin(Phase(i) * static_cast<double>(h + 1) + phase_step * h);
  return t;
}

Table Pulse(double duty) {
  return Shape([duty](double x) { return x < duty ? 1.0 : -1.0; });
}

// A deterministic sequence for the noise tables (a 32-bit linear congruential generator).
Table Noise(uint32_t seed) {
  Table t(kLength);
  for (double& v : t) {
    seed = seed * 1664525u + 1013904223u;
    v = static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
  }
  return t;
}

// Circular moving average over `width` samples.
Table Smooth(const Table& in, int width) {
  Table out(kLength, 0.0);
  for (int i = 0; i < kLength; ++i) {
    for (int k = -width / 2; k <= width / 2; ++k) out[i] += in[(i + k + kLength) % kLength];
    out[i] /= (width / 2) * 2 + 1;
  }
  return out;
}

Table Mix(const Table& a, const Table& b, double weight_b) {
  Table out(kLength);
  for (int i = 0; i < kLength; ++i) out[i] = a[i] * (1.0 - weight_b) + b[i] * weight_b;
  return out;
}

std::vector<Table> Recipe() {
  std::vector<Table> bank;
  const Table sine = Shape([](double x) { return std::sin(2 * std::numbers::pi * x); });
  const Table saw = Shape([](double x) { return x < 0.5 ? 2 * x : 2 * x - 2; });
  // 0..3: sine, triangle, rising and falling saw.
  bank.push_back(sine);
  bank.push_back(Shape([](double x) {
    return x < 0.25 ? 4 * x : x < 0.75 ? 2 - 4 * x : 4 * x - 4;
  }));
  bank.push_back(saw);
  bank.push_back(Shape([](double x) { return x < 0.5 ? -2 * x : 2 - 2 * x; }));
  // 4..11: pulses.
  for (int k = 0; k < 8; ++k) bank.push_back(Pulse(0.5 - k / 16.0));
  // 12..19: stepped and folded.
  for (int bits = 2; bits <= 5; ++bits) {
    const double levels = (1 << bits) / 2.0;
    bank.push_back(Shape([levels](double x) {
      return std::round(std::sin(2 * std::numbers::pi * x) * levels) / levels;
    }));
  }
  bank.push_back(
      Shape([](double x) { return std::fabs(std::sin(2 * std::numbers::pi * x)) * 2 - 1; }));
  bank.push_back(
      Shape([](double x) { return std::max(0.0, std::sin(2 * std::numbers::pi * x)) * 2 - 0.6; }));
  bank.push_back(Shape(
      [](double x) { return std::clamp(std::sin(2 * std::numbers::pi * x) * 2.5, -1.0, 1.0); }));
  bank.push_back(Shape([](double x) { return std::floor(x * 8) / 4 - 1; }));
  // 20..27: organ registrations (drawbar-like sets of harmonics).
  const std::vector<std::vector<double>> organs = {
      {1, 1, 1, 0, 0, 0, 0, 1},     {1, 0.8, 0, 0.6, 0, 0, 0, 0.5}, {1, 0, 0.7, 0, 0, 0.5},
      {1, 1, 0.8, 0.6, 0, 0.4},     {0.5, 1, 0, 0.7, 0, 0.3},       {1, 0.2, 0.9, 0.1, 0.5},
      {1, 0.6, 0.6, 0.6, 0.6, 0.6}, {1, 0, 0, 1, 0, 0, 0, 1}};
  for (const auto& set : organs) bank.push_back(Additive(set));
  // 28..35: brass, all harmonics falling as 1/h^p with growing brightness.
  for (int k = 0; k < 8; ++k) {
    std::vector<double> amplitudes;
    for (int h = 1; h <= 16; ++h) amplitudes.push_back(1.0 / std::pow(h, 1.6 - k * 0.12));
    bank.push_back(Additive(amplitudes));
  }
  // 36..43: reeds and clarinets, odd harmonics.
  for (int k = 0; k < 8; ++k) {
    std::vector<double> amplitudes;
    for (int h = 1; h <= 15; ++h)
      amplitudes.push_back(h % 2 ? 1.0 / std::pow(h, 1.0 + k * 0.15) : 0.0);
    bank.push_back(Additive(amplitudes));
  }
  // 44..51: strings, a saw with its top softened, and phase-shifted harmonics.
  for (int k = 0; k < 8; ++k) {
    std::vector<double> amplitudes;
    for (int h = 1; h <= 20; ++h) amplitudes.push_back(std::exp(-h * (0.08 + k * 0.03)) / h * 2);
    bank.push_back(Additive(amplitudes, 0.3 * k));
  }
  // 52..55: flutes, a few low harmonics.
  bank.push_back(Additive({1, 0.1}));
  bank.push_back(Additive({1, 0.25, 0.05}));
  bank.push_back(Additive({1, 0, 0.15}));
  bank.push_back(Additive({1, 0.4, 0.2, 0.1}));
  // 56..59: bell-like, strong upper partials.
  bank.push_back(Additive({1, 0, 0.8, 0, 0, 0.6, 0, 0, 0, 0.4}));
  bank.push_back(Additive({0.6, 0, 0, 1, 0, 0, 0.5, 0, 0, 0, 0.4}));
  bank.push_back(Additive({1, 0.5, 0, 0, 0.7, 0, 0, 0, 0.5, 0, 0, 0.3}));
  bank.push_back(Additive({0.4, 1, 0, 0, 0, 0.8, 0, 0, 0, 0, 0, 0.6}));
  // 60..79: mixtures.
  for (int k = 0; k < 5; ++k) bank.push_back(Mix(Pulse(0.125 + k * 0.08), sine, 0.5));
  for (int k = 0; k < 5; ++k) bank.push_back(Mix(saw, Pulse(0.5), 0.2 + k * 0.15));
  for (int k = 0; k < 5; ++k) {
    bank.push_back(Shape([k](double x) {
      return std::sin(2 * std::numbers::pi * x) +
             0.7 * std::sin(2 * std::numbers::pi * x * 2 + k * 0.8);
    }));
  }
  // Vowel-like: a pulse train shaped by one resonance at harmonic 3, 5, 7, 9, 11.
  for (int k = 0; k < 5; ++k) {
    std::vector<double> amplitudes;
    const double formant = 3 + 2 * k;
    for (int h = 1; h <= 16; ++h)
      amplitudes.push_back(1.0 / (1.0 + std::pow((h - formant) / 1.5, 2)) + (h == 1 ? 0.6 : 0));
    bank.push_back(Additive(amplitudes));
  }
  // 80..99: noise tables, from raw to smooth.
  for (int k = 0; k < 20; ++k) {
    const Table noise = Noise(0x5EED0000u + static_cast<uint32_t>(k) * 7919u);
    bank.push_back(k < 5 ? noise : Smooth(noise, 1 + (k - 4) * 2));
  }
  return bank;
}

}  // namespace

std::vector<uint8_t> MakeWaveBank() {
  std::vector<uint8_t> bytes;
  bytes.reserve(100 * kLength);
  for (Table table : Recipe()) {
    // Centre, then scale to the common peak.
    double mean = 0;
    for (double v : table) mean += v / kLength;
    double peak = 1e-9;
    for (double& v : table) peak = std::max(peak, std::fabs(v -= mean));
    for (double v : table) {
      const long sample = std::lround(v / peak * kPeak);
      bytes.push_back(static_cast<uint8_t>(static_cast<int8_t>(std::clamp(sample, -127L, 127L))));
    }
  }
  return bytes;
}

}  // namespace assets
