#include "model/WritePlan.h"

#include <algorithm>
#include <span>

#include "model/DerivedRecords.h"
#include "model/EqBandStore.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"

namespace dsptune {
namespace {

// Values one 0x09 frame carries; a longer record would take a frame per 13 values.
constexpr int kValuesPerFrame = 13;

int CeilDiv(int a, int b) { return (a + b - 1) / b; }

int FramesFor(const SettingsDifference& d) {
  switch (d.kind) {
    case DifferenceKind::Parameter: return std::max(1, CeilDiv(d.length / 4, kValuesPerFrame));
    case DifferenceKind::Band: return 2;  // coefficients, then the band record
    case DifferenceKind::LiveRecord:
      // The locate selector also goes to the DSP as block 4 address 0x26.
      return CeilDiv(d.length, kMaxLiveWrite) + (d.offset == kSsvcLocateOffset ? 1 : 0);
    case DifferenceKind::OtherBytes: return 0;
  }
  return 0;
}

void SendItem(const SettingsDifference& d, std::span<const std::uint8_t> value) {
  switch (d.kind) {
    case DifferenceKind::Parameter:
      // Also for the records without a table entry or image link (block 4 0x10, 0x11,
      // 0x15): WriteDspRecord sends them all the same.
      WriteDspRecord(d.block, d.address, value, d.length / 4);
      break;
    case DifferenceKind::Band: WriteEqBandRecord(d.eq, d.band, DecodeBandRecord(value.data())); break;
    case DifferenceKind::LiveRecord:
      if (d.offset == kSsvcLocateOffset) {
        SetSsvcLocateSelector(value[0]);
        break;
      }
      for (int at = 0; at < d.length; at += kMaxLiveWrite)
        WriteLiveBytes(d.offset + at,
                       value.subspan(std::size_t(at), std::size_t(std::min(kMaxLiveWrite, d.length - at))));
      break;
    case DifferenceKind::OtherBytes: break;  // no command writes them alone; only a write job does
  }
}

}  // namespace

WritePlan PlanWrites(const ParameterImageBytes& from, const ParameterImageBytes& to) {
  WritePlan plan;
  plan.items = DiffSettings(from, to);
  for (const SettingsDifference& d : plan.items) {
    plan.frames += FramesFor(d);
    if (d.kind == DifferenceKind::OtherBytes) plan.fullWriteCheaper = true;
  }
  if (plan.frames >= kFullWriteFrames) plan.fullWriteCheaper = true;
  return plan;
}

void SendPlan(const WritePlan& plan, const ParameterImageBytes& to) {
  // Coalescing stays as it is: every write of a plan has its own send-queue key (one per
  // record, band slot and live record), so the queue can only replace an older pending
  // write of the same value, never one of the plan's.
  for (const SettingsDifference& d : plan.items)
    SendItem(d, std::span(to).subspan(std::size_t(d.offset), std::size_t(d.length)));
  LoadSettings(to);
}

void LoadSettings(const ParameterImageBytes& settings) {
  ReplaceImage(settings);
  ApplyImage();
  // ApplyImage leaves the reserved live bytes alone; the working settings must be these
  // there too, or the next comparison finds a difference nothing can send.
  StoreLiveBytes(kApplyCopySize,
                 std::span(settings).subspan(kApplyCopySize, std::size_t(kLiveBlockSize - kApplyCopySize)));
}

}  // namespace dsptune
