#include "link/HidReportDescriptor.h"

#include <algorithm>
#include <cstddef>

namespace dsptune {
namespace {

// The global items that size a report; Push and Pop save and restore all of them.
struct GlobalState {
  std::uint32_t reportSizeBits = 0;
  std::uint32_t reportCount = 0;
  std::uint8_t reportId = 0;
};

// Item prefixes with the size bits masked off (HID 1.11, 6.2.2).
constexpr std::uint8_t kInput = 0x80;
constexpr std::uint8_t kOutput = 0x90;
constexpr std::uint8_t kReportSize = 0x74;
constexpr std::uint8_t kReportId = 0x84;
constexpr std::uint8_t kReportCount = 0x94;
constexpr std::uint8_t kPush = 0xA4;
constexpr std::uint8_t kPop = 0xB4;
constexpr std::uint8_t kLongItem = 0xFE;
// Nesting deeper than this is no descriptor a device sends; it only guards the stack.
constexpr std::size_t kMaxPushDepth = 32;

std::uint32_t ItemData(std::span<const std::uint8_t> bytes) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) value |= std::uint32_t(bytes[i]) << (8 * i);
  return value;
}

int BytesOf(std::uint64_t bits) { return int(std::min<std::uint64_t>((bits + 7) / 8, 1u << 20)); }

}  // namespace

const HidReportSizes* HidReportLayout::Find(std::uint8_t id) const {
  for (const HidReportSizes& r : reports)
    if (r.id == id) return &r;
  return nullptr;
}

HidReportLayout ParseReportDescriptor(std::span<const std::uint8_t> descriptor) {
  HidReportLayout layout;
  if (descriptor.empty()) return layout;
  layout.numbering = ReportNumbering::Unnumbered;

  struct Bits {
    std::uint8_t id;
    std::uint64_t input = 0, output = 0;
  };
  std::vector<Bits> bits;
  const auto bitsOf = [&bits](std::uint8_t id) -> Bits& {
    for (Bits& b : bits)
      if (b.id == id) return b;
    return bits.emplace_back(Bits{id});
  };

  GlobalState global;
  std::vector<GlobalState> stack;
  std::size_t i = 0;
  while (i < descriptor.size()) {
    const std::uint8_t prefix = descriptor[i];
    if (prefix == kLongItem) {
      if (i + 1 >= descriptor.size()) break;
      i += 3 + std::size_t(descriptor[i + 1]);  // prefix, data size, long tag, data
      continue;
    }
    const std::size_t size = (prefix & 3) == 3 ? 4 : (prefix & 3);
    if (i + 1 + size > descriptor.size()) break;
    const std::uint32_t data = ItemData(descriptor.subspan(i + 1, size));
    i += 1 + size;
    switch (prefix & 0xFC) {
      case kReportSize: global.reportSizeBits = data; break;
      case kReportCount: global.reportCount = data; break;
      case kReportId:
        global.reportId = std::uint8_t(data);
        layout.numbering = ReportNumbering::Numbered;
        break;
      case kPush:
        if (stack.size() < kMaxPushDepth) stack.push_back(global);
        break;
      case kPop:
        if (!stack.empty()) {
          global = stack.back();
          stack.pop_back();
        }
        break;
      case kInput: bitsOf(global.reportId).input += std::uint64_t(global.reportSizeBits) * global.reportCount; break;
      case kOutput: bitsOf(global.reportId).output += std::uint64_t(global.reportSizeBits) * global.reportCount; break;
      default: break;
    }
  }
  for (const Bits& b : bits) layout.reports.push_back({b.id, BytesOf(b.input), BytesOf(b.output)});
  return layout;
}

std::string DescribeOpenedDevice(const std::string& path, const HidReportLayout& layout, std::uint8_t outputId) {
  std::string line = "USB device " + path + " opened: ";
  if (layout.numbering == ReportNumbering::Unknown)
    return line + "report descriptor unreadable, numbering taken from each report's length\n";

  const bool numbered = layout.numbering == ReportNumbering::Numbered;
  line += numbered ? "numbered reports" : "unnumbered reports";
  for (const HidReportSizes& r : layout.reports) {
    line += numbered ? "; report " + std::to_string(r.id) + ": input " : "; input ";
    line += std::to_string(r.inputBytes) + " bytes, output " + std::to_string(r.outputBytes) + " bytes";
  }
  const HidReportSizes* out = layout.Find(outputId);
  if (!numbered || !out || out->outputBytes == 0)
    line += "; unexpected: no output report with id " + std::to_string(outputId) + ", trying anyway";
  return line + "\n";
}

}  // namespace dsptune
