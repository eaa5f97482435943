#pragma once
// One band of an equaliser as the EQ graph panel models it: its parameters, its
// computed response and, for a crossover, the sections that run in cascade with it.
#include <array>

namespace dsptune {

struct EqBand {
  float x = 0.0f;  // marker position in pixels from the plot's top-left corner;
  float y = 0.0f;  // refreshed on every paint
  int index = 0;   // position in the owning panel (its slot number)
  int type = 1;    // EqFilterType
  float frequency = 100.0f;  // Hz
  float gain = 0.0f;         // dB
  float q = 1.0f;
  // dB at each point of the response grid (kResponsePoints, see dsp/ResponseGrid.h).
  std::array<float, 512> response{};
  std::array<float, 2> frequencyLimits{20.0f, 20000.0f};  // Hz, min and max for dragging and keys
  std::array<float, 2> gainLimits{-15.0f, 15.0f};         // dB, min and max for dragging, keys, wheel
  int linkedCount = 0;  // 0, or 3 for a cascade head
  int shown = 1;        // 0 hides the marker of a hidden cascade section
  // The cascade sections of a head, nullptr when none. They are sibling bands in the
  // same owner's band array (non-owning); copying a band copies these pointers as they
  // are, so an owner that copies its band array must re-point them.
  std::array<EqBand*, 3> linked{};
};

}  // namespace dsptune
