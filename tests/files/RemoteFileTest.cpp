#include "files/RemoteFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <random>

#include "files/ModeFile.h"
#include "link/FrameCodec.h"
#include "tests/link/RecordingTransport.h"

#include "tests/files/FileBytes.h"

namespace dsptune {
namespace {

using test::ReadFile;
using test::WriteFile;

namespace fs = std::filesystem;


RemoteCodeTable Table(std::uint8_t first) {
  RemoteCodeTable t;
  for (std::size_t i = 0; i < t.size(); ++i) t[i] = std::uint8_t(first + i);
  return t;
}

class RemoteFileTest : public ::testing::Test, protected test::LinkFixtureBase {
 protected:
  RemoteFileTest() {
    folder_ = fs::temp_directory_path() / ("dsptune-remo-" + std::to_string(std::random_device{}()));
    fs::create_directories(folder_);
    UseLink(LinkKind::Usb);
    SetRemoteTable(Table(0x40));
  }
  ~RemoteFileTest() override {
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }

  fs::path File(const std::string& name) const { return folder_ / name; }

  fs::path folder_;
};

TEST_F(RemoteFileTest, SaveWritesTheThirtyTableBytesUnderTheRemoExtension) {
  std::string error = "stale";
  ASSERT_EQ(SaveRemoteFile(File("keys.txt"), &error), 1);
  EXPECT_EQ(error, "");
  EXPECT_FALSE(fs::exists(File("keys.txt")));
  const RemoteCodeTable table = Table(0x40);
  EXPECT_EQ(ReadFile(File("keys.remo")), std::vector<std::uint8_t>(table.begin(), table.end()));
  EXPECT_TRUE(transport.Calls().empty());
}

TEST_F(RemoteFileTest, LoadReplacesTheTableAndSendsAllThirtyBytes) {
  struct Row {
    const char* name;
    LinkKind kind;
    std::size_t fileSize;
  };
  const Row rows[] = {
      {"whole file, USB", LinkKind::Usb, 30},
      {"whole file, network", LinkKind::Network, 30},
      {"ten bytes", LinkKind::Usb, 10},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    UseLink(r.kind);
    SetRemoteTable(Table(0x40));
    transport.Clear();
    std::vector<std::uint8_t> file(r.fileSize);
    for (std::size_t i = 0; i < file.size(); ++i) file[i] = std::uint8_t(0xA0 + i);
    WriteFile(File("codes.remo"), file);

    ASSERT_EQ(LoadRemoteFile(File("codes.remo")), 1);

    RemoteCodeTable expected = Table(0x40);
    std::copy_n(file.begin(), std::min<std::size_t>(file.size(), 30), expected.begin());
    EXPECT_EQ(RemoteTableSnapshot(), expected);
    std::vector<std::uint8_t> packet{0x63};
    if (r.kind == LinkKind::Network) packet.insert(packet.begin(), kDestController);
    packet.insert(packet.end(), expected.begin(), expected.end());
    const auto calls = transport.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].bytes, packet);
  }
}

TEST_F(RemoteFileTest, FileErrorsReturnMinusOneAndKeepTheTable) {
  std::string error;
  // Named for what is wrong, sending nothing: a folder reads as an empty file on Linux.
  fs::create_directory(File("folder.remo"));
  const struct {
    const char* name;
    int error;
  } unreadable[] = {{"absent.remo", ENOENT}, {"folder.remo", EISDIR}, {"folder.txt", EISDIR}};
  for (const auto& r : unreadable) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(LoadRemoteFile(File(r.name), &error), -1);
    EXPECT_EQ(error, ReadErrorText(r.error, WithRemoteExtension(File(r.name))));
    EXPECT_NE(error.find(std::strerror(r.error)), std::string::npos) << error;
  }
  const fs::path unwritable = File("no-such-folder") / "keys.remo";
  EXPECT_EQ(SaveRemoteFile(unwritable, &error), -1);
  EXPECT_EQ(error, WriteErrorText(ENOENT, unwritable));
  EXPECT_EQ(RemoteTableSnapshot(), Table(0x40));
  EXPECT_TRUE(transport.Calls().empty());
}

TEST(RemoteFileNameTest, ExtensionAlwaysBecomesRemo) {
  struct Row {
    const char* chosen;
    const char* stored;
  };
  const Row rows[] = {
      {"keys.txt", "keys.remo"}, {"keys", "keys.remo"}, {"a/b.REMO", "a/b.remo"}, {"a.b.c", "a.b.remo"},
  };
  for (const Row& r : rows) EXPECT_EQ(WithRemoteExtension(r.chosen), fs::path(r.stored)) << r.chosen;
}

}  // namespace
}  // namespace dsptune
