// Our own waveform bank: 100 single-period waveforms of 256 signed 8-bit samples (25600 bytes,
// the layout of Org\Wave100.dat). The recipe, by waveform number:
//   0       sine
//   1..3    triangle, rising saw, falling saw
//   4..11   pulses of duty 50, 43.75, 37.5, 31.25, 25, 18.75, 12.5 and 6.25 %
//   12..19  stepped and folded shapes: quantised sines (2..5 bits), a rectified sine, a
//           half-wave sine, a clipped sine and a staircase saw
//   20..59  additive spectra: organ registrations, brass (all harmonics, falling slowly),
//           reeds and clarinets (odd harmonics), strings (saw with softened top), flutes (a few
//           low harmonics), and bell-like tables (strong upper partials)
//   60..79  mixtures: pulse-plus-sine, saw-plus-square, phase-offset pairs, formant-like vowels
//   80..99  noise-like tables from a fixed pseudo-random sequence, from raw to heavily smoothed
// Every table is scaled so that its peak is 100 (of ±127), so waveforms play at like loudness.
#pragma once

#include <cstdint>
#include <vector>

namespace assets {

std::vector<uint8_t> MakeWaveBank();

}  // namespace assets
