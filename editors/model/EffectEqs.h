#pragma once
// The four equalisers that shape the effect returns of the two microphone paths, by
// effect index: 0 Reverb A, 1 Reverb B, 2 Echo A, 3 Echo B. Each index names its EQ
// number, the parameter that bypasses that EQ (an integer, 0 active, 1 bypassed, in the
// reverb block 3 or the echo block 2) and the effect's title in both languages.
#include <cstdint>

namespace dsptune {

inline constexpr int kEffectEqCount = 4;

enum EffectEqIndex : int { kEffectReverbA = 0, kEffectReverbB = 1, kEffectEchoA = 2, kEffectEchoB = 3 };

struct EffectEq {
  int eq;  // EQ number of the band store
  std::uint8_t bypassBlock;
  std::uint8_t bypassAddress;
  const char* englishTitle;
  const char* chineseTitle;  // UTF-8
};

bool IsEffectIndex(int index);
// The row of a valid index; nullptr for any other, so a stray index never reads past
// the table.
const EffectEq* EffectEqOf(int index);
// The EQ's bypass parameter is non-zero (false for an invalid index).
bool EffectEqBypassed(int index);
// Writes the bypass parameter as 1 or 0 and sends it; nothing for an invalid index.
void SetEffectEqBypass(int index, bool bypassed);

}  // namespace dsptune
