// Saving over a writable file in a folder that may not be written: the safe replace
// cannot put its temporary file beside the target, so the file is rewritten in place.
// Anything else that stops the temporary file still leaves the target untouched.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <random>

#include "files/ModeFile.h"
#include "files/RemoteFile.h"
#include "link/LinkState.h"
#include "model/ParameterImage.h"
#include "tests/files/FileBytes.h"

namespace dsptune {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

// Runs `save` as a user whom permissions bind: root writes into any folder, so as root
// it runs in a child process that has given up root for nobody. Returns save's result.
int AsUnprivilegedUser(const std::function<int()>& save) {
  if (::geteuid() != 0) return save();
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(200);
    ::_exit(save() & 0xFF);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -100;
  return WEXITSTATUS(status) == 255 ? -1 : WEXITSTATUS(status);
}

class SafeReplaceFallbackTest : public ::testing::Test {
 protected:
  SafeReplaceFallbackTest() {
    folder_ = fs::temp_directory_path() / ("dsptune-readonly-" + std::to_string(std::random_device{}()));
    fs::create_directories(folder_);
  }
  ~SafeReplaceFallbackTest() override {
    fs::permissions(folder_, fs::perms::owner_all);
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }
  fs::path File(const std::string& name) const { return folder_ / name; }
  void ReadOnlyFolder() { fs::permissions(folder_, fs::perms(0555)); }

  fs::path folder_;
};

TEST_F(SafeReplaceFallbackTest, WritableFileInAReadOnlyFolderIsRewrittenInPlace) {
  SetRemoteTable([] {
    RemoteCodeTable t{};
    for (std::size_t i = 0; i < t.size(); ++i) t[i] = std::uint8_t(0x10 + i);
    return t;
  }());
  LoadDefaultImage();
  struct Row {
    const char* name;
    std::function<int(const fs::path&)> save;
    std::size_t size;
  };
  const Row rows[] = {
      {"keys.remo", [](const fs::path& p) { return SaveRemoteFile(p); }, std::size_t(kRemoteFileSize)},
      {"room.mode", [](const fs::path& p) { return SaveModeFile(p); }, std::size_t(kModeFileSize)},
  };
  for (const Row& r : rows) {
    WriteFile(File(r.name), std::vector<std::uint8_t>(7, 0xEE));
    fs::permissions(File(r.name), fs::perms(0666));
  }
  ReadOnlyFolder();
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(AsUnprivilegedUser([&] { return r.save(File(r.name)); }), 1);
    const std::vector<std::uint8_t> bytes = ReadFile(File(r.name));
    EXPECT_EQ(bytes.size(), r.size) << "the old, shorter content is not left behind";
    EXPECT_NE(bytes.front(), 0xEE);
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 2) << "no temporary file";
}

TEST_F(SafeReplaceFallbackTest, OtherwiseNothingIsWrittenInPlace) {
  const std::vector<std::uint8_t> old(7, 0xEE);
  WriteFile(File("locked.remo"), old);
  fs::permissions(File("locked.remo"), fs::perms(0444));
  ReadOnlyFolder();
  const struct {
    const char* name;
    fs::path path;
  } rows[] = {
      {"a new file in a read-only folder", File("new.remo")},
      {"a read-only file in a read-only folder", File("locked.remo")},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(AsUnprivilegedUser([&] { return SaveRemoteFile(r.path); }), -1);
  }
  EXPECT_FALSE(fs::exists(File("new.remo")));
  EXPECT_EQ(ReadFile(File("locked.remo")), old);
}

}  // namespace
}  // namespace dsptune
