// Files a user names that are not plain files of a sensible size: FIFOs, devices, folders,
// sockets, endless and oversized files. Readers refuse them before reading a byte (a FIFO
// is never opened for reading, so nothing here can block), writers never replace them.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "files/BoundedFileRead.h"
#include "files/ModeFile.h"
#include "files/RemoteFile.h"
#include "link/LinkState.h"
#include "link/SyncJobs.h"
#include "model/ParameterImage.h"
#include "tests/files/FileBytes.h"
#include "tests/link/RecordingTransport.h"

namespace dsptune {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

class SpecialFilesTest : public ::testing::Test, protected test::LinkFixtureBase {
 protected:
  void SetUp() override {
    UseLink(LinkKind::Usb);
    dir_ = fs::temp_directory_path() / ("dsptune-special-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path File(const std::string& name) const { return dir_ / name; }

  fs::path Fifo(const std::string& name) const {
    const fs::path path = File(name);
    EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0) << std::strerror(errno);
    return path;
  }
  // A listening socket's name in the folder; the descriptor stays open for the test.
  fs::path Socket(const std::string& name) {
    const fs::path path = File(name);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    socket_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
    EXPECT_EQ(::bind(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0) << std::strerror(errno);
    return path;
  }
  // A character device node of our own like /dev/null (1,3); empty where this user may
  // not make one.
  fs::path DeviceNode(const std::string& name) const {
    const fs::path path = File(name);
    return ::mknod(path.c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0 ? path : fs::path();
  }

  ~SpecialFilesTest() override {
    if (socket_ >= 0) ::close(socket_);
  }

  fs::path dir_;
  int socket_ = -1;
};

struct InputRow {
  const char* name;
  std::function<fs::path()> make;
  FileSizeRule rule;
  FileReadFault fault;
  const char* problem;  // FileReadProblem's text
};

TEST_F(SpecialFilesTest, ReaderRefusesWhatIsNotAPlainFileOfItsSize) {
  const InputRow rows[] = {
      {"FIFO", [&] { return Fifo("pipe"); }, {}, FileReadFault::kNotRegular, "is a FIFO, not a file"},
      {"endless device", [] { return fs::path("/dev/zero"); }, {}, FileReadFault::kNotRegular, "is a device, not a file"},
      {"socket", [&] { return Socket("sock"); }, {}, FileReadFault::kNotRegular, "is a socket, not a file"},
      {"folder", [&] { return dir_; }, {}, FileReadFault::kFolder, "is a folder, not a file"},
      {"absent", [&] { return File("absent"); }, {}, FileReadFault::kMissing, "no such file"},
      {"over 1 MiB",
       [&] {
         WriteFile(File("big.txt"), std::vector<std::uint8_t>(kTextFileLimit + 1, 'x'));
         return File("big.txt");
       },
       {}, FileReadFault::kTooLarge, "is larger than 1 MiB"},
      {"trailing data",
       [&] {
         WriteFile(File("long.remo"), std::vector<std::uint8_t>(31, 1));
         return File("long.remo");
       },
       kRemoteFileRule, FileReadFault::kTooLarge, "is 31 bytes; a remote file holds 1 to 30 bytes"},
      {"short record", [&] {
         WriteFile(File("short.mode"), std::vector<std::uint8_t>(10, 1));
         return File("short.mode");
       },
       {kModeFileSize, kModeFileSize, "a mode file"}, FileReadFault::kTooSmall, "is 10 bytes; a mode file is 3578 bytes"},
      {"empty", [&] {
         WriteFile(File("empty.remo"), {});
         return File("empty.remo");
       },
       kRemoteFileRule, FileReadFault::kTooSmall, "is empty; a remote file holds 1 to 30 bytes"},
  };
  for (const InputRow& r : rows) {
    SCOPED_TRACE(r.name);
    const FileReadResult read = ReadBoundedFile(r.make(), r.rule);
    EXPECT_EQ(read.fault, r.fault);
    EXPECT_TRUE(read.bytes.empty());
    EXPECT_EQ(FileReadProblem(read, r.rule), r.problem);
  }
}

TEST_F(SpecialFilesTest, ReaderReadsPlainFilesWholeUpToTheLimit) {
  const std::vector<std::uint8_t> limit(kTextFileLimit, 'y');
  WriteFile(File("limit.txt"), limit);
  WriteFile(File("empty.txt"), {});
  std::vector<std::uint8_t> table(kRemoteFileSize);
  for (std::size_t i = 0; i < table.size(); ++i) table[i] = std::uint8_t(i * 7);
  WriteFile(File("keys.remo"), table);
  ::symlink(File("keys.remo").c_str(), File("link.remo").c_str());

  EXPECT_EQ(ReadBoundedFile(File("limit.txt")).bytes, limit);
  const FileReadResult empty = ReadBoundedFile(File("empty.txt"));
  EXPECT_TRUE(empty.Ok());
  EXPECT_TRUE(empty.bytes.empty());
  EXPECT_EQ(ReadBoundedFile(File("keys.remo"), kRemoteFileRule).bytes, table);
  EXPECT_EQ(ReadBoundedFile(File("link.remo"), kRemoteFileRule).bytes, table);
}

// The loaders on top: nothing is sent and nothing changes for any of these files.
TEST_F(SpecialFilesTest, LoadersRefuseSpecialAndMisSizedFilesSendingNothing) {
  RemoteCodeTable before{};
  before.fill(0x40);
  SetRemoteTable(before);
  const ParameterImageBytes image = ImageSnapshot();

  std::vector<std::uint8_t> mode(kModeFileSize);
  mode[0] = 20;
  std::vector<std::uint8_t> modeWithTail = mode;
  modeWithTail.push_back(0);
  WriteFile(File("tail.mode"), modeWithTail);
  WriteFile(File("tail.remo"), std::vector<std::uint8_t>(40, 0xA0));
  WriteFile(File("empty.remo"), {});
  WriteFile(File("junk.remo"), std::vector<std::uint8_t>(1000, 'j'));
  const struct {
    fs::path path;
    const char* remoteText;  // the last line of LoadRemoteFile's text
  } rows[] = {
      {Fifo("pipe.remo"), "is a FIFO, not a file"},
      {Fifo("pipe.mode"), nullptr},
      {"/dev/zero", nullptr},
      {File("tail.mode"), nullptr},
      {File("tail.remo"), "is 40 bytes; a remote file holds 1 to 30 bytes"},
      {File("empty.remo"), "is empty; a remote file holds 1 to 30 bytes"},
      {File("junk.remo"), "is 1000 bytes; a remote file holds 1 to 30 bytes"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.path.string());
    std::string error;
    if (r.remoteText) {
      EXPECT_EQ(LoadRemoteFile(r.path, &error), -1);
      EXPECT_EQ(error, "Can't read file:\n" + r.path.string() + "\n" + r.remoteText);
    } else {
      ParameterImageBytes read{};
      EXPECT_EQ(ReadModeFileImage(r.path, read, &error), 0);
      EXPECT_EQ(LoadModeFileToDevice(r.path, &error), 0);
    }
  }
  EXPECT_TRUE(WaitForSyncJobsIdle(std::chrono::seconds(1)));
  EXPECT_TRUE(transport.Calls().empty());
  EXPECT_EQ(RemoteTableSnapshot(), before);
  EXPECT_EQ(ImageSnapshot(), image);
}

// A save over a device node, FIFO or socket would put a plain file in its place (as root
// in /dev, a device gone); the object is left as it was and the save fails.
TEST_F(SpecialFilesTest, SavesNeverReplaceDevicesFifosOrSockets) {
  std::vector<fs::path> targets = {Fifo("out.mode"), Socket("out.remo")};
  if (const fs::path node = DeviceNode("null"); !node.empty()) targets.push_back(node);
  else std::fprintf(stderr, "no device node: this user may not make one\n");
  const std::vector<std::uint8_t> bytes(kRemoteFileSize, 0x55);
  for (const fs::path& target : targets) {
    SCOPED_TRACE(target.string());
    struct stat before {};
    ASSERT_EQ(::lstat(target.c_str(), &before), 0);
    EXPECT_NE(ReplaceFileContents(target, bytes), 0);
    std::string error;
    EXPECT_EQ(SaveSettingsFile(target, ImageSnapshot(), &error), 0);
    EXPECT_FALSE(error.empty());
    struct stat after {};
    ASSERT_EQ(::lstat(target.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode, before.st_mode);
  }
  // Only the objects themselves are left in the folder: no temporary file either.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), std::ptrdiff_t(targets.size()));
}

}  // namespace
}  // namespace dsptune
