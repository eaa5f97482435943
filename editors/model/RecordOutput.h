#pragma once
// The record output page without widgets: the mix fed to the record output (direct
// sound, reverb, echo, music) and its level, the record limiter and its switch, the
// record EQ (EQ 15, five bands) and its bypass. Everything lives in parameter block 13;
// every write goes to the model and the device at once.
#include <array>
#include <cstdint>
#include <string>

#include "editors/model/CompressorControls.h"
#include "dsp/EqBand.h"
#include "model/ParameterLimits.h"

namespace dsptune {

inline constexpr std::uint8_t kRecordBlock = 13;
inline constexpr std::uint8_t kRecordEqBypassAddress = 0x05;
inline constexpr std::uint8_t kRecordLimiterAddress = 0x0A;
// 0 while the record limiter works, 1 while it is switched off.
inline constexpr std::uint8_t kRecordLimiterSwitchAddress = 0x0B;
inline constexpr int kRecordEqNumber = 15;
inline constexpr int kRecordEqBands = 5;

// The five level sliders: the four mix sends (addresses 0x06..0x09) and the record
// level (0x0C). Each is a percentage 0..100.
enum RecordLevel : int { kRecordDirect = 0, kRecordReverb, kRecordEcho, kRecordMusic, kRecordLevel };
inline constexpr int kRecordLevels = 5;
inline constexpr std::array<std::uint8_t, kRecordLevels> kRecordLevelAddresses = {0x06, 0x07, 0x08, 0x09, 0x0C};
inline constexpr int kRecordLevelMax = kLevelRange.MaximumSteps();

// "%d%%".
std::string RecordLevelText(int percent);
// The level's stored percentage, also beyond the slider's 0..100 ("120%").
std::string RecordLevelStoredText(int level);
// Slider position of a level: its UI value held in 0..100 (0 for an unknown level).
int RecordLevelPosition(int level);
// Writes the level's address with the position (held in 0..100) as a percentage.
// An unknown level writes nothing.
void WriteRecordLevel(int level, int position);

// Slider positions of the stored record limiter values: the threshold truncated toward
// zero (as the page has always shown it), ratio x 10, attack and release rounded to the
// nearest step, each held in its slider's range. Rounding matters for values decoded
// from the device's record: a ratio of 4 reads back as 3.9999998, and truncating it
// would show 3.9:1.
CompressorPositions RecordCompressorPositions(const CompressorValues& values);
CompressorPositions RecordCompressorPositions();  // of the stored record limiter

// `values` with one slider's value put in (threshold dB, ratio = position / 10, attack
// or release ms); the position is held in the slider's range. An unknown slider changes
// nothing.
CompressorValues WithCompressorSlider(CompressorValues values, int slider, int position);
// The stored record limiter with the moved slider's value, kept as the record limiter's
// editor values and written as its record (block 13, address 0x0A). Returns the values
// written; an unknown slider writes nothing and returns the stored values.
CompressorValues WriteRecordCompressorSlider(int slider, int position);

bool RecordLimiterOn();                  // address 0x0B holds 0
void WriteRecordLimiterSwitch(bool on);  // 0x0B = 0 when on, 1 when off

bool RecordEqBypassed();  // address 0x05 non-zero
void SetRecordEqBypass(bool bypassed);
// Band `band.index` (0..4; any other is not written) of the record EQ: its coefficients
// to the device, its record to the model and the device. Frequency in whole hertz.
void WriteRecordEqBand(const EqBand& band);
// The five default bands (50, 100, 200, 400, 800 Hz) written and sent.
void ResetRecordEq();

}  // namespace dsptune
