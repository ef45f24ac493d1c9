// The runtime's random numbers: the MT19937 Mersenne Twister with its 1998 seeding, handing out
// tempered words from blocks of 624 made in bulk. Start-up seeds it from the clock; the jukebox
// draws from it to shuffle. Main thread only (not locked).
#pragma once

#include <cstdint>

namespace runtime {

// Seeds the generator (the 1998 initialisation). The words already tempered are still handed
// out; RegenerateRandom makes the first block from the new state.
void SeedRandom(uint32_t seed);

// Twists the state and tempers a new block of 624 words; the next draw takes word 0.
void RegenerateRandom();

// A uniformly distributed integer in 0..max (max >= -1; -1 gives 0). Seeds with 4357 when a block
// is needed and the generator was never seeded.
int RandomUpTo(int max);

// The tempered word at `index` (0..623) of the current block, for tests.
uint32_t RandomBlockWord(int index);

// Back to the state at process start (tests).
void ResetRandom();

}  // namespace runtime
