#include "files/ModeFile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cerrno>
#include <cfloat>
#include <csignal>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>

#include "link/SyncJobs.h"
#include "model/BigEndian.h"
#include "model/DefaultImage.h"
#include "model/DerivedRecords.h"
#include "model/ParameterImage.h"
#include "tests/link/RecordingTransport.h"

#include "tests/files/FileBytes.h"

namespace dsptune {
namespace {

using test::ReadFile;
using test::WriteFile;

namespace fs = std::filesystem;
using namespace std::chrono_literals;


void SetIdentity(const char* model, std::int32_t protocol, const char* mcu = "V1.02", const char* dsp = "D2.10") {
  UpdateIdentity([&](DeviceIdentity& id) { id = DeviceIdentity::With(model, protocol, mcu, dsp); });
}

// A mode file: the protocol code as given (4 bytes), an empty identity and the image.
std::vector<std::uint8_t> ModeFileBytes(std::vector<std::uint8_t> code, const ParameterImageBytes& image) {
  std::vector<std::uint8_t> file = std::move(code);
  file.resize(kModeFileHeaderSize, 0);
  file.insert(file.end(), image.begin(), image.end());
  return file;
}

const std::vector<std::uint8_t> kProtocol20 = {0x14, 0, 0, 0};

class ModeFileTest : public ::testing::Test, protected test::LinkFixtureBase {
 protected:
  ModeFileTest() {
    folder_ = fs::temp_directory_path() / ("dsptune-mode-" + std::to_string(std::random_device{}()));
    fs::create_directories(folder_);
    UseLink(LinkKind::Usb);
  }
  ~ModeFileTest() override {
    ShutdownSyncJobs();
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }

  fs::path File(const std::string& name) const { return folder_ / name; }
  std::vector<fs::path> FolderEntries() const {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(folder_)) out.push_back(e.path().filename());
    return out;
  }

  // An edited band record in the live block, not yet committed to the image.
  static std::vector<std::uint8_t> EditBandInLiveBlock() {
    const std::vector<std::uint8_t> band = test::Bytes({0x00, 0x96, 0x03, 0xE8, 0x05, 0x86, 0x02});
    StoreLiveBytes(EqBandOffset(6, 2), band);
    return band;
  }

  fs::path folder_;
};

TEST_F(ModeFileTest, SaveWritesIdentityHeaderThenCommittedImage) {
  SetIdentity("LQ830", 20, "V1.02", "D2.10");
  const auto band = EditBandInLiveBlock();
  const fs::path path = File("saved.mode");
  WriteFile(path, std::vector<std::uint8_t>(5000, 0xEE));  // an older, longer file is replaced

  std::string error = "stale";
  ASSERT_EQ(SaveModeFile(path, &error), 1);
  EXPECT_EQ(error, "");

  const auto file = ReadFile(path);
  ASSERT_EQ(file.size(), 3578u);
  EXPECT_EQ(std::vector<std::uint8_t>(file.begin(), file.begin() + 4), kProtocol20) << "little-endian code";
  std::vector<std::uint8_t> header(60, 0);
  std::memcpy(&header[4], "LQ830", 5);
  std::memcpy(&header[36], "V1.02", 5);
  std::memcpy(&header[47], "D2.10", 5);
  std::copy(kProtocol20.begin(), kProtocol20.end(), header.begin());
  EXPECT_EQ(std::vector<std::uint8_t>(file.begin(), file.begin() + 60), header);

  const ParameterImageBytes image = ImageSnapshot();
  EXPECT_TRUE(std::equal(image.begin(), image.end(), file.begin() + 60)) << "image from offset 60";
  const int at = 60 + EqBandOffset(6, 2);
  EXPECT_EQ(std::vector<std::uint8_t>(file.begin() + at, file.begin() + at + 7), band) << "live block committed";
  EXPECT_EQ(FolderEntries(), std::vector<fs::path>{"saved.mode"}) << "no temporary file left";
}

// Settings saved before any device was read (the identity still at its start-up
// value, protocol 17) or after a device was refused open again.
TEST_F(ModeFileTest, FileSavedWithoutAcceptedDeviceOpensAgain) {
  SetIdentity("", 17);
  SetParameter(4, 0x0C, 37);
  const fs::path path = File("offline.mode");
  ASSERT_EQ(SaveModeFile(path), 1);
  const auto file = ReadFile(path);
  EXPECT_EQ(std::vector<std::uint8_t>(file.begin(), file.begin() + 4), kProtocol20);
  const ParameterImageBytes saved = ImageSnapshot();
  SetParameter(4, 0x0C, 80);
  ASSERT_EQ(LoadModeFile(path), 1);
  EXPECT_EQ(ImageSnapshot(), saved);
}

TEST_F(ModeFileTest, RoundTripKeepsEditedBandRecords) {
  SetIdentity("LQ830", 20);
  const auto band = EditBandInLiveBlock();
  const fs::path path = File("round.mode");
  ASSERT_EQ(SaveModeFile(path), 1);
  const ParameterImageBytes saved = ImageSnapshot();

  ResetDataModel();
  SetIdentity("LQ830", 20);
  ASSERT_NE(ReadLiveBytes(EqBandOffset(6, 2), 7), band);
  ASSERT_EQ(LoadModeFile(path), 1);

  EXPECT_EQ(ImageSnapshot(), saved);
  EXPECT_EQ(ReadLiveBytes(EqBandOffset(6, 2), 7), band) << "ApplyImage refreshed the live block";
  EXPECT_TRUE(transport.Calls().empty()) << "loading alone sends nothing";
}

TEST_F(ModeFileTest, RefusedFilesLeaveTheImageUntouched) {
  ParameterImageBytes other;
  other.fill(0x42);
  std::vector<std::uint8_t> shortFile = ModeFileBytes(kProtocol20, other);
  shortFile.pop_back();
  std::vector<std::uint8_t> headerOnly = kProtocol20;
  headerOnly.resize(kModeFileHeaderSize);
  std::vector<std::uint8_t> longFile = ModeFileBytes(kProtocol20, other);
  longFile.push_back(0);
  std::vector<std::uint8_t> text(kModeFileSize, 'x');
  std::vector<std::uint8_t> namedOther = ModeFileBytes({0x15, 0, 0, 0}, other);
  std::copy_n("LQ930", 5, namedOther.begin() + 4);
  // The reason the user reads beside the version box, in English.
  struct Row {
    const char* name;
    std::vector<std::uint8_t> bytes;
    std::string reason;
  };
  const Row rows[] = {
      {"protocol 17", ModeFileBytes({0x11, 0, 0, 0}, other), "made for another protocol (code 17; this program reads code 20)"},
      {"protocol 21 of a named model", namedOther, "made for another protocol (code 21; this program reads code 20)"},
      {"big-endian 20", ModeFileBytes({0, 0, 0, 0x14}, other), "not a mode file (it does not start with a mode file header)"},
      {"a text of the right size", text, "not a mode file (it does not start with a mode file header)"},
      {"one byte short", shortFile, "cut short (3577 of 3578 bytes)"},
      {"header only", headerOnly, "cut short (60 of 3578 bytes)"},
      {"two bytes", {0x14, 0}, "cut short (2 of 3578 bytes)"},
      {"one byte too many", longFile, "not a mode file (3579 bytes; a mode file is 3578 bytes)"},
      {"empty", {}, "not a mode file (0 bytes; a mode file is 3578 bytes)"},
  };
  SetIdentity("LQ830", 20);
  const ParameterImageBytes before = ImageSnapshot();
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    const fs::path path = File("refused.mode");
    WriteFile(path, r.bytes);
    std::string error = "stale";
    EXPECT_EQ(LoadModeFile(path, &error), 0);
    EXPECT_EQ(error, "") << "only the version box follows";
    EXPECT_EQ(ImageSnapshot(), before);
    const BilingualText reason = ModeFileProblemText(CheckModeFile(path), "refused.mode");
    EXPECT_EQ(reason[kTextEnglish], "refused.mode: " + r.reason);
    EXPECT_FALSE(reason[kTextChinese].empty());
  }
  // A file that loads has no reason to give.
  const fs::path good = File("good.mode");
  WriteFile(good, ModeFileBytes(kProtocol20, other));
  EXPECT_EQ(CheckModeFile(good).problem, ModeFileProblem::kNone);
  EXPECT_EQ(CheckModeFile(File("absent.mode")).problem, ModeFileProblem::kUnreadable);
}

TEST_F(ModeFileTest, MissingFileGivesTheOpenErrorText) {
  const fs::path path = File("absent.mode");
  std::string error;
  EXPECT_EQ(LoadModeFile(path, &error), 0);
  EXPECT_EQ(error, "Can't write to file:\n" + path.string() + "\nProbaby it is write protected.");
  EXPECT_EQ(LoadModeFileToDevice(path), 0);
  EXPECT_TRUE(WaitForSyncJobsIdle(1s));
  EXPECT_TRUE(transport.Calls().empty());
}

TEST_F(ModeFileTest, LoadedDefaultImageIsWrittenToTheDeviceInChunks) {
  SetIdentity("LQ830", 20);
  ParameterImageBytes changed = ImageSnapshot();
  changed[100] ^= 0xFF;
  ReplaceImage(changed);
  const fs::path path = File("default.mode");
  ResetDataModel();
  const ParameterImageBytes defaults = ImageSnapshot();
  WriteFile(path, ModeFileBytes(kProtocol20, defaults));
  ReplaceImage(changed);
  SetIdentity("LQ830", 20);

  ASSERT_EQ(LoadModeFileToDevice(path), 1);
  ASSERT_TRUE(WaitForSyncJobsIdle(20s));

  EXPECT_EQ(ImageSnapshot(), defaults);
  const auto calls = transport.Calls();
  ASSERT_EQ(calls.size(), 64u);
  for (int c = 0; c < 63; ++c) EXPECT_EQ(calls[std::size_t(c)].bytes.at(0), 0x31) << "chunk " << c;
  EXPECT_EQ(calls.back().bytes, test::Bytes({0x32}));
  EXPECT_EQ(LogCount("Start thread:SynchronizeData\n"), 1);
}

// A source the connected model lacks is kept as stored: the user replaces it, not the load.
TEST_F(ModeFileTest, InputSourceKeptAsStoredWhateverModelIsConnected) {
  ParameterImageBytes image = ImageSnapshot();
  image[kInputSourceOffset] = 8;
  const fs::path path = File("source8.mode");
  WriteFile(path, ModeFileBytes(kProtocol20, image));
  for (const char* model : {"LQ620", "LQ480", "XYZ"}) {
    SCOPED_TRACE(model);
    SetIdentity(model, 20);
    ASSERT_EQ(LoadModeFile(path), 1);
    EXPECT_EQ(InputSourceByte(), 8);
    EXPECT_EQ(UiValue(4, 0x17), 8) << "the editors see the stored source";
  }
  EXPECT_TRUE(transport.Calls().empty()) << "loading alone sends nothing";
}

TEST_F(ModeFileTest, FailedSaveKeepsTheExistingFile) {
  const std::vector<std::uint8_t> old(kModeFileSize, 0xAA);
  const fs::path path = File("kept.mode");
  WriteFile(path, old);

  // The file-size limit makes the write itself fail half-way (EFBIG), even for root.
  rlimit previous{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = previous;
  small.rlim_cur = 1000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string error;
  const int result = SaveModeFile(path, &error);
  setrlimit(RLIMIT_FSIZE, &previous);
  std::signal(SIGXFSZ, previousHandler);

  EXPECT_EQ(result, 0);
  EXPECT_EQ(error, "Errcode=" + std::to_string(EFBIG) + ",Can't write to file:\n" + path.string() +
                       "\nProbaby it is write protected.");
  EXPECT_EQ(ReadFile(path), old);
  EXPECT_EQ(FolderEntries(), std::vector<fs::path>{"kept.mode"}) << "the partial temporary file is removed";
}

TEST_F(ModeFileTest, UnwritablePlacesAreReported) {
  fs::create_directory(File("folder.mode"));
  struct Row {
    const char* name;
    fs::path path;
    int error;
  };
  const Row rows[] = {
      {"missing folder", File("no-such-folder") / "x.mode", ENOENT},
      {"a folder", File("folder.mode"), EISDIR},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    std::string error;
    EXPECT_EQ(SaveModeFile(r.path, &error), 0);
    EXPECT_EQ(error, WriteErrorText(r.error, r.path));
  }
  EXPECT_TRUE(fs::is_directory(File("folder.mode")));
}

// A file can hold any float bit pattern. What the editors are given from it is defined
// for every one: not a number reads as 0, anything past an integer's range as the end
// it lies beyond, and an ordinary value exactly as before.
TEST_F(ModeFileTest, NonFiniteAndHugeFloatsLoadAsClampedEditorValues) {
  constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
  constexpr float kInf = std::numeric_limits<float>::infinity();
  constexpr int kMax = std::numeric_limits<std::int32_t>::max();
  constexpr int kMin = std::numeric_limits<std::int32_t>::min();
  struct Row {
    const char* name;
    float value;
    std::int32_t echoLevel;  // Percent: value x 100
    std::int32_t noiseGate;  // PerTenThousand: value x 10000
    int shiftFrequency;      // Hz of the phase increment
    int bandSplitFlag;       // 1 (off) only when the second mix value x 100 truncates to 0
  };
  const Row rows[] = {
      {"NaN", kNaN, 0, 0, 0, 1},
      {"+inf", kInf, kMax, kMax, kMax, 0},
      {"-inf", -kInf, kMin, kMin, kMin, 0},
      {"1e10", 1e10f, kMax, kMax, kMax, 0},
      {"-1e10", -1e10f, kMin, kMin, kMin, 0},
      {"FLT_MAX", FLT_MAX, kMax, kMax, kMax, 0},
      {"-FLT_MAX", -FLT_MAX, kMin, kMin, kMin, 0},
      {"0.65", 0.65f, 65, 6500, 4965, 0},
  };
  const ParameterEntry* echoLevel = FindParameter(2, 0x09);
  const ParameterEntry* noiseGate = FindParameter(1, 0x08);
  ASSERT_TRUE(echoLevel && echoLevel->kind == ConversionKind::Percent);
  ASSERT_TRUE(noiseGate && noiseGate->kind == ConversionKind::PerTenThousand);
  const int increment = FindRecord(1, 0x26)->ValueOffset();
  const int secondMixValue = FindRecord(5, 0x11)->ValueOffset() + 4;
  ASSERT_EQ(UiValue(1, 0x28), 0) << "path A's shift frequency is on, so its increment is read";

  SetIdentity("LQ830", 20);
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    ParameterImageBytes image = DefaultImage();
    for (int offset : {echoLevel->valueOffset, noiseGate->valueOffset, increment, secondMixValue})
      PutFloat(&image[std::size_t(offset)], r.value);
    const fs::path path = File("floats.mode");
    WriteFile(path, ModeFileBytes(kProtocol20, image));
    ASSERT_EQ(LoadModeFile(path), 1);

    EXPECT_EQ(UiValue(2, 0x09), r.echoLevel);
    EXPECT_EQ(UiValue(1, 0x08), r.noiseGate);
    const EditorValues ev = EditorSnapshot();
    EXPECT_EQ(ev.shiftFrequency[0], r.shiftFrequency);
    EXPECT_EQ(ev.shiftFrequency[1], 5) << "path B keeps its default";
    EXPECT_EQ(ev.bandSplitFlag[0], r.bandSplitFlag);
    EXPECT_EQ(ev.bandSplitFlag[1], 1) << "CH2 keeps its default";
  }
}

TEST_F(ModeFileTest, PendingModeSlotFromTheFileName) {
  struct Row {
    const char* name;
    int slot;
  };
  const Row rows[] = {
      {"M2 live.mode", 1},     {"preset-m2.mode", -1}, {"m1.mode", 0},         {"M4", 3},
      {"/home/u/m3x.mode", 2}, {"dir/m5.mode", -1},    {"m0.mode", -1},        {"m.mode", -1},
      {"m2", 1},               {"/m1/preset.mode", -1}, {"C:\\modes\\M1.MODE", 0}, {"", -1},
  };
  for (const Row& r : rows) EXPECT_EQ(PendingModeSlot(r.name), r.slot) << r.name;
}

}  // namespace
}  // namespace dsptune
