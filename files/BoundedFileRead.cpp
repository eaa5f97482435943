#include "files/BoundedFileRead.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace dsptune {
namespace {

const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  return S_ISREG(mode) ? "" : "not a file";
}

FileReadResult Fault(FileReadFault fault, int systemError = 0) {
  FileReadResult r;
  r.fault = fault;
  r.systemError = systemError;
  return r;
}

// kNotRegular or kFolder for anything but a regular file; kNone for a regular one.
FileReadResult CheckMode(mode_t mode) {
  if (S_ISREG(mode)) return {};
  if (S_ISDIR(mode)) return Fault(FileReadFault::kFolder, EISDIR);
  FileReadResult r = Fault(FileReadFault::kNotRegular);
  r.kind = KindOf(mode);
  return r;
}

std::string SizeText(std::size_t bytes) {
  if (bytes >= 1024 * 1024 && bytes % (1024 * 1024) == 0) return std::to_string(bytes / (1024 * 1024)) + " MiB";
  if (bytes >= 1024 && bytes % 1024 == 0) return std::to_string(bytes / 1024) + " KiB";
  return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

}  // namespace

FileReadResult ReadBoundedFile(const std::filesystem::path& path, const FileSizeRule& rule) {
  struct stat before {};
  if (::stat(path.c_str(), &before) != 0) {
    const int error = errno;
    return Fault(error == ENOENT || error == ENOTDIR ? FileReadFault::kMissing : FileReadFault::kUnreadable, error);
  }
  if (FileReadResult r = CheckMode(before.st_mode); !r.Ok()) return r;

  // O_NONBLOCK: should the name be swapped for a FIFO after the check, the open still
  // returns at once and the second check below refuses it.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return Fault(FileReadFault::kUnreadable, errno);
  FileReadResult result;
  struct stat opened {};
  if (::fstat(fd, &opened) != 0) result = Fault(FileReadFault::kUnreadable, errno);
  else result = CheckMode(opened.st_mode);
  if (result.Ok() && std::uintmax_t(opened.st_size) > rule.maxBytes) {
    result.fault = FileReadFault::kTooLarge;
    result.size = std::uintmax_t(opened.st_size);
  }
  if (result.Ok()) {
    // One byte past the limit is asked for, so a file that grew since fstat is caught too.
    std::vector<std::uint8_t> bytes(rule.maxBytes + 1);
    std::size_t got = 0;
    while (got < bytes.size()) {
      const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) result = Fault(FileReadFault::kUnreadable, errno);
      if (n <= 0) break;
      got += std::size_t(n);
    }
    result.size = got;
    if (result.Ok() && got > rule.maxBytes) result.fault = FileReadFault::kTooLarge;
    else if (result.Ok() && got < rule.minBytes) result.fault = FileReadFault::kTooSmall;
    if (result.Ok()) {
      bytes.resize(got);
      result.bytes = std::move(bytes);
    }
  }
  ::close(fd);
  return result;
}

std::string FileReadProblem(const FileReadResult& result, const FileSizeRule& rule) {
  switch (result.fault) {
    case FileReadFault::kNone: return {};
    case FileReadFault::kMissing: return "no such file";
    case FileReadFault::kFolder: return "is a folder, not a file";
    case FileReadFault::kNotRegular: return std::string("is ") + result.kind + ", not a file";
    case FileReadFault::kUnreadable: return std::string("cannot be read (") + std::strerror(result.systemError) + ")";
    case FileReadFault::kTooLarge:
      if (!rule.what) return "is larger than " + SizeText(rule.maxBytes);
      [[fallthrough]];
    case FileReadFault::kTooSmall: {
      const std::string found = result.size == 0 ? "is empty" : "is " + SizeText(std::size_t(result.size));
      const std::string what = rule.what ? rule.what : "the file";
      if (rule.minBytes == rule.maxBytes) return found + "; " + what + " is " + SizeText(rule.maxBytes);
      return found + "; " + what + " holds " + std::to_string(rule.minBytes) + " to " + SizeText(rule.maxBytes);
    }
  }
  return {};
}

std::string NonRegularKind(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return {};
  return KindOf(st.st_mode);
}

}  // namespace dsptune
