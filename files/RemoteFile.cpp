#include "files/RemoteFile.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "files/BoundedFileRead.h"
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
  // An empty or longer file is not a table, and a FIFO or device is never waited on.
  const FileReadResult read = ReadBoundedFile(file, kRemoteFileRule);
  if (!read.Ok()) {
    if (errorText)
      *errorText = read.systemError != 0 ? ReadErrorText(read.systemError, file)
                                         : "Can't read file:\n" + file.string() + "\n" + FileReadProblem(read, kRemoteFileRule);
    return -1;
  }
  RemoteCodeTable table = RemoteTableSnapshot();
  std::copy(read.bytes.begin(), read.bytes.end(), table.begin());
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
