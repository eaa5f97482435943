#include "tools/cli/DeviceSession.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "link/HostResolve.h"
#include "link/LinkState.h"
#include "link/NetworkLink.h"
#include "link/OpenLink.h"
#include "link/SyncJobs.h"
#include "link/UsbLink.h"
#include "model/DeviceModels.h"
#include "model/ParameterImage.h"
#include "tools/cli/DeviceTexts.h"
#include "tools/cli/ExitStatus.h"
#include "tools/cli/HostFleet.h"

namespace dsptune::cli {
namespace {

// A read job is 64 round trips plus fixed waits; even with every reply missing it
// ends within 70 reply time-outs, a write that reads back within twice that. That is
// the job's own time limit, so a device that answers, only slowly, is given up by the
// job with its cause named.
constexpr int kJobReplyBudget = 70;
// The wait for the job's end goes beyond its limit: the job decides, this is a backstop.
constexpr std::chrono::seconds kJobEndMargin{10};

}  // namespace

void CliSink::Post(int message, std::intptr_t wParam, std::intptr_t) {
  std::lock_guard lock(mutex_);
  if (message == kMsgSyncDone) syncDone_.push_back(int(wParam));
  changed_.notify_all();
}

void CliSink::Send(int message, std::intptr_t wParam, std::intptr_t lParam) { Post(message, wParam, lParam); }

void CliSink::ShowParameterError(const std::string& text) {
  std::fprintf(stderr, "dsptune-cli: device reported: %s\n", DeviceText(text).c_str());
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
    case SyncOutcome::Done: return kExitSuccess;
    case SyncOutcome::DeviceBusy: return kExitBusy;
    case SyncOutcome::IdentityMismatch: return kExitIdentityMismatch;
    case SyncOutcome::LinkLost:
    case SyncOutcome::DeviceSilent:
    case SyncOutcome::GarbledStream:
    case SyncOutcome::Incomplete:
    case SyncOutcome::VerifyMismatch:
    case SyncOutcome::TimedOut: break;
  }
  return kExitFailure;
}

namespace {

void NoteOutcome(SyncOutcome outcome) {
  switch (outcome) {
    case SyncOutcome::Done: return;
    case SyncOutcome::DeviceBusy: return NoteHostResult(HostResult::Busy);
    case SyncOutcome::IdentityMismatch: return NoteHostResult(HostResult::IdentityMismatch);
    case SyncOutcome::DeviceSilent:
    case SyncOutcome::TimedOut: return NoteHostResult(HostResult::TimedOut);
    default: return NoteHostResult(HostResult::Error);
  }
}

}  // namespace

bool WantsDevice(const ParsedArgs& parsed) {
  return parsed.Has("--tcp") || parsed.Has("--usb") || parsed.Has("--hosts");
}

std::optional<DeviceChoice> DeviceChoiceFrom(const ParsedArgs& parsed, const std::string& command, int& exitCode) {
  const auto usage = [&](const std::string& message) {
    exitCode = UsageError(command + ": " + message);
    return std::nullopt;
  };
  DeviceChoice choice;
  choice.usb = parsed.Has("--usb");
  choice.hostsFile = parsed.Has("--hosts");
  if (parsed.Values("--usb").size() > 1 || parsed.Values("--hosts").size() > 1)
    return usage("give --usb or --hosts once");
  if (choice.usb && (parsed.Has("--tcp") || choice.hostsFile)) return usage("use --usb or network hosts, not both");
  for (const std::string& text : parsed.Values("--tcp")) {
    std::string problem;
    const auto target = ParseHostTarget(text, problem);
    if (!target) return usage("--tcp: " + problem);
    choice.hosts.push_back(*target);
  }
  if (choice.hostsFile) {
    std::string problem;
    bool badLine = false;
    if (!ReadHostsFile(parsed.Value("--hosts"), choice.hosts, problem, badLine)) {
      if (badLine) return usage("--hosts: " + problem);
      std::fprintf(stderr, "dsptune-cli: %s\n", problem.c_str());
      exitCode = kExitFailure;
      return std::nullopt;
    }
  }
  DropRepeatedHosts(choice.hosts);
  if (!choice.usb && choice.hosts.empty())
    return usage("this command needs --tcp HOST[:PORT], --hosts FILE or --usb");
  if (parsed.Has("--jobs")) {
    const auto jobs = ParseCount(parsed.Value("--jobs"), 1, 64);
    if (!jobs) return usage("--jobs needs N (1..64)");
    choice.jobs = int(*jobs);
  }
  if (parsed.Has("--reply-timeout")) {
    const auto ms = ParseCount(parsed.Value("--reply-timeout"), 10, 60000);
    if (!ms) return usage("--reply-timeout needs MS (10..60000)");
    choice.replyTimeout = std::chrono::milliseconds(*ms);
  }
  if (parsed.Has("--outcome-fd")) {
    const auto fd = ParseCount(parsed.Value("--outcome-fd"), 3, 1000);
    if (!fd) return usage("--outcome-fd needs a descriptor");
    choice.outcomeFd = int(*fd);
  }
  choice.quiet = Quiet(parsed);
  return choice;
}

DeviceSession::DeviceSession(const DeviceChoice& choice, std::optional<HostTarget> target)
    : target_(std::move(target)), replyTimeout_(choice.replyTimeout), sink_(std::make_unique<CliSink>()),
      progress_(choice.quiet) {}

DeviceSession::~DeviceSession() {
  progress_.Clear();
  if (!open_) return;
  WaitForSyncJobsIdle(std::chrono::seconds(5));
  if (target_) CloseNetworkLink(true);
  else CloseUsbLink(true);
  ShutdownSyncJobs();
  SetSyncProgressObserver(nullptr);
  CurrentLink().sink = nullptr;
}

int DeviceSession::ConnectAndRead() {
  InstallSyncJobs();
  CurrentLink().replyTimeout = replyTimeout_;
  SetSyncJobTimeLimit((VerifyAfterWrite() ? 2 : 1) * kJobReplyBudget * replyTimeout_);
  if (target_) {
    std::string problem;
    const auto address = ResolveIpv4(target_->host, problem);
    if (!address) {
      std::fprintf(stderr, "dsptune-cli: %s\n", problem.c_str());
      NoteHostResult(HostResult::Error);
      return kExitFailure;
    }
    SetNetworkPeer(*address, target_->port);
    const int result = OpenLink(sink_.get(), LinkKind::Network);
    if (result != 1) {
      const std::string shown = *address == target_->host ? target_->given : target_->given + " (" + *address + ")";
      std::fprintf(stderr, "dsptune-cli: cannot connect to %s: %s\n", shown.c_str(),
                   result > 1 ? std::strerror(result) : "no socket");
      NoteHostResult(result == ETIMEDOUT ? HostResult::TimedOut : HostResult::Error);
      return kExitFailure;
    }
  } else if (OpenLink(sink_.get(), LinkKind::Usb) != 1) {
    const UsbOpenProblem problem = LastUsbOpenProblem();
    if (problem.permissionDenied)
      std::fprintf(stderr,
                   "dsptune-cli: the device %s is present but may not be opened by this user; install "
                   "dist/%s into %s (see docs/usb-permissions.md)\n",
                   problem.path.c_str(), kUdevRuleFile, kUdevRuleDir);
    else
      std::fprintf(stderr, "dsptune-cli: no device with vendor 0x2010 and product 0x1031 found\n");
    return kExitFailure;
  }
  open_ = true;
  SetSyncProgressObserver([this](int job, int chunk, int total) {
    progress_.Update(job == 0 ? "reading" : "writing", chunk, total);
  });
  return ReadAgain();
}

int DeviceSession::ReadAgain() {
  StartReadJob();
  return WaitForRead();
}

std::chrono::milliseconds DeviceSession::JobWait() const { return SyncJobTimeLimit() + kJobEndMargin; }

int DeviceSession::ConfirmByReading(const std::string& sent) {
  StartReadJob();
  const bool ended = sink_->WaitForSyncDone(0, JobWait());
  progress_.Clear();
  const SyncResult read = LastSyncResult();
  if (ended && read.outcome == SyncOutcome::Done) return kExitSuccess;
  NoteHostResult(HostResult::Error);
  // The values went out before the read: the device may well hold them.
  std::fprintf(stderr, "dsptune-cli: sent %s, but not confirmed: reading the device back failed: %s\n", sent.c_str(),
               ended ? SyncOutcomeText(read.outcome) : "the read did not end");
  return kExitFailure;
}

int DeviceSession::WaitForRead() {
  const bool ended = sink_->WaitForSyncDone(0, JobWait());
  progress_.Clear();
  if (!ended) {
    std::fprintf(stderr, "dsptune-cli: time-out: the read did not end\n");
    NoteHostResult(HostResult::TimedOut);
    return kExitFailure;
  }
  const SyncResult read = LastSyncResult();
  NoteOutcome(read.outcome);
  if (read.outcome == SyncOutcome::Done) {
    readsDone_ = true;
    return kExitSuccess;
  }
  // Said in the same words wherever a busy module turns the program away.
  if (read.outcome == SyncOutcome::DeviceBusy)
    std::fprintf(stderr, "dsptune-cli: %s\n", SyncOutcomeText(read.outcome));
  else if (read.outcome == SyncOutcome::IdentityMismatch)
    std::fprintf(stderr, "dsptune-cli: %s (%s)\n", SyncOutcomeText(read.outcome),
                 DeviceText(IdentityMismatchText(IdentitySnapshot())).c_str());
  else
    // Every command reads the device before it saves or writes anything; only a later
    // read (set's confirmation) comes after a write.
    std::fprintf(stderr, "dsptune-cli: reading the device %s: %s (%d of %d chunks arrived)%s\n",
                 readsDone_ ? "back failed" : "failed", SyncOutcomeText(read.outcome), read.chunksConfirmed,
                 read.chunksTotal, readsDone_ ? "" : "; nothing was saved or written");
  return ExitStatusFor(read.outcome);
}

int DeviceSession::WaitForWriteJob(const std::string& what) {
  const bool ended = sink_->WaitForSyncDone(1, JobWait());
  progress_.Clear();
  if (!ended) {
    std::fprintf(stderr, "dsptune-cli: time-out: writing %s did not end\n", what.c_str());
    NoteHostResult(HostResult::TimedOut);
    return kExitFailure;
  }
  const SyncResult result = LastSyncResult();
  NoteOutcome(result.outcome);
  if (result.outcome == SyncOutcome::Done) return kExitSuccess;
  if (result.outcome == SyncOutcome::VerifyMismatch)
    std::fprintf(stderr, "dsptune-cli: writing %s failed: %s (%d bytes differ)\n", what.c_str(),
                 SyncOutcomeText(result.outcome), result.differingBytes);
  else if (result.outcome == SyncOutcome::DeviceBusy && result.chunksConfirmed == 0)
    std::fprintf(stderr, "%s; nothing was written\n", SyncOutcomeText(result.outcome));
  else
    // Only acknowledgements are counted: a chunk whose answer was lost may have arrived.
    std::fprintf(stderr,
                 "dsptune-cli: writing %s failed: %s; the device acknowledged %d of %d chunks and may hold more "
                 "of them: its image may be partly written\n",
                 what.c_str(), SyncOutcomeText(result.outcome), result.chunksConfirmed, result.chunksTotal);
  return ExitStatusFor(result.outcome);
}

}  // namespace dsptune::cli
