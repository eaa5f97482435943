#include "model/DefaultImage.h"

#include <initializer_list>

#include "model/BigEndian.h"
#include "model/EqLayout.h"
#include "model/RecordFormulas.h"

namespace dsptune {
namespace {

constexpr std::uint16_t kQ1414 = 1414;
constexpr std::uint16_t kQ0707 = 707;

void PutBand(ParameterImageBytes& image, int eq, int band, std::uint16_t freq, std::uint16_t q,
             std::uint8_t type, std::uint16_t gainField = 150) {
  EncodeBandRecordBytes(BandRecord{gainField, freq, q, type}, &image[std::size_t(EqBandOffset(eq, band))]);
}

void PutBands(ParameterImageBytes& image, int eq, int firstBand, std::initializer_list<std::uint16_t> freqs,
              std::uint16_t q = kQ1414, std::uint8_t type = 1) {
  int band = firstBand;
  for (std::uint16_t f : freqs) PutBand(image, eq, band++, f, q, type);
}

void PutDefaultBands(ParameterImageBytes& image) {
  for (int eq : {kEqMicA, kEqMicB})
    PutBands(image, eq, 0, {25, 40, 63, 100, 160, 250, 400, 630, 998, 1600, 2500, 4000, 6300, 10000, 16000});

  PutBands(image, kEqEchoA, 0, {61, 125, 250, 500, 1000, 2300});
  PutBand(image, kEqEchoA, 6, 5000, kQ0707, 2);

  struct EffectDefaults {
    int eq;
    std::uint16_t lowFreq, highFreq, highGainField;
  };
  for (const EffectDefaults& e : {EffectDefaults{kEqEchoB, 200, 5000, 180}, EffectDefaults{kEqReverbA, 120, 5000, 90},
                                  EffectDefaults{kEqReverbB, 100, 3000, 120}}) {
    PutBand(image, e.eq, 0, e.lowFreq, kQ0707, 3);
    PutBands(image, e.eq, 1, {160, 250, 500, 1000, 2300});
    PutBand(image, e.eq, 6, e.highFreq, kQ0707, 5, e.highGainField);
  }

  PutBands(image, kEqMusic, 0, {31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 16000});
  PutBand(image, kEqMusic, 10, 100, kQ0707, 2);

  constexpr int kEqCh6 = 12;
  for (int eq = kEqCh1; eq <= kEqCh8; ++eq) {
    if (eq == kEqCh6) {
      PutBands(image, eq, 0, {31, 62, 125, 250, 500, 1000, 2000, 4000, 8000});
      PutBand(image, eq, 9, 100, kQ0707, 18);  // 24 dB/octave low-pass at 100 Hz
      PutBand(image, eq, 10, 100, kQ0707, 20);
      PutBands(image, eq, 11, {100, 100}, kQ0707);
    } else {
      PutBands(image, eq, 0, {31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 16000, 16000, 16000, 16000});
    }
    PutBand(image, eq, 13, 500, kQ0707, 1);  // band split high-pass slot
    PutBand(image, eq, 14, 1000, kQ0707, 1);  // band split low-pass slot
  }

  PutBands(image, kEqRecord, 0, {31, 62, 125, 250, 500});
}

ParameterImageBytes BuildDefaultImage() {
  ParameterImageBytes image{};
  PutDefaultBands(image);
  const auto& ssvc = DefaultSsvcSettingsRecord();
  std::copy(ssvc.begin(), ssvc.end(), image.begin() + kSsvcSettingsOffset);
  for (const DspRecordLayout& r : RecordLayout()) {
    std::uint8_t* p = &image[r.offset];
    p[0] = r.block;
    p[1] = r.address;
    p[2] = r.count;
    for (int i = 0; i < r.count; ++i) PutU32(p + 3 + 4 * i, r.defaults[std::size_t(i)]);
  }
  return image;
}

}  // namespace

const std::array<std::uint8_t, kSsvcSettingsSize>& DefaultSsvcSettingsRecord() {
  static constexpr std::array<std::uint8_t, kSsvcSettingsSize> kRecord = {
      0x04, 0x04, 0x00, 0x00, 0x8A, 0x0A, 0x00, 0x0A, 0x0A, 0x0A,
      0x8A, 0x8A, 0x00, 0x8A, 0x0A, 0x8A, 0x85, 0x00, 0x05, 0x00};
  return kRecord;
}

const ParameterImageBytes& DefaultImage() {
  static const ParameterImageBytes image = BuildDefaultImage();
  return image;
}

}  // namespace dsptune
