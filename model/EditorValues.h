#pragma once
// Editor-side values that are derived from multi-value records or settings records
// rather than kept in a UI value slot. ApplyImage recomputes them from the image.
#include <array>
#include <cstdint>

#include "model/RecordFormulas.h"

namespace dsptune {

struct SsvcSettings {
  int roomWidth = 4;   // whole metres
  int roomLength = 4;
  float listenerX = 0.0f;  // metres
  float listenerY = 0.0f;
  // Speaker places L, CEN, R, SBL, SUB, SBR, SL, SR as (X, Y) in metres.
  std::array<std::array<float, 2>, 8> speakers{};
};

struct EditorValues {
  SsvcSettings ssvc;
  CompressorValues musicCompressor;
  std::array<CompressorValues, 8> channelLimiters{};
  CompressorValues recordLimiter;
  // Per output channel: 0 = band split on, 1 = split off.
  std::array<int, 8> bandSplitFlag{};
  // Per microphone path A, B: Hz, 1 meaning off.
  std::array<int, 2> shiftFrequency{};
  int musicPitch = 0;               // -5..+5
  float subwooferDecayLevel = 0.0f; // dB, 0 or negative
  float previousDecayLevel = 0.0f;  // the level the last decay sequence ended on
  int subwooferDecayUi = 0;         // integer part of the level
  int ssvcLocateSelector = 0;
};

}  // namespace dsptune
