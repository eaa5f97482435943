#pragma once
// The DSP record area of the parameter image: 232 records packed from byte 1422 to
// 3518, and the 230-entry parameter table that maps (block, address) to a conversion
// kind, a UI value slot and the record's value bytes. Every loop over parameters,
// the default image and every lookup are driven by this one table.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "model/Conversions.h"

namespace dsptune {

inline constexpr int kRecordCount = 232;
inline constexpr int kParameterCount = 230;
inline constexpr int kMaxRecordValues = 7;

struct DspRecordLayout {
  std::uint8_t block = 0;
  std::uint8_t address = 0;
  std::uint8_t count = 1;            // number of 32-bit values
  ConversionKind kind = ConversionKind::None;
  bool hasEntry = true;              // false for block 4 addresses 0x10 and 0x11
  bool imageLinked = true;           // false for block 4 address 0x15 (music pitch)
  std::uint16_t offset = 0;          // image offset of the record's block byte
  std::array<std::uint32_t, kMaxRecordValues> defaults{};  // default values as 32-bit words

  std::uint16_t ValueOffset() const { return std::uint16_t(offset + 3); }
  int Size() const { return 3 + 4 * count; }
};

struct ParameterEntry {
  std::uint8_t block = 0;
  std::uint8_t address = 0;
  ConversionKind kind = ConversionKind::None;
  int uiSlot = -1;       // index into the UI values; -1 for kind None
  int valueOffset = -1;  // image offset of the first value byte; -1 when not linked
  std::uint8_t count = 1;
};

// The 232 records in image order.
std::span<const DspRecordLayout> RecordLayout();

// The 230 parameter-table entries in image order.
std::span<const ParameterEntry> ParameterTable();

// Index into ParameterTable() or -1.
int FindParameterIndex(std::uint8_t block, std::uint8_t address);
const ParameterEntry* FindParameter(std::uint8_t block, std::uint8_t address);
const DspRecordLayout* FindRecord(std::uint8_t block, std::uint8_t address);

}  // namespace dsptune
