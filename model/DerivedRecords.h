#pragma once
// Routines that turn editor values into multi-value records, records written to
// several addresses in order, and settings records of the live block.
#include <cstdint>

#include "model/EditorValues.h"

namespace dsptune {

// Music compressor (block 4, 0x0E), channel limiters (block c + 4, 0x1B) and the
// record limiter (block 13, 0x0A): stores the editor values and writes the 7-value record.
enum class CompressorTarget { Music, Channel, Record };
void WriteCompressorRecord(CompressorTarget target, int channel, const CompressorValues& values);

// Shift frequency of microphone path 0 (A) or 1 (B); f = 1 switches it off.
void SetShiftFrequency(int path, int hz);

// Six-value gain record of path A (block 1 0x2C), path B (0x47) or an output channel (0x1D).
void WriteMicrophoneSixValueGain(int path, float levelDb);
void WriteChannelSixValueGain(int channel, float levelDb);

// Subwoofer decay level in dB (0 or negative): the live-block value and the six-record
// sequence whose order depends on whether the level rises or falls.
void SetSubwooferDecayLevel(float levelDb);

// SSVC settings record from the SSVC editor values, stored at live offset 1390 and sent.
void WriteSsvcSettings(const SsvcSettings& settings);
// Rewrites the eight SSVC levels, every channel's six-value record and the settings record with defaults.
void ResetSsvc();
// SSVC locate selector (8 = none): live byte 1414, then block 4 address 0x26 as an integer.
void SetSsvcLocateSelector(int selector);

// Music pitch -5..+5, written as the integer record 00 00 00 (p + 5) at block 4 address 0x15.
void SetMusicPitch(int pitch);

// The input-source byte (image offset 2017) that a model clamp corrects after a file load.
std::uint8_t InputSourceByte();
void SetInputSourceByte(std::uint8_t source);

}  // namespace dsptune
