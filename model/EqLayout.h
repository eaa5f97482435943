#pragma once
// Where each of the 16 equalisers lives: its band records in the live block and the
// DSP block and addresses that receive its biquad coefficients.
#include <cstdint>

namespace dsptune {

inline constexpr int kEqCount = 16;
enum EqNumber : int {
  kEqMicA = 0, kEqMicB = 1, kEqEchoA = 2, kEqEchoB = 3, kEqReverbA = 4, kEqReverbB = 5,
  kEqMusic = 6, kEqCh1 = 7, kEqCh8 = 14, kEqRecord = 15,
};

struct EqLayout {
  const char* name;
  int bandsWritten;   // bands written, reset and resent
  int copyCount;      // bands a copy takes from this EQ as its source
  int recordSlots;    // band-record slots in the live block
  int recordOffset;   // live-block offset of band 0
  std::uint8_t coefficientBlock;
  std::uint8_t firstAddress;  // band b goes to firstAddress + b
};

// Layout of EQ n (0..15). Out-of-range numbers give the Mic A layout; check with IsEqNumber.
const EqLayout& EqLayoutOf(int eq);
inline bool IsEqNumber(int eq) { return eq >= 0 && eq < kEqCount; }
inline bool IsChannelEq(int eq) { return eq >= kEqCh1 && eq <= kEqCh8; }

// Band record (7 bytes): gain (dB + 15) x 10, frequency Hz, Q x 1000 (16-bit BE each), type.
struct BandRecord {
  std::uint16_t gainField = 150;
  std::uint16_t frequency = 1000;
  std::uint16_t qField = 1414;
  std::uint8_t type = 1;

  float GainDb() const { return float(gainField) / 10.0f - 15.0f; }
  float Q() const { return float(qField) / 1000.0f; }
};

BandRecord DecodeBandRecord(const std::uint8_t* bytes);
void EncodeBandRecordBytes(const BandRecord& record, std::uint8_t* bytes);
// Fields from editor values: gain trunc((dB + 0.05 + 15) x 10), Q trunc(Q x 1000) in single
// precision, each held in 0..65535 (not a number gives 0).
BandRecord MakeBandRecord(float gainDb, int frequencyHz, float q, int type);

}  // namespace dsptune
