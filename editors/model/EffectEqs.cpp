#include "editors/model/EffectEqs.h"

#include "model/EqLayout.h"
#include "model/ParameterImage.h"

namespace dsptune {
namespace {

constexpr EffectEq kEffectEqs[kEffectEqCount] = {
    {kEqReverbA, 3, 7, "REVERB A", "混响A效果"},
    {kEqReverbB, 3, 19, "REVERB B", "混响B效果"},
    {kEqEchoA, 2, 7, "ECHO A", "回声A效果"},
    {kEqEchoB, 2, 21, "ECHO B", "回声B效果"},
};

}  // namespace

bool IsEffectIndex(int index) { return index >= 0 && index < kEffectEqCount; }

const EffectEq* EffectEqOf(int index) { return IsEffectIndex(index) ? &kEffectEqs[index] : nullptr; }

bool EffectEqBypassed(int index) {
  const EffectEq* effect = EffectEqOf(index);
  return effect && UiValue(effect->bypassBlock, effect->bypassAddress) != 0;
}

void SetEffectEqBypass(int index, bool bypassed) {
  if (const EffectEq* effect = EffectEqOf(index))
    SetParameter(effect->bypassBlock, effect->bypassAddress, bypassed ? 1 : 0);
}

}  // namespace dsptune
