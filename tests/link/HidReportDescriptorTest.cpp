#include "link/HidReportDescriptor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dsptune {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The device's own layout: vendor page, report 2 with 60 bytes each way.
const Bytes kVendorReport2 = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x02, 0x75, 0x08, 0x95, 0x3C,
                              0x09, 0x01, 0x81, 0x02, 0x09, 0x01, 0x91, 0x02, 0xC0};

TEST(HidReportDescriptor, DeclaredReportsAndTheirSizes) {
  struct Row {
    const char* name;
    Bytes descriptor;
    ReportNumbering numbering;
    std::vector<HidReportSizes> reports;
  };
  const Row rows[] = {
      {"empty: nothing known", {}, ReportNumbering::Unknown, {}},
      {"numbered, report 2 both ways", kVendorReport2, ReportNumbering::Numbered, {{2, 60, 60}}},
      {"unnumbered, 64 bytes both ways",
       {0x06, 0x00, 0xFF, 0xA1, 0x01, 0x75, 0x08, 0x96, 0x40, 0x00, 0x81, 0x02, 0x91, 0x02, 0xC0},
       ReportNumbering::Unnumbered,
       {{0, 64, 64}}},
      {"keyboard report 1 beside report 2; fields of one report add up",
       {0x05, 0x01, 0xA1, 0x01, 0x85, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x75, 0x08, 0x95, 0x06, 0x81, 0x00,
        0x75, 0x01, 0x95, 0x05, 0x91, 0x02, 0xC0, 0x06, 0x00, 0xFF, 0xA1, 0x01, 0x85, 0x02, 0x75, 0x08, 0x95, 0x3C,
        0x81, 0x02, 0x91, 0x02, 0xC0},
       ReportNumbering::Numbered,
       {{1, 7, 1}, {2, 60, 60}}},
      {"Push and Pop restore size, count and id",
       {0x85, 0x02, 0x75, 0x08, 0x95, 0x3C, 0xA4, 0x85, 0x03, 0x75, 0x01, 0x95, 0x03, 0x81, 0x02, 0xB4, 0x91, 0x02},
       ReportNumbering::Numbered,
       {{3, 1, 0}, {2, 0, 60}}},
      {"Pop without Push and a cut-off last item are harmless",
       {0xB4, 0x75, 0x08, 0x95, 0x3C, 0x81, 0x02, 0x96, 0x01},
       ReportNumbering::Unnumbered,
       {{0, 60, 0}}},
      {"long item skipped whole", {0xFE, 0x02, 0x10, 0x85, 0x02, 0x75, 0x08, 0x95, 0x02, 0x81, 0x02},
       ReportNumbering::Unnumbered, {{0, 2, 0}}},
      {"4-byte report count", {0x75, 0x08, 0x97, 0x10, 0x00, 0x00, 0x00, 0x91, 0x02}, ReportNumbering::Unnumbered,
       {{0, 0, 16}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const HidReportLayout layout = ParseReportDescriptor(row.descriptor);
    EXPECT_EQ(layout.numbering, row.numbering);
    ASSERT_EQ(layout.reports.size(), row.reports.size());
    for (std::size_t i = 0; i < row.reports.size(); ++i) {
      EXPECT_EQ(layout.reports[i].id, row.reports[i].id) << i;
      EXPECT_EQ(layout.reports[i].inputBytes, row.reports[i].inputBytes) << i;
      EXPECT_EQ(layout.reports[i].outputBytes, row.reports[i].outputBytes) << i;
    }
  }
}

TEST(HidReportDescriptor, OpenLineNamesPathNumberingSizesAndWhatIsUnexpected) {
  struct Row {
    const char* name;
    Bytes descriptor;
    std::string line;
  };
  const Row rows[] = {
      {"the device's layout",
       kVendorReport2,
       "USB device /dev/hidraw3 opened: numbered reports; report 2: input 60 bytes, output 60 bytes\n"},
      {"unnumbered",
       {0x75, 0x08, 0x95, 0x3C, 0x81, 0x02, 0x91, 0x02},
       "USB device /dev/hidraw3 opened: unnumbered reports; input 60 bytes, output 60 bytes; "
       "unexpected: no output report with id 2, trying anyway\n"},
      {"report 2 is input only",
       {0x85, 0x02, 0x75, 0x08, 0x95, 0x3C, 0x81, 0x02, 0x85, 0x03, 0x91, 0x02},
       "USB device /dev/hidraw3 opened: numbered reports; report 2: input 60 bytes, output 0 bytes; "
       "report 3: input 0 bytes, output 60 bytes; unexpected: no output report with id 2, trying anyway\n"},
      {"descriptor unreadable",
       {},
       "USB device /dev/hidraw3 opened: report descriptor unreadable, numbering taken from each report's length\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(DescribeOpenedDevice("/dev/hidraw3", ParseReportDescriptor(row.descriptor), 2), row.line);
  }
}

}  // namespace
}  // namespace dsptune
