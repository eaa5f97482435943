#pragma once
// Reading a file that a user named: only a regular file is read, and never more than the
// reader can use. A FIFO would block the reader until someone writes to it, a device such
// as /dev/zero never ends, and a huge file costs memory for nothing; each is refused before
// a byte is read, and named for what it is.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace dsptune {

// Text files the tools read whole (filter lists, host lists) are a few kilobytes; this is
// far more than any of them needs.
inline constexpr std::size_t kTextFileLimit = 1024 * 1024;

struct FileSizeRule {
  std::size_t maxBytes = kTextFileLimit;
  std::size_t minBytes = 0;     // maxBytes too: a record of fixed size
  const char* what = nullptr;   // "a remote file": names the record in the size messages
};

enum class FileReadFault {
  kNone,
  kMissing,     // systemError ENOENT (or ENOTDIR)
  kFolder,      // systemError EISDIR
  kNotRegular,  // a FIFO, a device or a socket
  kUnreadable,  // systemError says why
  kTooLarge,    // larger than maxBytes
  kTooSmall,    // smaller than minBytes
};

struct FileReadResult {
  std::vector<std::uint8_t> bytes;  // the whole file when fault is kNone, else empty
  FileReadFault fault = FileReadFault::kNone;
  int systemError = 0;              // the errno behind kMissing, kFolder and kUnreadable
  std::uintmax_t size = 0;          // the size found (kTooLarge, kTooSmall)
  const char* kind = "";            // "a FIFO", "a device", "a socket" (kNotRegular)

  bool Ok() const { return fault == FileReadFault::kNone; }
};

// Reads the whole of a regular file within `rule`. The path is examined before it is
// opened, and opened without blocking, so no FIFO or device is ever waited on.
FileReadResult ReadBoundedFile(const std::filesystem::path& path, const FileSizeRule& rule = {});

// What is wrong, without the path: "no such file", "is a folder, not a file", "is a FIFO,
// not a file", "cannot be read (Permission denied)", "is larger than 1 MiB" (a rule
// without `what`), "is 3579 bytes; a mode file is 3578 bytes", "is empty; a remote file
// holds 1 to 30 bytes". Empty when nothing is.
std::string FileReadProblem(const FileReadResult& result, const FileSizeRule& rule = {});

// "" when `path` is absent or names a regular file (through links); otherwise what it is:
// "a folder", "a FIFO", "a device", "a socket". A file written there would replace or
// feed that object, never store anything.
std::string NonRegularKind(const std::filesystem::path& path);

}  // namespace dsptune
