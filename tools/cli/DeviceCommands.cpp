// dsptune-cli commands that talk to a device: info, read, write, get, set, remote-save,
// remote-load, on one device or (through worker processes) on many.
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
#include "tools/cli/CommandLine.h"
#include "tools/cli/CommandTable.h"
#include "tools/cli/DeviceSession.h"
#include "tools/cli/ExitStatus.h"
#include "tools/cli/HostFleet.h"
#include "tools/cli/InputFiles.h"
#include "tools/cli/ParameterAccess.h"

namespace dsptune::cli {
namespace {

namespace fs = std::filesystem;

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
  return kExitSuccess;
}

// What a command needs besides the device, checked before the device is opened so that
// a typing error costs no device read.
struct Request {
  std::string file;  // read, write, remote-save, remote-load
  bool verify = false;
  std::vector<NamedParameter> names;          // get
  std::vector<ParameterAssignment> settings;  // set
};

int FileProblem(const std::string& problem) {
  if (problem.empty()) return kExitSuccess;
  std::fprintf(stderr, "dsptune-cli: %s\n", problem.c_str());
  return kExitFailure;
}

// 0, or the exit status after printing why.
int CheckRequest(const std::string& command, const ParsedArgs& parsed, const DeviceChoice& choice, Request& request) {
  const auto& files = parsed.positional;
  const auto usage = [&](const char* text) { return UsageError(command + ": usage: " + text); };
  if (command == "info") return files.empty() ? 0 : UsageError("info takes no arguments");
  if (command == "read") {
    if (!parsed.Has("-o") || parsed.Value("-o").empty() || !files.empty())
      return usage("read -o FILE.mode (several hosts: read -o DIR/)");
    request.file = parsed.Value("-o");
    if (choice.Many()) {
      // The folder for the hosts' files, made when missing as "mkdir -p" would.
      std::error_code ec;
      fs::create_directories(request.file, ec);
      if (ec) return FileProblem(request.file + ": cannot create the folder (" + ec.message() + ")");
      return FileProblem(OutputFolderProblem(request.file));
    }
    return FileProblem(OutputFileProblem(request.file));
  }
  if (command == "write") {
    if (files.size() != 1) return usage("write [--verify] FILE.mode");
    request.verify = parsed.Has("--verify");
    request.file = files[0];
    // A mode file of another size never loads: said before the device is read.
    return FileProblem(InputFileProblem(request.file, {kModeFileSize, kModeFileSize, "a mode file"}));
  }
  if (command == "remote-save" || command == "remote-load") {
    if (files.size() != 1) return usage(command == "remote-save" ? "remote-save FILE.remo" : "remote-load FILE.remo");
    // The routines store under the .remo name whatever was typed; the checks look there too.
    request.file = WithRemoteExtension(files[0]).string();
    // Checked whole here, so an empty or foreign file is refused before anything is sent.
    if (command == "remote-load") return FileProblem(InputFileProblem(request.file, kRemoteFileRule));
    if (choice.Many()) return UsageError("remote-save: saves from one device only (one --tcp or --usb)");
    return FileProblem(OutputFileProblem(request.file));
  }
  if (command == "get") {
    if (files.empty()) return usage("get NAME...");
    for (const std::string& name : files) {
      std::string problem;
      const auto found = FindNamedParameter(name, problem);
      if (!found) return UsageError("get: " + problem);
      request.names.push_back(*found);
    }
    return 0;
  }
  if (command == "set") {
    if (files.empty()) return usage("set NAME=VALUE...");
    std::string problem;
    auto assignments = ParseAssignments(files, problem);
    if (!assignments) return UsageError("set: " + problem);
    request.settings = std::move(*assignments);
    return 0;
  }
  return UsageError("unknown command '" + command + "'");
}

int Read(const std::string& file) {
  std::string error;
  if (SaveModeFile(file, &error) != 1) {
    std::fprintf(stderr, "dsptune-cli: %s\n", error.empty() ? "cannot write the mode file" : error.c_str());
    return kExitFailure;
  }
  std::fprintf(stderr, "saved %s\n", file.c_str());
  return kExitSuccess;
}

int Write(DeviceSession& session, const std::string& file) {
  std::string error;
  if (LoadModeFileToDevice(file, &error) != 1) {
    const std::string reason =
        std::string(kModeVersionText) + "\n" + ModeFileProblemText(CheckModeFile(file), file)[kTextEnglish];
    std::fprintf(stderr, "dsptune-cli: %s: %s\n", file.c_str(), error.empty() ? reason.c_str() : error.c_str());
    return kExitFailure;
  }
  if (const int status = session.WaitForWriteJob(file); status != 0) return status;
  std::fprintf(stderr, "wrote %s to the device%s\n", file.c_str(), VerifyAfterWrite() ? " (verified)" : "");
  return kExitSuccess;
}

int RemoteSave(const std::string& file) {
  std::string error;
  if (SaveRemoteFile(file, &error) != 1) {
    std::fprintf(stderr, "dsptune-cli: %s\n", error.empty() ? "cannot write the remote file" : error.c_str());
    return kExitFailure;
  }
  std::fprintf(stderr, "saved the remote codes as %s\n", file.c_str());
  return kExitSuccess;
}

int RemoteLoad(const std::string& file) {
  std::string error;
  if (LoadRemoteFile(file, &error) != 1) {
    std::fprintf(stderr, "dsptune-cli: %s\n", error.empty() ? "cannot read the remote file" : error.c_str());
    return kExitFailure;
  }
  std::fprintf(stderr, "sent the remote codes of %s to the device\n", file.c_str());
  return kExitSuccess;
}

int RunOnOneDevice(const std::string& command, const DeviceChoice& choice, const Request& request) {
  SetVerifyAfterWrite(request.verify);
  DeviceSession session(choice, choice.usb ? std::nullopt : std::optional<HostTarget>(choice.hosts[0]));
  if (const int status = session.ConnectAndRead(); status != 0) return status;
  if (command == "info") return Info();
  if (command == "read") return Read(request.file);
  if (command == "write") return Write(session, request.file);
  if (command == "get") return PrintParameters(request.names);
  if (command == "set") return WriteParameters(session, request.settings);
  if (command == "remote-save") return RemoteSave(request.file);
  return RemoteLoad(request.file);
}

}  // namespace

int RunDeviceCommand(const std::string& command, Args args) {
  const auto parsed = ParseArgs(command, args, CommandOptions(command), DeviceOptions());
  if (!parsed) return kExitUsage;
  int exitCode = 0;
  const auto choice = DeviceChoiceFrom(*parsed, command, exitCode);
  if (!choice) return exitCode;
  Request request;
  if (const int status = CheckRequest(command, *parsed, *choice, request); status != 0) return status;
  if (choice->Many()) {
    return RunOnHosts(command, *choice, [&](const HostTarget& host) {
      Args a;
      if (command == "read") return Args{"-o", (fs::path(request.file) / (HostFileStem(host) + ".mode")).string()};
      if (request.verify) a.push_back("--verify");
      for (const std::string& p : parsed->positional) a.push_back(p);
      return a;
    });
  }
  return FinishWorker(*choice, RunOnOneDevice(command, *choice, request));
}

}  // namespace dsptune::cli
