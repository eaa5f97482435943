#include "tools/cli/DeviceSession.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "link/LinkState.h"
#include "link/NetworkLink.h"
#include "link/OpenLink.h"
#include "link/SyncJobs.h"
#include "link/UsbLink.h"
#include "model/DeviceModels.h"
#include "model/ParameterImage.h"

namespace dsptune::cli {
namespace {

// A read job is 64 round trips plus fixed waits; even with every reply missing it
// ends within 70 x 2 s.
constexpr std::chrono::seconds kJobTimeout{150};

}  // namespace

void CliSink::Post(int message, std::intptr_t wParam, std::intptr_t) {
  std::lock_guard lock(mutex_);
  if (message == kMsgSyncDone) syncDone_.push_back(int(wParam));
  changed_.notify_all();
}

void CliSink::Send(int message, std::intptr_t wParam, std::intptr_t lParam) { Post(message, wParam, lParam); }

void CliSink::ShowParameterError(const std::string& text) {
  std::fprintf(stderr, "dsptune-cli: device reported: %s\n", text.c_str());
}

bool CliSink::WaitForSyncDone(int wParam, std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  const auto mine = [&] { return std::find(syncDone_.begin(), syncDone_.end(), wParam); };
  if (!changed_.wait_for(lock, timeout, [&] { return mine() != syncDone_.end(); })) return false;
  syncDone_.erase(mine());
  return true;
}

int ExitStatusFor(SyncOutcome outcome) {
  switch (outcome) {
    case SyncOutcome::Done: return 0;
    case SyncOutcome::DeviceBusy: return 3;
    case SyncOutcome::IdentityMismatch: return 4;
    case SyncOutcome::LinkLost: return 5;
    case SyncOutcome::DeviceSilent: return 6;
    case SyncOutcome::GarbledStream: return 7;
    case SyncOutcome::Incomplete:
    case SyncOutcome::VerifyMismatch: break;
  }
  return 1;
}

bool WantsDevice(const Args& args) {
  for (const std::string& a : args)
    if (a == "--tcp" || a == "--usb") return true;
  return false;
}

std::optional<DeviceSession> DeviceSession::FromArgs(Args& args, int& exitCode) {
  DeviceSession s;
  bool chosen = false;
  Args rest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--usb") {
      if (chosen) return exitCode = UsageError("use one of --tcp and --usb"), std::nullopt;
      chosen = true;
    } else if (args[i] == "--tcp") {
      if (chosen) return exitCode = UsageError("use one of --tcp and --usb"), std::nullopt;
      if (i + 1 >= args.size()) return exitCode = UsageError("--tcp needs HOST[:PORT]"), std::nullopt;
      const std::string target = args[++i];
      const auto colon = target.rfind(':');
      s.host_ = target.substr(0, colon);
      s.port_ = kDefaultNetworkPort;
      if (colon != std::string::npos) {
        char* end = nullptr;
        const long port = std::strtol(target.c_str() + colon + 1, &end, 10);
        if (*end != '\0' || port < 1 || port > 65535)
          return exitCode = UsageError("--tcp: bad port in '" + target + "'"), std::nullopt;
        s.port_ = int(port);
      }
      if (s.host_.empty()) return exitCode = UsageError("--tcp: missing host in '" + target + "'"), std::nullopt;
      s.network_ = true;
      chosen = true;
    } else if (args[i] == "--reply-timeout") {
      char* end = nullptr;
      const long ms = i + 1 < args.size() ? std::strtol(args[i + 1].c_str(), &end, 10) : 0;
      if (i + 1 >= args.size() || *end != '\0' || ms < 10 || ms > 60000)
        return exitCode = UsageError("--reply-timeout needs MS (10..60000)"), std::nullopt;
      s.replyTimeout_ = std::chrono::milliseconds(ms);
      ++i;
    } else {
      rest.push_back(args[i]);
    }
  }
  if (!chosen) return exitCode = UsageError("this command needs --tcp HOST[:PORT] or --usb"), std::nullopt;
  args = rest;
  s.sink_ = std::make_unique<CliSink>();
  return std::optional<DeviceSession>(std::move(s));
}

DeviceSession::DeviceSession(DeviceSession&& other) noexcept
    : network_(other.network_), host_(std::move(other.host_)), port_(other.port_),
      replyTimeout_(other.replyTimeout_), open_(other.open_),
      sink_(std::move(other.sink_)) {
  other.open_ = false;
}

DeviceSession::~DeviceSession() {
  if (!open_) return;
  WaitForSyncJobsIdle(std::chrono::seconds(5));
  if (network_) CloseNetworkLink(true);
  else CloseUsbLink(true);
  ShutdownSyncJobs();
  SetSyncProgressObserver(nullptr);
  CurrentLink().sink = nullptr;
}

int DeviceSession::ConnectAndRead() {
  InstallSyncJobs();
  CurrentLink().replyTimeout = replyTimeout_;
  int result = 0;
  if (network_) {
    SetNetworkPeer(host_, std::uint16_t(port_));
    result = OpenLink(sink_.get(), LinkKind::Network);
    if (result != 1) {
      std::fprintf(stderr, "dsptune-cli: cannot connect to %s:%d (error %d: %s)\n", host_.c_str(), port_, result,
                   result > 1 ? std::strerror(result) : "no socket");
      return 1;
    }
  } else {
    result = OpenLink(sink_.get(), LinkKind::Usb);
    if (result != 1) {
      const UsbOpenProblem problem = LastUsbOpenProblem();
      if (problem.permissionDenied)
        std::fprintf(stderr,
                     "dsptune-cli: the device %s is present but may not be opened by this user; install "
                     "dist/%s into %s (see docs/usb-permissions.md)\n",
                     problem.path.c_str(), kUdevRuleFile, kUdevRuleDir);
      else
        std::fprintf(stderr, "dsptune-cli: no device with vendor 0x2010 and product 0x1031 found\n");
      return 1;
    }
  }
  open_ = true;
  SetSyncProgressObserver([](int job, int chunk, int total) {
    std::fprintf(stderr, "%s chunk %d of %d\n", job == 0 ? "reading" : "writing", chunk, total);
  });
  std::fprintf(stderr, "reading the device...\n");
  StartReadJob();
  if (!sink_->WaitForSyncDone(0, kJobTimeout)) {
    std::fprintf(stderr, "dsptune-cli: time-out: the read did not end\n");
    return 1;
  }
  const SyncResult read = LastSyncResult();
  if (read.outcome == SyncOutcome::Done) return 0;
  if (read.outcome == SyncOutcome::IdentityMismatch)
    std::fprintf(stderr, "dsptune-cli: %s (%s)\n", SyncOutcomeText(read.outcome),
                 IdentityMismatchText(IdentitySnapshot()).c_str());
  else
    std::fprintf(stderr, "dsptune-cli: reading failed: %s (%d of %d chunks arrived); nothing was saved\n",
                 SyncOutcomeText(read.outcome), read.chunksConfirmed, read.chunksTotal);
  return ExitStatusFor(read.outcome);
}

int DeviceSession::WaitForWriteJob(const std::string& what) {
  if (!sink_->WaitForSyncDone(1, kJobTimeout)) {
    std::fprintf(stderr, "dsptune-cli: time-out: writing %s did not end\n", what.c_str());
    return 1;
  }
  const SyncResult result = LastSyncResult();
  if (result.outcome == SyncOutcome::Done) return 0;
  if (result.outcome == SyncOutcome::VerifyMismatch)
    std::fprintf(stderr, "dsptune-cli: writing %s failed: %s (%d bytes differ)\n", what.c_str(),
                 SyncOutcomeText(result.outcome), result.differingBytes);
  else
    std::fprintf(stderr,
                 "dsptune-cli: writing %s failed: %s; %d of %d chunks reached the device, which may hold a "
                 "partly written image\n",
                 what.c_str(), SyncOutcomeText(result.outcome), result.chunksConfirmed, result.chunksTotal);
  return ExitStatusFor(result.outcome);
}

}  // namespace dsptune::cli
