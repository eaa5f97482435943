// The words a failed file write ends in: the fixed line stays, and a full disk is named
// beside it rather than passed off as write protection.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "files/ModeFile.h"

namespace dsptune {
namespace {

TEST(WriteErrorText, NamesAFullDiskBesideTheFixedLine) {
  const std::filesystem::path path = "/media/stick/studio.mode";
  const std::string fixed = "Can't write to file:\n/media/stick/studio.mode\nProbaby it is write protected.";
  const std::string full = "no space left on the device; the old file stays as it was";
  const struct {
    int error;
    bool namesFullDisk;
  } rows[] = {{ENOSPC, true}, {EACCES, false}, {EROFS, false}, {EIO, false}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.error);
    const std::string text = WriteErrorText(r.error, path);
    EXPECT_EQ(text.rfind("Errcode=" + std::to_string(r.error) + "," + fixed, 0), 0u) << text;
    EXPECT_EQ(text.find(full) != std::string::npos, r.namesFullDisk) << text;
  }
}

}  // namespace
}  // namespace dsptune
