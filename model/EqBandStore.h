#pragma once
// The one way an editor changes an equaliser band on the device: the band's biquad
// coefficients (designed here, exactly as the graphs draw them) and its 7-byte band
// record in the live block, both sent at once. Also reset, replay and copy of whole
// equalisers.
#include <array>
#include <cstdint>
#include <span>

namespace dsptune {

struct BandRecord;

// Designs band b of EQ n, sends its coefficients and stores/sends its band record.
void WriteEqBand(int eq, int band, int type, int frequencyHz, float gainDb, float q, float extraGainDb = 0.0f);
// 0x09 0x00 block address 5, then -a1, -a2, b0, b1, b2 as big-endian floats (25 bytes).
void SendEqCoefficients(std::uint8_t block, std::uint8_t address, float minusA1, float minusA2, float b0, float b1,
                        float b2);
// Encodes the band record, copies it into the live block at EqBandOffset(n, b) and sends it with 0x85.
void StoreEqBand(int eq, int band, float gainDb, int frequencyHz, float q, int type);
// Sends band b of EQ n as a stored record holds it: coefficients designed from its decoded
// values as WriteEqBand designs them, then the record's own 7 bytes. Re-encoding the
// decoded values could move Q down one step, and the device must end up holding exactly
// these bytes.
void WriteEqBandRecord(int eq, int band, const BandRecord& record);

void ResetEqToDefaults(int eq);
void ResetSubChannelEq(int eq);
void ReplayEq(int eq);
// Copies the band records of EQ src onto EQ dst and resends dst. 1 on success, 0 on a range error.
int CopyEq(int src, int dst);

// Default frequencies of the user bands of EQ n (type PEQ, 0 dB, Q 1.41).
std::span<const std::uint16_t> DefaultEqFrequencies(int eq);
inline constexpr float kDefaultBandQ = 1.41f;

// The EQ number last copied with "Copy EQ"; -1 until the first copy.
int CopySourceEq();
void SetCopySourceEq(int eq);

}  // namespace dsptune
