// Opening a mode file and saving it again gives the same bytes, header included, with
// whatever device identity the program holds; and the header a save writes follows where
// the settings are: the file's while they are its own, the device's once a device holds
// them changed, the start-up identity for the defaults.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <random>

#include "files/ModeFile.h"
#include "model/DefaultImage.h"
#include "model/DerivedRecords.h"
#include "model/ParameterImage.h"
#include "tests/files/FileBytes.h"
#include "tests/files/ModeFileCorpus.h"
#include "tests/model/RecordingWriter.h"

namespace dsptune {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

const DeviceIdentity kDevice = DeviceIdentity::With("LQ620", kSupportedProtocol, "V9.9.9", "DSP 9.9.9");

class ModeFileRoundTripTest : public ::testing::Test {
 protected:
  ModeFileRoundTripTest() {
    folder_ = fs::temp_directory_path() / ("dsptune-roundtrip-" + std::to_string(std::random_device{}()));
    fs::create_directories(folder_);
    ResetDataModel();
  }
  ~ModeFileRoundTripTest() override {
    SetDeviceWriter(nullptr);
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }

  // The model as a read of this device leaves it, with its writes recorded.
  void Connect(const DeviceIdentity& identity) {
    UpdateIdentity([&](DeviceIdentity& id) { id = identity; });
    SetDeviceWriter(&writer_);
  }

  fs::path Write(const test::CorpusFile& file) {
    const fs::path path = folder_ / (file.name + ".mode");
    WriteFile(path, file.bytes);
    return path;
  }

  std::vector<std::uint8_t> Save() {
    const fs::path path = folder_ / "saved.mode";
    EXPECT_EQ(SaveModeFile(path), 1);
    return ReadFile(path);
  }

  fs::path folder_;
  test::RecordingWriter writer_;
};

TEST_F(ModeFileRoundTripTest, EveryFileComesBackByteForByte) {
  struct Holder {
    const char* name;
    std::optional<DeviceIdentity> device;  // empty: no device, the start-up identity
  };
  const Holder holders[] = {
      {"offline at start-up", std::nullopt},
      {"connected to an LW4.1", DeviceIdentity::With("LW4.1", kSupportedProtocol, "V1.0.0", "DSP 1.0.0")},
      {"connected to an LQ620", kDevice},
  };
  for (const test::CorpusFile& file : test::ModeFileCorpus()) {
    for (const Holder& holder : holders) {
      SCOPED_TRACE(file.name + ", " + holder.name);
      ResetDataModel();
      writer_.sent.clear();
      if (holder.device) Connect(*holder.device);
      ASSERT_EQ(LoadModeFile(Write(file)), 1);
      EXPECT_EQ(InputSourceByte(), file.source) << "the stored source is kept, not replaced for the model";
      EXPECT_EQ(UiValue(4, 0x17), file.source) << "and the editors see it";
      EXPECT_TRUE(writer_.sent.empty()) << "opening sends nothing";
      EXPECT_EQ(Save(), file.bytes);
    }
  }
}

TEST_F(ModeFileRoundTripTest, HeaderFollowsWhereTheSettingsAre) {
  enum class Header { File, Device, StartUp };
  struct Row {
    const char* name;
    bool connected;
    std::function<void()> after;  // what happens between the open and the save
    Header header;
  };
  const std::int32_t volume = 37;  // music volume, not the file's value
  const Row rows[] = {
      {"unchanged, offline", false, [] {}, Header::File},
      {"unchanged, connected", true, [] {}, Header::File},
      {"edited offline", false, [&] { SetParameter(4, 0x0C, volume); }, Header::File},
      {"edited on the device", true, [&] { SetParameter(4, 0x0C, volume); }, Header::Device},
      {"edited on the device and back",
       true,
       [&] {
         const std::int32_t was = UiValue(4, 0x0C);
         SetParameter(4, 0x0C, volume);
         SetParameter(4, 0x0C, was);
       },
       Header::File},
      {"written to the device as it is (write job)", true, [] { ClearUnsentEdits(); }, Header::File},
      {"edited offline, then sent to the device (reconcile)",
       true,
       [&] {
         SetDeviceWriter(nullptr);
         SetParameter(4, 0x0C, volume);
         ClearUnsentEdits();
       },
       Header::Device},
      {"replaced by the device's settings (read)",
       true,
       [&] {
         ParameterImageBytes device = DefaultImage();
         test::PutUi(device, 4, 0x0C, volume);
         StoreImageBytes(0, device);
         ApplyImage();
         ClearUnsentEdits();
       },
       Header::Device},
      {"replaced by the defaults", false, [] { LoadDefaultImage(); }, Header::StartUp},
  };
  const test::CorpusFile file = test::ModeFileCorpus().front();
  const IdentityBlock fileHeader = test::HeaderBytes("LQ830", "V1.3.1", "DSP 2.0.1");
  ASSERT_TRUE(std::equal(fileHeader.begin(), fileHeader.end(), file.bytes.begin()));
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    ResetDataModel();
    SetDeviceWriter(nullptr);
    if (r.connected) Connect(kDevice);
    ASSERT_EQ(LoadModeFile(Write(file)), 1);
    r.after();
    CommitLiveBlock();
    const ParameterImageBytes settings = ImageSnapshot();
    IdentityBlock expected = fileHeader;
    if (r.header == Header::Device)
      expected = test::HeaderBytes("LQ620", "V9.9.9", "DSP 9.9.9");
    else if (r.header == Header::StartUp)
      expected = test::HeaderBytes("LW4.1", "--.--.----", "--.--.----");
    const std::vector<std::uint8_t> saved = Save();
    ASSERT_EQ(saved.size(), std::size_t(kModeFileSize));
    EXPECT_EQ(std::vector<std::uint8_t>(saved.begin(), saved.begin() + kModeFileHeaderSize),
              std::vector<std::uint8_t>(expected.begin(), expected.end()));
    EXPECT_TRUE(std::equal(settings.begin(), settings.end(), saved.begin() + kModeFileHeaderSize));
  }
}

// A compare slot saved on its own names the file while it holds the file's settings.
TEST_F(ModeFileRoundTripTest, SavedSlotNamesTheFileOnlyForTheFilesSettings) {
  const test::CorpusFile file = test::ModeFileCorpus().back();
  Connect(kDevice);
  ASSERT_EQ(LoadModeFile(Write(file)), 1);
  const ParameterImageBytes opened = ImageSnapshot();
  SetParameter(4, 0x0C, 12);
  CommitLiveBlock();
  const fs::path slot = folder_ / "slot.mode";
  ASSERT_EQ(SaveSettingsFile(slot, opened), 1);
  EXPECT_EQ(ReadFile(slot), file.bytes);
  ASSERT_EQ(SaveSettingsFile(slot, ImageSnapshot()), 1);
  const IdentityBlock device = test::HeaderBytes("LQ620", "V9.9.9", "DSP 9.9.9");
  EXPECT_TRUE(std::equal(device.begin(), device.end(), ReadFile(slot).begin()));
}

}  // namespace
}  // namespace dsptune
