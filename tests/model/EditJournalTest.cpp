#include "model/EditJournal.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "dsp/Biquad.h"
#include "model/BandSplit.h"
#include "model/BigEndian.h"
#include "model/CompareSlots.h"
#include "model/DefaultImage.h"
#include "model/DerivedRecords.h"
#include "model/EqBandStore.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"
#include "model/WritePlan.h"
#include "tests/model/RecordingWriter.h"

namespace dsptune {
namespace {

using namespace std::chrono_literals;
using test::SentWrite;

const BilingualText kResetLabel{"复位均衡", "Reset EQ"};

// Everything an undo must give back: the settings as the user sees them, the live block,
// the record area of the image and the UI values the editors show. The image below the
// record area is not compared: the live block stands for it until a commit.
struct ModelState {
  ParameterImageBytes working{};
  std::vector<std::uint8_t> records;
  LiveBlockBytes live{};
  std::array<std::int32_t, kParameterCount> ui{};
  bool operator==(const ModelState&) const = default;
};

ModelState CaptureModel() {
  DataModel& m = CurrentModel();
  ModelState s;
  s.working = WorkingSettings();
  std::lock_guard lock(m.mutex);
  s.records.assign(m.image.begin() + kRecordAreaOffset, m.image.end());
  s.live = m.live;
  s.ui = m.ui;
  return s;
}

// The settings after a whole-settings load: the model takes them as a file load would.
void LoadSettings(const ParameterImageBytes& settings) {
  ReplaceImage(settings);
  ApplyImage();
}

void SetBandGainField(ParameterImageBytes& settings, int eq, int band, int field) {
  PutU16(&settings[std::size_t(EqBandOffset(eq, band))], std::uint16_t(field));
}

class EditJournalTest : public ::testing::Test, protected test::ModelFixtureBase {
 protected:
  EditJournalTest() {
    LoadDefaultImage();
    SetCoefficientWriter(&writer);
    journal.SetClock([this] { return now; });
    journal.Install();
  }
  ~EditJournalTest() override { SetCoefficientWriter(nullptr); }  // the journal uninstalls itself

  // Default settings and an empty history, a second after anything before.
  void FreshModel() {
    ResetDataModel();
    SetDeviceWriter(&writer);
    LoadDefaultImage();
    journal.Clear();
    Later();
  }

  // Moves the fake clock on; a second separates two user actions.
  void Later(std::chrono::milliseconds gap = 1s) { now += gap; }

  std::vector<SentWrite> Frames() const {
    std::vector<SentWrite> frames;
    for (const SentWrite& w : writer.sent)
      if (w.kind != SentWrite::Coalescing) frames.push_back(w);
    return frames;
  }

  // Every frame sent belongs to an item of the plan, and there are as many as it counts.
  void ExpectFramesOf(const WritePlan& plan) const {
    const auto frames = Frames();
    EXPECT_EQ(int(frames.size()), plan.frames);
    for (const SentWrite& f : frames) {
      const bool planned = std::any_of(plan.items.begin(), plan.items.end(), [&](const SettingsDifference& d) {
        if (d.kind == DifferenceKind::Band) {
          const EqLayout& eq = EqLayoutOf(d.eq);
          return f.kind == SentWrite::Dsp ? f.block == eq.coefficientBlock && f.address == eq.firstAddress + d.band
                                          : f.offset == d.offset;
        }
        if (f.kind == SentWrite::Dsp) return f.block == d.block && f.address == d.address;
        return f.offset >= d.offset && f.offset + int(f.bytes.size()) <= d.offset + d.length;
      });
      EXPECT_TRUE(planned) << "unplanned frame: kind " << f.kind << ", block " << int(f.block) << ", address "
                           << int(f.address) << ", offset " << f.offset;
    }
  }

  EditJournal::Clock::time_point now{};
  EditJournal journal;
};

TEST_F(EditJournalTest, UndoAndRedoOfEveryKindOfEditSendOnlyWhatDiffers) {
  const ParameterImageBytes defaults = WorkingSettings();
  ParameterImageBytes loaded = defaults;
  PutU32(&loaded[std::size_t(FindParameter(4, 0x0C)->valueOffset)], UiValueToWord(ConversionKind::Percent, 30));
  PutU32(&loaded[std::size_t(FindParameter(5, 0x12)->valueOffset)],
         UiValueToWord(ConversionKind::Milliseconds, UiFromFloat(7.0f)));
  SetBandGainField(loaded, kEqMusic, 1, 180);

  SsvcSettings room = EditorSnapshot().ssvc;
  room.listenerX = 1.5f;

  const struct {
    const char* name;
    std::function<void(EditJournal&)> edit;
    int frames;  // of the undo, and again of the redo
  } rows[] = {
      {"byte parameter", [](EditJournal&) { SetParameter(4, 0x0B, 1); }, 1},
      {"percent parameter", [](EditJournal&) { SetParameter(4, 0x0C, 55); }, 1},
      {"band", [](EditJournal&) { WriteEqBand(kEqMicA, 4, kFilterPeq, 1000, 6.0f, 2.0f); }, 2},
      {"compressor record",
       [](EditJournal&) { WriteCompressorRecord(CompressorTarget::Music, 0, {-10.0f, 8.0f, 10.0f, 200.0f}); }, 1},
      {"six-value gain", [](EditJournal&) { WriteMicrophoneSixValueGain(0, -6.0f); }, 1},
      // The mix pair and band slots 13 and 14: one action, one step.
      {"band split", [](EditJournal&) { SetOutputBandSplit(3, 0); }, 5},
      {"surround settings", [room](EditJournal&) { WriteSsvcSettings(room); }, 1},
      // Two writes over the same bytes: undone in reverse order or the first write's
      // bytes come back.
      {"overlapping live writes",
       [](EditJournal&) {
         const std::uint8_t levels[8] = {0x3F, 0x00, 0x00, 0x00, 0x3E, 0x80, 0x00, 0x00};
         const std::uint8_t second[4] = {0x3E, 0x00, 0x00, 0x00};
         WriteLiveBytes(kSsvcLevelsOffset, levels);
         WriteLiveBytes(kSsvcLevelsOffset + 4, second);
       },
       2},
      {"mode load",
       [&](EditJournal& j) {
         LoadSettings(loaded);
         j.RecordSettingsChange(defaults, loaded, {"载入模式", "Mode load"});
       },
       4},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    FreshModel();
    const ModelState before = CaptureModel();
    row.edit(journal);
    const ModelState after = CaptureModel();
    ASSERT_NE(before.working, after.working);
    EXPECT_EQ(journal.UndoSteps(), 1u);

    const WritePlan undoPlan = PlanWrites(after.working, before.working);
    EXPECT_EQ(undoPlan.frames, row.frames);
    writer.sent.clear();
    ASSERT_TRUE(journal.Undo());
    EXPECT_TRUE(CaptureModel() == before);
    ExpectFramesOf(undoPlan);

    writer.sent.clear();
    ASSERT_TRUE(journal.Redo());
    EXPECT_TRUE(CaptureModel() == after);
    ExpectFramesOf(PlanWrites(before.working, after.working));
    EXPECT_FALSE(journal.Redo());
  }
}

TEST_F(EditJournalTest, BandUndoIsItsCoefficientsAndItsRecord) {
  const ParameterImageBytes before = WorkingSettings();
  // A 300-move drag, one move per 10 ms.
  for (int i = 0; i < 300; ++i) {
    WriteEqBand(kEqMicA, 4, kFilterPeq, 100 + i, float(i % 25) - 12.0f, 1.41f);
    Later(10ms);
  }
  EXPECT_EQ(journal.UndoSteps(), 1u);
  writer.sent.clear();
  ASSERT_TRUE(journal.Undo());
  const auto frames = Frames();
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].kind, SentWrite::Dsp);
  EXPECT_EQ(frames[0].block, 1);
  EXPECT_EQ(frames[0].address, 18 + 4);
  EXPECT_EQ(frames[1].kind, SentWrite::Live);
  EXPECT_EQ(frames[1].offset, EqBandOffset(kEqMicA, 4));
  EXPECT_EQ(frames[1].bytes.size(), std::size_t(kBandRecordSize));
  EXPECT_EQ(WorkingSettings(), before);
}

TEST_F(EditJournalTest, EditsGroupByTimeAndByWhatTheyTouch) {
  const struct {
    std::chrono::milliseconds gap;
    bool sameItem;
    std::size_t steps;
  } rows[] = {
      {10ms, true, 1},  {499ms, true, 1},  {500ms, true, 2},   // a gesture on one control
      {19ms, false, 1}, {20ms, false, 2}, {100ms, false, 2},  // one action writing several records
  };
  int value = 1;
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.gap.count()) + " ms, same item " + std::to_string(row.sameItem));
    journal.Clear();
    Later();
    SetParameter(4, 0x0C, value++);
    Later(row.gap);
    SetParameter(4, row.sameItem ? 0x0C : 0x0D, value++);
    EXPECT_EQ(journal.UndoSteps(), row.steps);
  }
}

TEST_F(EditJournalTest, AnExplicitStepGroupsAWholeAction) {
  // The default image holds Q 1.414 where a reset writes 1.41: start from a reset EQ.
  ResetEqToDefaults(kEqMicA);
  Later();
  for (int band : {0, 5, 9}) {
    WriteEqBand(kEqMicA, band, kFilterPeq, 1000, 4.0f, 1.41f);
    Later();
  }
  const ModelState edited = CaptureModel();
  {
    EditStepScope reset(kResetLabel, journal);
    ResetEqToDefaults(kEqMicA);
  }
  EXPECT_EQ(journal.UndoSteps(), 5u);
  EXPECT_EQ(journal.UndoText(kTextEnglish), "Reset EQ");
  writer.sent.clear();
  ASSERT_TRUE(journal.Undo());
  EXPECT_EQ(Frames().size(), 6u);  // the three bands that differ, not all fifteen
  EXPECT_TRUE(CaptureModel() == edited);

  // A step nobody ended does not swallow what comes after a pause.
  journal.Clear();
  journal.BeginStep(kResetLabel);
  SetParameter(4, 0x0C, 40);
  Later(EditJournal::kGestureWindow);
  SetParameter(4, 0x0D, 40);
  Later(10ms);
  SetParameter(4, 0x0B, 1);  // a burst joins the step after the pause, as outside any step
  journal.EndStep();
  EXPECT_EQ(journal.UndoSteps(), 2u);
  EXPECT_EQ(journal.UndoText(kTextEnglish).find("Reset EQ"), std::string::npos);
}

TEST_F(EditJournalTest, HistoryBounds) {
  // A new edit clears what was undone.
  SetParameter(4, 0x0C, 10);
  Later();
  SetParameter(4, 0x0C, 20);
  ASSERT_TRUE(journal.Undo());
  EXPECT_TRUE(journal.CanRedo());
  Later();
  SetParameter(4, 0x0D, 30);
  EXPECT_FALSE(journal.CanRedo());
  EXPECT_EQ(journal.RedoSteps(), 0u);

  // The oldest steps go beyond the depth; undoing everything left ends after them.
  journal.Clear();
  constexpr int kDropped = 5;
  for (int i = 0; i < int(EditJournal::kDepth) + kDropped; ++i) {
    Later();
    SetParameter(4, 0x0C, i % 100);
  }
  EXPECT_EQ(journal.UndoSteps(), EditJournal::kDepth);
  while (journal.Undo()) {
  }
  EXPECT_EQ(UiValue(4, 0x0C), kDropped - 1);
  EXPECT_FALSE(journal.CanUndo());
}

TEST_F(EditJournalTest, UndoTextNamesTheChangedItem) {
  const struct {
    const char* name;
    std::function<void()> edit;
    std::string english, chinese;
  } rows[] = {
      {"band gain", [] { WriteEqBand(kEqMicA, 4, kFilterPeq, 160, 6.0f, kDefaultBandQ); }, "Mic A EQ band 5 gain",
       "话筒A均衡 第5频段 增益"},
      {"band frequency", [] { WriteEqBand(kEqMicA, 4, kFilterPeq, 200, 0.0f, kDefaultBandQ); },
       "Mic A EQ band 5 frequency", "话筒A均衡 第5频段 频率"},
      // Gain and frequency together: the band alone.
      {"band moved", [] { WriteEqBand(kEqMicA, 4, kFilterPeq, 200, 6.0f, kDefaultBandQ); }, "Mic A EQ band 5",
       "话筒A均衡 第5频段"},
      {"parameter", [] { SetParameter(4, 0x0C, 55); }, "", ""},
      {"several items",
       [] {
         SetParameter(4, 0x0C, 55);
         SetParameter(4, 0x0D, 55);
         SetParameter(4, 0x0B, 1);
       },
       "", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    FreshModel();
    ResetEqToDefaults(kEqMicA);  // Q 1.41 as the rows write it
    journal.Clear();
    Later();
    const ParameterImageBytes before = WorkingSettings();
    row.edit();
    const auto diff = DiffSettings(before, WorkingSettings());
    ASSERT_FALSE(diff.empty());
    BilingualText texts;
    for (int language : {kTextChinese, kTextEnglish}) {
      const auto lang = std::size_t(language);
      const std::string& literal = language == kTextEnglish ? row.english : row.chinese;
      // Parameter names are the diff engine's; the journal adds the count of the others.
      texts[lang] = literal.empty() ? diff.front().page[lang] + " " + diff.front().item[lang] : literal;
      if (diff.size() > 1) texts[lang] += " (+" + std::to_string(diff.size() - 1) + ")";
      EXPECT_EQ(journal.UndoText(language), texts[lang]) << language;
    }
    ASSERT_TRUE(journal.Undo());
    EXPECT_EQ(journal.UndoText(kTextEnglish), "");
    EXPECT_EQ(journal.RedoText(kTextEnglish), texts[kTextEnglish]);
  }
}

TEST_F(EditJournalTest, StepsThatChangeNothingAreDropped) {
  const struct {
    const char* name;
    std::function<void(EditJournal&, std::function<void(std::chrono::milliseconds)>)> edit;
    bool keepsRedo;  // only a write that changes nothing is no edit at all
  } rows[] = {
      {"an empty explicit step",
       [](EditJournal& j, auto) {
         j.BeginStep(kResetLabel);
         j.EndStep();
       },
       true},
      {"a value written again", [](EditJournal&, auto) { SetParameter(4, 0x0B, 0); }, true},
      {"a reset of a default EQ",
       [](EditJournal& j, auto) {
         EditStepScope reset(kResetLabel, j);
         ResetEqToDefaults(kEqMusic);
       },
       true},
      {"a drag back to where it started",
       [](EditJournal&, auto later) {
         for (int f : {1000, 1100, 1200, 1000}) {
           WriteEqBand(kEqMusic, 5, kFilterPeq, f, 0.0f, kDefaultBandQ);
           later(30ms);
         }
       },
       false},
      {"an explicit step that puts everything back",
       [](EditJournal& j, auto) {
         EditStepScope step(kResetLabel, j);
         SetParameter(4, 0x0B, 1);
         SetParameter(4, 0x0B, 0);
       },
       false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    FreshModel();
    ResetEqToDefaults(kEqMusic);  // so that resetting it again changes nothing
    Later();
    journal.Clear();
    SetParameter(4, 0x0D, 50);  // something to undo, then something to redo
    const std::string firstText = journal.UndoText(kTextEnglish);
    Later();
    SetParameter(4, 0x0D, 60);
    ASSERT_TRUE(journal.Undo());

    Later();
    row.edit(journal, [this](std::chrono::milliseconds gap) { Later(gap); });
    EXPECT_EQ(journal.UndoSteps(), 1u);
    EXPECT_EQ(journal.UndoText(kTextEnglish), firstText);
    EXPECT_EQ(journal.CanRedo(), row.keepsRedo);
    ASSERT_TRUE(journal.Undo());  // the edit before, not the one that changed nothing
    EXPECT_EQ(UiValue(4, 0x0D), 100);
  }
}

TEST_F(EditJournalTest, ABComparison) {
  CompareSlots slots;
  EXPECT_FALSE(slots.Switch(journal));
  slots.Store(CompareSlots::kA);
  const ParameterImageBytes a = WorkingSettings();
  EXPECT_FALSE(slots.Switch(journal));  // nothing in B yet
  for (std::uint8_t address : {0x0B, 0x0C, 0x0D}) {
    Later();
    SetParameter(4, address, 1);
  }
  slots.Store(CompareSlots::kB);
  const ParameterImageBytes b = WorkingSettings();
  const std::size_t steps = journal.UndoSteps();

  for (const auto& [slot, settings] : {std::pair{CompareSlots::kA, a}, std::pair{CompareSlots::kB, b}}) {
    writer.sent.clear();
    Later();
    ASSERT_TRUE(slots.Switch(journal));
    EXPECT_EQ(Frames().size(), 3u);  // the three single writes
    EXPECT_EQ(WorkingSettings(), settings);
    EXPECT_EQ(slots.LiveSlot(), slot);
  }
  EXPECT_EQ(journal.UndoSteps(), steps + 2);
  EXPECT_EQ(journal.UndoText(kTextEnglish), "Switch A/B");
  EXPECT_EQ(journal.UndoText(kTextChinese), "切换 A/B");

  // Editing while A is live changes A.
  Later();
  ASSERT_TRUE(slots.Switch(journal));
  Later();
  SetParameter(4, 0x0C, 70);
  const ParameterImageBytes editedA = WorkingSettings();
  Later();
  ASSERT_TRUE(slots.Switch(journal));
  EXPECT_EQ(slots.Settings(CompareSlots::kA), editedA);
  Later();
  ASSERT_TRUE(slots.Switch(journal));
  EXPECT_EQ(WorkingSettings(), editedA);

  // Undoing a switch makes the earlier slot live again: the next switch keeps both.
  ASSERT_TRUE(journal.Undo());
  EXPECT_EQ(WorkingSettings(), b);
  EXPECT_EQ(slots.LiveSlot(), CompareSlots::kB);
  Later();
  ASSERT_TRUE(slots.Switch(journal));
  EXPECT_EQ(WorkingSettings(), editedA);
  EXPECT_EQ(slots.Settings(CompareSlots::kB), b);
}

TEST_F(EditJournalTest, WholeSettingsGoAsOneWriteJobWhenThatIsCheaper) {
  std::vector<ParameterImageBytes> jobs;
  journal.SetFullWriteSender([&](const ParameterImageBytes& settings) { jobs.push_back(settings); });
  const ModelState before = CaptureModel();
  ParameterImageBytes loaded = before.working;
  for (int eq = 0; eq < kEqCount; ++eq)
    for (int band = 0; band < EqLayoutOf(eq).bandsWritten; ++band) SetBandGainField(loaded, eq, band, 200);
  ASSERT_TRUE(PlanWrites(before.working, loaded).fullWriteCheaper);
  LoadSettings(loaded);
  journal.RecordSettingsChange(before.working, loaded, {"载入模式", "Mode load"});
  const ModelState after = CaptureModel();

  writer.sent.clear();
  ASSERT_TRUE(journal.Undo());
  EXPECT_TRUE(Frames().empty());
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0], before.working);
  EXPECT_TRUE(CaptureModel() == before);

  ASSERT_TRUE(journal.Redo());
  EXPECT_TRUE(Frames().empty());
  ASSERT_EQ(jobs.size(), 2u);
  EXPECT_EQ(jobs[1], loaded);
  EXPECT_TRUE(CaptureModel() == after);

  // A switch sent as a write job is still a step of the history.
  CompareSlots slots;
  slots.Store(CompareSlots::kB);
  LoadSettings(DefaultImage());
  slots.Store(CompareSlots::kA);
  const std::size_t steps = journal.UndoSteps();
  Later();
  ASSERT_TRUE(slots.Switch(journal));
  EXPECT_EQ(jobs.size(), 3u);
  EXPECT_EQ(journal.UndoSteps(), steps + 1);
}

TEST_F(EditJournalTest, MemoryOfAThousandParameterSteps) {
  for (int i = 0; i < 1000; ++i) {
    Later();
    SetParameter(4, 0x0C, i % 100);
  }
  ASSERT_EQ(journal.UndoSteps(), 1000u);
  const std::size_t bytes = journal.MemoryBytes();
  RecordProperty("memory_bytes_1000_parameter_steps", std::to_string(bytes));
  EXPECT_LT(bytes, 256u * 1000u);
}

}  // namespace
}  // namespace dsptune
