#pragma once
// A connection to a device for one command-line run: parses --tcp HOST[:PORT] or --usb
// (and --reply-timeout MS),
// opens the link, runs the read job and checks the identity, and closes the link with
// the disconnect notice when it goes out of scope.
#include <chrono>
#include <memory>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "link/Notifications.h"
#include "link/SyncJobs.h"
#include "tools/cli/CliCommands.h"

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

class DeviceSession {
 public:
  // Takes --tcp/--usb out of args. Returns nullopt (after printing the reason) when the
  // arguments are wrong; exitCode is then 2.
  static std::optional<DeviceSession> FromArgs(Args& args, int& exitCode);
  DeviceSession(DeviceSession&&) noexcept;
  ~DeviceSession();

  // Opens the link and reads the device. Returns 0, or prints a one-line reason and
  // returns the exit status (see ExitStatusFor).
  int ConnectAndRead();
  // Waits for the write job started with the current image. Returns 0, or prints a
  // one-line reason (with how many chunks the device acknowledged) and returns the exit
  // status.
  int WaitForWriteJob(const std::string& what);
  CliSink& Sink() { return *sink_; }

 private:
  DeviceSession() = default;
  bool network_ = false;
  std::string host_;
  int port_ = 0;
  std::chrono::milliseconds replyTimeout_{2000};  // how long each command waits for its answer
  bool open_ = false;
  std::unique_ptr<CliSink> sink_;
};

// True when args hold --tcp or --usb.
bool WantsDevice(const Args& args);

// Exit statuses of device commands: 0 success, 1 device or file error (also a transfer
// left incomplete, or a verify that found differences), 2 usage, 3 device busy (another
// host holds the network module), 4 identity mismatch (wrong model or protocol), 5 link
// lost, 6 device silent, 7 garbled answers.
int ExitStatusFor(SyncOutcome outcome);

}  // namespace dsptune::cli
