#include "model/DerivedRecords.h"

#include <array>
#include <cmath>
#include <span>

#include "model/BigEndian.h"
#include "model/DefaultImage.h"
#include "model/ParameterImage.h"
#include "model/RecordFormulas.h"
#include "model/SaturatingCast.h"

namespace dsptune {
namespace {

template <std::size_t N>
void WriteWords(std::uint8_t block, std::uint8_t address, const std::array<std::uint32_t, N>& words) {
  std::array<std::uint8_t, N * 4> bytes{};
  for (std::size_t i = 0; i < N; ++i) PutU32(&bytes[i * 4], words[i]);
  WriteDspRecord(block, address, bytes, int(N));
}

void WriteWord(std::uint8_t block, std::uint8_t address, std::uint32_t word) {
  WriteWords<1>(block, address, {word});
}

constexpr std::uint8_t kMicBlock = 1;

}  // namespace

void WriteCompressorRecord(CompressorTarget target, int channel, const CompressorValues& v) {
  std::uint8_t block = 4, address = 0x0E;
  if (target == CompressorTarget::Channel) {
    if (channel < 1 || channel > 8) return;
    block = std::uint8_t(channel + 4);
    address = 0x1B;
  } else if (target == CompressorTarget::Record) {
    block = 13;
    address = 0x0A;
  }
  UpdateEditorValues([&](EditorValues& ev) {
    if (target == CompressorTarget::Music) ev.musicCompressor = v;
    else if (target == CompressorTarget::Record) ev.recordLimiter = v;
    else ev.channelLimiters[std::size_t(channel - 1)] = v;
  });
  WriteWords(block, address, CompressorRecordWords(v.threshold, v.ratio, v.attackMs, v.releaseMs));
}

void SetShiftFrequency(int path, int hz) {
  if (path < 0 || path > 1 || hz < 1) return;
  const std::uint8_t increment = path == 0 ? 0x26 : 0x41;
  const std::uint8_t delay = std::uint8_t(increment + 1);
  const std::uint8_t off = std::uint8_t(increment + 2);
  UpdateEditorValues([&](EditorValues& ev) { ev.shiftFrequency[std::size_t(path)] = hz; });
  if (hz == 1) {
    SetParameter(kMicBlock, off, 1);
    return;
  }
  SetParameter(kMicBlock, off, 0);
  WriteWord(kMicBlock, increment, FloatBits(ShiftFrequencyIncrement(hz)));
  WriteWord(kMicBlock, delay, ShiftFrequencyDelaySamples(hz));
}

void WriteMicrophoneSixValueGain(int path, float levelDb) {
  WriteWords(kMicBlock, path == 0 ? 0x2C : 0x47, SixValueGainWords(levelDb, SixValueBlock::Microphone));
}

void WriteChannelSixValueGain(int channel, float levelDb) {
  if (channel < 1 || channel > 8) return;
  WriteWords(std::uint8_t(channel + 4), 0x1D, SixValueGainWords(levelDb, SixValueBlock::OutputChannel));
}

void SetSubwooferDecayLevel(float level) {
  std::array<std::uint8_t, 4> levelBytes{};
  PutFloat(levelBytes.data(), level);
  WriteLiveBytes(kSubDecayLevelOffset, levelBytes);
  float previous = 0.0f;
  UpdateEditorValues([&](EditorValues& ev) {
    ev.subwooferDecayLevel = level;
    ev.subwooferDecayUi = SaturatingCast<int>(level);
    previous = ev.previousDecayLevel;
  });
  const auto record = SixValueGainWords(level, SixValueBlock::Microphone);
  const float g = static_cast<float>(std::pow(10.0, static_cast<double>(level) / 20.0));
  const float h = 1.0f / g;

  // The gains and records are written in an order that never lets the two paths'
  // combined gain jump above the target while the sequence runs; a coalescing queue
  // would reorder or drop steps, so it is held off meanwhile.
  AllowSendCoalescing(false);
  if (level > previous) {
    WriteWord(kMicBlock, 0x44, FloatBits(h));
    WriteWords(kMicBlock, 0x47, record);
    WriteWord(kMicBlock, 0x45, FloatBits(g));
    WriteWord(kMicBlock, 0x29, FloatBits(h));
    WriteWords(kMicBlock, 0x2C, record);
    WriteWord(kMicBlock, 0x2A, FloatBits(g));
  } else {
    WriteWords(kMicBlock, 0x47, record);
    WriteWord(kMicBlock, 0x45, FloatBits(g));
    WriteWord(kMicBlock, 0x44, FloatBits(h));
    WriteWords(kMicBlock, 0x2C, record);
    WriteWord(kMicBlock, 0x2A, FloatBits(g));
    WriteWord(kMicBlock, 0x29, FloatBits(h));
  }
  AllowSendCoalescing(true);
  UpdateEditorValues([&](EditorValues& ev) { ev.previousDecayLevel = level; });
}

void WriteSsvcSettings(const SsvcSettings& s) {
  std::array<std::uint8_t, kSsvcSettingsSize> record{};
  record[0] = std::uint8_t(s.roomWidth);
  record[1] = std::uint8_t(s.roomLength);
  record[2] = EncodeSignedTenths(s.listenerX);
  record[3] = EncodeSignedTenths(s.listenerY);
  for (std::size_t i = 0; i < 8; ++i) {
    record[4 + 2 * i] = EncodeSignedTenths(s.speakers[i][0]);
    record[5 + 2 * i] = EncodeSignedTenths(s.speakers[i][1]);
  }
  UpdateEditorValues([&](EditorValues& ev) { ev.ssvc = s; });
  WriteLiveBytes(kSsvcSettingsOffset, record);
}

void ResetSsvc() {
  const std::array<std::uint8_t, 32> levels{};  // eight 0.0 dB entries
  WriteLiveBytes(kSsvcLevelsOffset, levels);
  for (int c = 1; c <= 8; ++c) WriteChannelSixValueGain(c, 0.0f);
  WriteLiveBytes(kSsvcSettingsOffset, DefaultSsvcSettingsRecord());
  ApplySsvcSettingsRecordToEditor();
}

void SetSsvcLocateSelector(int selector) {
  const std::uint8_t v = std::uint8_t(selector);
  UpdateEditorValues([&](EditorValues& ev) { ev.ssvcLocateSelector = v; });
  WriteLiveBytes(kSsvcLocateOffset, std::span<const std::uint8_t>(&v, 1));
  WriteWord(4, 0x26, v);
}

void SetMusicPitch(int pitch) {
  if (pitch < -5 || pitch > 5) return;
  UpdateEditorValues([&](EditorValues& ev) { ev.musicPitch = pitch; });
  WriteWord(4, 0x15, std::uint32_t(pitch + 5));
}

std::uint8_t InputSourceByte() { return ReadImageBytes(kInputSourceOffset, 1)[0]; }

void SetInputSourceByte(std::uint8_t source) {
  StoreImageBytes(kInputSourceOffset, std::span<const std::uint8_t>(&source, 1));
}

}  // namespace dsptune
