#pragma once
// The band split of an output channel: a mix pair in the DSP and a high-pass/low-pass
// pair of biquads in band slots 13 and 14 of the channel's EQ.
#include <array>
#include <utility>

namespace dsptune {

// The 26 crossover pairs (high-pass Hz, low-pass Hz): (500 + 100k, 1000 + 100k), k = 0..25.
const std::array<std::pair<int, int>, 26>& CrossoverPairs();

// Channel 1..8; flag 0 = split on, 1 = split off. Writes the mix pair, then rewrites
// slots 13 and 14 with the pair whose high-pass frequency matches slot 13 (the first
// pair when none does), Q 0.707, 0 dB: types 3 and 2 when on, 1 and 1 when off.
void SetOutputBandSplit(int channel, int flag);

}  // namespace dsptune
