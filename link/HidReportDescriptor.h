#pragma once
// What a HID report descriptor declares about the reports the device exchanges: whether
// they are numbered (carry a report id in front) and how long each input and output
// report is. Pure; the hidapi backend feeds it the descriptor hidraw publishes.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace dsptune {

enum class ReportNumbering { Unknown, Numbered, Unnumbered };

// One report the descriptor declares. Sizes are in bytes without the report id byte,
// rounded up from the declared bits; 0 when the report has no input (or output) fields.
struct HidReportSizes {
  std::uint8_t id = 0;  // 0 when the descriptor numbers no reports
  int inputBytes = 0;
  int outputBytes = 0;
};

struct HidReportLayout {
  // Unknown when the descriptor was empty or could not be read.
  ReportNumbering numbering = ReportNumbering::Unknown;
  std::vector<HidReportSizes> reports;  // in the order of each report's first field

  // The report with this id, or null. Unnumbered descriptors hold one report, id 0.
  const HidReportSizes* Find(std::uint8_t id) const;
};

// Walks the descriptor's items (short and long, Push/Pop included). A descriptor cut
// short in the middle of an item keeps what was declared before the cut.
HidReportLayout ParseReportDescriptor(std::span<const std::uint8_t> descriptor);

// The one debug line that says what was opened, for the first contact with a device
// whose reports go out with report id outputId: path, numbering, the declared sizes,
// and "unexpected" when no output report with that id is declared.
std::string DescribeOpenedDevice(const std::string& path, const HidReportLayout& layout, std::uint8_t outputId);

}  // namespace dsptune
