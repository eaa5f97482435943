#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

#include "model/MachineSettingsRecord.h"

namespace dsptune {
namespace {

// A record with every byte distinct, so a change that touches a byte it does not own
// shows up.
MachineRecord Busy() {
  return {0x00, 0x00, 0x00, 40, 50, 80, 90, 0x00, 0x6C, 0xA9, 0xAA, 0x02, 0x21, 0xAD};
}

std::string Diff(const MachineRecord& before, const MachineRecord& after) {
  std::string out;
  for (int i = 0; i < kMachineRecordSize; ++i) {
    if (before[i] != after[i]) {
      char text[24];
      std::snprintf(text, sizeof text, "%s%d:%02X>%02X", out.empty() ? "" : " ", i, before[i], after[i]);
      out += text;
    }
  }
  return out;
}

// Each change touches only its own bits; the rows give every changed byte.
TEST(MachineSettingsRecordTest, ChangesTouchOnlyTheirOwnBits) {
  struct Row {
    const char* name;
    std::function<void(MachineRecord&)> change;
    const char* diff;
  };
  using P = VolumePath;
  const Row rows[] = {
      {"by mode", [](MachineRecord& r) { SetSavedByMode(r, true); }, "0:00>01 1:00>01 2:00>01"},
      {"mic power-on", [](MachineRecord& r) { SetPowerOnVolume(r, P::Mic, 70); }, "3:28>46"},
      {"mic power-on above max", [](MachineRecord& r) { SetPowerOnVolume(r, P::Mic, 95); }, "3:28>50"},
      {"music power-on off", [](MachineRecord& r) { SetPowerOnVolume(r, P::Music, 0); }, "4:32>00"},
      {"mic max", [](MachineRecord& r) { SetMaxVolume(r, P::Mic, 60); }, "5:50>3C"},
      {"mic max below power-on", [](MachineRecord& r) { SetMaxVolume(r, P::Mic, 30); }, "3:28>1E 5:50>1E"},
      {"music max above 99", [](MachineRecord& r) { SetMaxVolume(r, P::Music, 150); }, "6:5A>63"},
      {"music max 0", [](MachineRecord& r) { SetMaxVolume(r, P::Music, 0); }, "4:32>01 6:5A>01"},
      {"panel lock", [](MachineRecord& r) { SetPanelLocked(r, true); }, "7:00>01"},
      {"volume lock on", [](MachineRecord& r) { SetVolumeLocked(r, true); }, "8:6C>EF"},
      {"mode lock off", [](MachineRecord& r) { SetModeLocked(r, false); }, ""},
      {"mode lock on", [](MachineRecord& r) { SetModeLocked(r, true); }, "8:6C>7C"},
      {"power-on mode M4", [](MachineRecord& r) { SetPowerOnMode(r, 4); }, "11:02>04"},
      {"power-on mode 5 refused", [](MachineRecord& r) { SetPowerOnMode(r, 5); }, ""},
      {"power-on mode -1 refused", [](MachineRecord& r) { SetPowerOnMode(r, -1); }, ""},
      {"hdmi mute on", [](MachineRecord& r) { SetHdmiMuted(r, true); }, ""},
      {"hdmi mute off", [](MachineRecord& r) { SetHdmiMuted(r, false); }, "12:21>20"},
      {"route SBL/SBR", [](MachineRecord& r) { SetSurroundRouting(r, kRouteSblSbr); }, "12:21>11"},
      {"route SL/SR", [](MachineRecord& r) { SetSurroundRouting(r, kRouteSlSr); }, "12:21>01"},
      {"route 3 refused", [](MachineRecord& r) { SetSurroundRouting(r, 3); }, ""},
  };
  for (const Row& row : rows) {
    MachineRecord record = Busy();
    row.change(record);
    EXPECT_EQ(Diff(Busy(), record), row.diff) << row.name;
  }
}

// Switching the volume lock on and off gives back bits 2 to 6 as they were.
TEST(MachineSettingsRecordTest, LockRoundTripsKeepOtherBits) {
  for (int start : {0x00, 0x7C, 0xFF, 0x6C, 0x10}) {
    MachineRecord record{};
    record[8] = std::uint8_t(start);
    SetVolumeLocked(record, true);
    EXPECT_TRUE(VolumeLocked(record));
    SetVolumeLocked(record, false);
    EXPECT_FALSE(VolumeLocked(record));
    EXPECT_EQ(record[8] & 0x7C, start & 0x7C) << start;
    EXPECT_EQ(ModeLocked(record), (start & 0x10) != 0) << start;
  }
}

TEST(MachineSettingsRecordTest, ReadsWhatTheDeviceReported) {
  MachineRecord record{1, 1, 1, 0, 33, 60, 70, 1, 0x11, 0, 0, 3, 0x34, 0};
  EXPECT_TRUE(SavedByMode(record));
  EXPECT_EQ(PowerOnVolume(record, VolumePath::Mic), 0);
  EXPECT_EQ(PowerOnVolume(record, VolumePath::Music), 33);
  EXPECT_EQ(MaxVolume(record, VolumePath::Mic), 60);
  EXPECT_EQ(MaxVolume(record, VolumePath::Music), 70);
  EXPECT_TRUE(PanelLocked(record));
  EXPECT_TRUE(VolumeLocked(record));
  EXPECT_TRUE(ModeLocked(record));
  EXPECT_EQ(PowerOnMode(record), 3);
  EXPECT_TRUE(HdmiMuted(record)) << "any low-nibble bit counts";
  EXPECT_EQ(SurroundRouting(record), 3) << "an unknown routing is reported as it is";
  record[12] = 0x20;
  EXPECT_FALSE(HdmiMuted(record));
  EXPECT_EQ(SurroundRouting(record), kRouteBoth);
}

// Enabling a power-on volume never stores "not set" (0) nor more than the maximum.
TEST(MachineSettingsRecordTest, EnabledPowerOnVolumeStaysUsable) {
  MachineRecord record{};
  record[5] = 60;
  record[6] = 0;  // a device that reports no limit at all
  const struct {
    VolumePath path;
    int playing, expected;
  } rows[] = {
      {VolumePath::Mic, 45, 45}, {VolumePath::Mic, 0, 1},    {VolumePath::Mic, 80, 60},
      {VolumePath::Music, 75, 1}, {VolumePath::Music, -3, 1},
  };
  for (const auto& row : rows)
    EXPECT_EQ(EnabledPowerOnVolume(record, row.path, row.playing), row.expected) << row.playing;
}

TEST(MachineSettingsRecordTest, ShownRecordMatchesWhatControlsCanShow) {
  const MachineRecord consistent = Busy();
  EXPECT_EQ(ShownRecord(consistent), consistent);
  MachineRecord odd = Busy();
  odd[3] = 90;   // above its maximum of 80
  odd[5] = 80;
  odd[6] = 0;    // no usable maximum
  odd[4] = 50;
  EXPECT_EQ(Diff(odd, ShownRecord(odd)), "3:5A>50 4:32>01 6:00>01");
  MachineRecord zero{};
  EXPECT_EQ(Diff(zero, ShownRecord(zero)), "5:00>01 6:00>01");
}

TEST(MachineSettingsRecordTest, ModelsWithoutHdmi) {
  for (const char* name : {"LQ480", "LQ620"}) EXPECT_TRUE(ModelHasNoHdmi(name)) << name;
  for (const char* name : {"LQ830", "LQ480 ", "lq620", "", "LQ62"}) EXPECT_FALSE(ModelHasNoHdmi(name)) << name;
}

}  // namespace
}  // namespace dsptune
