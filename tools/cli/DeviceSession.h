#pragma once
// A connection to one device for one command-line run: opens the link (a host name is
// resolved first), runs the read job and checks the identity, and closes the link with
// the disconnect notice when it goes out of scope. Which device, or which devices, the
// command line asks for is a DeviceChoice.
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "link/Notifications.h"
#include "link/SyncJobs.h"
#include "tools/cli/CommandLine.h"
#include "tools/cli/HostAddress.h"
#include "tools/cli/Progress.h"

namespace dsptune::cli {

// Collects the link's notifications for a thread that waits on them.
class CliSink final : public NotificationSink {
 public:
  void Post(int message, std::intptr_t wParam, std::intptr_t lParam) override;
  void Send(int message, std::intptr_t wParam, std::intptr_t lParam) override;
  void ShowParameterError(const std::string& text) override;

  // Waits for message 1002 with the given wParam; false on time-out. Every job ends with
  // that message, also when it fails, so the time-out is only a backstop.
  bool WaitForSyncDone(int wParam, std::chrono::milliseconds timeout);

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<int> syncDone_;
};

// The device options of a command line (see DeviceOptions()).
struct DeviceChoice {
  bool usb = false;
  std::vector<HostTarget> hosts;  // --tcp and --hosts, in order
  bool hostsFile = false;         // --hosts given: a provisioning run even for one host
  int jobs = 8;
  std::chrono::milliseconds replyTimeout{2000};
  bool quiet = false;
  int outcomeFd = -1;  // a provisioning worker reports its HostResult here

  // Several hosts, each run by a worker process of its own (tools/cli/HostFleet.h).
  bool Many() const { return hosts.size() > 1 || hostsFile; }
};

// True when parsed holds --tcp, --hosts or --usb.
bool WantsDevice(const ParsedArgs& parsed);
// Checks the device options. On failure prints one line and returns nullopt with
// exitCode 2 (usage) or 1 (a --hosts file that cannot be read).
std::optional<DeviceChoice> DeviceChoiceFrom(const ParsedArgs& parsed, const std::string& command, int& exitCode);

class DeviceSession {
 public:
  // For the USB device when target is nullopt.
  DeviceSession(const DeviceChoice& choice, std::optional<HostTarget> target);
  ~DeviceSession();
  DeviceSession(const DeviceSession&) = delete;
  DeviceSession& operator=(const DeviceSession&) = delete;

  // Opens the link and reads the device. Returns 0, or prints a one-line reason and
  // returns the exit status (see ExitStatusFor).
  int ConnectAndRead();
  // Waits for the write job started with the current image. Returns 0, or prints a
  // one-line reason (with how many chunks the device acknowledged) and returns the exit
  // status.
  int WaitForWriteJob(const std::string& what);
  // Reads the device again: 0 or the exit status.
  int ReadAgain();
  // Reads the device to confirm values already sent (`sent` names them). On failure
  // says that they were sent and not confirmed, and returns kExitFailure.
  int ConfirmByReading(const std::string& sent);
  CliSink& Sink() { return *sink_; }
  // The line printed before a message, so that it does not mix with the progress.
  void ClearProgress() { progress_.Clear(); }

 private:
  int WaitForRead();
  // How long to wait for a job's end: its time limit and a margin.
  std::chrono::milliseconds JobWait() const;

  std::optional<HostTarget> target_;
  std::chrono::milliseconds replyTimeout_;
  bool open_ = false;
  bool readsDone_ = false;  // a read has succeeded: a failing one is a read-back
  std::unique_ptr<CliSink> sink_;
  ProgressLine progress_;
};

// Exit statuses of device commands (tools/cli/ExitStatus.h): a lost link, a silent
// device, garbled answers, an incomplete transfer and a failed verify are all 1.
int ExitStatusFor(SyncOutcome outcome);

}  // namespace dsptune::cli
