#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include "dsp/Biquad.h"
#include "model/BigEndian.h"
#include "model/DefaultImage.h"
#include "model/DerivedRecords.h"
#include "model/EqBandStore.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"
#include "model/SettingNames.h"
#include "model/WritePlan.h"
#include "tests/model/RecordingWriter.h"

namespace dsptune {
namespace {

using test::SentWrite;

// One line per send, so a mismatch shows which frame differs.
std::vector<std::string> Lines(const std::vector<SentWrite>& sent) {
  std::vector<std::string> out;
  for (const SentWrite& s : sent) {
    if (s.kind == SentWrite::Dsp)
      out.push_back("0x09 block " + std::to_string(s.block) + " address " + std::to_string(s.address) + ": " +
                    HexText(s.bytes));
    else if (s.kind == SentWrite::Live)
      out.push_back("0x85 offset " + std::to_string(s.offset) + ": " + HexText(s.bytes));
    else
      out.push_back(std::string("coalescing ") + (s.coalescing ? "on" : "off"));
  }
  return out;
}

std::vector<std::int32_t> UiValues() {
  std::vector<std::int32_t> out;
  for (const ParameterEntry& e : ParameterTable()) out.push_back(UiValue(e.block, e.address));
  return out;
}

std::vector<std::uint8_t> FloatBytes(float value) {
  std::vector<std::uint8_t> bytes(4);
  PutFloat(bytes.data(), value);
  return bytes;
}

class WritePlanTest : public ::testing::Test, protected test::ModelFixtureBase {
 protected:
  WritePlanTest() { SetCoefficientWriter(&writer); }
  ~WritePlanTest() override { SetCoefficientWriter(nullptr); }

  // The defaults again, nothing sent yet.
  void FreshModel() {
    ResetDataModel();
    SetDeviceWriter(&writer);
    writer.sent.clear();
  }

  // Plans and sends from the defaults to `to`, keeping the sends in `writer`. Afterwards
  // the model must hold `to` as a load of it would: settings, UI values, editor values.
  WritePlan PlanAndSend(const ParameterImageBytes& to) {
    FreshModel();
    ReplaceImage(to);
    ApplyImage();
    const std::vector<std::int32_t> loadedUi = UiValues();
    const EditorValues loaded = EditorSnapshot();

    FreshModel();
    const WritePlan plan = PlanWrites(WorkingSettings(), to);
    SendPlan(plan, to);
    EXPECT_TRUE(WorkingSettings() == to);
    EXPECT_TRUE(ImageSnapshot() == to);
    EXPECT_EQ(UiValues(), loadedUi);
    static_assert(std::is_trivially_copyable_v<EditorValues>);
    const EditorValues editor = EditorSnapshot();
    EXPECT_EQ(std::memcmp(&loaded, &editor, sizeof editor), 0) << "editor values differ from a load";
    return plan;
  }
};

TEST_F(WritePlanTest, EachDifferenceIsSentAsItsNormalEditSends) {
  struct Row {
    const char* name;
    std::function<void()> edit;  // the editors' write, on the defaults
    // For writes the image does not keep (records without an image link or table entry):
    // the bytes a device read would then find.
    std::function<void(ParameterImageBytes&)> stored;
  };
  const auto storeWord = [](std::uint8_t block, std::uint8_t address, std::uint32_t word) {
    return [=](ParameterImageBytes& image) { PutU32(&image[FindRecord(block, address)->ValueOffset()], word); };
  };
  const Row rows[] = {
      {"byte", [] { SetParameter(7, 0x10, 5); }, {}},
      {"percent", [] { SetParameter(1, 0x0E, 60); }, {}},
      {"milliseconds", [] { SetParameter(2, 0x0B, UiFromFloat(200.0f)); }, {}},
      {"band", [] { WriteEqBand(kEqMusic, 2, kFilterPeq, 1000, 3.0f, 1.41f); }, {}},
      {"band-split slot", [] { WriteEqBand(kEqCh1 + 2, 13, kFilterHighPass, 800, 0.0f, 0.707f); }, {}},
      {"loudness filter slot", [] { WriteEqBand(kEqMusic, 10, kFilterLowPass, 80, 0.0f, 0.707f); }, {}},
      {"SSVC level", [] { WriteLiveBytes(kSsvcLevelsOffset + 4, FloatBytes(-3.0f)); }, {}},
      {"SSVC settings",
       [] {
         SsvcSettings moved = EditorSnapshot().ssvc;
         moved.listenerX = -1.0f;
         WriteSsvcSettings(moved);
       },
       {}},
      {"subwoofer decay level", [] { WriteLiveBytes(kSubDecayLevelOffset, FloatBytes(-6.0f)); }, {}},
      {"locate selector", [] { SetSsvcLocateSelector(2); }, {}},
      {"limiter",
       [] {
         WriteCompressorRecord(CompressorTarget::Channel, 3, {-10.0f, 4.0f, 1.0f, 100.0f});
       },
       {}},
      {"six-value gain", [] { WriteChannelSixValueGain(3, -3.0f); }, {}},
      {"music pitch", [] { SetMusicPitch(3); }, storeWord(4, 0x15, 8)},
      {"record without a table entry", [] { WriteDspRecord(4, 0x11, FloatBytes(-20.0f), 1); },
       storeWord(4, 0x11, FloatBits(-20.0f))},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FreshModel();
    row.edit();
    const std::vector<std::string> expected = Lines(writer.sent);
    ParameterImageBytes to = WorkingSettings();
    if (row.stored) row.stored(to);

    const WritePlan plan = PlanAndSend(to);
    EXPECT_EQ(Lines(writer.sent), expected);
    EXPECT_EQ(plan.items.size(), 1u);
    EXPECT_EQ(plan.frames, int(expected.size()));
    EXPECT_FALSE(plan.fullWriteCheaper);
  }
}

TEST_F(WritePlanTest, BandIsSentWithItsExactRecordBytes) {
  // A stored Q whose decoded value re-encodes one step lower.
  int q = 100;
  while (q < 30000 && MakeBandRecord(0.0f, 1000, float(q) / 1000.0f, kFilterPeq).qField == q) ++q;
  ASSERT_LT(q, 30000);
  const BandRecord record{150, 1000, std::uint16_t(q), kFilterPeq};
  ParameterImageBytes to = DefaultImage();
  EncodeBandRecordBytes(record, &to[std::size_t(EqBandOffset(kEqRecord, 1))]);

  WriteEqBand(kEqRecord, 1, record.type, record.frequency, record.GainDb(), record.Q());
  ASSERT_EQ(writer.sent.size(), 2u);
  const std::string coefficients = Lines(writer.sent)[0];
  PlanAndSend(to);
  EXPECT_EQ(Lines(writer.sent),
            (std::vector<std::string>{coefficients, "0x85 offset 1330: " + HexText(std::span(to).subspan(1330, 7))}));
}

TEST_F(WritePlanTest, DifferingParametersTakeOneFrameEachUntilAWriteJobIsCheaper) {
  for (int k : {1, 8, kFullWriteFrames - 1, kFullWriteFrames}) {
    SCOPED_TRACE(k);
    ParameterImageBytes to = DefaultImage();
    int changed = 0;
    for (const ParameterEntry& e : ParameterTable()) {
      if (changed == k) break;
      if (e.kind != ConversionKind::Percent) continue;
      const std::int32_t ui = WordToUiValue(e.kind, GetU32(&to[std::size_t(e.valueOffset)]));
      PutU32(&to[std::size_t(e.valueOffset)], UiValueToWord(e.kind, ui == 37 ? 38 : 37));
      ++changed;
    }
    ASSERT_EQ(changed, k);
    const WritePlan plan = PlanAndSend(to);
    EXPECT_EQ(plan.frames, k);
    EXPECT_EQ(int(writer.sent.size()), k);
    EXPECT_EQ(plan.fullWriteCheaper, k >= kFullWriteFrames);
  }
  const WritePlan nothing = PlanWrites(DefaultImage(), DefaultImage());
  EXPECT_TRUE(nothing.items.empty());
  EXPECT_EQ(nothing.frames, 0);
  EXPECT_FALSE(nothing.fullWriteCheaper);
}

TEST_F(WritePlanTest, BytesNoWriteReachesAskForAWriteJobAndStillEndInTheModel) {
  const struct {
    const char* name;
    int offset;
  } rows[] = {{"record header", FindRecord(4, 0x0E)->offset + 2}, {"reserved live byte", kApplyCopySize + 3}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    FreshModel();
    ParameterImageBytes to = DefaultImage();
    to[std::size_t(row.offset)] ^= 0x10;
    const WritePlan plan = PlanWrites(WorkingSettings(), to);
    EXPECT_TRUE(plan.fullWriteCheaper);
    ASSERT_EQ(plan.items.size(), 1u);
    EXPECT_EQ(plan.items[0].kind, DifferenceKind::OtherBytes);
    SendPlan(plan, to);
    EXPECT_TRUE(writer.sent.empty());
    EXPECT_TRUE(WorkingSettings() == to);
  }
}

}  // namespace
}  // namespace dsptune
