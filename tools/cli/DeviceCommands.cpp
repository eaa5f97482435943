// dsptune-cli commands that talk to a device: info, read, write, remote-save, remote-load.
#include <chrono>
#include <cstdio>
#include <thread>

#include "files/ModeFile.h"
#include "files/RemoteFile.h"
#include "link/CommandSet.h"
#include "link/LinkState.h"
#include "link/SyncJobs.h"
#include "model/DeviceModels.h"
#include "model/ParameterImage.h"
#include "tools/cli/CliCommands.h"
#include "tools/cli/DeviceSession.h"

namespace dsptune::cli {
namespace {

// Asks for the status block and waits (at most a second) until an answer has filled it.
void RefreshStatusBlock() {
  ClearStatusBlock();
  SendCommand({kCmdStatus});
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  while (std::chrono::steady_clock::now() < deadline) {
    const StatusBlock status = StatusBlockSnapshot();
    for (std::uint8_t b : status)
      if (b != 0) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

int Info() {
  const DeviceIdentity id = IdentitySnapshot();
  RefreshStatusBlock();
  const AboutLines about = FormatAboutLines(id, StatusBlockSnapshot());
  std::printf("Model: %s\nProtocol code: %d\nMCU version: %s\nDSP version: %s\nCurrent mode: M%d\n",
              id.ModelName().c_str(), id.protocolCode, id.McuVersion().c_str(), id.DspVersion().c_str(),
              CurrentLink().currentMode.load() + 1);
  std::printf("\n%s\n%s\n%s\n%s\n", about.module.c_str(), about.mcu.c_str(), about.dsp.c_str(),
              about.converters.c_str());
  return 0;
}

int Read(const Args& args) {
  if (args.size() != 2 || args[0] != "-o") return UsageError("read: usage: read -o FILE.mode");
  std::string error;
  if (SaveModeFile(args[1], &error) != 1) {
    std::fprintf(stderr, "dsptune-cli: %s\n", error.empty() ? "cannot write the mode file" : error.c_str());
    return 1;
  }
  std::fprintf(stderr, "saved %s\n", args[1].c_str());
  return 0;
}

int Write(DeviceSession& session, const Args& args) {
  if (args.size() != 1) return UsageError("write: usage: write FILE.mode");
  std::string error;
  if (LoadModeFileToDevice(args[0], &error) != 1) {
    std::fprintf(stderr, "dsptune-cli: %s: %s\n", args[0].c_str(),
                 error.empty() ? std::string(kModeVersionText).c_str() : error.c_str());
    return 1;
  }
  if (!session.WaitForWriteJob()) return 1;
  std::fprintf(stderr, "wrote %s to the device\n", args[0].c_str());
  return 0;
}

int RemoteSave(const Args& args) {
  if (args.size() != 1) return UsageError("remote-save: usage: remote-save FILE.remo");
  std::string error;
  if (SaveRemoteFile(args[0], &error) != 1) {
    std::fprintf(stderr, "dsptune-cli: %s\n", error.empty() ? "cannot write the remote file" : error.c_str());
    return 1;
  }
  return 0;
}

int RemoteLoad(const Args& args) {
  if (args.size() != 1) return UsageError("remote-load: usage: remote-load FILE.remo");
  std::string error;
  if (LoadRemoteFile(args[0], &error) != 1) {
    std::fprintf(stderr, "dsptune-cli: %s\n", error.empty() ? "cannot read the remote file" : error.c_str());
    return 1;
  }
  SendRemoteTable();
  return 0;
}

}  // namespace

int RunDeviceCommand(const std::string& command, Args args) {
  int exitCode = 0;
  auto session = DeviceSession::FromArgs(args, exitCode);
  if (!session) return exitCode;
  // Check the command's own arguments before touching the device.
  if (command == "info" && !args.empty()) return UsageError("info takes no arguments");
  if (!session->ConnectAndRead()) return 1;
  if (command == "info") return Info();
  if (command == "read") return Read(args);
  if (command == "write") return Write(*session, args);
  if (command == "remote-save") return RemoteSave(args);
  if (command == "remote-load") return RemoteLoad(args);
  return UsageError("unknown command '" + command + "'");
}

}  // namespace dsptune::cli
