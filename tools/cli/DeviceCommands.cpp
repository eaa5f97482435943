// dsptune-cli commands that talk to a device: info, read, write, remote-save, remote-load.
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
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

// Checked before the device is opened, so that a typing error costs no device read.
std::string InputFileProblem(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return path + ": no such file";
  if (std::filesystem::is_directory(path, ec)) return path + ": is a folder, not a file";
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return path + ": cannot be read (" + std::strerror(errno) + ")";
  std::fclose(f);
  return {};
}

std::string OutputFileProblem(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return path + ": is a folder, not a file";
  std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (folder.empty()) folder = ".";
  if (!std::filesystem::is_directory(folder, ec)) return folder.string() + ": no such folder";
  if (::access(folder.c_str(), W_OK) != 0) return folder.string() + ": cannot write there (" + std::strerror(errno) + ")";
  return {};
}

// The command's own arguments: 2 for a usage error, 1 for a file that cannot be used,
// 0 when the device may be opened. `verify` is taken out of args.
int CheckArguments(const std::string& command, Args& args, bool& verify) {
  if (command == "info") return args.empty() ? 0 : UsageError("info takes no arguments");
  if (command == "read") {
    if (args.size() != 2 || args[0] != "-o") return UsageError("read: usage: read -o FILE.mode");
    const std::string problem = OutputFileProblem(args[1]);
    if (problem.empty()) return 0;
    std::fprintf(stderr, "dsptune-cli: %s\n", problem.c_str());
    return 1;
  }
  if (command == "write") {
    std::erase_if(args, [&verify](const std::string& a) { return a == "--verify" && (verify = true); });
    if (args.size() != 1) return UsageError("write: usage: write [--verify] FILE.mode");
  } else if (command == "remote-load") {
    if (args.size() != 1) return UsageError("remote-load: usage: remote-load FILE.remo");
  } else if (command == "remote-save") {
    if (args.size() != 1) return UsageError("remote-save: usage: remote-save FILE.remo");
    const std::string problem = OutputFileProblem(args[0]);
    if (problem.empty()) return 0;
    std::fprintf(stderr, "dsptune-cli: %s\n", problem.c_str());
    return 1;
  } else {
    return UsageError("unknown command '" + command + "'");
  }
  const std::string problem = InputFileProblem(args[0]);
  if (problem.empty()) return 0;
  std::fprintf(stderr, "dsptune-cli: %s\n", problem.c_str());
  return 1;
}

int Read(const Args& args) {
  std::string error;
  if (SaveModeFile(args[1], &error) != 1) {
    std::fprintf(stderr, "dsptune-cli: %s\n", error.empty() ? "cannot write the mode file" : error.c_str());
    return 1;
  }
  std::fprintf(stderr, "saved %s\n", args[1].c_str());
  return 0;
}

int Write(DeviceSession& session, const Args& args) {
  std::string error;
  if (LoadModeFileToDevice(args[0], &error) != 1) {
    std::fprintf(stderr, "dsptune-cli: %s: %s\n", args[0].c_str(),
                 error.empty() ? std::string(kModeVersionText).c_str() : error.c_str());
    return 1;
  }
  if (const int status = session.WaitForWriteJob(args[0]); status != 0) return status;
  std::fprintf(stderr, "wrote %s to the device%s\n", args[0].c_str(), VerifyAfterWrite() ? " (verified)" : "");
  return 0;
}

int RemoteSave(const Args& args) {
  std::string error;
  if (SaveRemoteFile(args[0], &error) != 1) {
    std::fprintf(stderr, "dsptune-cli: %s\n", error.empty() ? "cannot write the remote file" : error.c_str());
    return 1;
  }
  std::fprintf(stderr, "saved %s\n", args[0].c_str());
  return 0;
}

int RemoteLoad(const Args& args) {
  std::string error;
  if (LoadRemoteFile(args[0], &error) != 1) {
    std::fprintf(stderr, "dsptune-cli: %s\n", error.empty() ? "cannot read the remote file" : error.c_str());
    return 1;
  }
  SendRemoteTable();
  std::fprintf(stderr, "sent %s to the device\n", args[0].c_str());
  return 0;
}

}  // namespace

int RunDeviceCommand(const std::string& command, Args args) {
  int exitCode = 0;
  auto session = DeviceSession::FromArgs(args, exitCode);
  if (!session) return exitCode;
  bool verify = false;
  if (const int status = CheckArguments(command, args, verify); status != 0) return status;
  SetVerifyAfterWrite(verify);
  if (const int status = session->ConnectAndRead(); status != 0) return status;
  if (command == "info") return Info();
  if (command == "read") return Read(args);
  if (command == "write") return Write(*session, args);
  if (command == "remote-save") return RemoteSave(args);
  return RemoteLoad(args);
}

}  // namespace dsptune::cli
