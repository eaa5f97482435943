#include "model/EqLayout.h"

#include <array>

#include "model/BigEndian.h"
#include "model/ParameterImage.h"
#include "model/SaturatingCast.h"

namespace dsptune {
namespace {

constexpr std::array<EqLayout, kEqCount> kLayouts = {{
    {"Mic A", 15, 15, 15, 0, 1, 0x12},
    {"Mic B", 15, 15, 15, 105, 1, 0x2D},
    {"Echo A", 7, 7, 7, 210, 2, 0x00},
    {"Echo B", 7, 7, 7, 259, 2, 0x0E},
    {"Reverb A", 7, 7, 7, 308, 3, 0x00},
    {"Reverb B", 7, 7, 7, 357, 3, 0x0C},
    {"Music", 10, 10, 11, 406, 4, 0x00},
    {"CH1", 13, 9, 15, 483, 5, 0x00},
    {"CH2", 13, 9, 15, 588, 6, 0x00},
    {"CH3", 13, 9, 15, 693, 7, 0x00},
    {"CH4", 13, 9, 15, 798, 8, 0x00},
    {"CH5", 13, 9, 15, 903, 9, 0x00},
    {"CH6", 13, 9, 15, 1008, 10, 0x00},
    {"CH7", 13, 9, 15, 1113, 11, 0x00},
    {"CH8", 13, 9, 15, 1218, 12, 0x00},
    {"Record", 5, 5, 5, 1323, 13, 0x00},
}};

}  // namespace

const EqLayout& EqLayoutOf(int eq) { return kLayouts[IsEqNumber(eq) ? std::size_t(eq) : 0]; }

int EqBandOffset(int eq, int band) {
  if (IsChannelEq(eq)) return (15 * eq + band - 36) * kBandRecordSize;
  if (IsEqNumber(eq)) return kLayouts[std::size_t(eq)].recordOffset + kBandRecordSize * band;
  return kBandRecordSize * band;
}

BandRecord DecodeBandRecord(const std::uint8_t* p) {
  return BandRecord{GetU16(p), GetU16(p + 2), GetU16(p + 4), p[6]};
}

void EncodeBandRecordBytes(const BandRecord& r, std::uint8_t* p) {
  PutU16(p, r.gainField);
  PutU16(p + 2, r.frequency);
  PutU16(p + 4, r.qField);
  p[6] = r.type;
}

BandRecord MakeBandRecord(float gainDb, int frequencyHz, float q, int type) {
  BandRecord r;
  const double gain = (static_cast<double>(gainDb) + 0.05 + 15.0) * 10.0;
  r.gainField = SaturatingCast<std::uint16_t>(gain);
  r.frequency = static_cast<std::uint16_t>(frequencyHz);
  const float qScaled = q * 1000.0f;
  r.qField = SaturatingCast<std::uint16_t>(qScaled);
  r.type = static_cast<std::uint8_t>(type);
  return r;
}

}  // namespace dsptune
