#include "files/ModeFile.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include <unistd.h>

#include "files/BoundedFileRead.h"
#include "link/SyncJobs.h"
#include "model/DebugLog.h"
#include "model/DeviceIdentity.h"
#include "model/ParameterImage.h"
#include "model/WritePlan.h"

namespace dsptune {
namespace {

namespace fs = std::filesystem;

constexpr int kProtocolOffset = 0;
constexpr int kModelNameOffset = 4;
constexpr int kMcuVersionOffset = 36;
constexpr int kDspVersionOffset = 47;
static_assert(kDspVersionOffset + kVersionTextSize + 2 == kModeFileHeaderSize);
static_assert(kModeFileHeaderSize + kImageSize == kModeFileSize);
static_assert(kModeFileHeaderSize == kIdentitySize);

// The header stores the identity as it lay in the original program's memory, whose
// integers are little-endian; it is spelled out so the file is the same on any host.
void PutLittleEndian32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(v >> (8 * i));
}

std::uint32_t GetLittleEndian32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

// The identity block a save writes for settings that came from no file: the identity the
// program holds. The image is always in the supported protocol's layout (a device of
// another protocol is never read), so that is the code the file carries, also when no
// device has been read yet and the identity still holds its start-up value: the file
// must open again.
IdentityBlock HeldIdentityBlock() {
  const DeviceIdentity identity = IdentitySnapshot();
  IdentityBlock header{};
  PutLittleEndian32(&header[kProtocolOffset], std::uint32_t(kSupportedProtocol));
  std::memcpy(&header[kModelNameOffset], identity.modelName.data(), kModelNameSize);
  std::memcpy(&header[kMcuVersionOffset], identity.mcuVersion.data(), kVersionTextSize);
  std::memcpy(&header[kDspVersionOffset], identity.dspVersion.data(), kVersionTextSize);
  return header;
}

// Reads and checks a whole mode file: 1 with its identity block and image, else 0 (the
// open error in *errorText when the file cannot be opened).
int ReadModeFile(const fs::path& path, IdentityBlock& header, ParameterImageBytes& image, std::string* errorText) {
  if (errorText) errorText->clear();
  // No FIFO or device is read, nor more than a mode file holds.
  const FileReadResult read = ReadBoundedFile(path, {kModeFileSize});
  if (!read.Ok() && read.fault != FileReadFault::kTooLarge) {
    if (errorText) *errorText = OpenErrorText(path);
    return 0;
  }
  // A short file would leave the image a mix of two settings that the write job then
  // sends to the device, and a longer one is not a mode file of this version: both are
  // refused like a file of another version.
  if (CheckModeFileBytes(read.bytes, read.Ok() ? read.bytes.size() : read.size).problem != ModeFileProblem::kNone)
    return 0;
  std::copy_n(read.bytes.begin(), kModeFileHeaderSize, header.begin());
  std::copy_n(read.bytes.begin() + kModeFileHeaderSize, kImageSize, image.begin());
  return 1;
}

// A header of the mode-file family: a small protocol code, and a model name that is
// printable ASCII padded with zeros (empty in files saved before any device was read).
bool LooksLikeModeFileHeader(std::span<const std::uint8_t> head, std::uintmax_t size) {
  if (size < std::uintmax_t(kModeFileHeaderSize) || head.size() < std::size_t(kModeFileHeaderSize)) return false;
  const std::uint32_t code = GetLittleEndian32(&head[kProtocolOffset]);
  if (code == 0 || code > 0xFF) return false;
  bool padding = false;
  for (int i = kModelNameOffset; i < kModelNameOffset + kModelNameSize; ++i) {
    const std::uint8_t c = head[i];
    if (c == 0) padding = true;
    else if (padding || c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

}  // namespace

ModeFileCheck CheckModeFileBytes(std::span<const std::uint8_t> head, std::uintmax_t size) {
  ModeFileCheck check;
  check.size = size;
  if (head.size() >= 4) check.protocolCode = GetLittleEndian32(&head[kProtocolOffset]);
  std::uint8_t supported[4];
  PutLittleEndian32(supported, std::uint32_t(kSupportedProtocol));
  const std::size_t known = std::min<std::size_t>(head.size(), 4);
  const bool supportedCode = size > 0 && known > 0 && std::equal(head.begin(), head.begin() + known, supported);
  if (supportedCode && size == std::uintmax_t(kModeFileSize) && head.size() >= std::size_t(kModeFileSize))
    check.problem = ModeFileProblem::kNone;
  else if (supportedCode && size < std::uintmax_t(kModeFileSize))
    check.problem = ModeFileProblem::kCutShort;
  else if (!supportedCode && LooksLikeModeFileHeader(head, size))
    check.problem = ModeFileProblem::kOtherProtocol;
  else
    check.problem = ModeFileProblem::kNotModeFile;
  return check;
}

ModeFileCheck CheckModeFile(const fs::path& path) {
  const FileReadResult read = ReadBoundedFile(path);
  if (read.Ok()) return CheckModeFileBytes(read.bytes, read.bytes.size());
  ModeFileCheck check;
  check.size = read.size;
  check.problem = read.fault == FileReadFault::kTooLarge ? ModeFileProblem::kNotModeFile : ModeFileProblem::kUnreadable;
  return check;
}

BilingualText ModeFileProblemText(const ModeFileCheck& check, std::string_view fileName) {
  const std::string name(fileName);
  const std::string size = std::to_string(check.size), whole = std::to_string(kModeFileSize);
  const std::string code = std::to_string(check.protocolCode), ours = std::to_string(kSupportedProtocol);
  switch (check.problem) {
    case ModeFileProblem::kNone:
      return {};
    case ModeFileProblem::kNotModeFile:
      if (check.size != std::uintmax_t(kModeFileSize))
        return {name + "：不是模式文件（" + size + " 字节，模式文件为 " + whole + " 字节）",
                name + ": not a mode file (" + size + (check.size == 1 ? " byte" : " bytes") + "; a mode file is " +
                    whole + " bytes)"};
      return {name + "：不是模式文件（开头不是模式文件的文件头）",
              name + ": not a mode file (it does not start with a mode file header)"};
    case ModeFileProblem::kCutShort:
      return {name + "：文件不完整（只有 " + size + " 字节，应为 " + whole + " 字节）",
              name + ": cut short (" + size + " of " + whole + " bytes)"};
    case ModeFileProblem::kOtherProtocol:
      return {name + "：属于其他通信协议（代码 " + code + "，本程序只读取代码 " + ours + "）",
              name + ": made for another protocol (code " + code + "; this program reads code " + ours + ")"};
    case ModeFileProblem::kUnreadable:
      return {name + "：无法读取", name + ": cannot be read"};
  }
  return {};
}

namespace {

int LastError(int fallback) { return errno != 0 ? errno : fallback; }

fs::path TemporarySibling(const fs::path& target) {
  static std::atomic<unsigned> counter{0};
  static const unsigned seed = std::random_device{}();
  const unsigned n = counter.fetch_add(1);
  fs::path name = target.filename();
  name += ".tmp" + std::to_string(seed) + "-" + std::to_string(n);
  return target.parent_path() / ("." + name.string());
}

// Writes a file completely through `mode` ("wbx": a new file only; "wb": over the file in
// place, synced to the disk as well); 0 or the system error number.
int WriteWholeFile(const fs::path& file, const char* mode, std::span<const std::uint8_t> bytes, bool sync) {
  errno = 0;
  std::FILE* f = std::fopen(file.c_str(), mode);
  if (!f) return LastError(EIO);
  int error = 0;
  if (std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) error = LastError(EIO);
  if (std::fflush(f) != 0 && error == 0) error = LastError(EIO);
  if (sync && ::fsync(::fileno(f)) != 0 && error == 0) error = LastError(EIO);
  if (std::fclose(f) != 0 && error == 0) error = LastError(EIO);
  return error;
}

}  // namespace

std::string WriteErrorText(int errorNumber, const fs::path& path) {
  std::string text = "Errcode=" + std::to_string(errorNumber) + ",Can't write to file:\n" + path.string() +
                     "\nProbaby it is write protected.";
  // The fixed line guesses; a full disk is named beside it (the file is replaced whole,
  // so a failed write leaves the old one).
  if (errorNumber == ENOSPC) text += "\nno space left on the device; the old file stays as it was";
  return text;
}

std::string OpenErrorText(const fs::path& path) {
  return "Can't write to file:\n" + path.string() + "\nProbaby it is write protected.";
}

std::string ReadErrorText(int errorNumber, const fs::path& path) {
  return "Errcode=" + std::to_string(errorNumber) + ",Can't read file:\n" + path.string() + "\n" +
         std::strerror(errorNumber);
}

int ReplaceFileContents(const fs::path& path, std::span<const std::uint8_t> bytes) {
  std::error_code ec;
  fs::path target = path;
  // Through a link the file it names is replaced, not the link.
  if (fs::is_symlink(target, ec)) {
    fs::path resolved = fs::canonical(target, ec);
    if (!ec) target = std::move(resolved);
  }
  const fs::file_status status = fs::status(target, ec);
  const bool exists = fs::exists(status);
  if (exists) {
    if (fs::is_directory(status)) return EISDIR;
    // A device, FIFO or socket would be replaced by a plain file: nothing is saved there.
    if (!fs::is_regular_file(status)) return EINVAL;
    // Renaming over a write-protected file would bypass its protection.
    errno = 0;
    std::FILE* probe = std::fopen(target.c_str(), "r+b");
    if (!probe) return LastError(EACCES);
    std::fclose(probe);
  }

  fs::path temp;
  int error = EEXIST;
  for (int attempt = 0; attempt < 8 && error == EEXIST; ++attempt) {
    temp = TemporarySibling(target);
    error = WriteWholeFile(temp, "wbx", bytes, false);
  }
  // A read-only folder holding a writable file: the file itself is all that may change.
  if (exists && (error == EACCES || error == EPERM)) return WriteWholeFile(target, "wb", bytes, true);
  if (error == 0 && exists) fs::permissions(temp, status.permissions(), ec);  // best effort
  if (error == 0) {
    fs::rename(temp, target, ec);
    if (ec) error = ec.value() != 0 ? ec.value() : EIO;
  }
  if (error != 0 && error != EEXIST) fs::remove(temp, ec);
  return error;
}

int SaveModeFile(const fs::path& path, std::string* errorText) {
  CommitLiveBlock();
  return SaveSettingsFile(path, ImageSnapshot(), errorText);
}

int SaveSettingsFile(const fs::path& path, const ParameterImageBytes& image, std::string* errorText) {
  if (errorText) errorText->clear();
  std::array<std::uint8_t, kModeFileSize> file{};
  const IdentityBlock header = FileHeaderFor(image).value_or(HeldIdentityBlock());
  std::copy(header.begin(), header.end(), file.begin());
  std::copy(image.begin(), image.end(), file.begin() + kModeFileHeaderSize);

  if (const int error = ReplaceFileContents(path, file); error != 0) {
    if (errorText) *errorText = WriteErrorText(error, path);
    return 0;
  }
  return 1;
}

int ReadModeFileImage(const fs::path& path, ParameterImageBytes& image, std::string* errorText,
                      DeviceIdentity* identity) {
  IdentityBlock header{};
  ParameterImageBytes read{};
  if (ReadModeFile(path, header, read, errorText) != 1) return 0;
  image = read;
  if (identity) {
    *identity = DeviceIdentity{};
    identity->protocolCode = kSupportedProtocol;
    std::memcpy(identity->modelName.data(), &header[kModelNameOffset], kModelNameSize);
    std::memcpy(identity->mcuVersion.data(), &header[kMcuVersionOffset], kVersionTextSize);
    std::memcpy(identity->dspVersion.data(), &header[kDspVersionOffset], kVersionTextSize);
  }
  return 1;
}

int LoadModeFile(const fs::path& path, std::string* errorText) {
  IdentityBlock header{};
  ParameterImageBytes image{};
  if (ReadModeFile(path, header, image, errorText) != 1) return 0;
  // Every byte as stored, the reserved live bytes too, so that saving gives the file back.
  LoadSettings(image);
  NoteSettingsFromFile(header, image);
  return 1;
}

int LoadModeFileToDevice(const fs::path& path, std::string* errorText) {
  if (LoadModeFile(path, errorText) != 1) return 0;
  DebugLog("Start thread:SynchronizeData\n");
  StartWriteJob();
  return 1;
}

int PendingModeSlot(std::string_view fileName) {
  const std::size_t slash = fileName.find_last_of("/\\");
  if (slash != std::string_view::npos) fileName.remove_prefix(slash + 1);
  const std::size_t dot = fileName.rfind('.');
  if (dot != std::string_view::npos) fileName = fileName.substr(0, dot);
  if (fileName.size() < 2 || (fileName[0] != 'm' && fileName[0] != 'M')) return -1;
  const char digit = fileName[1];
  return digit >= '1' && digit <= '4' ? digit - '1' : -1;
}

}  // namespace dsptune
