#include "model/EqBandStore.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "dsp/Biquad.h"
#include "model/BigEndian.h"
#include "model/DebugLog.h"
#include "model/DeviceData.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"

namespace dsptune {
namespace {

constexpr std::uint16_t kMicFreqs[] = {25, 40, 63, 100, 160, 250, 400, 630, 1000, 1600, 2500, 4000, 6300, 10000, 16000};
constexpr std::uint16_t kEffectFreqs[] = {50, 100, 200, 400, 800, 1600, 3200};
constexpr std::uint16_t kMusicFreqs[] = {31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};
constexpr std::uint16_t kChannelFreqs[] = {31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 16000, 16000, 16000, 16000};
constexpr std::uint16_t kRecordFreqs[] = {50, 100, 200, 400, 800};

// The subwoofer layout of a channel EQ: bands 9 and 10 form a 24 dB/octave
// Butterworth low-pass at 100 Hz, bands 11 and 12 stay flat.
constexpr std::uint16_t kSubFreqs[] = {31, 62, 250, 500, 1000, 2000, 4000, 8000, 16000, 100, 100, 100, 100};
constexpr std::uint8_t kSubTypes[] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 18, 20, 1, 1};

void SendDesignedCoefficients(int eq, int band, int type, int frequencyHz, float gainDb, float q, float extraGainDb) {
  const EqLayout& layout = EqLayoutOf(eq);
  const BiquadCoefficients c =
      DesignBiquad(type, static_cast<double>(frequencyHz), gainDb, q, extraGainDb, kDeviceSampleRate);
  SendEqCoefficients(layout.coefficientBlock, std::uint8_t(layout.firstAddress + band), static_cast<float>(-c.a1),
                     static_cast<float>(-c.a2), static_cast<float>(c.b0), static_cast<float>(c.b1),
                     static_cast<float>(c.b2));
}

bool BandInRange(int eq, int band) { return IsEqNumber(eq) && band >= 0 && band < EqLayoutOf(eq).recordSlots; }

}  // namespace

void SendEqCoefficients(std::uint8_t block, std::uint8_t address, float minusA1, float minusA2, float b0, float b1,
                        float b2) {
  std::array<std::uint8_t, 20> words{};
  const float values[] = {minusA1, minusA2, b0, b1, b2};
  for (int i = 0; i < 5; ++i) PutFloat(&words[4 * std::size_t(i)], values[i]);
  SendBandCoefficients(block, address, words);
}

void StoreEqBand(int eq, int band, float gainDb, int frequencyHz, float q, int type) {
  if (!BandInRange(eq, band)) return;
  std::array<std::uint8_t, kBandRecordSize> bytes{};
  EncodeBandRecordBytes(MakeBandRecord(gainDb, frequencyHz, q, type), bytes.data());
  WriteLiveBytes(EqBandOffset(eq, band), bytes);
}

void WriteEqBand(int eq, int band, int type, int frequencyHz, float gainDb, float q, float extraGainDb) {
  if (!BandInRange(eq, band)) return;
  SendDesignedCoefficients(eq, band, type, frequencyHz, gainDb, q, extraGainDb);
  StoreEqBand(eq, band, gainDb, frequencyHz, q, type);
}

void WriteEqBandRecord(int eq, int band, const BandRecord& record) {
  if (!BandInRange(eq, band)) return;
  // No slot is written with extra gain: not the user bands, not the band split's
  // sections, not the loudness dialog's filter.
  SendDesignedCoefficients(eq, band, record.type, record.frequency, record.GainDb(), record.Q(), 0.0f);
  std::array<std::uint8_t, kBandRecordSize> bytes{};
  EncodeBandRecordBytes(record, bytes.data());
  WriteLiveBytes(EqBandOffset(eq, band), bytes);
}

std::span<const std::uint16_t> DefaultEqFrequencies(int eq) {
  if (eq == kEqMicA || eq == kEqMicB) return kMicFreqs;
  if (eq >= kEqEchoA && eq <= kEqReverbB) return kEffectFreqs;
  if (eq == kEqMusic) return kMusicFreqs;
  if (IsChannelEq(eq)) return kChannelFreqs;
  if (eq == kEqRecord) return kRecordFreqs;
  return {};
}

void ResetEqToDefaults(int eq) {
  const auto freqs = DefaultEqFrequencies(eq);
  for (std::size_t b = 0; b < freqs.size(); ++b) WriteEqBand(eq, int(b), kFilterPeq, freqs[b], 0.0f, kDefaultBandQ, 0.0f);
}

void ResetSubChannelEq(int eq) {
  if (!IsChannelEq(eq)) return;
  for (int b = 0; b < 13; ++b) WriteEqBand(eq, b, kSubTypes[b], kSubFreqs[b], 0.0f, kDefaultBandQ, 0.0f);
}

void ReplayEq(int eq) {
  if (!IsEqNumber(eq)) return;
  const EqLayout& layout = EqLayoutOf(eq);
  const std::vector<std::uint8_t> records =
      ReadLiveBytes(EqBandOffset(eq, 0), layout.bandsWritten * kBandRecordSize);
  for (int b = 0; b < layout.bandsWritten; ++b) {
    const BandRecord r = DecodeBandRecord(&records[std::size_t(b) * kBandRecordSize]);
    WriteEqBand(eq, b, r.type, r.frequency, r.GainDb(), r.Q(), 0.0f);
  }
}

int CopyEq(int src, int dst) {
  if (!IsEqNumber(src)) {
    DebugLog("CopyEq src over range");
    return 0;
  }
  if (!IsEqNumber(dst)) {
    DebugLog("CopyEq dst over range");
    return 0;
  }
  const EqLayout& s = EqLayoutOf(src);
  const EqLayout& d = EqLayoutOf(dst);
  int count = IsChannelEq(src) ? 13 : std::min(s.copyCount, d.copyCount);
  count = std::min(count, d.bandsWritten);
  if (src != dst) {
    const std::vector<std::uint8_t> records = ReadLiveBytes(EqBandOffset(src, 0), count * kBandRecordSize);
    StoreLiveBytes(EqBandOffset(dst, 0), records);
  }
  ReplayEq(dst);
  return 1;
}

int CopySourceEq() { return CurrentDeviceData().copySource; }
void SetCopySourceEq(int eq) { CurrentDeviceData().copySource = eq; }

}  // namespace dsptune
