#include "files/RemoteFile.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>

#include "files/ModeFile.h"
#include "link/CommandSet.h"
#include "link/LinkState.h"

namespace dsptune {

static_assert(kRemoteFileSize == kRemoteTableSize);

std::filesystem::path WithRemoteExtension(const std::filesystem::path& chosen) {
  std::filesystem::path named = chosen;
  return named.replace_extension("remo");
}

int LoadRemoteFile(const std::filesystem::path& path, std::string* errorText) {
  if (errorText) errorText->clear();
  const std::filesystem::path file = WithRemoteExtension(path);
  // A folder opens for reading on Linux and reads as empty: it would "load" nothing.
  std::error_code ec;
  errno = 0;
  std::FILE* f = std::filesystem::is_directory(file, ec) ? nullptr : std::fopen(file.c_str(), "rb");
  if (!f) {
    const int error = std::filesystem::is_directory(file, ec) ? EISDIR : errno != 0 ? errno : EIO;
    if (errorText) *errorText = ReadErrorText(error, file);
    return -1;
  }
  std::array<std::uint8_t, kRemoteFileSize> bytes{};
  const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  RemoteCodeTable table = RemoteTableSnapshot();
  std::copy_n(bytes.begin(), got, table.begin());
  SetRemoteTable(table);
  SendRemoteTable();
  return 1;
}

int SaveRemoteFile(const std::filesystem::path& path, std::string* errorText) {
  if (errorText) errorText->clear();
  const std::filesystem::path file = WithRemoteExtension(path);
  const RemoteCodeTable table = RemoteTableSnapshot();
  if (const int error = ReplaceFileContents(file, table); error != 0) {
    if (errorText) *errorText = WriteErrorText(error, file);
    return -1;
  }
  return 1;
}

void SendRemoteTable() {
  std::array<std::uint8_t, 1 + kRemoteTableSize> packet{};
  packet[0] = kCmdSetRemoteTable;
  const RemoteCodeTable table = RemoteTableSnapshot();
  std::copy(table.begin(), table.end(), packet.begin() + 1);
  SendCommand(packet);
}

}  // namespace dsptune
